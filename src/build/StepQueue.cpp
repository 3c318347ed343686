#include "build/StepQueue.h"

#include "build/BuildJournal.h"
#include "build/StandardBuildSystem.h"
#include "build/StepRunner.h"

bool StepQueue::commandsOf(const StepPlan& plan, std::vector<RunAhead::Command>& commands,
                           bool& setsDirectory) const {
    RunAhead::Command command;
    for (const StepEntry& e : plan.entries) {
        switch (e.kind) {
        case StepEntry::UpdatePackage:
            return false;
        case StepEntry::Init:
            command.directory.clear();
            command.ownDirectory = true;
            break;
        case StepEntry::SetDirectory:
            command.directory = e.text;
            command.ownDirectory = true;
            break;
        case StepEntry::SetCommand:
            command.command = e.list;
            break;
        case StepEntry::SetOutputFiles:
            command.outputs += e.list;
            break;
        case StepEntry::SetTemporaryFiles:
            command.temporaries += e.list;
            break;
        case StepEntry::Run:
            // Without a directory of its own a command runs where the steps
            // before it left the builder, known only once they are replayed.
            if (!command.ownDirectory && m_directorySet) return false;
            if (!m_runAhead->canRunAhead(command.command)) return false;
            commands.push_back(command);
            command.outputs.clear();
            command.temporaries.clear();
            break;
        default:
            break;
        }
    }
    setsDirectory = command.ownDirectory;
    return !commands.empty();
}

void StepQueue::cleanNow(StepPlan& plan) {
    std::vector<StepEntry> entries;
    entries.reserve(plan.entries.size());
    for (StepEntry& e : plan.entries) {
        if (e.kind != StepEntry::Clean) {
            entries.push_back(std::move(e));
            continue;
        }
        PlanRecorder said;
        m_bs.cleanFile(e.text, e.quiet, &said);
        for (const StepEntry& line : said.entries())
            entries.push_back(line);
    }
    plan.entries = std::move(entries);
}

bool StepQueue::runIndependent(StepPlan plan, Builder* builder) {
    std::vector<RunAhead::Command> commands;
    bool setsDirectory = false;
    if (!m_runAhead || m_bs.options().dryRun || m_bs.failed() || m_bs.stopRequested() ||
        !commandsOf(plan, commands, setsDirectory)) {
        catchUp(builder);
        return runStep(m_bs, plan, builder);
    }
    cleanNow(plan);
    const bool built = plan.built;
    BuildJournal* journal = plan.outputs.isEmpty() ? nullptr : m_bs.journal();
    const QStringList outputs = plan.outputs;
    Pending pending;
    pending.ticket = m_runAhead->submit(std::move(commands), [journal, outputs] {
        if (journal) journal->started(outputs);
    });
    pending.plan = std::move(plan);
    m_pending.push_back(std::move(pending));
    m_directorySet = m_directorySet || setsDirectory;
    // A command failed or the user interrupted: report up to there, so the
    // build loop sees it and decides nothing more. Otherwise what has ended
    // is reported as soon as the steps before it are.
    if (m_runAhead->stopping()) catchUp(builder);
    while (!m_pending.empty() && m_runAhead->done(m_pending.front().ticket))
        replayFirst(builder);
    return built;
}

void StepQueue::replayFirst(Builder* builder) {
    Pending pending = std::move(m_pending.front());
    m_pending.pop_front();
    m_runAhead->beginReplay(pending.ticket);
    RanAhead ahead;
    ahead.started = m_runAhead->started(pending.ticket);
    ahead.succeeded = m_runAhead->succeeded(pending.ticket);
    runStep(m_bs, pending.plan, builder, &ahead);
    m_runAhead->endReplay();
    // The builder now holds the directory the replayed plans left.
    if (m_pending.empty()) m_directorySet = false;
}

void StepQueue::catchUp(Builder* builder) {
    if (!m_runAhead) return;
    while (!m_pending.empty())
        replayFirst(builder);
    m_runAhead->caughtUp();
}

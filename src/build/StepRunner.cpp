#include "build/StepRunner.h"

#include <QDir>

#include <vector>

#include "build/BuildJournal.h"
#include "build/CompilationDatabase.h"
#include "build/StandardBuildSystem.h"
#include "build/StepPlan.h"

namespace {

void replay(const StepEntry& e, Builder& builder) {
    switch (e.kind) {
    case StepEntry::Message:
        builder.message(e.text);
        break;
    case StepEntry::Note:
        builder.note(e.text);
        break;
    case StepEntry::Success:
        builder.success(e.text);
        break;
    case StepEntry::Error:
        builder.error(e.text);
        break;
    case StepEntry::BeginGroup:
        builder.beginGroup(e.element, e.text, e.flag);
        break;
    case StepEntry::EndGroup:
        builder.endGroup(e.element);
        break;
    case StepEntry::Init:
        builder.init();
        break;
    case StepEntry::SetDirectory:
        builder.setDirectory(e.text);
        break;
    case StepEntry::SetCommand:
        builder.setCommand(e.list);
        break;
    case StepEntry::SetEnvironment:
        builder.setEnvironment(e.list);
        break;
    case StepEntry::SetOutputFiles:
        builder.setOutputFiles(e.list);
        break;
    case StepEntry::SetTemporaryFiles:
        builder.setTemporaryFiles(e.list);
        break;
    case StepEntry::Run:
        builder.doit();
        break;
    default:
        break;
    }
}

void listCommand(StandardBuildSystem& bs, const StepEntry& e) {
    if (CompilationDatabase* database = bs.options().compilationDatabase) database->addEntry(e);
}

// A dry run names what cleaning would remove, verbose or not, and leaves the
// build system's own files alone; the builder does not run the commands.
void performDry(StandardBuildSystem& bs, const StepEntry& e, Builder* builder) {
    if (e.kind == StepEntry::Clean) {
        if (builder && bs.statFile(e.text).exists)
            builder->note(QStringLiteral("Remove ") + QDir::toNativeSeparators(e.text));
    } else if (e.kind == StepEntry::ListCommand) {
        listCommand(bs, e);
    } else if (e.kind != StepEntry::UpdatePackage && e.kind != StepEntry::RememberDependencies) {
        if (builder) replay(e, *builder);
    }
}

void perform(StandardBuildSystem& bs, const StepEntry& e, Builder* builder) {
    if (bs.options().dryRun) return performDry(bs, e, builder);
    switch (e.kind) {
    case StepEntry::Clean:
        bs.cleanFile(e.text, e.quiet, builder);
        break;
    case StepEntry::UpdatePackage:
        bs.addToRemoveFromArchive(e.text, e.list.value(0), e.list.value(1), builder, e.quiet,
                                  e.flag);
        bs.invalidateFileTimes();
        break;
    case StepEntry::RememberDependencies:
        bs.rememberDependencies(e.text, e.list.value(0));
        break;
    case StepEntry::ListCommand:
        listCommand(bs, e);
        break;
    default:
        if (builder) replay(e, *builder);
        // A command changes files: the times read so far no longer hold.
        if (e.kind == StepEntry::Run) bs.invalidateFileTimes();
        break;
    }
}

} // namespace

bool runStep(StandardBuildSystem& bs, const StepPlan& plan, Builder* builder,
             const RanAhead* ahead) {
    // Per group the plan opened: whether it was opened on the builder, so that
    // a group skipped after a failure is not closed either.
    std::vector<bool> opened;
    BuildJournal* journal = plan.outputs.isEmpty() || bs.options().dryRun ? nullptr : bs.journal();
    // A step that ran ahead was journalled when its first command started.
    bool journalled = ahead && ahead->started;
    for (const StepEntry& e : plan.entries) {
        const bool stopped = bs.failed() || bs.stopRequested();
        if (journal && !journalled && !ahead && !stopped && e.kind == StepEntry::Run) {
            // Unrecorded (say the cache is full) the step still runs.
            journal->started(plan.outputs);
            journalled = true;
        }
        if (e.kind == StepEntry::EndGroup) {
            bool open = !stopped;
            if (!opened.empty()) {
                open = opened.back();
                opened.pop_back();
            }
            if (open && builder) builder->endGroup(e.element);
            continue;
        }
        if (e.kind == StepEntry::BeginGroup) opened.push_back(!stopped);
        if (!stopped) perform(bs, e, builder);
    }
    // A failed or interrupted step leaves its outputs untrusted as well; one
    // whose commands all completed ahead of an earlier failure made them whole.
    const bool whole = ahead ? ahead->succeeded : !bs.failed() && !bs.stopRequested();
    if (journal && journalled && whole) {
        const BuildJournal::Commands commands{plan.commands, plan.context};
        journal->finished(plan.outputs, plan.tracked ? &commands : nullptr);
    }
    return plan.built;
}

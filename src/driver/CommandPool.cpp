#include "driver/CommandPool.h"

#include "base/OsFiles.h"
#include "build/Builtins.h"
#include "driver/Process.h"
#include "driver/SlipwayBuilder.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool sameFile(int a, int b) {
    struct stat sa, sb;
    if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A pipe whose reading end does not block; both ends close on exec.
bool openPipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return true;
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Readable once the process has ended; -1 where the kernel has no such
// descriptor (then the pool looks every few milliseconds).
int processFd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
        return int(fd);
    }
#else
    (void)pid;
#endif
    return -1;
}

} // namespace

CommandPool::CommandPool(int jobs, SlipwayBuilder& builder, FileSystem& files)
    : m_jobs(jobs < 1                  ? 1
             : jobs > QTx::MaxChildren ? QTx::MaxChildren
                                       : jobs),
      m_builder(builder), m_files(files), m_sharedStreams(sameFile(1, 2)) {}

CommandPool::~CommandPool() {
    // Nothing may be left running behind the tool's back.
    while (!m_active.empty())
        pump(true);
}

bool CommandPool::canRunAhead(const QStringList& command) const {
    return !command.isEmpty() && !command.first().isEmpty() && !Builtins::isBuiltin(command);
}

int CommandPool::submit(std::vector<Command> commands, std::function<void()> started) {
    const int ticket = ++m_lastTicket;
    Step& step = m_steps.emplace(ticket, Step(m_files)).first->second;
    step.commands = std::move(commands);
    step.started = std::move(started);
    pump(false);
    while (int(m_active.size()) >= m_jobs)
        pump(true);
    startNext(step);
    return ticket;
}

bool CommandPool::stopping() const {
    return m_failed || Interrupts::received();
}

void CommandPool::startNext(Step& step) {
    if (step.next >= step.commands.size()) {
        step.done = true;
        return;
    }
    // Interrupted between two commands of a step: it is undone, as in turn.
    if (Interrupts::received()) {
        if (step.next > 0) step.guard.undo();
        step.done = true;
        return;
    }
    // No step starts once a command has failed; one under way goes on.
    if (step.next == 0 && m_failed) {
        step.done = true;
        return;
    }
    step.outcomes.emplace_back();
    if (!startCommand(step, step.outcomes.back())) {
        finishCommand(step);
        return;
    }
    step.running = true;
    m_active.push_back(&step);
}

bool CommandPool::startCommand(Step& step, Outcome& outcome) {
    const Command& command = step.commands[step.next++];
    outcome.ran = true;
    if (step.next == 1 && step.started) step.started();
    for (const QStringList* files : {&command.outputs, &command.temporaries}) {
        for (const QString& file : *files) {
            if (!file.isEmpty()) m_files.makeDirs(OsFiles::directoryOf(file));
        }
    }
    for (const QString& file : command.outputs) {
        if (!file.isEmpty()) step.guard.add(file);
    }
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (!openPipe(out) || (!m_sharedStreams && !openPipe(err))) {
        closeFd(out[0]);
        closeFd(out[1]);
        outcome.status = -1;
        return false;
    }
    const QString& directory = command.ownDirectory ? command.directory : m_builder.directory();
    step.pid =
        QTx::startProcess(command.command, directory, out[1], m_sharedStreams ? out[1] : err[1]);
    closeFd(out[1]);
    closeFd(err[1]);
    step.outFd = out[0];
    step.errFd = err[0];
    if (step.pid < 0) {
        closeFd(step.outFd);
        closeFd(step.errFd);
        outcome.status = -1;
        return false;
    }
    step.pidFd = processFd(step.pid);
    return true;
}

void CommandPool::finishCommand(Step& step) {
    Outcome& outcome = step.outcomes.back();
    if (step.pid > 0) {
        drain(step.outFd, outcome.output);
        drain(step.errFd, outcome.errors);
        closeFd(step.outFd);
        closeFd(step.errFd);
        closeFd(step.pidFd);
        outcome.status = QTx::reapProcess(step.pid);
        step.pid = -1;
    }
    if (step.running) {
        step.running = false;
        m_active.erase(std::find(m_active.begin(), m_active.end(), &step));
    }
    if (outcome.status != 0 && Interrupts::received()) {
        outcome.interrupted = true;
        step.guard.undo();
    }
    if (outcome.status == 0) {
        startNext(step);
        return;
    }
    if (!outcome.interrupted) m_failed = true;
    step.done = true;
}

void CommandPool::drain(int& fd, QByteArray& into) {
    char buffer[65536];
    while (fd >= 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, n);
        } else if (n == 0) {
            closeFd(fd);
        } else if (errno != EINTR) {
            // EAGAIN: nothing more for now.
            if (errno != EAGAIN) closeFd(fd);
            return;
        }
    }
}

void CommandPool::pump(bool block) {
    std::vector<pollfd> fds;
    std::vector<Step*> owners;
    bool polling = false; // a running command without a process descriptor
    for (Step* step : m_active) {
        for (int fd : {step->outFd, step->errFd, step->pidFd}) {
            if (fd < 0) continue;
            fds.push_back({fd, POLLIN, 0});
            owners.push_back(step);
        }
        if (step->pidFd < 0) polling = true;
    }
    if (fds.empty() && !polling) return;
    const int timeout = !block ? 0 : polling ? 5 : -1;
    if (::poll(fds.data(), nfds_t(fds.size()), timeout) < 0 && errno != EINTR) return;
    std::vector<Step*> ended;
    for (size_t i = 0; i < fds.size(); ++i) {
        Step& step = *owners[i];
        if (!fds[i].revents) continue;
        if (fds[i].fd == step.outFd)
            drain(step.outFd, step.outcomes.back().output);
        else if (fds[i].fd == step.errFd)
            drain(step.errFd, step.outcomes.back().errors);
        else
            ended.push_back(&step);
    }
    if (polling) {
        for (Step* step : m_active) {
            if (step->pidFd < 0 && QTx::processEnded(step->pid)) ended.push_back(step);
        }
    }
    for (Step* step : ended)
        finishCommand(*step);
}

void CommandPool::beginReplay(int ticket) {
    Step& step = m_steps.at(ticket);
    while (!step.done)
        pump(true);
    m_replay = &step;
    m_replayTicket = ticket;
    m_replayNext = 0;
}

void CommandPool::endReplay() {
    if (!m_replay) return;
    m_steps.erase(m_replayTicket);
    m_replay = nullptr;
}

const CommandPool::Outcome* CommandPool::nextOutcome() {
    static const Outcome never;
    if (!m_replay) return nullptr;
    if (m_replayNext < m_replay->outcomes.size()) return &m_replay->outcomes[m_replayNext++];
    return &never;
}

const CommandPool::Step& CommandPool::stepOf(int ticket) const {
    return m_steps.at(ticket);
}

bool CommandPool::done(int ticket) const {
    return stepOf(ticket).done;
}

bool CommandPool::succeeded(int ticket) const {
    const Step& step = stepOf(ticket);
    if (step.outcomes.size() != step.commands.size()) return false;
    for (const Outcome& outcome : step.outcomes) {
        if (outcome.status != 0) return false;
    }
    return true;
}

bool CommandPool::started(int ticket) const {
    return !stepOf(ticket).outcomes.empty();
}

void CommandPool::caughtUp() {
    m_failed = false;
}

int CommandPool::jobsFromEnvironment(QString& warning) {
    const QByteArray value = qgetenv("SLIPWAY_JOBS").trimmed();
    if (value.isEmpty()) return 1;
    if (value == "auto" || value == "0") {
        const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
        return cpus < 1 ? 1 : cpus > QTx::MaxChildren ? QTx::MaxChildren : int(cpus);
    }
    bool ok = false;
    const int jobs = value.toInt(&ok);
    if (ok && jobs >= 1) return jobs > QTx::MaxChildren ? QTx::MaxChildren : jobs;
    warning = QStringLiteral("SLIPWAY_JOBS should be a number of commands or auto, not '%1': "
                             "running one command at a time")
                  .arg(QString::fromLocal8Bit(value));
    return 1;
}

#include "driver/Process.h"

#include "base/OsFiles.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

static_assert(sizeof(sig_atomic_t) >= sizeof(pid_t), "a pid must fit a sig_atomic_t");

// Shared with the signal handlers: the pids of the children started and not
// yet reaped (0: a free slot). A parallel build runs several at once.
volatile sig_atomic_t receivedSignal = 0;
volatile sig_atomic_t runningChildren[QTx::MaxChildren] = {};
volatile sig_atomic_t childStopping = 0;

// Ctrl-C, a polite kill, and the terminal going away (a lost session must
// not leave half-written outputs that look up to date).
constexpr int interruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signals whose handler we installed (not those ignored from the start).
sigset_t handledSignals;

// Each command leads a process group of its own, so what it started in the
// background (a script's "&") is stopped with it.
void stopChild(pid_t child) {
    ::kill(-child, SIGTERM);
    ::kill(-child, SIGCONT); // a stopped child could not act on SIGTERM
}

void stopRunningChildren() {
    if (childStopping) return;
    bool any = false;
    for (const volatile sig_atomic_t& slot : runningChildren) {
        const pid_t child = slot;
        if (child <= 0) continue;
        stopChild(child);
        any = true;
    }
    if (!any) return;
    childStopping = 1;
    ::alarm(Interrupts::GraceSeconds);
}

// With interrupts blocked in this thread.
bool registerChild(pid_t pid) {
    for (volatile sig_atomic_t& slot : runningChildren) {
        if (slot != 0) continue;
        slot = pid;
        // Blocking covers this thread only: a signal taken by another one
        // before the pid was known must still reach the child.
        if (receivedSignal) stopChild(pid);
        return true;
    }
    return false;
}

void unregisterChild(pid_t pid) {
    bool any = false;
    for (volatile sig_atomic_t& slot : runningChildren) {
        if (slot == pid)
            slot = 0;
        else if (slot != 0)
            any = true;
    }
    if (!any) {
        ::alarm(0);
        childStopping = 0;
    }
}

void restoreDefaultActions() {
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int sig : interruptSignals)
        if (sigismember(&handledSignals, sig) == 1) ::sigaction(sig, &standard, nullptr);
}

extern "C" void onInterrupt(int sig) {
    const int saved = errno;
    if (!receivedSignal) receivedSignal = sig;
    stopRunningChildren();
    // A second signal ends the tool at once, even while it waits in a read
    // or write of its own that the first one could not break off.
    restoreDefaultActions();
    errno = saved;
}

extern "C" void onGraceExpired(int) {
    const int saved = errno;
    for (const volatile sig_atomic_t& slot : runningChildren) {
        const pid_t child = slot;
        if (child > 0) ::kill(-child, SIGKILL);
    }
    errno = saved;
}

sigset_t interruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : interruptSignals)
        sigaddset(&set, sig);
    return set;
}

// Runs in the vforked child: it shares the parent's memory, so it only resets
// the signals the parent handles (a pending one must end the child, not run
// the parent's handler), unblocks them, changes directory and execs.
[[noreturn]] void execChild(const char* dir, char* const* argv, const sigset_t* mask, int outFd,
                            int errFd) {
    ::setpgid(0, 0);
    if (outFd >= 0) ::dup2(outFd, 1);
    if (errFd >= 0) ::dup2(errFd, 2);
    restoreDefaultActions();
    ::sigprocmask(SIG_SETMASK, mask, nullptr);
    if (dir && ::chdir(dir) != 0) {
        // Runs in the tool's own directory instead.
    }
    ::execvp(argv[0], argv);
    ::_exit(255);
}

// Waits for the child to end without reaping it: while it is a zombie its pid
// cannot be reused, so the handlers may still signal it safely.
void waitUntilEnded(pid_t pid) {
    siginfo_t info;
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
}

} // namespace

namespace QTx {

namespace {

// Starts the command as the leader of a new process group, registered with
// the interrupt handlers; -1 when it cannot be (no free slot, fork failed, an
// interrupt was received).
pid_t startChild(const QStringList& command, const QString& directory, int outFd, int errFd) {
    if (command.isEmpty()) return -1;
    // Everything is converted before fork: the child only calls async-signal-safe functions.
    std::vector<QByteArray> words;
    words.reserve(command.size());
    for (const QString& word : command)
        words.push_back(OsFiles::osName(word));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray dir = OsFiles::osName(directory);

    // Interrupts stay pending from here until the child is registered, so
    // each one either prevents the start or reaches the child.
    const sigset_t interrupts = interruptSet();
    sigset_t mask;
    ::sigprocmask(SIG_BLOCK, &interrupts, &mask);
    if (receivedSignal) {
        ::sigprocmask(SIG_SETMASK, &mask, nullptr);
        return -1;
    }

    // vfork: the child only changes directory and execs, and copying the
    // page tables of a large parent for every command is the cost to avoid.
    // The parent resumes after the exec, so the child's own setpgid is the
    // one that counts: the group exists before anything can signal it.
    const pid_t pid = ::vfork();
    if (pid == 0)
        execChild(dir.isEmpty() ? nullptr : dir.constData(), argv.data(), &mask, outFd, errFd);
    if (pid > 0 && !registerChild(pid)) {
        // More children than the handlers can stop: not run at all.
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        ::sigprocmask(SIG_SETMASK, &mask, nullptr);
        return -1;
    }
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);
    return pid < 0 ? -1 : pid;
}

} // namespace

pid_t startProcess(const QStringList& command, const QString& directory, int outFd, int errFd) {
    return startChild(command, directory, outFd, errFd);
}

bool processEnded(pid_t pid) {
    siginfo_t info;
    info.si_pid = 0;
    int r;
    do {
        r = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (r < 0 && errno == EINTR);
    return r < 0 || info.si_pid == pid;
}

int reapProcess(pid_t pid) {
    waitUntilEnded(pid);
    const sigset_t interrupts = interruptSet();
    sigset_t mask;
    ::sigprocmask(SIG_BLOCK, &interrupts, &mask);
    // Whatever a stopped command left behind in its group goes with it; the
    // zombie still holds the group's number, so nothing else is hit.
    if (childStopping || receivedSignal) ::kill(-pid, SIGKILL);
    unregisterChild(pid);
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);

    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0 || !WIFEXITED(status)) return -1;
    return static_cast<signed char>(WEXITSTATUS(status));
}

int spawnProcess(const QStringList& command, bool wait, const QString& directory, bool) {
    // The child inherits our stdout; pending output must come before its own.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = startChild(command, directory, -1, -1);
    if (pid < 0) return -1;
    if (!wait) {
        // Nobody waits for it: the handlers leave it alone.
        const sigset_t interrupts = interruptSet();
        sigset_t mask;
        ::sigprocmask(SIG_BLOCK, &interrupts, &mask);
        unregisterChild(pid);
        ::sigprocmask(SIG_SETMASK, &mask, nullptr);
        return 0;
    }
    return reapProcess(pid);
}

} // namespace QTx

namespace Interrupts {

void install() {
    sigemptyset(&handledSignals);
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    action.sa_mask = interruptSet();
    // Restarting keeps file and stream calls of builtins and package updates
    // whole; the handler itself stops the child, so no wait needs to break off.
    // What the tool reads itself is a regular file, which cannot block; a
    // second signal ends the tool in any case.
    action.sa_flags = SA_RESTART;
    for (int sig : interruptSignals) {
        struct sigaction previous = {};
        if (::sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        if (::sigaction(sig, &action, nullptr) == 0) sigaddset(&handledSignals, sig);
    }
    action.sa_handler = onGraceExpired;
    ::sigaction(SIGALRM, &action, nullptr);
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::sigprocmask(SIG_UNBLOCK, &alarm, nullptr);
}

int received() {
    return receivedSignal;
}

void endBySignal(int sig) {
    std::fflush(stdout);
    std::fflush(stderr);
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(sig, &standard, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
}

} // namespace Interrupts

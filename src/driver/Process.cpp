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

// Shared with the signal handlers.
volatile sig_atomic_t receivedSignal = 0;
volatile sig_atomic_t runningChild = 0; // pid of the waited-for child, not yet reaped
volatile sig_atomic_t childStopping = 0;

// Ctrl-C, a polite kill, and the terminal going away (a lost session must
// not leave half-written outputs that look up to date).
constexpr int interruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signals whose handler we installed (not those ignored from the start).
sigset_t handledSignals;

// Each command leads a process group of its own, so what it started in the
// background (a script's "&") is stopped with it.
void stopRunningChild() {
    const pid_t child = runningChild;
    if (child <= 0 || childStopping) return;
    childStopping = 1;
    ::kill(-child, SIGTERM);
    ::kill(-child, SIGCONT); // a stopped child could not act on SIGTERM
    ::alarm(Interrupts::GraceSeconds);
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
    stopRunningChild();
    // A second signal ends the tool at once, even while it waits in a read
    // or write of its own that the first one could not break off.
    restoreDefaultActions();
    errno = saved;
}

extern "C" void onGraceExpired(int) {
    const int saved = errno;
    const pid_t child = runningChild;
    if (child > 0) ::kill(-child, SIGKILL);
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
[[noreturn]] void execChild(const char* dir, char* const* argv, const sigset_t* mask) {
    ::setpgid(0, 0);
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

int spawnProcess(const QStringList& command, bool wait, const QString& directory, bool) {
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

    // The child inherits our stdout; pending output must come before its own.
    std::fflush(stdout);
    std::fflush(stderr);

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
    if (pid == 0) execChild(dir.isEmpty() ? nullptr : dir.constData(), argv.data(), &mask);
    if (pid > 0 && wait) {
        childStopping = 0;
        runningChild = pid;
        // Blocking covers this thread only: a signal taken by another one
        // before the pid was known must still reach the child.
        if (receivedSignal) stopRunningChild();
    }
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);
    if (pid < 0) return -1;
    if (!wait) return 0;

    waitUntilEnded(pid);
    ::sigprocmask(SIG_BLOCK, &interrupts, nullptr);
    // Whatever a stopped command left behind in its group goes with it; the
    // zombie still holds the group's number, so nothing else is hit.
    if (childStopping) ::kill(-pid, SIGKILL);
    runningChild = 0;
    ::alarm(0);
    childStopping = 0;
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);

    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0 || !WIFEXITED(status)) return -1;
    return static_cast<signed char>(WEXITSTATUS(status));
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

#include "driver/Process.h"

#include <cerrno>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs in the vforked child: only chdir and exec, sharing the parent's memory.
[[noreturn]] void execChild(const char* dir, char* const* argv) {
    if (dir && ::chdir(dir) != 0) {
        // Runs in the tool's own directory instead.
    }
    ::execvp(argv[0], argv);
    ::_exit(255);
}

} // namespace

namespace QTx {

int spawnProcess(const QStringList& command, bool wait, const QString& directory, bool) {
    if (command.isEmpty()) return -1;
    // Everything is converted before fork: the child only calls async-signal-safe functions.
    std::vector<QByteArray> words;
    words.reserve(command.size());
    for (const QString& word : command)
        words.push_back(word.toLatin1());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray dir = directory.toLatin1();

    // The child inherits our stdout; pending output must come before its own.
    std::fflush(stdout);
    std::fflush(stderr);

    // vfork: the child only changes directory and execs, and copying the
    // page tables of a large parent for every command is the cost to avoid.
    const pid_t pid = ::vfork();
    if (pid < 0) return -1;
    if (pid == 0) execChild(dir.isEmpty() ? nullptr : dir.constData(), argv.data());
    if (!wait) return 0;

    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0 || !WIFEXITED(status)) return -1;
    return static_cast<signed char>(WEXITSTATUS(status));
}

} // namespace QTx

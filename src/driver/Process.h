#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace QTx {

// How many children may run at once (the interrupt handlers stop them all).
constexpr int MaxChildren = 256;

// Runs command[0] with the rest as arguments (no shell), in directory when it
// is not empty, as the leader of a new process group. With wait: the exit
// status as a signed 8-bit value, or -1 for a signal, an exit status of 255 or
// a program that cannot be started. Without wait: 0 once the child is
// started, -1 when fork fails. Once an interrupt has been received (see below)
// no child is started and the result is -1; a waited-for child that is
// running when one arrives is stopped.
int spawnProcess(const QStringList& command, bool wait, const QString& directory, bool unused);

// Starts command as spawnProcess does without waiting, its standard output
// and error on outFd and errFd (-1: ours). Until reapProcess an interrupt
// stops it as it stops a waited-for child. Returns its pid, or -1 when it
// cannot be started (fork fails, MaxChildren are running, an interrupt was
// received).
pid_t startProcess(const QStringList& command, const QString& directory, int outFd, int errFd);
// Whether the child has ended (it stays unreaped).
bool processEnded(pid_t pid);
// Waits for the child to end and reaps it: its status as spawnProcess answers it.
int reapProcess(pid_t pid);

} // namespace QTx

// SIGINT, SIGTERM and SIGHUP stop a build instead of killing the tool
// outright: the handler records the signal and stops the command that is
// running, with its process group (SIGTERM, and SIGKILL if it is still there
// after the grace period); the builder then starts nothing more, and the
// driver ends the process by the same signal. A second signal ends the tool
// at once.
namespace Interrupts {

constexpr int GraceSeconds = 2;

// Installs the handlers. A signal that is ignored when the tool starts (as for
// background jobs of a non-interactive shell) stays ignored.
void install();

// The first signal received since install, or 0.
int received();

// Restores the default action of sig and raises it, so the parent sees the
// tool end by that signal (status 128 + sig in a shell).
[[noreturn]] void endBySignal(int sig);

} // namespace Interrupts

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Runs the commands of decided build steps ahead of their turn, several at
// once, while the build engine goes on deciding. The engine still replays
// every step in order on its Builder; for a step that ran ahead, the
// builder's doit() then reports what the command printed and how it ended
// instead of running it. A front end implements this; without one every
// command runs in turn.
class RunAhead {
public:
    struct Command {
        // Where it runs; without one of its own, in the builder's current directory.
        QString directory;
        bool ownDirectory = false;
        QStringList command;
        QStringList outputs;     // as the builder's setOutputFiles
        QStringList temporaries; // as setTemporaryFiles
    };

    virtual ~RunAhead() = default;

    // Whether the command is a program that may run ahead (not a builtin,
    // which runs in turn).
    virtual bool canRunAhead(const QStringList& command) const = 0;

    // Queues a step's commands: they run one after the other, each only when
    // the one before succeeded. started is called just before the first one
    // starts, and not at all when none does (once a command has failed or the
    // build was interrupted, no further step starts). Returns the step's ticket.
    virtual int submit(std::vector<Command> commands, std::function<void()> started) = 0;

    // Whether a command that ran ahead has failed, or an interrupt arrived:
    // the engine should catch up with the steps it handed over.
    virtual bool stopping() const = 0;

    // Whether the step's commands have all ended (or will never start).
    virtual bool done(int ticket) const = 0;

    // Waits until the step's commands have ended and makes the builder report
    // them, in order, on its next doit() calls, until endReplay.
    virtual void beginReplay(int ticket) = 0;
    virtual void endReplay() = 0;

    // After beginReplay: whether every command of the step ran and succeeded.
    virtual bool succeeded(int ticket) const = 0;
    // Whether the step's first command was started.
    virtual bool started(int ticket) const = 0;

    // The engine has caught up (every step handed over has been replayed):
    // a failure it has dealt with no longer holds back new steps.
    virtual void caughtUp() = 0;
};

#pragma once

#include <QByteArray>

#include <functional>
#include <unordered_map>
#include <vector>

#include "base/FileSystem.h"
#include "base/RunAhead.h"
#include "driver/OutputGuard.h"

class SlipwayBuilder;

// Runs the commands of steps ahead of their turn, up to jobs at once, with
// what they print captured; the console builder reports it when the step's
// turn comes. Everything happens on the calling thread: the pool only works
// while the engine submits a step or waits for one.
class CommandPool : public RunAhead {
public:
    // What one command printed and how it ended.
    struct Outcome {
        bool ran = false;         // it was started (or could not be: status -1)
        bool interrupted = false; // stopped by an interrupt
        int status = 0;           // as QTx::spawnProcess answers it
        QByteArray output;        // standard output, and error when both are one file
        QByteArray errors;
    };

    // Commands run in the builder's current directory; output directories
    // are made and interrupted steps undone through files.
    CommandPool(int jobs, SlipwayBuilder& builder, FileSystem& files = FileSystem::real());
    ~CommandPool() override;
    CommandPool(const CommandPool&) = delete;
    CommandPool& operator=(const CommandPool&) = delete;

    bool canRunAhead(const QStringList& command) const override;
    int submit(std::vector<Command> commands, std::function<void()> started) override;
    bool stopping() const override;
    void beginReplay(int ticket) override;
    void endReplay() override;
    bool done(int ticket) const override;
    bool succeeded(int ticket) const override;
    bool started(int ticket) const override;
    void caughtUp() override;

    // While a step is replayed: the outcome of its next command (one that
    // never ran when the step has no more); null when no step is replayed.
    const Outcome* nextOutcome();

    // SLIPWAY_JOBS: a number of commands at once, or 0 / "auto" for the
    // number of online processors; unset, empty or 1 gives 1. Anything else
    // gives 1 and a warning for standard error.
    static int jobsFromEnvironment(QString& warning);

private:
    struct Step {
        std::vector<Command> commands;
        std::vector<Outcome> outcomes;
        std::function<void()> started;
        size_t next = 0;
        bool running = false;
        bool done = false;
        pid_t pid = -1;
        int outFd = -1;
        int errFd = -1;
        int pidFd = -1;
        explicit Step(FileSystem& files) : guard(files) {}
        OutputGuard guard;
    };

    void startNext(Step& step);
    bool startCommand(Step& step, Outcome& outcome);
    void finishCommand(Step& step);
    // Reads what the running commands print and finishes those that ended;
    // with block, waits until something happens.
    void pump(bool block);
    static void drain(int& fd, QByteArray& into);
    const Step& stepOf(int ticket) const;

    int m_jobs;
    SlipwayBuilder& m_builder;
    FileSystem& m_files;
    bool m_sharedStreams; // standard output and error are one file
    int m_lastTicket = 0;
    bool m_failed = false;
    std::unordered_map<int, Step> m_steps;
    std::vector<Step*> m_active; // those with a command running
    Step* m_replay = nullptr;
    int m_replayTicket = 0;
    size_t m_replayNext = 0;
};

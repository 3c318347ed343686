#pragma once

// Decided steps whose commands run ahead of their turn (parallel builds).
// Their plans are kept in the order a serial build would run them and replayed
// in that order once their commands have ended, so the builder sees exactly
// the calls of a serial build; only the commands' own running overlaps.

#include <deque>

#include "base/RunAhead.h"
#include "build/StepPlan.h"

class Builder;
class StandardBuildSystem;

class StepQueue {
public:
    explicit StepQueue(StandardBuildSystem& buildSystem) : m_bs(buildSystem) {}

    // Null (the default): every step runs in turn.
    void setRunAhead(RunAhead* runAhead) { m_runAhead = runAhead; }
    RunAhead* runAhead() const { return m_runAhead; }

    // Runs a decided step that depends on nothing still running: ahead when
    // its commands may (programs only), else in turn after every step handed
    // over before it. Answers the plan's built value either way.
    bool runIndependent(StepPlan plan, Builder* builder);

    // Replays every step handed over, waiting for their commands.
    void catchUp(Builder* builder);

    bool empty() const { return m_pending.empty(); }

private:
    struct Pending {
        StepPlan plan;
        int ticket = 0;
    };
    // The commands the plan runs, or false when it cannot run ahead.
    // setsDirectory: the builder keeps a directory the plan sets.
    bool commandsOf(const StepPlan& plan, std::vector<RunAhead::Command>& commands,
                    bool& setsDirectory) const;
    // Carries out the plan's cleaning now; what it prints takes the cleaning's
    // place in the plan.
    void cleanNow(StepPlan& plan);
    void replayFirst(Builder* builder);

    StandardBuildSystem& m_bs;
    RunAhead* m_runAhead = nullptr;
    std::deque<Pending> m_pending;
    bool m_directorySet = false; // by a pending plan
};

#pragma once

// Carries out a decided build step on the builder.

class Builder;
class StandardBuildSystem;
struct StepPlan;

// How the commands of a step that ran ahead of its turn went.
struct RanAhead {
    bool started = false;   // its first command was started (and journalled)
    bool succeeded = false; // every command ran and succeeded
};

// Replays the plan in order on builder (null: only the build system's own file
// work is done) and answers the plan's built value. Once the build has failed
// or is stopping, the rest of the plan is skipped except for closing the
// groups it opened. File times are forgotten after every command. For a step
// that ran ahead, the builder reports its commands instead of running them;
// outputs its commands completed are trusted even when an earlier step failed.
bool runStep(StandardBuildSystem& buildSystem, const StepPlan& plan, Builder* builder,
             const RanAhead* ahead = nullptr);

#pragma once

// Carries out a decided build step on the builder.

class Builder;
class StandardBuildSystem;
struct StepPlan;

// Replays the plan in order on builder (null: only the build system's own file
// work is done) and answers the plan's built value. Once the build has failed
// or is stopping, the rest of the plan is skipped except for closing the
// groups it opened. File times are forgotten after every command.
bool runStep(StandardBuildSystem& buildSystem, const StepPlan& plan, Builder* builder);

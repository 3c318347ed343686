#pragma once

// Deciding a build step: whether the element's output is up to date and, if
// not, what making it takes. Only reads files; the toolchain hook
// createCommandFor is handed a recording builder.

#include "build/StepContext.h"
#include "build/StepPlan.h"

class StandardBuildSystem;

StepPlan scanStep(StandardBuildSystem& buildSystem, const StepContext& context);

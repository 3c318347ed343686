#pragma once

// Connects the solution model to the build layer: the model's setting lists and
// macro expansion then follow whichever build system exists at each call. Call
// once, before the first solution is loaded; calling again does no harm.
void installBuildHooks();

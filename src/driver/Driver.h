#pragma once

#include <functional>

class StepFailures;

// The whole run of the tool; returns the process exit status.
int slipwayMain(int argc, char** argv);

// Runs body inside the tool's one exception handler: load, object-file and
// unexpected errors print one line on standard error and give status 0, or
// with strict (strict mode) status 2 and the reason recorded there.
int runGuarded(const std::function<int()>& body, StepFailures* strict = nullptr);

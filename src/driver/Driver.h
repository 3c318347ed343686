#pragma once

// The whole run of the tool; returns the process exit status.
int slipwayMain(int argc, char** argv);

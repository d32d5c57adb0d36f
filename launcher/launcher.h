#pragma once

#include <cstdint>

// The arguments handed to the Java main. The entry point sets them before
// runLauncher starts; the command line is never used, so the Java main
// always receives an empty String[].
extern std::int32_t launchArgumentCount;
extern char** launchArguments;

// Performs the whole launch and returns the process exit status.
int runLauncher();

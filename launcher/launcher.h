#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The arguments handed to the Java main. The entry point sets them to none;
// runLauncher points them at the command line when config.json asks for it
// with "passArguments", or else at its "defaultArguments", so by default the
// Java main receives an empty String[].
extern std::int32_t launchArgumentCount;
extern char** launchArguments;

// Performs the whole launch and returns the process exit status.
// `commandLine` holds the arguments the launcher was started with, its own
// name excluded, in the form platform::commandLineEncoding names.
int runLauncher(const std::vector<std::string>& commandLine);

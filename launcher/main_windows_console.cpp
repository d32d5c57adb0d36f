#include "launcher/launcher.h"
#include "launcher/windows/command_line.h"

// The console-subsystem entry point, for command-line Java programs: the
// same launch, in the console it was started from (or a new one).
int wmain(int argc, wchar_t** argv) {
    launchArgumentCount = 0;
    launchArguments = nullptr;
    return runLauncher(commandLineAsModifiedUtf8(argc, argv));
}

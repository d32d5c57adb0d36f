#include "launcher/launcher.h"
#include "launcher/windows/command_line.h"

#include <windows.h>

#include <cstdlib>

// The GUI-subsystem entry point: no console window appears. The command line
// is the one the C runtime split for it (__wargv).
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    launchArgumentCount = 0;
    launchArguments = nullptr;
    return runLauncher(commandLineAsModifiedUtf8(__argc, __wargv));
}

#include "launcher/launcher.h"

#include <windows.h>

// The GUI-subsystem entry point: no console window appears. Its arguments,
// the command line included, are not used: the Java main always receives an
// empty String[].
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    launchArgumentCount = 0;
    launchArguments = nullptr;
    return runLauncher();
}

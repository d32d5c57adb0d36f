#include "jvm/modified_utf8.h"
#include "launcher/launcher.h"

#include <windows.h>

#include <cstdlib>

// The GUI-subsystem entry point: no console window appears. The command line
// is the C runtime's split of the UTF-16 command line (__wargv, as wmain
// receives it), kept as modified UTF-8 so that every character reaches the
// Java main, those outside the ANSI code page included.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    launchArgumentCount = 0;
    launchArguments = nullptr;
    std::vector<std::string> commandLine;
    for (int i = 1; i < __argc && __wargv != nullptr; ++i) {
        const std::wstring argument = __wargv[i];
        commandLine.push_back(modifiedUtf8(std::u16string(argument.begin(), argument.end())));
    }
    return runLauncher(commandLine);
}

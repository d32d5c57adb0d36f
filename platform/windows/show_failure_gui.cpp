// How the GUI executable shows a failure or a warning: a double-clicked
// launcher has no console, so the message is shown in a box unless standard
// error is redirected.
#include "platform/platform.h"
#include "platform/windows/windows_platform.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace platform {

namespace {

// The executable's file name, for the title of a message box.
std::wstring executableName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = std::wcsrchr(path, L'\\');
    return name != nullptr ? name + 1 : path;
}

void show(const char* kind, UINT icon, const std::string& message, bool isUtf8) {
    // With standard error redirected no box appears, so scripted runs never block.
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if (standardError != nullptr && standardError != INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "%s: %s\n", kind, isUtf8 ? toAnsi(failureText(message, true)).c_str() : message.c_str());
        std::fflush(stderr);
        return;
    }
    // The system's icon, not the product's: the box must read as a failure
    // or a warning at a glance; its title names the product. The box shows
    // every character.
    MessageBoxW(nullptr, failureText(message, isUtf8).c_str(), executableName().c_str(), MB_OK | icon);
}

}  // namespace

void showFailure(const std::string& message, bool isUtf8) {
    show("error", MB_ICONERROR, message, isUtf8);
}

void showWarning(const std::string& message, bool isUtf8) {
    show("warning", MB_ICONWARNING, message, isUtf8);
}

}  // namespace platform

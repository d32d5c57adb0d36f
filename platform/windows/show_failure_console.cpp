// How the console executable shows a failure or a warning: on standard error
// only, as a command-line program does, never in a window.
#include "platform/platform.h"
#include "platform/windows/windows_platform.h"

#include <cstdio>

namespace platform {

namespace {

void show(const char* kind, const std::string& message, bool isUtf8) {
    std::fprintf(stderr, "%s: %s\n", kind, isUtf8 ? toAnsi(failureText(message, true)).c_str() : message.c_str());
    std::fflush(stderr);
}

}  // namespace

void showFailure(const std::string& message, bool isUtf8) {
    show("error", message, isUtf8);
}

void showWarning(const std::string& message, bool isUtf8) {
    show("warning", message, isUtf8);
}

}  // namespace platform

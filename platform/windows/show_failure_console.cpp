// How the console executable shows a failure: on standard error only, as a
// command-line program does, never in a window.
#include "platform/platform.h"
#include "platform/windows/windows_platform.h"

#include <cstdio>

namespace platform {

void showFailure(const std::string& message, bool isUtf8) {
    std::fprintf(stderr, "error: %s\n", isUtf8 ? toAnsi(failureText(message, true)).c_str() : message.c_str());
    std::fflush(stderr);
}

}  // namespace platform

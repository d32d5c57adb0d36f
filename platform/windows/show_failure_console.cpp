// How the console executable shows a failure: on standard error only, as a
// command-line program does, never in a window.
#include "platform/platform.h"

#include <cstdio>

namespace platform {

void showFailure(const std::string& message) {
    std::fprintf(stderr, "error: %s\n", message.c_str());
    std::fflush(stderr);
}

}  // namespace platform

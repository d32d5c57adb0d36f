#include "launcher/launch_failure.h"

#include "launcher/trace.h"
#include "platform/platform.h"

#include <cstdio>

namespace {

// The message is one line, whatever texts it quotes.
std::string oneLine(std::string message) {
    for (char& c : message) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return message;
}

}  // namespace

int reportFailure(const LaunchFailure& failure) {
    // A launch that stops before config.json said otherwise is traced, so
    // that the user sees how far it came.
    writeHeldTrace();
    if (!failure.message.empty()) {
        // Trace lines are still buffered; write them first so that a log that
        // combines both streams keeps its order.
        std::fflush(stdout);
        platform::showFailure(oneLine(failure.message), failure.messageIsUtf8);
    }
    return static_cast<int>(failure.status);
}

void reportWarning(const std::string& message) {
    platform::showWarning(oneLine(message), false);
}

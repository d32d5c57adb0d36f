#include "launcher/launch_failure.h"

#include "launcher/trace.h"
#include "platform/platform.h"

#include <cstdio>

int reportFailure(const LaunchFailure& failure) {
    // A launch that stops before config.json said otherwise is traced, so
    // that the user sees how far it came.
    writeHeldTrace();
    if (!failure.message.empty()) {
        // Trace lines are still buffered; write them first so that a log that
        // combines both streams keeps its order.
        std::fflush(stdout);
        std::string line = failure.message;
        for (char& c : line) {
            if (static_cast<unsigned char>(c) < 0x20) {
                c = ' ';  // the message is one line, whatever texts it quotes
            }
        }
        platform::showFailure(line, failure.messageIsUtf8);
    }
    return static_cast<int>(failure.status);
}

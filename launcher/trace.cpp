#include "launcher/trace.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

enum class TraceState { held, written, dropped };
TraceState state = TraceState::written;
std::string heldBack;

}  // namespace

void traceLine(const char* format, ...) {
    if (state == TraceState::dropped) return;
    va_list arguments;
    va_start(arguments, format);
    if (state == TraceState::written) {
        std::vprintf(format, arguments);
    } else {
        va_list measuring;
        va_copy(measuring, arguments);
        const int length = std::vsnprintf(nullptr, 0, format, measuring);
        va_end(measuring);
        if (length > 0) {
            std::string line(static_cast<std::size_t>(length) + 1, '\0');
            std::vsnprintf(line.data(), line.size(), format, arguments);
            line.resize(static_cast<std::size_t>(length));
            heldBack += line;
        }
    }
    va_end(arguments);
}

void holdTrace() {
    state = TraceState::held;
}

void decideTrace(bool written) {
    if (state == TraceState::held && written) std::fwrite(heldBack.data(), 1, heldBack.size(), stdout);
    heldBack.clear();
    state = written ? TraceState::written : TraceState::dropped;
}

void writeHeldTrace() {
    if (state == TraceState::held) decideTrace(true);
}

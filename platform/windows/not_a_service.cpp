// The GUI and console executables run as no service: the JVM ends the
// program itself on a console's Ctrl+C or the user's logoff.
#include "platform/platform.h"

namespace platform {

void takeStopRequests(const std::function<void()>&) {}

void processEnding(int) {}

}  // namespace platform

#pragma once

#include <functional>
#include <string>

namespace platform {

// Runs the process as the one service the service manager started it for:
// `launch` runs on the service's thread, with the arguments the service was
// started with (its name first, in the place of a program's), while the
// service manager is told that the service starts (platform::takeStopRequests
// then tells it that it runs); once `launch` returns, that the service stopped
// with the status it returned, any but 0 as the service's own exit code.
// `status` is then that status. False, saying why in `error` (UTF-8), when
// the process was not started by the service manager (run by hand, say).
bool runAsService(const std::function<int(int argc, wchar_t** argv)>& launch, int& status, std::string& error);

}  // namespace platform

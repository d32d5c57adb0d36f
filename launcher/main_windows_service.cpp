#include "launcher/launch_failure.h"
#include "launcher/launcher.h"
#include "launcher/windows/command_line.h"
#include "platform/platform.h"
#include "platform/windows/service.h"

#include <string>

// The service variant's entry point: the service manager starts the process,
// and the same launch runs as the service, with the arguments the service was
// started with (sc start NAME ARGUMENT...). Started by hand it runs nothing:
// a second copy of the program beside the service's would share its files.
int wmain(int, wchar_t**) {
    const auto launch = [](int argc, wchar_t** argv) {
        launchArgumentCount = 0;
        launchArguments = nullptr;
        return runLauncher(commandLineAsModifiedUtf8(argc, argv));
    };
    int status = 0;
    std::string error;
    if (platform::runAsService(launch, status, error)) return status;
    return reportFailure({ExitStatus::configurationUnusable,
                          platform::launcherName() + " runs the program as a Windows service, and " + error +
                              ": start the service its installer registered for it (net start NAME, or sc start "
                              "NAME), NAME being the product's name, or PRODUCT-" + platform::launcherName() +
                              " for a launcher other than the product's own",
                          true});
}

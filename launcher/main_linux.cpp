#include "launcher/launcher.h"

// The arguments are kept as the bytes the system passed; the JVM decodes them
// as the JDK's own launcher does.
int main(int argc, char** argv) {
    launchArgumentCount = 0;
    launchArguments = nullptr;
    return runLauncher(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}

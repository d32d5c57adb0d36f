#include "launcher/launcher.h"

// The command line is not used: the Java main always receives an empty String[].
int main() {
    launchArgumentCount = 0;
    launchArguments = nullptr;
    return runLauncher();
}

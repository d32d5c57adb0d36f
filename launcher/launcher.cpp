#include "launcher/launcher.h"

#include "config/config_file.h"
#include "config/launch_settings_loader.h"
#include "jvm/exit_on_stop.h"
#include "jvm/java_main.h"
#include "jvm/java_vm.h"
#include "jvm/modified_utf8.h"
#include "launcher/launch_settings.h"
#include "launcher/running_copy.h"
#include "launcher/trace.h"
#include "platform/platform.h"

#include <cstdio>

std::int32_t launchArgumentCount = 0;
char** launchArguments = nullptr;

namespace {

// Makes the configured folder the current directory, if one is configured.
StageResult enterWorkingDirectory(const LaunchSettings& settings) {
    std::string error;
    if (settings.workingDirectory.empty() || platform::changeDirectory(settings.workingDirectory, error)) {
        return std::nullopt;
    }
    return LaunchFailure{ExitStatus::configurationUnusable,
                         "cannot make " + settings.workingDirectory + " the working directory (\"workingDirectory\" in " +
                             settings.configPath + "): " + error + "; create that folder or change \"workingDirectory\""};
}

// The JVM cannot start without a current folder (one that was deleted while
// the user's shell stayed in it), and would say so with a stack trace.
StageResult checkCurrentDirectory() {
    std::string directory;
    std::string error;
    if (platform::currentDirectoryUtf8(directory, error)) return std::nullopt;
    return LaunchFailure{ExitStatus::vmCreationFailed, "cannot start the Java VM in the current folder: " + error +
                                                           "; start the program from a folder that exists"};
}

// The Java main receives the command line when the product asks for it and
// there is one, and otherwise the product's default arguments.
std::vector<std::string> argumentsForMain(const LaunchSettings& settings, const std::vector<std::string>& commandLine) {
    if (settings.passArguments && !commandLine.empty()) {
        return commandLine;
    }
    std::vector<std::string> defaults;
    for (const std::string& argument : settings.defaultArguments) {
        defaults.push_back(platform::commandLineEncoding == platform::CommandLineEncoding::modifiedUtf8
                               ? modifiedUtf8FromUtf8(argument)
                               : argument);
    }
    return defaults;
}

// sun.java.command as java sets it: the main class (after its module, if it
// has one) and the arguments, separated by spaces.
std::string javaCommandProperty(const LaunchSettings& settings, const std::vector<std::string>& arguments) {
    std::string command = settings.mainModule.empty() ? "" : settings.mainModule + "/";
    for (const char c : settings.mainClass) command += c == '/' ? '.' : c;
    for (const std::string& argument : arguments) {
        command += " " + (platform::commandLineEncoding == platform::CommandLineEncoding::modifiedUtf8
                              ? utf8FromModifiedUtf8(argument)
                              : argument);
    }
    return "-Dsun.java.command=" + platform::jvmText(command);
}

}  // namespace

int runLauncher(const std::vector<std::string>& commandLine) {
    LaunchSettings settings;
    holdTrace();  // until config.json says whether the product wants it

    std::string directoryError;
    if (!platform::getApplicationDirectory(settings.applicationDir, directoryError)) {
        return reportFailure({ExitStatus::configurationUnusable, directoryError, true});
    }

    // The configuration file stays open until the Java program has finished.
    settings.configPath = settings.applicationDir + "/config.json";
    settings.launcherName = platform::launcherName();
    ConfigFile configFile = openConfigFile(settings.configPath);
    traceLine("config file: %s\n", settings.configPath.c_str());

    if (StageResult failure = loadLaunchSettings(configFile.stream, configFile.openError, settings)) {
        return reportFailure(*failure);
    }

    // Until the program ends; a later start hands its command line to it.
    RunningCopy runningCopy;
    if (runningCopy.handOverOrListen(settings, commandLine)) {
        return static_cast<int>(ExitStatus::success);
    }

    const std::vector<std::string> mainArguments = argumentsForMain(settings, commandLine);
    std::vector<char*> argumentTexts;
    for (const std::string& argument : mainArguments) argumentTexts.push_back(const_cast<char*>(argument.c_str()));
    launchArgumentCount = static_cast<std::int32_t>(argumentTexts.size());
    launchArguments = argumentTexts.data();
    if (settings.setJavaCommand) {
        settings.launcherProperties.push_back(javaCommandProperty(settings, mainArguments));
    }

    if (StageResult failure = enterWorkingDirectory(settings)) {
        return reportFailure(*failure);
    }
    if (StageResult failure = checkCurrentDirectory()) {
        return reportFailure(*failure);
    }

    CreatedJavaVm javaVm;
    if (StageResult failure = createJavaVm(settings, javaVm)) {
        return reportFailure(*failure);
    }
    // A service's stop ends the program as System.exit(0) would.
    const ExitOnStopRequest stopEndsTheProgram(javaVm.vm);

    const BeforeMain deliverLaterStarts = [&](JNIEnv* env) { return runningCopy.deliverTo(javaVm.vm, env, settings); };
    if (StageResult failure =
            runJavaMain(javaVm.vm, javaVm.env, settings.mainClass, settings.mainModule, settings.jarPath,
                        deliverLaterStarts)) {
        return reportFailure(*failure);
    }
    return static_cast<int>(ExitStatus::success);
}

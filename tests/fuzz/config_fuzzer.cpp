// Feeds arbitrary bytes through the whole configuration stage as the launcher
// runs it: a stream over the bytes of config.json, the parse, LaunchSettings,
// and the option texts handed to the JVM. Any crash, sanitizer report or
// broken invariant below is a finding.
#include "config/launch_settings_loader.h"
#include "jvm/java_vm.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

namespace {

void require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace lines would drown the fuzzer's own output.
    require(std::freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream configStream(std::string(reinterpret_cast<const char*>(data), size));
    LaunchSettings settings;
    settings.applicationDir = "/opt/product";
    settings.configPath = settings.applicationDir + "/config.json";
    settings.launcherName = "tool";  // so that an entry of "launchers" named so is read in place of the top level

    const StageResult failure = loadLaunchSettings(configStream, "", settings);
    if (failure) {
        require(failure->status == ExitStatus::configurationUnusable);
        require(failure->message.find(settings.configPath) != std::string::npos);
        return 0;
    }

    require(settings.configRoot.is<picojson::object>());
    // A program run from its main module may have no jar; any other has one in the folder, first on the class path.
    require(settings.jarPath.rfind(settings.applicationDir + "/", 0) == 0 ||
            (settings.jarPath.empty() && !settings.mainModule.empty()));
    require(settings.classPathOption.rfind("-Djava.class.path=" + settings.jarPath, 0) == 0);
    // A method for later starts is named whole, its class in the JVM's internal form.
    require(settings.laterStartMethod.empty() == settings.laterStartClass.empty());
    require(settings.laterStartMethod.empty() ||
            (settings.singleInstance && settings.laterStartClass.find('.') == std::string::npos));

    const JavaVmOptions options = buildJavaVmOptions(settings);
    // The class path, the JVM's three hooks, the launcher's own properties, then vmArgs.
    const std::size_t firstVmArg = 4 + settings.launcherProperties.size();
    require(options.records.size() == settings.vmArgs.size() + firstVmArg);
    require(options.records[0].optionString == settings.classPathOption.c_str());
    for (std::size_t hook = 1; hook <= 3; ++hook) require(options.records[hook].extraInfo != nullptr);
    for (std::size_t k = 0; k < settings.vmArgs.size(); ++k) {
        const JavaVMOption& record = options.records[k + firstVmArg];
        require(record.extraInfo == nullptr && record.optionString != nullptr);
        // A plain ASCII string without "$APPDIR" reaches the JVM as it stands, up to its first NUL.
        const picojson::value& vmArg = settings.vmArgs[k];
        if (vmArg.is<std::string>() && vmArg.get<std::string>().find('$') == std::string::npos) {
            const std::string& text = vmArg.get<std::string>();
            bool plain = true;
            for (const char c : text) plain = plain && static_cast<unsigned char>(c) < 0x80;
            if (plain) require(std::strcmp(record.optionString, text.c_str()) == 0);
        }
    }
    return 0;
}

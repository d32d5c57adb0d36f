#include "jvm/java_vm.h"

#include "jvm/jvm_hooks.h"
#include "jvm/jvm_library.h"
#include "jvm/splash_screen.h"
#include "launcher/trace.h"
#include "platform/platform.h"

#include <cstdio>

JavaVmOptions buildJavaVmOptions(const LaunchSettings& settings) {
    JavaVmOptions options;
    options.texts.reserve(settings.vmArgs.size());
    for (const picojson::value& vmArg : settings.vmArgs) {
        options.texts.push_back(expandApplicationDir(platform::jvmText(vmArg.to_str()), settings.applicationDir));
    }

    // The JNI option record wants a mutable pointer; the VM only reads it.
    options.records.reserve(options.texts.size() + settings.launcherProperties.size() + 4);
    options.records.push_back({const_cast<char*>(settings.classPathOption.c_str()), nullptr});
    // Before the user's options: the JVM takes its options in order, and
    // what it says about a rejected one goes through the hook only if the
    // hook came first.
    options.records.push_back({const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&jvmPrintHook)});
    options.records.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&jvmExitHook)});
    options.records.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&jvmAbortHook)});
    for (const std::string& property : settings.launcherProperties) {
        options.records.push_back({const_cast<char*>(property.c_str()), nullptr});
    }
    for (std::size_t k = 0; k < options.texts.size(); ++k) {
        options.records.push_back({options.texts[k].data(), nullptr});
        traceLine("vmArg %d: %s\n", static_cast<int>(k), options.texts[k].c_str());
    }
    return options;
}

std::string describeJniStatus(jint status) {
    switch (status) {
    case JNI_ERR:
        return "JNI_ERR, an unknown error: most often an option in \"vmArgs\" that the JVM does not recognise";
    case JNI_EDETACHED:
        return "JNI_EDETACHED, the thread is detached from the VM";
    case JNI_EVERSION:
        return "JNI_EVERSION: the Java runtime does not support JNI version 1.6";
    case JNI_ENOMEM:
        return "JNI_ENOMEM, not enough memory: lower the heap size (-Xmx) or other memory options in \"vmArgs\"";
    case JNI_EEXIST:
        return "JNI_EEXIST: a Java VM already exists in this process";
    case JNI_EINVAL:
        return "JNI_EINVAL, invalid arguments: an option in \"vmArgs\" is not valid for this JVM";
    default:
        return "an undocumented status: check the options in \"vmArgs\" and the Java runtime in jre";
    }
}

StageResult createJavaVm(const LaunchSettings& settings, CreatedJavaVm& created) {
    created.options = buildJavaVmOptions(settings);

    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_6;
    initArgs.nOptions = static_cast<jint>(created.options.records.size());
    initArgs.options = created.options.records.data();
    initArgs.ignoreUnrecognized = JNI_FALSE;  // a mistyped option must fail loudly, not be skipped

    CreateJavaVmFunction createVm = nullptr;
    if (StageResult failure = loadJvmLibrary(settings.applicationDir, createVm)) {
        return failure;
    }
    // After the JVM library, as under java, and before the JVM: the splash is up while it starts.
    showSplashScreen(settings);

    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    jint status = JNI_ERR;
    {
        VmCreationInProgress creating;
        status = createVm(&vm, reinterpret_cast<void**>(&env), &initArgs);
    }
    if (status != JNI_OK || vm == nullptr || env == nullptr) {
        // A double-clicked launcher has no console: what the JVM printed (the
        // option it rejects, say) is quoted.
        const std::string said = jvmWordsDuringCreation();
        return LaunchFailure{ExitStatus::vmCreationFailed,
                             "the Java VM could not be created (status " + std::to_string(status) + ", " +
                                 describeJniStatus(status) + ")" +
                                 (said.empty() ? std::string() : ", saying \"" + said + "\"")};
    }
    created.vm = vm;
    created.env = env;
    return std::nullopt;
}

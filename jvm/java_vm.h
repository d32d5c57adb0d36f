#pragma once

#include "launcher/launch_failure.h"
#include "launcher/launch_settings.h"

#include <jni.h>

#include <string>
#include <vector>

// The JVM options in the order the VM receives them: the class-path option
// first, then the hooks "vfprintf", "exit" and "abort", then the launcher's
// own properties (LaunchSettings::launcherProperties), then the text of each
// vmArgs element in array order (in the encoding the JVM reads, with
// "$APPDIR" replaced by the application directory). The records
// point into `texts` and into the settings' option texts, which must
// outlive them until JNI_CreateJavaVM has returned.
struct JavaVmOptions {
    std::vector<std::string> texts;  // texts of the vmArgs elements
    std::vector<JavaVMOption> records;
};

struct CreatedJavaVm {
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    JavaVmOptions options;
};

// Builds the option records from the settings and prints a "vmArg" trace line
// for each vmArgs element (the class-path option has none: the "jar" line
// shows its path).
JavaVmOptions buildJavaVmOptions(const LaunchSettings& settings);

// The VM creation stage: builds the options, loads the private runtime's JVM
// library and creates a JNI 1.6 VM whose main thread is the calling thread.
// `created` holds the VM only when no failure is returned.
StageResult createJavaVm(const LaunchSettings& settings, CreatedJavaVm& created);

// What a JNI status code returned by JNI_CreateJavaVM usually means.
std::string describeJniStatus(jint status);

#pragma once

#include "launcher/launch_failure.h"

#include <jni.h>

#include <string>

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);

// Loads the JVM library of the private runtime under `applicationDir`/jre, by
// absolute path only: a library found through the loader's search path (the
// current directory, PATH, LD_LIBRARY_PATH) would be foreign code run inside
// the launcher. The library stays loaded until the process ends, as the VM
// requires, so nothing here unloads it.
StageResult loadJvmLibrary(const std::string& applicationDir, CreateJavaVmFunction& createJavaVm);

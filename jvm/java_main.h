#pragma once

#include "launcher/launch_failure.h"

#include <jni.h>

#include <functional>
#include <string>

// The invocation stage: calls the static main(String[]) of `mainClass` with a
// String[] made from launchArgumentCount and launchArguments, then destroys the
// VM, which waits for the program's remaining non-daemon threads.
//
// An exception that escapes main goes to the program's own uncaught-exception
// handling, as under the JDK's java launcher, and the result is
// ExitStatus::javaExceptionEscaped with no message of the launcher's own.
// A main class that is not found is explained by a missing `jarPath`, or
// named with where it was looked for: `mainModule` (the program's main module;
// empty: none) or the jar.
//
// `beforeMain`, if given, runs once the main class is loaded, before main; a
// failure it returns ends the launch there.
using BeforeMain = std::function<StageResult(JNIEnv* env)>;
StageResult runJavaMain(JavaVM* vm, JNIEnv* env, const std::string& mainClass, const std::string& mainModule,
                        const std::string& jarPath, const BeforeMain& beforeMain = {});

// Takes the pending Java exception off the thread and returns its
// description (Throwable.toString), so that no JNI call runs with an
// exception pending.
std::string takePendingException(JNIEnv* env);

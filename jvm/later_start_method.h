#pragma once

#include "launcher/launch_failure.h"

#include <jni.h>

#include <functional>
#include <string>
#include <vector>

// The program's public static void NAME(String[] arguments, String directory)
// that receives the command line of a later start. Global references: the
// method is called from another thread.
struct LaterStartMethod {
    jclass owner = nullptr;
    jobject reflected = nullptr;  // its java.lang.reflect.Method
    // A shutdown hook that does nothing: the program's end starts it, and
    // Thread.start waits for its monitor, which is held while a later start
    // is told and its call runs. So a later start is told it was taken only
    // when the program is not ending, and the program ends only once the
    // call returned (or after a time limit).
    jobject endWatch = nullptr;
    jclass threadClass = nullptr;
    jobject runtime = nullptr;
    jclass illegalState = nullptr;
    jmethodID getState = nullptr;  // Thread.getState
    jmethodID ordinal = nullptr;   // Enum.ordinal
    jmethodID currentThread = nullptr;
    jmethodID getStackTrace = nullptr;  // Thread's
    jmethodID getClassName = nullptr;   // StackTraceElement's
    jmethodID addShutdownHook = nullptr;
};

// Finds the method in `className` (internal form, a/b/C) on the calling
// thread, through the class loader that loads the main class, without
// initialising the class: its initialiser runs when the program first uses
// it, or at the first call. Fails as a configuration that cannot be used,
// naming the class or the method, when there is no such method.
StageResult findLaterStartMethod(JNIEnv* env, const std::string& className, const std::string& methodName,
                                 LaterStartMethod& found);

// Calls the method on a thread of its own, attached to the VM for the call as
// a daemon thread (so that it never keeps the program running) and detached
// after it, and returns once the call did, or once the program ended without
// waiting for it any longer (the call, when it ends, uses nothing of the
// caller's). The texts are UTF-8. `begin` is asked just before the call,
// which is made only when it says yes. An exception the method throws goes to
// the program's uncaught-exception handling, as one from any thread does.
// False when the program is ending (its shutdown hooks run) or the VM takes
// no more threads; `begin` is then not asked.
bool callLaterStartMethod(JavaVM* vm, const LaterStartMethod& method, const std::vector<std::string>& arguments,
                          const std::string& directory, const std::function<bool()>& begin);

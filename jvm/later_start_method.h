#pragma once

#include "launcher/launch_failure.h"

#include <jni.h>

#include <functional>
#include <string>
#include <vector>

// The program's static void NAME(String[] arguments, String directory) that
// receives the command line of a later start.
struct LaterStartMethod {
    jclass owner = nullptr;  // a global reference: the method is called from other threads
    jmethodID method = nullptr;
};

// Finds the method in `className` (internal form, a/b/C) on the calling
// thread, which loads the class. Fails as a configuration that cannot be
// used, naming the class or the method, when there is no such method.
StageResult findLaterStartMethod(JNIEnv* env, const std::string& className, const std::string& methodName,
                                 LaterStartMethod& found);

// Calls the method on the calling thread, attached to the VM for the call as
// a daemon thread (so that it never keeps the program running) and detached
// after it. The texts are UTF-8. `begin` is asked once everything is ready,
// just before the call, which is made only when it says yes. An exception the
// method throws goes to the program's uncaught-exception handling, as one
// from any thread does. False when the VM takes no more threads (it is
// ending); `begin` is then not asked.
bool callLaterStartMethod(JavaVM* vm, const LaterStartMethod& method, const std::vector<std::string>& arguments,
                          const std::string& directory, const std::function<bool()>& begin);

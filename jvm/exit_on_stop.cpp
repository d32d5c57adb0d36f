#include "jvm/exit_on_stop.h"

#include "platform/platform.h"

#include <thread>

namespace {

// Returns only when the program could not be ended so: the VM is ending
// already, or System.exit threw, which goes to the program's uncaught-exception
// handling.
void callSystemExit(JavaVM* vm) {
    JavaVMAttachArgs attachArgs{JNI_VERSION_1_6, const_cast<char*>("service stop"), nullptr};
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &attachArgs) != JNI_OK || env == nullptr) return;
    jclass system = env->FindClass("java/lang/System");
    jmethodID exit = system == nullptr ? nullptr : env->GetStaticMethodID(system, "exit", "(I)V");
    if (exit != nullptr) env->CallStaticVoidMethod(system, exit, 0);
    vm->DetachCurrentThread();
}

}  // namespace

ExitOnStopRequest::ExitOnStopRequest(JavaVM* vm) {
    platform::takeStopRequests([vm] { std::thread(callSystemExit, vm).detach(); });
}

ExitOnStopRequest::~ExitOnStopRequest() {
    platform::takeStopRequests({});
}

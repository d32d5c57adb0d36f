#include "jvm/later_start_method.h"

#include "jvm/modified_utf8.h"

namespace {

const char signature[] = "([Ljava/lang/String;Ljava/lang/String;)V";

jstring javaString(JNIEnv* env, const std::string& utf8) {
    return env->NewStringUTF(modifiedUtf8FromUtf8(utf8).c_str());
}

}  // namespace

StageResult findLaterStartMethod(JNIEnv* env, const std::string& className, const std::string& methodName,
                                 LaterStartMethod& found) {
    const std::string named = " (\"singleInstance\" in config.json)";
    jclass owner = env->FindClass(className.c_str());
    if (owner == nullptr) {
        env->ExceptionClear();
        return LaunchFailure{ExitStatus::configurationUnusable,
                             "cannot load the class " + className + named +
                                 "; name a class of the program, its packages separated by \".\" or \"/\""};
    }
    found.method = env->GetStaticMethodID(owner, methodName.c_str(), signature);
    if (found.method == nullptr) {
        env->ExceptionClear();
        return LaunchFailure{ExitStatus::configurationUnusable,
                             "the class " + className + " has no method static void " + methodName +
                                 "(String[] arguments, String directory)" + named +
                                 "; add it or name another method"};
    }
    found.owner = static_cast<jclass>(env->NewGlobalRef(owner));
    return std::nullopt;
}

bool callLaterStartMethod(JavaVM* vm, const LaterStartMethod& method, const std::vector<std::string>& arguments,
                          const std::string& directory, const std::function<bool()>& begin) {
    JavaVMAttachArgs attachArgs{JNI_VERSION_1_6, const_cast<char*>("later start"), nullptr};
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &attachArgs) != JNI_OK || env == nullptr) {
        return false;
    }
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = stringClass == nullptr
                             ? nullptr
                             : env->NewObjectArray(static_cast<jsize>(arguments.size()), stringClass, nullptr);
    for (jsize i = 0; array != nullptr && i < static_cast<jsize>(arguments.size()); ++i) {
        jstring argument = javaString(env, arguments[static_cast<std::size_t>(i)]);
        if (argument == nullptr) {
            array = nullptr;
            break;
        }
        env->SetObjectArrayElement(array, i, argument);
        env->DeleteLocalRef(argument);
    }
    jstring folder = array == nullptr ? nullptr : javaString(env, directory);
    if (folder != nullptr && begin()) {
        env->CallStaticVoidMethod(method.owner, method.method, array, folder);
    }
    // With an exception still pending, detaching hands it to the program's uncaught-exception handler.
    vm->DetachCurrentThread();
    return true;
}

#include "jvm/later_start_method.h"

#include "jvm/java_main.h"
#include "jvm/modified_utf8.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

constexpr jint staticModifier = 0x0008;  // java.lang.reflect.Modifier.STATIC
constexpr jint threadNew = 0;            // Thread.State.NEW's ordinal
constexpr jint threadBlocked = 2;        // Thread.State.BLOCKED's
// How long the program's end waits for a later start's call in progress.
constexpr auto endWaitLimit = std::chrono::seconds(5);
constexpr auto endCheckInterval = std::chrono::milliseconds(20);
const std::string named = " (\"singleInstance\" in config.json)";

jstring javaString(JNIEnv* env, const std::string& utf8) {
    return env->NewStringUTF(modifiedUtf8FromUtf8(utf8).c_str());
}

// The class as Class.forName(name, false, the system class loader) gives it:
// the loader JNI's FindClass uses for the main class on this thread.
jclass loadWithoutInitialising(JNIEnv* env, const std::string& className) {
    std::string binaryName = className;
    for (char& c : binaryName) c = c == '/' ? '.' : c;
    jclass loaderClass = env->FindClass("java/lang/ClassLoader");
    jmethodID systemLoader =
        loaderClass == nullptr
            ? nullptr
            : env->GetStaticMethodID(loaderClass, "getSystemClassLoader", "()Ljava/lang/ClassLoader;");
    jobject loader = systemLoader == nullptr ? nullptr : env->CallStaticObjectMethod(loaderClass, systemLoader);
    jclass classClass = loader == nullptr ? nullptr : env->FindClass("java/lang/Class");
    jmethodID forName = classClass == nullptr ? nullptr
                                              : env->GetStaticMethodID(classClass, "forName",
                                                                       "(Ljava/lang/String;ZLjava/lang/ClassLoader;)"
                                                                       "Ljava/lang/Class;");
    jstring name = forName == nullptr ? nullptr : javaString(env, binaryName);
    if (name == nullptr) return nullptr;
    return static_cast<jclass>(env->CallStaticObjectMethod(classClass, forName, name, JNI_FALSE, loader));
}

// owner.getMethod(name, String[].class, String.class) if it is static and
// void; null otherwise, with `why` the exception that said so, if one did.
jobject publicStaticVoidMethod(JNIEnv* env, jclass owner, const std::string& methodName, std::string& why) {
    jclass classClass = env->FindClass("java/lang/Class");
    jclass stringClass = classClass == nullptr ? nullptr : env->FindClass("java/lang/String");
    jclass stringArrayClass = stringClass == nullptr ? nullptr : env->FindClass("[Ljava/lang/String;");
    jmethodID getMethod =
        stringArrayClass == nullptr
            ? nullptr
            : env->GetMethodID(classClass, "getMethod",
                               "(Ljava/lang/String;[Ljava/lang/Class;)Ljava/lang/reflect/Method;");
    jobjectArray parameterTypes = getMethod == nullptr ? nullptr : env->NewObjectArray(2, classClass, nullptr);
    jstring name = parameterTypes == nullptr ? nullptr : javaString(env, methodName);
    jobject method = nullptr;
    if (name != nullptr) {
        env->SetObjectArrayElement(parameterTypes, 0, stringArrayClass);
        env->SetObjectArrayElement(parameterTypes, 1, stringClass);
        method = env->CallObjectMethod(owner, getMethod, name, parameterTypes);
    }
    jclass methodClass = method == nullptr ? nullptr : env->GetObjectClass(method);
    jmethodID getModifiers = methodClass == nullptr ? nullptr : env->GetMethodID(methodClass, "getModifiers", "()I");
    jmethodID getReturnType =
        getModifiers == nullptr ? nullptr : env->GetMethodID(methodClass, "getReturnType", "()Ljava/lang/Class;");
    jmethodID getName =
        getReturnType == nullptr ? nullptr : env->GetMethodID(classClass, "getName", "()Ljava/lang/String;");
    const bool isStatic = getName != nullptr && (env->CallIntMethod(method, getModifiers) & staticModifier) != 0;
    jobject returnType = isStatic ? env->CallObjectMethod(method, getReturnType) : nullptr;
    jobject returnTypeName = returnType == nullptr ? nullptr : env->CallObjectMethod(returnType, getName);
    const char* chars =
        returnTypeName == nullptr ? nullptr : env->GetStringUTFChars(static_cast<jstring>(returnTypeName), nullptr);
    const bool isVoid = chars != nullptr && std::string(chars) == "void";
    if (chars != nullptr) env->ReleaseStringUTFChars(static_cast<jstring>(returnTypeName), chars);
    if (env->ExceptionCheck()) why = takePendingException(env);  // NoSuchMethodException: not public, or other types
    return isVoid ? method : nullptr;
}

// A thread that is never started but by the program's end, registered as its shutdown hook.
jobject watchForTheEnd(JNIEnv* env, LaterStartMethod& found) {
    jclass threadClass = env->FindClass("java/lang/Thread");
    jmethodID construct =
        threadClass == nullptr ? nullptr : env->GetMethodID(threadClass, "<init>", "(Ljava/lang/String;)V");
    jstring name = construct == nullptr ? nullptr : env->NewStringUTF("later starts: the program's end");
    jobject thread = name == nullptr ? nullptr : env->NewObject(threadClass, construct, name);
    jclass runtimeClass = thread == nullptr ? nullptr : env->FindClass("java/lang/Runtime");
    jmethodID getRuntime =
        runtimeClass == nullptr ? nullptr
                                : env->GetStaticMethodID(runtimeClass, "getRuntime", "()Ljava/lang/Runtime;");
    jobject runtime = getRuntime == nullptr ? nullptr : env->CallStaticObjectMethod(runtimeClass, getRuntime);
    jmethodID addShutdownHook =
        runtime == nullptr ? nullptr : env->GetMethodID(runtimeClass, "addShutdownHook", "(Ljava/lang/Thread;)V");
    jclass enumClass = addShutdownHook == nullptr ? nullptr : env->FindClass("java/lang/Enum");
    found.getState =
        enumClass == nullptr ? nullptr : env->GetMethodID(threadClass, "getState", "()Ljava/lang/Thread$State;");
    found.ordinal = found.getState == nullptr ? nullptr : env->GetMethodID(enumClass, "ordinal", "()I");
    found.currentThread = found.ordinal == nullptr ? nullptr
                                                   : env->GetStaticMethodID(threadClass, "currentThread",
                                                                            "()Ljava/lang/Thread;");
    found.getStackTrace = found.currentThread == nullptr ? nullptr
                                                         : env->GetMethodID(threadClass, "getStackTrace",
                                                                            "()[Ljava/lang/StackTraceElement;");
    jclass frameClass = found.getStackTrace == nullptr ? nullptr : env->FindClass("java/lang/StackTraceElement");
    found.getClassName =
        frameClass == nullptr ? nullptr : env->GetMethodID(frameClass, "getClassName", "()Ljava/lang/String;");
    jclass illegalState = found.getClassName == nullptr ? nullptr : env->FindClass("java/lang/IllegalStateException");
    if (illegalState == nullptr) return nullptr;
    env->CallVoidMethod(runtime, addShutdownHook, thread);
    if (env->ExceptionCheck()) return nullptr;
    found.threadClass = static_cast<jclass>(env->NewGlobalRef(threadClass));
    found.runtime = env->NewGlobalRef(runtime);
    found.addShutdownHook = addShutdownHook;
    found.illegalState = static_cast<jclass>(env->NewGlobalRef(illegalState));
    return thread;
}

jint stateOf(JNIEnv* env, const LaterStartMethod& method, jobject thread) {
    jobject state = env->CallObjectMethod(thread, method.getState);
    const jint ordinal = state == nullptr ? -1 : env->CallIntMethod(state, method.ordinal);
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return -1;
    }
    env->DeleteLocalRef(state);
    return ordinal;
}

// Whether the program's shutdown hooks run: Runtime.addShutdownHook then says so
// (IllegalStateException), where it otherwise refuses the watch as registered before.
bool programEnding(JNIEnv* env, const LaterStartMethod& method) {
    env->CallVoidMethod(method.runtime, method.addShutdownHook, method.endWatch);
    jthrowable refusal = env->ExceptionOccurred();
    env->ExceptionClear();
    const bool ending = refusal != nullptr && env->IsInstanceOf(refusal, method.illegalState);
    env->DeleteLocalRef(refusal);
    return ending;
}

// Whether `thread` runs the program's end (System.exit, in java.lang.Shutdown).
bool endsTheProgram(JNIEnv* env, const LaterStartMethod& method, jobject thread) {
    if (env->PushLocalFrame(16) != JNI_OK) {
        env->ExceptionClear();
        return false;
    }
    bool ending = false;
    auto* frames = static_cast<jobjectArray>(env->CallObjectMethod(thread, method.getStackTrace));
    const jsize count = frames == nullptr || env->ExceptionCheck() ? 0 : env->GetArrayLength(frames);
    for (jsize i = 0; i < count && !ending; ++i) {
        jobject frame = env->GetObjectArrayElement(frames, i);
        auto* className =
            frame == nullptr ? nullptr : static_cast<jstring>(env->CallObjectMethod(frame, method.getClassName));
        const char* chars = className == nullptr || env->ExceptionCheck() ? nullptr
                                                                          : env->GetStringUTFChars(className, nullptr);
        ending = chars != nullptr && std::string(chars) == "java.lang.Shutdown";
        if (chars != nullptr) env->ReleaseStringUTFChars(className, chars);
        env->DeleteLocalRef(className);
        env->DeleteLocalRef(frame);
    }
    env->ExceptionClear();
    env->PopLocalFrame(nullptr);
    return ending;
}

// A call in progress on a thread of its own.
struct Call {
    std::mutex lock;
    std::condition_variable changed;
    jobject thread = nullptr;  // a global reference to its java.lang.Thread, once attached
    bool ended = false;
};

void callOnItsOwnThread(JavaVM* vm, const LaterStartMethod& method, const std::vector<std::string>& arguments,
                        const std::string& directory, const std::shared_ptr<Call>& call) {
    JavaVMAttachArgs attachArgs{JNI_VERSION_1_6, const_cast<char*>("later start"), nullptr};
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &attachArgs) == JNI_OK && env != nullptr) {
        jobject self = env->CallStaticObjectMethod(method.threadClass, method.currentThread);
        {
            std::lock_guard<std::mutex> guard(call->lock);
            call->thread = self == nullptr ? nullptr : env->NewGlobalRef(self);
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
        // Initialises the class, if the program has not yet used it.
        jmethodID resolved = folder == nullptr ? nullptr : env->FromReflectedMethod(method.reflected);
        if (resolved != nullptr) env->CallStaticVoidMethod(method.owner, resolved, array, folder);
        {
            std::lock_guard<std::mutex> guard(call->lock);
            if (call->thread != nullptr) env->DeleteGlobalRef(call->thread);
            call->thread = nullptr;
            call->ended = true;
        }
        call->changed.notify_all();
        // With an exception still pending, detaching hands it to the program's uncaught-exception handler.
        vm->DetachCurrentThread();
        return;
    }
    std::lock_guard<std::mutex> guard(call->lock);
    call->ended = true;
    call->changed.notify_all();
}

// Holds the program's end (the watch's monitor held) until the call returns; but
// not when the call itself ends the program (its thread, in System.exit, then
// waits for that monitor), nor for more than endWaitLimit once the program
// ends (a call that waits for a thread that ends the program, say). True when
// the program began to end meanwhile.
bool awaitTheCall(JNIEnv* env, const LaterStartMethod& method, Call& call) {
    std::optional<std::chrono::steady_clock::time_point> endingSince;
    std::unique_lock<std::mutex> guard(call.lock);
    while (!call.changed.wait_for(guard, endCheckInterval, [&call] { return call.ended; })) {
        if (!endingSince) {
            guard.unlock();
            if (programEnding(env, method)) endingSince = std::chrono::steady_clock::now();
            guard.lock();
            if (!endingSince) continue;
        }
        if (std::chrono::steady_clock::now() - *endingSince > endWaitLimit ||
            (call.thread != nullptr && stateOf(env, method, call.thread) == threadBlocked &&
             endsTheProgram(env, method, call.thread))) {
            return true;
        }
    }
    return endingSince.has_value();
}

}  // namespace

StageResult findLaterStartMethod(JNIEnv* env, const std::string& className, const std::string& methodName,
                                 LaterStartMethod& found) {
    // The main thread's local references live as long as the program: these go with the frame.
    if (env->PushLocalFrame(64) != JNI_OK) {
        return LaunchFailure{ExitStatus::javaRuntimeUnusable,
                             "the Java runtime has no memory left to find the method" + named + " (" +
                                 takePendingException(env) + ")"};
    }
    const auto failed = [env](const LaunchFailure& failure) {
        env->PopLocalFrame(nullptr);
        return failure;
    };
    jclass owner = loadWithoutInitialising(env, className);
    if (owner == nullptr) {
        return failed({ExitStatus::configurationUnusable,
                       "cannot load the class " + className + " (" + takePendingException(env) + ")" + named +
                           "; name a class of the program, its packages separated by \".\" or \"/\""});
    }
    std::string why;
    jobject method = publicStaticVoidMethod(env, owner, methodName, why);
    if (method == nullptr) {
        return failed({ExitStatus::configurationUnusable,
                       "the class " + className + " has no method public static void " + methodName +
                           "(String[] arguments, String directory)" + (why.empty() ? "" : " (" + why + ")") +
                           named + "; add it or name another method"});
    }
    jobject endWatch = watchForTheEnd(env, found);
    if (endWatch == nullptr) {
        return failed({ExitStatus::javaRuntimeUnusable,
                       "the Java runtime takes no shutdown hook to see the program's end" + named + " (" +
                           takePendingException(env) + ")"});
    }
    found.owner = static_cast<jclass>(env->NewGlobalRef(owner));
    found.reflected = env->NewGlobalRef(method);
    found.endWatch = env->NewGlobalRef(endWatch);
    env->PopLocalFrame(nullptr);
    return std::nullopt;
}

bool callLaterStartMethod(JavaVM* vm, const LaterStartMethod& method, const std::vector<std::string>& arguments,
                          const std::string& directory, const std::function<bool()>& begin) {
    JavaVMAttachArgs attachArgs{JNI_VERSION_1_6, const_cast<char*>("later start: the program's end"), nullptr};
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &attachArgs) != JNI_OK || env == nullptr) {
        return false;
    }
    bool ending = true;
    if (env->MonitorEnter(method.endWatch) == JNI_OK) {
        // The watch is not started, and the program cannot end, while its monitor is held; if it has been
        // started, the program is ending.
        ending = stateOf(env, method, method.endWatch) != threadNew;
        if (!ending && begin()) {
            const auto call = std::make_shared<Call>();
            std::thread(callOnItsOwnThread, vm, method, arguments, directory, call).detach();
            ending = awaitTheCall(env, method, *call);
        }
        env->MonitorExit(method.endWatch);
    }
    vm->DetachCurrentThread();
    return !ending;
}

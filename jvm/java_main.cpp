#include "jvm/java_main.h"

#include "jvm/modified_utf8.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

#include <cstring>

std::string takePendingException(JNIEnv* env) {
    jthrowable exception = env->ExceptionOccurred();
    if (exception == nullptr) {
        return "no Java exception was raised";
    }
    env->ExceptionClear();

    std::string description = "an exception that cannot describe itself";
    jclass exceptionClass = env->GetObjectClass(exception);
    jmethodID toString = exceptionClass == nullptr
                             ? nullptr
                             : env->GetMethodID(exceptionClass, "toString", "()Ljava/lang/String;");
    jobject text = toString == nullptr ? nullptr : env->CallObjectMethod(exception, toString);
    if (text != nullptr && !env->ExceptionCheck()) {
        const char* chars = env->GetStringUTFChars(static_cast<jstring>(text), nullptr);
        if (chars != nullptr) {
            description = chars;
            env->ReleaseStringUTFChars(static_cast<jstring>(text), chars);
        }
    }
    env->ExceptionClear();
    return description;
}

namespace {

LaunchFailure mainClassFailure(const std::string& what, JNIEnv* env, const std::string& mainClass) {
    std::string message = what + " (" + takePendingException(env) + ")";
    if (mainClass.find('.') != std::string::npos) {
        std::string internalName = mainClass;
        for (char& c : internalName) {
            if (c == '.') c = '/';
        }
        message += "; in \"mainClass\" packages are separated by \"/\", as in " + internalName;
    }
    return {ExitStatus::mainClassUnusable, message};
}

LaunchFailure runtimeFailure(const std::string& what, JNIEnv* env) {
    return {ExitStatus::javaRuntimeUnusable, what + " (" + takePendingException(env) + ")"};
}

// The JVM's platform encoding (sun.jnu.encoding), in which the JDK's own
// launcher decodes the bytes of the command line; null if it cannot be read.
jstring platformEncodingName(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID getProperty =
        system == nullptr ? nullptr
                          : env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    jstring key = getProperty == nullptr ? nullptr : env->NewStringUTF("sun.jnu.encoding");
    jobject name = key == nullptr ? nullptr : env->CallStaticObjectMethod(system, getProperty, key);
    env->ExceptionClear();
    return static_cast<jstring>(name);
}

// The String the JDK's own launcher makes from these bytes: decoded in the
// platform encoding, or in the runtime's default one if it lacks that.
jstring stringFromSystemBytes(JNIEnv* env, jclass stringClass, jstring encoding, const char* bytes) {
    const auto length = static_cast<jsize>(std::strlen(bytes));
    jbyteArray array = env->NewByteArray(length);
    if (array == nullptr) return nullptr;
    env->SetByteArrayRegion(array, 0, length, reinterpret_cast<const jbyte*>(bytes));
    jobject text = nullptr;
    if (encoding != nullptr) {
        jmethodID decode = env->GetMethodID(stringClass, "<init>", "([BLjava/lang/String;)V");
        text = decode == nullptr ? nullptr : env->NewObject(stringClass, decode, array, encoding);
        if (text == nullptr) env->ExceptionClear();
    }
    if (text == nullptr) {
        jmethodID decodeDefault = env->GetMethodID(stringClass, "<init>", "([B)V");
        text = decodeDefault == nullptr ? nullptr : env->NewObject(stringClass, decodeDefault, array);
    }
    env->DeleteLocalRef(array);
    return static_cast<jstring>(text);
}

// Whether the pending exception is the program's own: an
// ExceptionInInitializerError, thrown by the main class's static
// initialiser, which FindClass runs. It stays pending.
bool isThrownByTheProgram(JNIEnv* env) {
    jthrowable exception = env->ExceptionOccurred();
    if (exception == nullptr) return false;
    env->ExceptionClear();
    jclass initializerError = env->FindClass("java/lang/ExceptionInInitializerError");
    const bool fromInitializer = initializerError != nullptr && env->IsInstanceOf(exception, initializerError);
    env->ExceptionClear();
    env->Throw(exception);
    return fromInitializer;
}

// Everything up to and including the call of main. Leaves no exception
// pending except the one that escaped main.
StageResult invokeMain(JNIEnv* env, const std::string& mainClass, const std::string& mainModule,
                       const std::string& jarPath, const BeforeMain& beforeMain) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) {
        return runtimeFailure("the Java runtime in jre has no class java/lang/String", env);
    }
    jobjectArray arguments = env->NewObjectArray(launchArgumentCount, stringClass, nullptr);
    if (arguments == nullptr) {
        return runtimeFailure("the Java runtime cannot create the argument array for main", env);
    }
    const bool fromSystemBytes =
        launchArgumentCount > 0 && platform::commandLineEncoding == platform::CommandLineEncoding::systemBytes;
    jstring encoding = fromSystemBytes ? platformEncodingName(env) : nullptr;
    for (jsize i = 0; i < launchArgumentCount; ++i) {
        jstring argument = fromSystemBytes ? stringFromSystemBytes(env, stringClass, encoding, launchArguments[i])
                                           : env->NewStringUTF(launchArguments[i]);
        if (argument == nullptr) {
            return runtimeFailure("the Java runtime cannot create the arguments for main", env);
        }
        env->SetObjectArrayElement(arguments, i, argument);
        if (env->ExceptionCheck()) {
            return runtimeFailure("the Java runtime cannot create the arguments for main", env);
        }
        // The array holds it now; a local reference per argument would exceed the frame's capacity.
        env->DeleteLocalRef(argument);
    }

    jclass mainClassRef = env->FindClass(modifiedUtf8FromUtf8(mainClass).c_str());
    if (mainClassRef == nullptr) {
        if (isThrownByTheProgram(env)) {
            return std::nullopt;  // escapes like an exception from main: the program's handler, status 1
        }
        if (!jarPath.empty() && !platform::pathExists(jarPath)) {  // a folder of classes is a class path entry too
            env->ExceptionClear();
            return LaunchFailure{ExitStatus::mainClassUnusable,
                                 "cannot load the main class " + mainClass + ": the jar " + jarPath +
                                     " does not exist; put it there or correct \"jar\" in config.json"};
        }
        const std::string source = mainModule.empty() ? "the jar" : "the module " + mainModule;
        return mainClassFailure("cannot load the main class " + mainClass + " from " + source, env, mainClass);
    }
    jmethodID mainMethod = env->GetStaticMethodID(mainClassRef, "main", "([Ljava/lang/String;)V");
    if (mainMethod == nullptr) {
        return mainClassFailure("the main class " + mainClass + " has no method public static void main(String[])",
                                env, mainClass);
    }
    if (beforeMain) {
        if (StageResult failure = beforeMain(env)) return failure;
    }

    env->CallStaticVoidMethod(mainClassRef, mainMethod, arguments);
    return std::nullopt;
}

}  // namespace

StageResult runJavaMain(JavaVM* vm, JNIEnv* env, const std::string& mainClass, const std::string& mainModule,
                        const std::string& jarPath, const BeforeMain& beforeMain) {
    StageResult result = invokeMain(env, mainClass, mainModule, jarPath, beforeMain);
    if (!result && env->ExceptionCheck()) {
        // Detaching the main thread with the exception still pending hands it
        // to Thread.dispatchUncaughtException: the program's own handler, or
        // the default "Exception in thread "main" ..." on standard error.
        vm->DetachCurrentThread();
        result = LaunchFailure{ExitStatus::javaExceptionEscaped, ""};
    }
    // Returns once the program's last non-daemon thread has ended.
    vm->DestroyJavaVM();
    return result;
}

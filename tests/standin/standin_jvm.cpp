// Stands for a Java runtime's JVM library where the real one cannot run (the
// Windows build under Wine) or cannot be made to fail on purpose. It exports
// JNI_CreateJavaVM, records the init arguments and every call the launcher
// makes through the JavaVM and JNIEnv tables, one line each, to the file named
// by STANDIN_RECORD, and behaves as its test asks through the environment, or,
// for a launcher whose environment the test does not give (a service's), a
// JVM option -DNAME=VALUE of the same name:
//   STANDIN_CREATE_STATUS   status JNI_CreateJavaVM returns (default 0)
//   STANDIN_FAIL            "FindClass" or "GetStaticMethodID": that lookup of
//                           the main class fails with an exception pending;
//                           "FindClassInInitialiser": its static initialiser
//                           throws (ExceptionInInitializerError)
//   STANDIN_THROW           "1": an exception is left pending when main returns
//   STANDIN_WRITE_IN_MAIN   a file that main opens for reading and writing
//                           (the launcher holds config.json open meanwhile)
//   STANDIN_PRINT_IN_MAIN   a line main prints through the "vfprintf" hook (as
//                           the JVM prints a warning), then "main wrote this"
//                           straight to the standard output handle, as
//                           System.out writes
//   STANDIN_LATER_STARTS    N: main records "main waits for N later starts"
//                           and returns once the program's method has been
//                           called N times, once the file STANDIN_RECORD
//                           names with ".end" added exists, or after a minute
//   STANDIN_RUN_UNTIL_EXIT  "1": main records "main runs until System.exit"
//                           and returns only when that is called (or after
//                           two minutes). System.exit, called on any thread,
//                           is recorded and ends the process as the JVM's
//                           does: through the "exit" hook, then exit()
//   STANDIN_STOP_IN_CREATION "exit" or "abort": JNI_CreateJavaVM prints two
//                           lines through the "vfprintf" hook and ends the
//                           process through that hook, as HotSpot does when
//                           it cannot reserve its heap
// Any function it does not implement records "unimplemented ..." and returns 0.
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include "standin/standin_dependency.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::FILE* recordFile = nullptr;
JNINativeInterface_ envFunctions;
JNIEnv_ env{&envFunctions};
// A later start's method is called on a thread of the launcher's own, while main runs.
std::recursive_mutex standinLock;

void record(const std::string& line) {
    std::lock_guard<std::recursive_mutex> guard(standinLock);
    if (recordFile != nullptr) {
        std::fprintf(recordFile, "%s\n", line.c_str());
        std::fflush(recordFile);  // the process may end abruptly after any call
    }
}

// The JVM options the stand-in was created with.
std::vector<std::string> vmOptions;

std::string setting(const char* name) {
    const char* value = std::getenv(name);
    if (value != nullptr) return value;
    const std::string option = std::string("-D") + name + "=";
    for (const std::string& given : vmOptions) {
        if (given.rfind(option, 0) == 0) return given.substr(option.size());
    }
    return "";
}

// The Java objects the stand-in hands out: a handle is the address of one.
struct StandinObject {
    std::string kind;  // "class", "array", "string", "bytes", "method", "exception"
    std::string text;  // class name, string value, bytes, method name, exception description
    jsize length = 0;  // array length
};
std::deque<StandinObject> objects;
thread_local StandinObject* pendingException = nullptr;  // as JNI keeps one per thread

StandinObject* make(std::string kind, std::string text, jsize length = 0) {
    std::lock_guard<std::recursive_mutex> guard(standinLock);
    objects.push_back({std::move(kind), std::move(text), length});
    return &objects.back();
}

std::string describe(const void* handle) {
    if (handle == nullptr) return "null";
    const auto* object = static_cast<const StandinObject*>(handle);
    return object->kind + " " + object->text;
}

void raise(const std::string& description) {
    pendingException = make("exception", description);
}

// Entries for the functions the stand-in does not implement. Callers pass
// arguments these ignore; the x86-64 calling conventions make that harmless.
template <std::size_t Index>
jlong JNICALL unimplementedEnv() {
    record("unimplemented JNIEnv function " + std::to_string(Index));
    return 0;
}
template <std::size_t Index>
jlong JNICALL unimplementedVm() {
    record("unimplemented JavaVM function " + std::to_string(Index));
    return 0;
}
jclass JNICALL findClass(JNIEnv*, const char* name) {
    record(std::string("FindClass ") + name);
    const bool mainClass = std::string(name).rfind("java/lang/", 0) != 0 && name[0] != '[';
    if (setting("STANDIN_FAIL") == "FindClass" && mainClass) {
        raise(std::string("java.lang.NoClassDefFoundError: ") + name);
        return nullptr;
    }
    if (setting("STANDIN_FAIL") == "FindClassInInitialiser" && mainClass) {
        raise("java.lang.ExceptionInInitializerError");
        return nullptr;
    }
    return reinterpret_cast<jclass>(make("class", name));
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass elementClass, jobject initial) {
    record("NewObjectArray " + std::to_string(length) + " " + describe(elementClass) + " " + describe(initial));
    return reinterpret_cast<jobjectArray>(make("array", describe(elementClass), length));
}

jstring JNICALL newStringUtf(JNIEnv*, const char* text) {
    record(std::string("NewStringUTF ") + text);
    return reinterpret_cast<jstring>(make("string", text));
}

// The texts each String[] holds, for the record of a later start's call.
std::map<const void*, std::vector<std::string>> arrayTexts;

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    record("SetObjectArrayElement " + std::to_string(index) + " " + describe(value));
    std::lock_guard<std::recursive_mutex> guard(standinLock);
    std::vector<std::string>& texts = arrayTexts[array];
    texts.resize(static_cast<std::size_t>(index) + 1);
    texts[static_cast<std::size_t>(index)] = static_cast<StandinObject*>(static_cast<void*>(value))->text;
}

thread_local bool attachedAsDaemon = false;
std::atomic<int> laterStartCalls{0};

// The program's method for a later start: its arguments, its folder, and the thread it ran on.
void callLaterStartMethod(const std::string& method, va_list arguments) {
    const void* array = va_arg(arguments, jobject);
    const auto* directory = static_cast<const StandinObject*>(static_cast<void*>(va_arg(arguments, jobject)));
    std::string texts;
    {
        std::lock_guard<std::recursive_mutex> guard(standinLock);
        for (const std::string& text : arrayTexts[array]) texts += " [" + text + "]";
    }
    record("later start " + method + (attachedAsDaemon ? " on an attached daemon thread" : " on another thread") +
           " in " + directory->text + ":" + texts);
    ++laterStartCalls;
}

bool fileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) std::fclose(file);
    return file != nullptr;
}

void waitForLaterStarts(int expected) {
#ifdef _WIN32
    record("main waits for " + std::to_string(expected) + " later starts in process " +
           std::to_string(GetCurrentProcessId()));
#else
    record("main waits for " + std::to_string(expected) + " later starts in process " + std::to_string(getpid()));
#endif
    const std::string end = setting("STANDIN_RECORD") + ".end";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (laterStartCalls < expected && !fileExists(end) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

thread_local bool attached = false;

jint JNICALL attachCurrentThread(JavaVM*, void** envOut, void* attachArgs) {
    const auto* args = static_cast<const JavaVMAttachArgs*>(attachArgs);
    record(std::string("AttachCurrentThread ") + (args != nullptr && args->name != nullptr ? args->name : ""));
    attached = true;
    *envOut = &env;
    return JNI_OK;
}

jint JNICALL attachCurrentThreadAsDaemon(JavaVM*, void** envOut, void* attachArgs) {
    const auto* args = static_cast<const JavaVMAttachArgs*>(attachArgs);
    record(std::string("AttachCurrentThreadAsDaemon ") + (args != nullptr && args->name != nullptr ? args->name : ""));
    attachedAsDaemon = true;
    *envOut = &env;
    return JNI_OK;
}

jobject JNICALL newGlobalRef(JNIEnv*, jobject object) {
    record("NewGlobalRef " + describe(object));
    return object;
}

jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass owner, const char* name, const char* signature) {
    record("GetStaticMethodID " + describe(owner) + " " + name + " " + signature);
    if (setting("STANDIN_FAIL") == "GetStaticMethodID") {
        raise("java.lang.NoSuchMethodError: 'void " + static_cast<StandinObject*>(static_cast<void*>(owner))->text +
              ".main(java.lang.String[])'");
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(make("method", name));
}

const std::string& nameOf(const void* handle) {
    return static_cast<const StandinObject*>(handle)->text;
}

// A String made from bytes, as the POSIX launcher makes main's arguments: the platform encoding's name from
// System.getProperty, a byte array, and String(byte[], String). And what finding a later start's method takes:
// the system class loader, Class.forName (a class named with dots as with slashes), Runtime.getRuntime.
jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass owner, jmethodID method, va_list arguments) {
    const std::string& name = nameOf(method);
    if (name == "getSystemClassLoader" || name == "getRuntime" || name == "currentThread") {
        record("CallStaticObjectMethodV " + describe(owner) + " " + describe(method));
        return reinterpret_cast<jobject>(
            make(name == "getRuntime" ? "runtime" : name == "currentThread" ? "thread" : "loader", ""));
    }
    const auto* argument = static_cast<const StandinObject*>(static_cast<void*>(va_arg(arguments, jobject)));
    record("CallStaticObjectMethodV " + describe(owner) + " " + describe(method) + " " + describe(argument));
    if (name == "forName") {
        std::string className = argument->text;
        for (char& c : className) c = c == '.' ? '/' : c;
        return reinterpret_cast<jobject>(make("class", className));
    }
    return reinterpret_cast<jobject>(make("string", "UTF-8"));
}

jbyteArray JNICALL newByteArray(JNIEnv*, jsize length) {
    record("NewByteArray " + std::to_string(length));
    return reinterpret_cast<jbyteArray>(make("bytes", "", length));
}

void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length, const jbyte* bytes) {
    auto* target = static_cast<StandinObject*>(static_cast<void*>(array));
    target->text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(length),
                         reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

// String(byte[], String), or Thread(String name).
jobject JNICALL newObjectV(JNIEnv*, jclass type, jmethodID constructor, va_list arguments) {
    const auto* argument = static_cast<const StandinObject*>(static_cast<void*>(va_arg(arguments, jobject)));
    record("NewObjectV " + describe(type) + " " + describe(constructor) + " " + describe(argument));
    const bool thread = describe(type) == "class java/lang/Thread";
    return reinterpret_cast<jobject>(make(thread ? "thread" : "string", argument != nullptr ? argument->text : ""));
}

using PrintHook = jint(JNICALL*)(std::FILE*, const char*, va_list);
PrintHook printHook = nullptr;
using ExitHook = void(JNICALL*)(jint);
ExitHook exitHook = nullptr;

// main, waiting for System.exit, which never returns to it.
void runUntilExit() {
#ifdef _WIN32
    record("main runs until System.exit in process " + std::to_string(GetCurrentProcessId()));
#else
    record("main runs until System.exit in process " + std::to_string(getpid()));
#endif
    std::this_thread::sleep_for(std::chrono::minutes(2));
    record("main returns: System.exit was not called within two minutes");
}

// As the JVM ends the process for System.exit, once its shutdown hooks ran.
[[noreturn]] void systemExit(jint status) {
    record("System.exit " + std::to_string(status) + (attached ? " on an attached thread" : " on the main thread"));
    if (exitHook != nullptr) exitHook(status);
    record("the exit hook returned");
    std::exit(status);
}

void printThroughHook(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (printHook != nullptr) printHook(stdout, format, arguments);
    va_end(arguments);
}

// Past every C runtime buffer, as System.out writes.
void writeToStandardOutput(const std::string& text) {
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
#else
    const ssize_t written = write(1, text.data(), text.size());
    (void)written;
#endif
}

// The C++ JNIEnv wrapper's variadic CallStaticVoidMethod forwards to this entry.
void JNICALL callStaticVoidMethodV(JNIEnv*, jclass owner, jmethodID method, va_list arguments) {
    const std::string& methodName = static_cast<StandinObject*>(static_cast<void*>(method))->text;
    if (methodName == "exit" && describe(owner) == "class java/lang/System") {
        systemExit(va_arg(arguments, jint));
    }
    if (methodName != "main") {
        callLaterStartMethod(methodName, arguments);
        return;
    }
    const auto* array = static_cast<const StandinObject*>(static_cast<void*>(va_arg(arguments, jobject)));
    record("CallStaticVoidMethodV " + describe(owner) + " " + describe(method) + " with array of length " +
           std::to_string(array != nullptr ? array->length : -1));
    const std::string writePath = setting("STANDIN_WRITE_IN_MAIN");
    if (!writePath.empty()) {
        std::FILE* file = std::fopen(writePath.c_str(), "r+");
        record(std::string("main opened the file for writing: ") + (file != nullptr ? "yes" : "no"));
        if (file != nullptr) std::fclose(file);
    }
    const std::string printed = setting("STANDIN_PRINT_IN_MAIN");
    if (!printed.empty()) {
        printThroughHook("%s\n", printed.c_str());
        writeToStandardOutput("main wrote this\n");
    }
    if (!setting("STANDIN_LATER_STARTS").empty()) {
        waitForLaterStarts(std::atoi(setting("STANDIN_LATER_STARTS").c_str()));
    }
    if (setting("STANDIN_RUN_UNTIL_EXIT") == "1") {
        runUntilExit();
    }
    if (setting("STANDIN_THROW") == "1") {
        raise("java.lang.IllegalStateException: thrown by the stand-in's main");
    }
}

void JNICALL deleteLocalRef(JNIEnv*, jobject object) {
    record("DeleteLocalRef " + describe(object));
}

jboolean JNICALL isInstanceOf(JNIEnv*, jobject object, jclass type) {
    record("IsInstanceOf " + describe(object) + " " + describe(type));
    // An exception's description starts with its class's name.
    std::string className = static_cast<StandinObject*>(static_cast<void*>(type))->text;
    for (char& c : className) c = c == '/' ? '.' : c;
    const std::string& description = static_cast<StandinObject*>(static_cast<void*>(object))->text;
    return description == className || description.rfind(className + ":", 0) == 0;
}

jint JNICALL throwException(JNIEnv*, jthrowable exception) {
    record("Throw " + describe(exception));
    pendingException = static_cast<StandinObject*>(static_cast<void*>(exception));
    return JNI_OK;
}

jboolean JNICALL exceptionCheck(JNIEnv*) {
    record(std::string("ExceptionCheck ") + (pendingException != nullptr ? "true" : "false"));
    return pendingException != nullptr ? JNI_TRUE : JNI_FALSE;
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    record("ExceptionOccurred " + describe(pendingException));
    return reinterpret_cast<jthrowable>(pendingException);
}

void JNICALL exceptionClear(JNIEnv*) {
    record("ExceptionClear");
    pendingException = nullptr;
}

jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
    record("GetObjectClass " + describe(object));
    return reinterpret_cast<jclass>(make("class", "of " + describe(object)));
}

jmethodID JNICALL getMethodId(JNIEnv*, jclass, const char* name, const char* signature) {
    record(std::string("GetMethodID ") + name + " " + signature);
    return reinterpret_cast<jmethodID>(make("method", name));
}

// Throwable.toString and Class.getName give the object's text; Class.getMethod finds any method asked for, a
// static void one; Thread.getState says the thread has not been started.
jobject JNICALL callObjectMethodV(JNIEnv*, jobject object, jmethodID method, va_list arguments) {
    const std::string& name = nameOf(method);
    if (name == "getMethod") {
        const std::string& methodName = nameOf(va_arg(arguments, jobject));
        record("CallObjectMethodV " + describe(object) + " " + describe(method) + " " + methodName);
        return reinterpret_cast<jobject>(make("method", methodName));
    }
    record("CallObjectMethodV " + describe(object) + " " + describe(method));
    if (name == "getReturnType") return reinterpret_cast<jobject>(make("class", "void"));
    if (name == "getState") return reinterpret_cast<jobject>(make("state", "NEW"));
    return reinterpret_cast<jobject>(make("string", nameOf(object)));
}

// Method.getModifiers (public static) and Enum.ordinal (Thread.State.NEW's).
jint JNICALL callIntMethodV(JNIEnv*, jobject object, jmethodID method, va_list) {
    record("CallIntMethodV " + describe(object) + " " + describe(method));
    return nameOf(method) == "getModifiers" ? 0x0009 : 0;
}

// Runtime.addShutdownHook, which refuses a hook registered before, as the JVM's does while it does not end.
std::vector<const void*> shutdownHooks;
void JNICALL callVoidMethodV(JNIEnv*, jobject object, jmethodID method, va_list arguments) {
    const void* argument = va_arg(arguments, jobject);
    record("CallVoidMethodV " + describe(object) + " " + describe(method) + " " + describe(argument));
    if (nameOf(method) != "addShutdownHook") return;
    std::lock_guard<std::recursive_mutex> guard(standinLock);
    if (std::find(shutdownHooks.begin(), shutdownHooks.end(), argument) != shutdownHooks.end()) {
        raise("java.lang.IllegalArgumentException: Hook previously registered");
    } else {
        shutdownHooks.push_back(argument);
    }
}

void JNICALL deleteGlobalRef(JNIEnv*, jobject object) {
    record("DeleteGlobalRef " + describe(object));
}

jmethodID JNICALL fromReflectedMethod(JNIEnv*, jobject method) {
    record("FromReflectedMethod " + describe(method));
    return reinterpret_cast<jmethodID>(method);
}

jint JNICALL monitorEnter(JNIEnv*, jobject object) {
    record("MonitorEnter " + describe(object));
    return JNI_OK;
}

jint JNICALL monitorExit(JNIEnv*, jobject object) {
    record("MonitorExit " + describe(object));
    return JNI_OK;
}

jint JNICALL pushLocalFrame(JNIEnv*, jint capacity) {
    record("PushLocalFrame " + std::to_string(capacity));
    return JNI_OK;
}

jobject JNICALL popLocalFrame(JNIEnv*, jobject result) {
    record("PopLocalFrame " + describe(result));
    return result;
}

const char* JNICALL getStringUtfChars(JNIEnv*, jstring text, jboolean* isCopy) {
    record("GetStringUTFChars " + describe(text));
    if (isCopy != nullptr) *isCopy = JNI_FALSE;
    return static_cast<StandinObject*>(static_cast<void*>(text))->text.c_str();
}

void JNICALL releaseStringUtfChars(JNIEnv*, jstring text, const char*) {
    record("ReleaseStringUTFChars " + describe(text));
}

jint JNICALL destroyJavaVm(JavaVM*) {
    record("DestroyJavaVM");
    return JNI_OK;
}

jint JNICALL detachCurrentThread(JavaVM*) {
    // As the JVM does, a pending exception goes to the uncaught-exception handler.
    record("DetachCurrentThread " + describe(pendingException));
    attachedAsDaemon = false;
    if (pendingException != nullptr) {
        std::fprintf(stderr, "Exception in thread \"main\" %s\n", pendingException->text.c_str());
        pendingException = nullptr;
    }
    return JNI_OK;
}

JNIInvokeInterface_ vmFunctions;
JavaVM_ vm{&vmFunctions};

template <typename Table, template <std::size_t> class Entry, std::size_t... Index>
void fillWithUnimplemented(Table& table, std::index_sequence<Index...>) {
    void* slots[] = {reinterpret_cast<void*>(Entry<Index>::function)...};
    static_assert(sizeof(slots) == sizeof(Table), "one entry per table slot");
    std::memcpy(&table, slots, sizeof(Table));
}
template <std::size_t Index>
struct EnvEntry {
    static constexpr auto function = &unimplementedEnv<Index>;
};
template <std::size_t Index>
struct VmEntry {
    static constexpr auto function = &unimplementedVm<Index>;
};

void setUpTables() {
    fillWithUnimplemented<JNINativeInterface_, EnvEntry>(
        envFunctions, std::make_index_sequence<sizeof(JNINativeInterface_) / sizeof(void*)>());
    fillWithUnimplemented<JNIInvokeInterface_, VmEntry>(
        vmFunctions, std::make_index_sequence<sizeof(JNIInvokeInterface_) / sizeof(void*)>());

    envFunctions.FindClass = findClass;
    envFunctions.NewObjectArray = newObjectArray;
    envFunctions.NewStringUTF = newStringUtf;
    envFunctions.SetObjectArrayElement = setObjectArrayElement;
    envFunctions.CallStaticObjectMethodV = callStaticObjectMethodV;
    envFunctions.NewByteArray = newByteArray;
    envFunctions.SetByteArrayRegion = setByteArrayRegion;
    envFunctions.NewObjectV = newObjectV;
    envFunctions.GetStaticMethodID = getStaticMethodId;
    envFunctions.CallStaticVoidMethodV = callStaticVoidMethodV;
    envFunctions.DeleteLocalRef = deleteLocalRef;
    envFunctions.IsInstanceOf = isInstanceOf;
    envFunctions.Throw = throwException;
    envFunctions.ExceptionCheck = exceptionCheck;
    envFunctions.ExceptionOccurred = exceptionOccurred;
    envFunctions.ExceptionClear = exceptionClear;
    envFunctions.GetObjectClass = getObjectClass;
    envFunctions.GetMethodID = getMethodId;
    envFunctions.CallObjectMethodV = callObjectMethodV;
    envFunctions.CallIntMethodV = callIntMethodV;
    envFunctions.CallVoidMethodV = callVoidMethodV;
    envFunctions.FromReflectedMethod = fromReflectedMethod;
    envFunctions.MonitorEnter = monitorEnter;
    envFunctions.MonitorExit = monitorExit;
    envFunctions.PushLocalFrame = pushLocalFrame;
    envFunctions.PopLocalFrame = popLocalFrame;
    envFunctions.GetStringUTFChars = getStringUtfChars;
    envFunctions.ReleaseStringUTFChars = releaseStringUtfChars;
    vmFunctions.DestroyJavaVM = destroyJavaVm;
    vmFunctions.DetachCurrentThread = detachCurrentThread;
    vmFunctions.AttachCurrentThreadAsDaemon = attachCurrentThreadAsDaemon;
    vmFunctions.AttachCurrentThread = attachCurrentThread;
    envFunctions.NewGlobalRef = newGlobalRef;
    envFunctions.DeleteGlobalRef = deleteGlobalRef;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vmOut, void** envOut, void* initArgs) {
    const auto* args = static_cast<const JavaVMInitArgs*>(initArgs);
    for (jint i = 0; i < args->nOptions; ++i) vmOptions.emplace_back(args->options[i].optionString);
    const std::string recordPath = setting("STANDIN_RECORD");
    recordFile = recordPath.empty() ? nullptr : std::fopen(recordPath.c_str(), "w");
    // What the stand-in splash library recorded before the VM was created comes first.
    if (std::FILE* splash = recordFile == nullptr ? nullptr : std::fopen((recordPath + ".splash").c_str(), "r")) {
        for (int c; (c = std::fgetc(splash)) != EOF;) std::fputc(c, recordFile);
        std::fclose(splash);
        std::remove((recordPath + ".splash").c_str());
    }
    setUpTables();

    char version[16];
    std::snprintf(version, sizeof version, "0x%08x", static_cast<unsigned>(args->version));
    record(std::string("JNI_CreateJavaVM version ") + version + " ignoreUnrecognized " +
           std::to_string(static_cast<int>(args->ignoreUnrecognized)) + " nOptions " + std::to_string(args->nOptions) +
           " runtime " + standinDependencyName());
    for (jint i = 0; i < args->nOptions; ++i) {
        record("option " + std::to_string(i) + " " + args->options[i].optionString +
               (args->options[i].extraInfo == nullptr ? "" : " with extraInfo"));
    }

    for (jint i = 0; i < args->nOptions; ++i) {
        if (std::strcmp(args->options[i].optionString, "vfprintf") == 0) {
            printHook = reinterpret_cast<PrintHook>(args->options[i].extraInfo);
        }
        if (std::strcmp(args->options[i].optionString, "exit") == 0) {
            exitHook = reinterpret_cast<ExitHook>(args->options[i].extraInfo);
        }
    }

    const std::string stopWith = setting("STANDIN_STOP_IN_CREATION");
    if (!stopWith.empty()) {
        void* hooks[3] = {};
        for (jint i = 0; i < args->nOptions; ++i) {
            const std::string name = args->options[i].optionString;
            const int slot = name == "exit" ? 1 : name == "abort" ? 2 : -1;
            if (slot >= 0) hooks[slot] = args->options[i].extraInfo;
        }
        printThroughHook("Error occurred during initialization of VM\n");
        printThroughHook("Stand-in: could not reserve %d MB for the %s\n", 4096, "object heap");
        if (stopWith == "exit" && hooks[1] != nullptr) reinterpret_cast<void(JNICALL*)(jint)>(hooks[1])(1);
        if (stopWith == "abort" && hooks[2] != nullptr) reinterpret_cast<void(JNICALL*)()>(hooks[2])();
        record("the hook returned");
        std::exit(1);  // as the JVM ends the process when its hook returns
    }

    const std::string status = setting("STANDIN_CREATE_STATUS");
    if (!status.empty() && status != "0") {
        return static_cast<jint>(std::atoi(status.c_str()));
    }
    *vmOut = &vm;
    *envOut = &env;
    return JNI_OK;
}

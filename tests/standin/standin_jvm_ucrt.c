/* A stand-in for a Windows JVM library of Java 9 and later, which is linked
 * with the universal C runtime (ucrtbase), not the launcher's msvcrt: while
 * "being created" it prints through the launcher's "vfprintf" hook to its own
 * runtime's standard output and error, and to a log file it opened with that
 * runtime (STANDIN_LOG, as -Xlog:...:file= does), then fails with JNI_EINVAL.
 * Built with MinGW-w64's UCRT import libraries; see tests/CMakeLists.txt. */
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef jint(JNICALL* PrintHook)(FILE*, const char*, va_list);

static void print(PrintHook hook, FILE* stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    hook(stream, format, arguments);
    va_end(arguments);
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* initArgs) {
    const JavaVMInitArgs* args = (const JavaVMInitArgs*)initArgs;
    PrintHook hook = NULL;
    for (jint i = 0; i < args->nOptions; ++i) {
        if (strcmp(args->options[i].optionString, "vfprintf") == 0) hook = (PrintHook)args->options[i].extraInfo;
    }
    *vm = NULL;
    *env = NULL;
    if (hook == NULL) return JNI_ERR;
    print(hook, stdout, "to standard output, %s\n", "from the UCRT");
    print(hook, stderr, "to standard error, %s\n", "from the UCRT");
    const char* logPath = getenv("STANDIN_LOG");
    FILE* log = logPath != NULL ? fopen(logPath, "w") : NULL;
    if (log != NULL) {
        print(hook, log, "to the log file, %s\n", "from the UCRT");
        fclose(log);
    }
    return JNI_EINVAL;
}

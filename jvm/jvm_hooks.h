#pragma once

#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <string>

// The hooks of the JNI invocation interface through which the JVM prints,
// exits and aborts, handed to it as the options "vfprintf", "exit" and
// "abort". What the JVM prints goes where it would have gone anyway. While the
// VM is being created, an abort, or an exit after the JVM printed a line
// beginning with "Error", ends the launch as a creation failure whose message
// quotes what the JVM printed last (it would otherwise end the process with
// status 1, and a double-clicked launcher would show nothing). Any other exit
// is the program's own (System.exit in a Java agent's premain, say, after a
// JVM warning or log lines), and keeps its status, as at any other time, when
// the JVM's own handling goes on untouched.
jint JNICALL jvmPrintHook(std::FILE* stream, const char* format, va_list arguments);
void JNICALL jvmExitHook(jint status);
void JNICALL jvmAbortHook();

// What the JVM printed last while it was being created, its lines joined by
// " / "; empty when it printed nothing.
std::string jvmWordsDuringCreation();

// Marks the span of JNI_CreateJavaVM for the hooks.
class VmCreationInProgress {
public:
    VmCreationInProgress();
    ~VmCreationInProgress();
    VmCreationInProgress(const VmCreationInProgress&) = delete;
    VmCreationInProgress& operator=(const VmCreationInProgress&) = delete;
};

#pragma once

#include <optional>
#include <string>

// Each way a launch can end has its own exit status, so that scripts and
// support staff can tell the failures apart without reading the message.
enum class ExitStatus : int {
    success = 0,
    javaExceptionEscaped = 1,
    configurationUnusable = 2,
    javaRuntimeUnusable = 3,
    vmCreationFailed = 4,
    mainClassUnusable = 5,
};

// Why a stage stopped the launch. The message is one line for the end user;
// it is empty when somebody else (the Java program's own uncaught-exception
// handling) has already told the user what went wrong.
struct LaunchFailure {
    ExitStatus status;
    std::string message;
    // The message is in the platform's narrow encoding (the ANSI code page on
    // Windows), unless it names something only UTF-8 can hold.
    bool messageIsUtf8 = false;
};

// A stage either lets the launch go on (no value) or stops it.
using StageResult = std::optional<LaunchFailure>;

// The single place where a failure reaches the user: writes out the trace
// lines still buffered, then shows the message as one line. Returns the exit
// status that goes with the failure.
int reportFailure(const LaunchFailure& failure);

// Tells the user, by the same means as a failure, of something wrong that
// does not stop the launch (a configuration read only in part). The message
// is one line in the platform's narrow encoding.
void reportWarning(const std::string& message);

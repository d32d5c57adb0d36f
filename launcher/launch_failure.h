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
};

// A stage either lets the launch go on (no value) or stops it.
using StageResult = std::optional<LaunchFailure>;

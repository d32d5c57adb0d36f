#pragma once

#include "launcher/launch_failure.h"
#include "launcher/launch_settings.h"

#include <jni.h>

#include <memory>
#include <string>
#include <vector>

// "singleInstance": the first start of a product becomes its running copy and
// listens; a later start of the same product by the same user hands its
// command line and current folder to it and ends. Inert for a product that
// does not ask for it.
class RunningCopy {
public:
    RunningCopy();
    // Stops listening and delivering; a later start then becomes the running copy.
    ~RunningCopy();
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    // True when another copy has taken the command line (this start then
    // ends with status 0). Otherwise this process runs the program, and
    // listens for later starts unless another copy holds the endpoint but
    // did not answer (which is said on standard error).
    bool handOverOrListen(const LaunchSettings& settings, const std::vector<std::string>& commandLine);

    // Once the main class is loaded, before main: finds the configured method
    // and delivers later starts to it, in the order they came, from now on.
    StageResult deliverTo(JavaVM* vm, JNIEnv* env, const LaunchSettings& settings);

    struct State;

private:
    std::shared_ptr<State> state_;
};

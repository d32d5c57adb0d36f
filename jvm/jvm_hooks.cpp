#include "jvm/jvm_hooks.h"

#include "launcher/launch_failure.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

namespace {

std::atomic<bool> vmBeingCreated{false};

// The last lines the JVM printed while being created. The JVM may print from
// several threads; a hook never waits for the lock, so it cannot deadlock.
std::mutex printedMutex;
std::deque<std::string> printedLines;
std::string printedPartialLine;
constexpr std::size_t keptLines = 4;
// Whether a line the JVM printed while being created reports an error of its
// own; warnings and log lines do not.
std::atomic<bool> jvmReportedAnError{false};

bool reportsAnError(const std::string& line) {
    // HotSpot's: "Error occurred during initialization of VM", "Error: ...".
    return line.rfind("Error", 0) == 0;
}

void keepPrinted(const std::string& text) {
    std::unique_lock<std::mutex> lock(printedMutex, std::try_to_lock);
    if (!lock) return;
    for (const char c : text) {
        if (c != '\n') {
            if (c != '\r') printedPartialLine += c;
            continue;
        }
        if (printedPartialLine.empty()) continue;
        if (reportsAnError(printedPartialLine)) jvmReportedAnError = true;
        printedLines.push_back(printedPartialLine);
        printedPartialLine.clear();
        if (printedLines.size() > keptLines) printedLines.pop_front();
    }
}

}  // namespace

std::string jvmWordsDuringCreation() {
    std::unique_lock<std::mutex> lock(printedMutex, std::try_to_lock);
    std::string said;
    if (!lock) return said;
    for (const std::string& line : printedLines) said += (said.empty() ? "" : " / ") + line;
    if (!printedPartialLine.empty()) said += (said.empty() ? "" : " / ") + printedPartialLine;
    return said;
}

namespace {

[[noreturn]] void endLaunchDuringCreation(const std::string& said) {
    const LaunchFailure failure{
        ExitStatus::vmCreationFailed,
        "the Java VM could not be created: it stopped while starting" +
            (said.empty() ? std::string(" without saying why") : ", saying \"" + said + "\"") +
            "; check the options in \"vmArgs\", the memory ones (-Xmx, -Xms, -Xss) above all",
        false};
    const int status = reportFailure(failure);
    platform::processEnding(status);
    // The JVM is half made: nothing of it may run again, so no exit handlers.
    std::_Exit(status);
}

}  // namespace

jint JNICALL jvmPrintHook(std::FILE* stream, const char* format, va_list arguments) {
    // Formatted with the launcher's own C library: on Windows the stream
    // belongs to the JVM's C runtime and is never used as a stream here.
    va_list measuring;
    va_copy(measuring, arguments);
    char shortText[512];
    const int length = std::vsnprintf(shortText, sizeof shortText, format, measuring);
    va_end(measuring);
    if (length < 0) return length;
    std::string text;
    if (static_cast<std::size_t>(length) < sizeof shortText) {
        text.assign(shortText, static_cast<std::size_t>(length));
    } else {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
        text.resize(static_cast<std::size_t>(length));
    }
    platform::writeJvmOutput(stream, text);
    if (vmBeingCreated) keepPrinted(text);
    return length;
}

void JNICALL jvmExitHook(jint status) {
    // Status 0 is an ending the JVM chose, not a failure, and an exit the JVM
    // reported no error for is the program's own (System.exit in a Java
    // agent's premain), whatever warnings or log lines came before it.
    // Returning lets the JVM end the process with the status, as it does
    // without the hook.
    if (vmBeingCreated && status != 0) {
        bool partialLineReportsAnError = false;
        {
            std::unique_lock<std::mutex> lock(printedMutex, std::try_to_lock);
            partialLineReportsAnError = lock && reportsAnError(printedPartialLine);
        }
        if (jvmReportedAnError || partialLineReportsAnError) endLaunchDuringCreation(jvmWordsDuringCreation());
    }
    platform::processEnding(status);
}

void JNICALL jvmAbortHook() {
    // Returning lets the JVM go on with its own crash handling.
    if (vmBeingCreated) endLaunchDuringCreation(jvmWordsDuringCreation());
}

VmCreationInProgress::VmCreationInProgress() {
    vmBeingCreated = true;
}

VmCreationInProgress::~VmCreationInProgress() {
    vmBeingCreated = false;
}

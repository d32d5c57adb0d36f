#include "launcher/running_copy.h"

#include "jvm/later_start_method.h"
#include "jvm/modified_utf8.h"
#include "launcher/later_start_message.h"
#include "launcher/trace.h"
#include "platform/platform.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// How long a later start waits for the running copy to take its command line.
constexpr int answerMilliseconds = 3000;
// A running copy that is ending still holds its endpoint for a moment.
constexpr int claimAttempts = 100;
constexpr auto claimRetryPause = std::chrono::milliseconds(20);

void sayOnStandardError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace

// Shared by the launch and the two threads, which outlive the launch's own
// objects: they are never joined, so that neither can hold up the exit.
struct RunningCopy::State {
    std::intptr_t listener = -1;
    bool listening = false;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<LaterStart> waiting;
    bool stopped = false;
};

RunningCopy::RunningCopy() : state_(std::make_shared<State>()) {}

RunningCopy::~RunningCopy() {
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->stopped = true;
    }
    state_->changed.notify_all();
    if (state_->listening) platform::stopListening(state_->listener);
}

namespace {

// Takes each later start's message: queues it for the method, or, with no
// method named, brings the program's window to the front.
void listen(std::shared_ptr<RunningCopy::State> state, bool methodNamed) {
    std::string bytes;
    std::intptr_t peer = -1;
    while (platform::receiveLaterStart(state->listener, maxLaterStartBytes, bytes, peer)) {
        LaterStart start;
        bool taken = decodeLaterStart(bytes, start);
        {
            std::lock_guard<std::mutex> guard(state->lock);
            taken = taken && !state->stopped;
            if (taken && methodNamed) state->waiting.push_back(std::move(start));
        }
        if (taken && !methodNamed) platform::bringOwnWindowToFront();
        state->changed.notify_all();
        platform::answerLaterStart(peer, taken);
    }
}

void deliver(std::shared_ptr<RunningCopy::State> state, JavaVM* vm, LaterStartMethod method) {
    while (true) {
        LaterStart start;
        {
            std::unique_lock<std::mutex> guard(state->lock);
            state->changed.wait(guard, [&state] { return state->stopped || !state->waiting.empty(); });
            if (state->stopped) return;
            start = std::move(state->waiting.front());
            state->waiting.pop_front();
        }
        if (!callLaterStartMethod(vm, method, start.arguments, start.directory)) return;
    }
}

}  // namespace

bool RunningCopy::handOverOrListen(const LaunchSettings& settings, const std::vector<std::string>& commandLine) {
    if (!settings.singleInstance) return false;
    LaterStart start{platform::currentDirectoryUtf8(), {}};
    for (const std::string& argument : commandLine) {
        start.arguments.push_back(platform::commandLineEncoding == platform::CommandLineEncoding::modifiedUtf8
                                      ? utf8FromModifiedUtf8(argument)
                                      : argument);
    }
    std::string message;
    const bool canHandOver = encodeLaterStart(start, message);

    for (int attempt = 0; attempt < claimAttempts; ++attempt) {
        std::string error;
        switch (platform::listenForLaterStarts(settings.applicationDir, state_->listener, error)) {
        case platform::Claim::listening:
            traceLine("singleInstance: listening for later starts\n");
            state_->listening = true;
            std::thread(listen, state_, !settings.laterStartMethod.empty()).detach();
            return false;
        case platform::Claim::failed:
            sayOnStandardError("Another start of this program cannot reach this one: " + error);
            return false;
        case platform::Claim::heldByAnother:
            break;
        }
        if (!canHandOver) {
            sayOnStandardError("The program is running already, but this start's arguments or its current folder "
                               "are not UTF-8 and cannot be handed to it; starting another copy.");
            return false;
        }
        switch (platform::handToRunningCopy(settings.applicationDir, message, answerMilliseconds)) {
        case platform::HandOver::taken:
            traceLine("singleInstance: handed over to the running copy\n");
            return true;
        case platform::HandOver::noAnswer:
            sayOnStandardError("The running copy of this program did not answer within " +
                               std::to_string(answerMilliseconds / 1000) + " seconds; starting another copy.");
            return false;
        case platform::HandOver::anotherUser:
            sayOnStandardError("Another user's process holds this program's place for a running copy; starting "
                               "another copy, which later starts will not reach.");
            return false;
        case platform::HandOver::nobodyListens:
            std::this_thread::sleep_for(claimRetryPause);  // it is ending, or has just begun
            break;
        }
    }
    sayOnStandardError("The running copy of this program is ending and did not make way; starting another copy.");
    return false;
}

StageResult RunningCopy::deliverTo(JavaVM* vm, JNIEnv* env, const LaunchSettings& settings) {
    if (settings.laterStartMethod.empty()) return std::nullopt;
    // Checked whether or not this copy listens: a configuration fault shows at the first start.
    LaterStartMethod method;
    if (StageResult failure = findLaterStartMethod(env, settings.laterStartClass, settings.laterStartMethod, method)) {
        return failure;
    }
    if (!state_->listening) return std::nullopt;
    std::thread(deliver, state_, vm, method).detach();
    return std::nullopt;
}

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

// How long a later start waits for the running copy to say it has the command line.
constexpr int answerMilliseconds = 3000;
// And then for the program to take it: the running copy's JVM may still be starting, on a loaded machine.
constexpr int takeMilliseconds = 30000;
// A running copy that is ending still holds its endpoint for a moment.
constexpr int claimAttempts = 100;
constexpr auto claimRetryPause = std::chrono::milliseconds(20);
// Messages read side by side, each for at most a second; more wait to be read.
constexpr int maxReading = 16;
// A copy of ours listens right after it binds: a socket bound this many tries
// without listening is another process's.
constexpr int notListeningAttempts = 10;

void sayOnStandardError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

// A later start the running copy has, and the connection to tell it whether the program took it.
struct WaitingStart {
    LaterStart start;
    std::intptr_t peer = -1;
};

}  // namespace

// Shared by the launch and the two threads, which outlive the launch's own
// objects: they are never joined, so that neither can hold up the exit.
struct RunningCopy::State {
    std::intptr_t listener = -1;
    bool listening = false;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<WaitingStart> waiting;
    bool stopped = false;
    int reading = 0;  // messages being read
};

namespace {

// From now on no later start is taken: each one still waiting is told so, and runs the program itself.
void refuseWaitingStarts(RunningCopy::State& state) {
    std::deque<WaitingStart> refused;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.stopped = true;
        refused.swap(state.waiting);
    }
    state.changed.notify_all();
    for (const WaitingStart& waiting : refused) platform::answerLaterStart(waiting.peer, platform::Answer::notTaken);
}

}  // namespace

RunningCopy::RunningCopy() : state_(std::make_shared<State>()) {}

RunningCopy::~RunningCopy() {
    refuseWaitingStarts(*state_);
    if (state_->listening) platform::stopListening(state_->listener);
}

namespace {

// Reads one later start's message: queues it for the method, or, with no
// method named, brings the program's window to the front.
void takeLaterStart(std::shared_ptr<RunningCopy::State> state, bool methodNamed, std::intptr_t peer) {
    std::string bytes;
    LaterStart start;
    if (platform::readLaterStart(peer, maxLaterStartBytes, bytes)) {
        bool queued = false;
        if (decodeLaterStart(bytes, start)) {
            std::lock_guard<std::mutex> guard(state->lock);
            if (!state->stopped) {
                platform::answerLaterStart(peer, platform::Answer::received);
                if (methodNamed) state->waiting.push_back(WaitingStart{std::move(start), peer});
                queued = true;
            }
        }
        if (!queued) {
            platform::answerLaterStart(peer, platform::Answer::notTaken);
        } else if (!methodNamed) {
            platform::bringOwnWindowToFront();
            platform::answerLaterStart(peer, platform::Answer::taken);
        }
    }
    {
        std::lock_guard<std::mutex> guard(state->lock);
        --state->reading;
    }
    state->changed.notify_all();
}

// Takes each later start that connects, and reads its message on a thread of
// its own: a peer that sends slowly, or nothing, holds up no other start.
void listen(std::shared_ptr<RunningCopy::State> state, bool methodNamed) {
    std::intptr_t peer = -1;
    while (platform::acceptLaterStart(state->listener, peer)) {
        {
            std::unique_lock<std::mutex> guard(state->lock);
            state->changed.wait(guard, [&state] { return state->reading < maxReading; });
            ++state->reading;
        }
        std::thread(takeLaterStart, state, methodNamed, peer).detach();
    }
}

// Calls the method once per later start, in the order they came. A start is
// told it was taken as the call begins; one that is gone by then (it waited
// too long, and runs the program itself) is skipped.
void deliver(std::shared_ptr<RunningCopy::State> state, JavaVM* vm, LaterStartMethod method) {
    while (true) {
        WaitingStart next;
        {
            std::unique_lock<std::mutex> guard(state->lock);
            state->changed.wait(guard, [&state] { return state->stopped || !state->waiting.empty(); });
            if (state->stopped) return;
            next = std::move(state->waiting.front());
            state->waiting.pop_front();
        }
        bool answered = false;
        const bool vmTakesThreads =
            callLaterStartMethod(vm, method, next.start.arguments, next.start.directory, [&next, &answered] {
                answered = true;
                return platform::answerLaterStart(next.peer, platform::Answer::taken);
            });
        if (!answered) platform::answerLaterStart(next.peer, platform::Answer::notTaken);
        if (!vmTakesThreads) {
            refuseWaitingStarts(*state);
            return;
        }
    }
}

// Why this start, which found the program running, cannot hand its command line over.
std::string whyNotHandedOver(LaterStartEncoding encoding) {
    switch (encoding) {
    case LaterStartEncoding::notUtf8:
        return "its arguments or its current folder are not UTF-8";
    case LaterStartEncoding::tooLong:
        return "its command line is longer than the " + std::to_string(maxLaterStartBytes >> 20) +
               " MiB the running copy takes";
    case LaterStartEncoding::noDirectory:
    case LaterStartEncoding::encoded:
        break;
    }
    return "its current folder cannot be read";
}

}  // namespace

bool RunningCopy::handOverOrListen(const LaunchSettings& settings, const std::vector<std::string>& commandLine) {
    if (!settings.singleInstance) return false;
    LaterStart start;
    std::string directoryError;
    std::string whyNot;
    if (!platform::currentDirectoryUtf8(start.directory, directoryError)) {
        whyNot = "its current folder cannot be read (" + directoryError + ")";
    }
    for (const std::string& argument : commandLine) {
        start.arguments.push_back(platform::commandLineEncoding == platform::CommandLineEncoding::modifiedUtf8
                                      ? utf8FromModifiedUtf8(argument)
                                      : argument);
    }
    std::string message;
    const LaterStartEncoding encoding = encodeLaterStart(start, message);
    if (whyNot.empty() && encoding != LaterStartEncoding::encoded) whyNot = whyNotHandedOver(encoding);

    int notListeningSeen = 0;
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
        if (!whyNot.empty()) {
            sayOnStandardError("The program is running already, but this start cannot hand its command line to it: " +
                               whyNot + "; starting another copy.");
            return false;
        }
        switch (platform::handToRunningCopy(settings.applicationDir, message, answerMilliseconds, takeMilliseconds)) {
        case platform::HandOver::taken:
            traceLine("singleInstance: handed over to the running copy\n");
            return true;
        case platform::HandOver::noAnswer:
            sayOnStandardError("The running copy of this program did not answer within " +
                               std::to_string(answerMilliseconds / 1000) +
                               " seconds: it hangs, or another user's process holds its place; starting another "
                               "copy.");
            return false;
        case platform::HandOver::notTakenInTime:
            sayOnStandardError("The running copy of this program did not take this start's command line within " +
                               std::to_string(takeMilliseconds / 1000) + " seconds; starting another copy.");
            return false;
        case platform::HandOver::heldNotListening:
            if (++notListeningSeen < notListeningAttempts) {
                std::this_thread::sleep_for(claimRetryPause);
                break;
            }
            [[fallthrough]];
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

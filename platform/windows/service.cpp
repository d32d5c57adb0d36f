// The service variant's side of the service manager: one service in its own
// process, whose Java program a stop request ends (platform::takeStopRequests).
#include "platform/windows/service.h"

#include "platform/platform.h"
#include "platform/windows/windows_platform.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace platform {

namespace {

// How long the service manager waits for the next report while the service
// starts (the JVM's start) or stops (the program's shutdown hooks).
constexpr DWORD waitHintMilliseconds = 60000;

struct Service {
    std::mutex lock;
    std::condition_variable launchReturnedOrFailed;
    SERVICE_STATUS_HANDLE handle = nullptr;
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
    std::function<void()> stop;
    std::function<int(int, wchar_t**)> launch;
    bool launchReturned = false;
    int launchStatus = 0;
    std::string failure;
};
Service service;  // the process's one service

// Tells the service manager; called with the lock held. Nothing is said after
// the service stopped: the process is ending.
void report(DWORD state, int exitStatus = 0) {
    if (service.handle == nullptr || service.status.dwCurrentState == SERVICE_STOPPED) return;
    service.status.dwCurrentState = state;
    service.status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    service.status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    service.status.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    service.status.dwWaitHint = pending ? waitHintMilliseconds : 0;
    service.status.dwCheckPoint = pending ? service.status.dwCheckPoint + 1 : 0;
    SetServiceStatus(service.handle, &service.status);
}

// On the dispatcher's thread: a stop, or the machine's shutdown, ends the
// program, which takes its time on a thread of its own.
DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    if (code == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
    if (code != SERVICE_CONTROL_STOP && code != SERVICE_CONTROL_SHUTDOWN) return ERROR_CALL_NOT_IMPLEMENTED;
    std::function<void()> stop;
    {
        std::lock_guard<std::mutex> guard(service.lock);
        if (service.status.dwCurrentState != SERVICE_RUNNING) return NO_ERROR;
        report(SERVICE_STOP_PENDING);
        stop = service.stop;
    }
    if (stop) stop();
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD argc, wchar_t** argv) {
    // A service of its own process: the manager takes any name for it.
    const SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : const_cast<wchar_t*>(L""), control, nullptr);
    {
        std::lock_guard<std::mutex> guard(service.lock);
        if (handle == nullptr) {
            service.failure = "it cannot take the service manager's requests: " +
                              configTextFromNarrow(lastErrorText(GetLastError()));
            service.launchReturnedOrFailed.notify_all();
            return;
        }
        service.handle = handle;
        report(SERVICE_START_PENDING);
    }
    const int status = service.launch(static_cast<int>(argc), argv);
    std::lock_guard<std::mutex> guard(service.lock);
    report(SERVICE_STOPPED, status);
    service.launchStatus = status;
    service.launchReturned = true;
    service.launchReturnedOrFailed.notify_all();
}

}  // namespace

bool runAsService(const std::function<int(int argc, wchar_t** argv)>& launch, int& status, std::string& error) {
    service.launch = launch;
    wchar_t anyName[] = L"";  // the manager ignores it for a service of its own process
    SERVICE_TABLE_ENTRYW services[] = {{anyName, serviceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(services)) {
        const DWORD failure = GetLastError();
        error = failure == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                    ? "it was not started by the service manager"
                    : "it cannot reach the service manager: " + configTextFromNarrow(lastErrorText(failure));
        return false;
    }
    // The dispatcher returns once the service stopped. When the JVM ended the
    // process itself (processEnding), the launch never returns: the process
    // ends on the JVM's thread, not here beside it.
    std::unique_lock<std::mutex> lock(service.lock);
    service.launchReturnedOrFailed.wait(lock, [] { return service.launchReturned || !service.failure.empty(); });
    error = service.failure;
    status = service.launchStatus;
    return service.failure.empty();
}

void takeStopRequests(const std::function<void()>& stop) {
    std::lock_guard<std::mutex> guard(service.lock);
    service.stop = stop;
    if (stop && service.status.dwCurrentState == SERVICE_START_PENDING) report(SERVICE_RUNNING);
}

void processEnding(int status) {
    std::lock_guard<std::mutex> guard(service.lock);
    report(SERVICE_STOPPED, status);
}

}  // namespace platform

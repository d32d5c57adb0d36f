// The running copy's endpoint on Windows: a named mutex that says who the
// running copy is and a named pipe it listens on, both of which go away with
// the process, named after the login session, the user's SID and the product
// folder's long path (the mutex decides, as the pipe's first-instance flag
// is not honoured everywhere). Its security descriptor admits only the
// user; a later start checks that the process answering runs as the user too.
// All I/O is overlapped, so that no peer can hold either side up for longer
// than its time limit. A message goes in a frame (its length, 4 bytes, least
// significant first, then its bytes); each answer is one byte.
#include "platform/platform.h"
#include "platform/windows/windows_platform.h"

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <memory>

namespace platform {

namespace {

// A handle closed when it goes out of scope.
struct Handle {
    HANDLE value = nullptr;
    explicit Handle(HANDLE handle) : value(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() {
        if (value != nullptr) CloseHandle(value);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

// The SID of the user a process runs as, as text; "" when it cannot be read.
std::wstring userSidOf(HANDLE process) {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken)) return L"";
    const Handle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.value, TokenUser, nullptr, 0, &size);
    std::unique_ptr<char[]> buffer(new char[size]);
    wchar_t* text = nullptr;
    if (!GetTokenInformation(token.value, TokenUser, buffer.get(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &text)) {
        return L"";
    }
    const std::wstring sid = text;
    LocalFree(text);
    return sid;
}

// The name of both, without the namespace.
std::wstring endpointName(const std::string& applicationDir) {
    std::wstring folder = toWide(applicationDir);
    wchar_t longPath[32768];
    const DWORD length = GetLongPathNameW(folder.c_str(), longPath, 32768);
    if (length > 0 && length < 32768) folder.assign(longPath, length);
    CharLowerBuffW(folder.data(), static_cast<DWORD>(folder.size()));
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the UTF-16 units
    for (const wchar_t unit : folder) hash = (hash ^ static_cast<std::uint16_t>(unit)) * 1099511628211ull;
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    wchar_t name[256];
    std::swprintf(name, 256, L"launcher-running-copy-%lu-%ls-%016llx", static_cast<unsigned long>(session),
                  userSidOf(GetCurrentProcess()).c_str(), static_cast<unsigned long long>(hash));
    return name;
}

// Waits for an overlapped operation on `pipe` that `started` began; false on failure or after `milliseconds`
// (the operation is then cancelled), or when `stop` is signalled first.
bool finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD milliseconds, DWORD& transferred,
            HANDLE stop = nullptr) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return GetLastError() == ERROR_PIPE_CONNECTED;
    HANDLE waits[2] = {overlapped.hEvent, stop};
    if (WaitForMultipleObjects(stop != nullptr ? 2 : 1, waits, FALSE, milliseconds) != WAIT_OBJECT_0) {
        CancelIoEx(pipe, &overlapped);
        GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != 0;
}

// All `size` bytes by `deadline` (GetTickCount64's), however the peer splits them: one that sends a byte at a time
// holds the listener no longer than one that sends nothing.
bool transferBy(HANDLE pipe, bool write, char* bytes, std::size_t size, ULONGLONG deadline) {
    const Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    for (std::size_t done = 0; done < size;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.value;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 65536));
        const BOOL started = write ? WriteFile(pipe, bytes + done, chunk, nullptr, &overlapped)
                                   : ReadFile(pipe, bytes + done, chunk, nullptr, &overlapped);
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        DWORD transferred = 0;
        if (!finish(pipe, overlapped, started, left, transferred) || transferred == 0) return false;
        done += transferred;
    }
    return true;
}

bool transfer(HANDLE pipe, bool write, char* bytes, std::size_t size, DWORD milliseconds) {
    return transferBy(pipe, write, bytes, size, GetTickCount64() + milliseconds);
}

std::wstring pipeName(const std::string& applicationDir) {
    return L"\\\\.\\pipe\\" + endpointName(applicationDir);
}

struct PipeListener {
    std::wstring name;
    HANDLE runningCopy = nullptr;  // the mutex, held until the process ends
    SECURITY_ATTRIBUTES security{};
    HANDLE instance = nullptr;  // the one a later start connects to next
    Handle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    Handle connected{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

HANDLE newInstance(PipeListener& listener, bool first) {
    return CreateNamedPipeW(listener.name.c_str(),
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                            PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, &listener.security);
}

// A later start sends its whole frame at once, and one cut off tries again.
const DWORD messageMilliseconds = 1000;
// How long the running copy waits for a later start to confirm that it took its answer (and ends).
const DWORD confirmationMilliseconds = 3000;

}  // namespace

Claim listenForLaterStarts(const std::string& applicationDir, std::intptr_t& listener, std::string& error) {
    auto pipe = std::make_unique<PipeListener>();
    pipe->name = pipeName(applicationDir);
    const std::wstring sid = userSidOf(GetCurrentProcess());
    // Full access for the user alone; nobody else may open, create or read it.
    const std::wstring descriptor = L"D:P(A;;GA;;;" + sid + L")";
    void* securityDescriptor = nullptr;
    if (sid.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1,
                                                                            &securityDescriptor, nullptr)) {
        error = "cannot make a security descriptor for the user (error " + std::to_string(GetLastError()) + ")";
        return Claim::failed;
    }
    pipe->security = {sizeof(SECURITY_ATTRIBUTES), securityDescriptor, FALSE};  // kept for later instances
    pipe->runningCopy = CreateMutexW(&pipe->security, FALSE, (L"Local\\" + endpointName(applicationDir)).c_str());
    if (pipe->runningCopy == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        const DWORD code = GetLastError();
        if (pipe->runningCopy != nullptr) CloseHandle(pipe->runningCopy);
        if (code == ERROR_ALREADY_EXISTS || code == ERROR_ACCESS_DENIED) return Claim::heldByAnother;
        error = "cannot create a named mutex (error " + std::to_string(code) + ")";
        return Claim::failed;
    }
    pipe->instance = newInstance(*pipe, true);
    if (pipe->instance == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = "cannot create the named pipe (error " + std::to_string(code) + ")";
        return Claim::failed;
    }
    listener = reinterpret_cast<std::intptr_t>(pipe.release());  // lives as long as the process
    return Claim::listening;
}

HandOver handToRunningCopy(const std::string& applicationDir, const std::string& message, int answerMilliseconds,
                           int takeMilliseconds) {
    const std::wstring name = pipeName(applicationDir);
    const auto timeout = static_cast<DWORD>(answerMilliseconds);
    HANDLE opened = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (opened == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY) {
        if (!WaitNamedPipeW(name.c_str(), timeout)) {
            return GetLastError() == ERROR_FILE_NOT_FOUND ? HandOver::nobodyListens : HandOver::noAnswer;
        }
        opened = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    }
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return code == ERROR_ACCESS_DENIED ? HandOver::anotherUser
               : code == ERROR_PIPE_BUSY   ? HandOver::noAnswer
                                           : HandOver::nobodyListens;
    }
    const Handle pipe(opened);

    ULONG serverId = 0;
    const Handle server(GetNamedPipeServerProcessId(pipe.value, &serverId)
                            ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId)
                            : nullptr);
    if (server.value == nullptr || userSidOf(server.value) != userSidOf(GetCurrentProcess())) {
        return HandOver::anotherUser;  // never a word to it
    }
    AllowSetForegroundWindow(serverId);  // it may bring its window to the front

    std::string frame;
    for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((message.size() >> shift) & 0xFF);
    frame += message;
    char answer = 0;
    const auto failed = [] {
        return GetLastError() == ERROR_OPERATION_ABORTED ? HandOver::noAnswer : HandOver::nobodyListens;
    };
    if (!transfer(pipe.value, true, frame.data(), frame.size(), timeout)) return failed();
    if (!transfer(pipe.value, false, &answer, 1, timeout)) return failed();
    if (answer != 'r') return HandOver::nobodyListens;
    if (!transfer(pipe.value, false, &answer, 1, static_cast<DWORD>(takeMilliseconds))) {
        return GetLastError() == ERROR_OPERATION_ABORTED ? HandOver::notTakenInTime : HandOver::nobodyListens;
    }
    char confirmation = 'k';
    return answer == 'y' && transfer(pipe.value, true, &confirmation, 1, timeout) ? HandOver::taken
                                                                                 : HandOver::nobodyListens;
}

bool acceptLaterStart(std::intptr_t listenerId, std::intptr_t& peer) {
    PipeListener& listener = *reinterpret_cast<PipeListener*>(listenerId);
    while (listener.instance != INVALID_HANDLE_VALUE) {
        const HANDLE pipe = listener.instance;
        OVERLAPPED overlapped{};
        overlapped.hEvent = listener.connected.value;
        ResetEvent(overlapped.hEvent);
        const BOOL started = ConnectNamedPipe(pipe, &overlapped);
        DWORD ignored = 0;
        const bool connected = finish(pipe, overlapped, started, INFINITE, ignored, listener.stop.value);
        if (WaitForSingleObject(listener.stop.value, 0) == WAIT_OBJECT_0) {
            CloseHandle(pipe);  // a later start now finds nobody listening
            return false;
        }
        // The next instance before this one is handed on: the name never goes away while the copy runs.
        listener.instance = newInstance(listener, false);
        if (connected) {
            peer = reinterpret_cast<std::intptr_t>(pipe);
            return true;
        }
        CloseHandle(pipe);
    }
    return false;
}

bool readLaterStart(std::intptr_t peer, std::size_t maxBytes, std::string& message) {
    const auto pipe = reinterpret_cast<HANDLE>(peer);
    const ULONGLONG deadline = GetTickCount64() + messageMilliseconds;
    char length[4] = {};
    if (transferBy(pipe, false, length, 4, deadline)) {
        std::size_t size = 0;
        for (int k = 3; k >= 0; --k) size = (size << 8) | static_cast<unsigned char>(length[k]);
        if (size <= maxBytes) {
            message.assign(size, '\0');
            if (transferBy(pipe, false, message.data(), size, deadline)) return true;
        }
    }
    CloseHandle(pipe);
    return false;
}

bool answerLaterStart(std::intptr_t peer, Answer answer) {
    const auto pipe = reinterpret_cast<HANDLE>(peer);
    char word = answer == Answer::received ? 'r' : answer == Answer::taken ? 'y' : 'n';
    const bool sent = transfer(pipe, true, &word, 1, confirmationMilliseconds);
    if (answer == Answer::received) return sent;
    char confirmation = 0;
    const bool confirmed =
        sent && answer == Answer::taken && transfer(pipe, false, &confirmation, 1, confirmationMilliseconds) && confirmation == 'k';
    // Closed, not disconnected: the later start can still read the answer.
    CloseHandle(pipe);
    return answer == Answer::taken ? confirmed : sent;
}

void stopListening(std::intptr_t listenerId) {
    SetEvent(reinterpret_cast<PipeListener*>(listenerId)->stop.value);
}

bool currentDirectoryUtf8(std::string& directory, std::string& error) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, folder.data());
    if (size == 0 || length == 0 || length >= size) {
        error = "error " + std::to_string(GetLastError());
        return false;
    }
    folder.resize(length);
    directory = toUtf8(folder);
    return true;
}

void bringOwnWindowToFront() {
    EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
            if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
            SetForegroundWindow(window);
            return FALSE;
        },
        0);
}

}  // namespace platform

// The running copy's endpoint on Linux, a Unix socket named after the product
// folder's real path:
// - in $XDG_RUNTIME_DIR when that is a folder of the user's own that nobody
//   else may enter (0700), so that no other user can take the name or reach
//   it; the copy that holds a lock file beside it (which the kernel releases
//   with the process, however it ends) is the running copy, and replaces a
//   socket that a killed copy left;
// - otherwise in the abstract namespace, named after the user id too, which
//   the kernel frees with the process but which has no permissions: another
//   user could take the name first, and keep this product from having a
//   running copy (each side checks the other's user with SO_PEERCRED, so no
//   data reaches them).
// A message goes in a frame: its length (4 bytes, least significant first),
// then its bytes; each answer is one byte.
#include "platform/platform.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

struct Endpoint {
    sockaddr_un address{};
    socklen_t length = 0;
    std::string lockPath;  // only for a socket in $XDG_RUNTIME_DIR
};

// $XDG_RUNTIME_DIR when only this user may enter it; "" otherwise.
std::string privateRuntimeFolder() {
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    struct stat status {};
    if (folder == nullptr || folder[0] != '/' || lstat(folder, &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != geteuid() || (status.st_mode & 077) != 0) {
        return "";
    }
    return folder;
}

Endpoint endpointFor(const std::string& applicationDir) {
    char* realPath = realpath(applicationDir.c_str(), nullptr);
    const std::string folder = realPath != nullptr ? realPath : applicationDir;
    std::free(realPath);
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : folder) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char hashText[17];
    std::snprintf(hashText, sizeof hashText, "%016llx", static_cast<unsigned long long>(hash));

    Endpoint endpoint;
    endpoint.address.sun_family = AF_UNIX;
    const std::string runtimeFolder = privateRuntimeFolder();
    const std::string socketPath = runtimeFolder + "/launcher-running-copy-" + hashText;
    if (!runtimeFolder.empty() && socketPath.size() < sizeof endpoint.address.sun_path) {
        std::memcpy(endpoint.address.sun_path, socketPath.c_str(), socketPath.size() + 1);
        endpoint.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath.size() + 1);
        endpoint.lockPath = socketPath + ".lock";
        return endpoint;
    }
    const std::string name = "launcher-running-copy-" + std::to_string(geteuid()) + "-" + hashText;
    std::memcpy(endpoint.address.sun_path + 1, name.c_str(), name.size());  // sun_path[0] == 0: abstract
    endpoint.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return endpoint;
}

// Whether the abstract socket named like `endpoint` was bound but has never
// listened, as /proc/net/unix tells (flag __SO_ACCEPTCON, 0x10000, unset). A
// copy of ours that is ending still has the flag (its socket listened, then
// was shut down), so the two cases that refuse a connection differ here.
bool boundWithoutListening(const Endpoint& endpoint) {
    const std::string name(endpoint.address.sun_path + 1,
                           endpoint.length - offsetof(sockaddr_un, sun_path) - 1);
    const std::string path = "@" + name;
    std::FILE* table = std::fopen("/proc/net/unix", "re");
    if (table == nullptr) return false;
    bool found = false;
    bool listened = false;
    char line[4096];  // a path is at most 108 bytes, shown as is
    while (std::fgets(line, sizeof line, table) != nullptr) {
        std::string text(line);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        // Num RefCount Protocol Flags Type St Inode Path
        unsigned long flags = 0;
        int pathStart = -1;
        if (std::sscanf(text.c_str(), "%*s %*s %*s %lx %*s %*s %*s %n", &flags, &pathStart) != 1 || pathStart < 0 ||
            text.compare(static_cast<std::size_t>(pathStart), std::string::npos, path) != 0) {
            continue;
        }
        found = true;
        listened = listened || (flags & 0x10000) != 0;
    }
    std::fclose(table);
    return found && !listened;
}

bool isSameUser(int socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && credentials.uid == geteuid();
}

// Reads wait as long as their callers say (readExactly); a send that finds the peer's buffer full, this long.
void setSendTimeout(int socket, int milliseconds) {
    const timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool writeAll(int socket, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t written = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

using Clock = std::chrono::steady_clock;

// A whole message, not each read, has this long: a peer that sends a byte at a
// time is dropped as soon as one that sends nothing. A later start sends its
// frame at once, and one cut off tries again.
constexpr auto peerTime = std::chrono::milliseconds(1000);

// How long the running copy waits for a later start to confirm that it took its answer (and ends).
constexpr int confirmationMilliseconds = 3000;

// Exactly bytes.size() bytes by `deadline`; false on an error, a timeout (errno EAGAIN) or the peer's end first
// (errno 0).
bool readExactly(int socket, std::string& bytes, Clock::time_point deadline) {
    for (std::size_t got = 0; got < bytes.size();) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd readable{socket, POLLIN, 0};
        const int ready = left > 0 ? poll(&readable, 1, static_cast<int>(std::min<long long>(left, INT_MAX))) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) errno = EAGAIN;
        if (ready <= 0) return false;
        const ssize_t read = recv(socket, bytes.data() + got, bytes.size() - got, MSG_DONTWAIT);
        if (read < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (read == 0) errno = 0;
        if (read <= 0) return false;
        got += static_cast<std::size_t>(read);
    }
    return true;
}

// One answer byte within `milliseconds`; 0 when none came, with errno EAGAIN on a timeout.
char readAnswer(int socket, int milliseconds) {
    std::string answer(1, '\0');
    return readExactly(socket, answer, Clock::now() + std::chrono::milliseconds(milliseconds)) ? answer[0] : '\0';
}

struct SocketListener {
    int socket = -1;
    std::string path;  // a socket in $XDG_RUNTIME_DIR, removed when the copy stops listening
};

}  // namespace

Claim listenForLaterStarts(const std::string& applicationDir, std::intptr_t& listener, std::string& error) {
    const Endpoint endpoint = endpointFor(applicationDir);
    int lock = -1;
    if (!endpoint.lockPath.empty()) {
        lock = open(endpoint.lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (lock < 0) {
            error = "cannot open " + endpoint.lockPath + ": " + std::strerror(errno);
            return Claim::failed;
        }
        if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
            const int lockError = errno;
            close(lock);
            if (lockError == EWOULDBLOCK) return Claim::heldByAnother;
            error = "cannot lock " + endpoint.lockPath + ": " + std::strerror(lockError);
            return Claim::failed;
        }
        unlink(endpoint.address.sun_path);  // left by a copy that was killed; nobody else listens there now
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create a Unix socket: ") + std::strerror(errno);
        if (lock >= 0) close(lock);
        return Claim::failed;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&endpoint.address), endpoint.length) != 0) {
        const int bindError = errno;
        close(fd);
        if (lock >= 0) close(lock);
        if (bindError == EADDRINUSE && lock < 0) return Claim::heldByAnother;
        error = std::string("cannot bind a Unix socket: ") + std::strerror(bindError);
        return Claim::failed;
    }
    if (listen(fd, SOMAXCONN) != 0) {
        error = std::string("cannot listen on a Unix socket: ") + std::strerror(errno);
        close(fd);
        if (lock >= 0) close(lock);
        return Claim::failed;
    }
    // The lock stays held, its descriptor open, until the process ends.
    auto* socketListener = new SocketListener{fd, endpoint.lockPath.empty() ? "" : endpoint.address.sun_path};
    listener = reinterpret_cast<std::intptr_t>(socketListener);  // lives as long as the process
    return Claim::listening;
}

HandOver handToRunningCopy(const std::string& applicationDir, const std::string& message, int answerMilliseconds,
                           int takeMilliseconds) {
    const Endpoint endpoint = endpointFor(applicationDir);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return HandOver::nobodyListens;
    setSendTimeout(fd, answerMilliseconds);
    std::string frame;
    for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((message.size() >> shift) & 0xFF);
    frame += message;
    HandOver result = HandOver::nobodyListens;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&endpoint.address), endpoint.length) != 0) {
        const int connectError = errno;
        result = connectError == EAGAIN || connectError == ETIMEDOUT ? HandOver::noAnswer
                 : connectError == ECONNREFUSED && endpoint.lockPath.empty() && boundWithoutListening(endpoint)
                     ? HandOver::heldNotListening
                     : HandOver::nobodyListens;
    } else if (!isSameUser(fd)) {
        result = HandOver::anotherUser;  // never a word to it
    } else if (!writeAll(fd, frame)) {
        result = errno == EAGAIN ? HandOver::noAnswer : HandOver::nobodyListens;
    } else if (readAnswer(fd, answerMilliseconds) != 'r') {
        result = errno == EAGAIN ? HandOver::noAnswer : HandOver::nobodyListens;
    } else {
        const char answer = readAnswer(fd, takeMilliseconds);
        result = answer == 'y' && writeAll(fd, "k") ? HandOver::taken
                 : answer == '\0' && errno == EAGAIN ? HandOver::notTakenInTime
                                                     : HandOver::nobodyListens;
    }
    close(fd);
    return result;
}

bool acceptLaterStart(std::intptr_t listenerId, std::intptr_t& peer) {
    const SocketListener& listener = *reinterpret_cast<const SocketListener*>(listenerId);
    while (true) {
        const int fd = accept4(listener.socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
                if (errno == EMFILE || errno == ENFILE) usleep(100000);
                continue;
            }
            return false;  // stopped
        }
        if (isSameUser(fd)) {
            setSendTimeout(fd, static_cast<int>(peerTime.count()));
            peer = fd;
            return true;
        }
        close(fd);
    }
}

bool readLaterStart(std::intptr_t peer, std::size_t maxBytes, std::string& message) {
    const int fd = static_cast<int>(peer);
    const Clock::time_point deadline = Clock::now() + peerTime;
    std::string length(4, '\0');
    if (readExactly(fd, length, deadline)) {
        std::size_t size = 0;
        for (int k = 3; k >= 0; --k) size = (size << 8) | static_cast<unsigned char>(length[static_cast<std::size_t>(k)]);
        if (size <= maxBytes) {
            message.assign(size, '\0');
            if (readExactly(fd, message, deadline)) return true;
        }
    }
    close(fd);
    return false;
}

bool answerLaterStart(std::intptr_t peer, Answer answer) {
    const int fd = static_cast<int>(peer);
    const bool sent = writeAll(fd, answer == Answer::received ? "r" : answer == Answer::taken ? "y" : "n");
    if (answer == Answer::received) return sent;
    const bool confirmed = sent && answer == Answer::taken && readAnswer(fd, confirmationMilliseconds) == 'k';
    close(fd);
    return answer == Answer::taken ? confirmed : sent;
}

void stopListening(std::intptr_t listenerId) {
    const SocketListener& listener = *reinterpret_cast<const SocketListener*>(listenerId);
    // Wakes the thread waiting in accept; the descriptor stays open (it may be in use) until the process ends.
    shutdown(listener.socket, SHUT_RDWR);
    // Still this copy's socket: the lock keeps any other start from replacing it.
    if (!listener.path.empty()) unlink(listener.path.c_str());
}

bool currentDirectoryUtf8(std::string& directory, std::string& error) {
    char* folder = getcwd(nullptr, 0);
    if (folder == nullptr) {
        error = errno == ENOENT ? "it no longer exists" : std::strerror(errno);
        return false;
    }
    directory = folder;  // its bytes; the message refuses what is not UTF-8
    std::free(folder);
    return true;
}

void bringOwnWindowToFront() {
    // An X11 or Wayland window is raised by its own toolkit; the program's method can do that.
}

}  // namespace platform

// The running copy's endpoint on Linux: an abstract Unix socket, which the
// kernel removes with the last process that holds it, named after the user
// and the product folder's real path. The abstract namespace has no
// permissions, so each side checks the other's user with SO_PEERCRED.
#include "platform/platform.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

sockaddr_un endpointAddress(const std::string& applicationDir, socklen_t& length) {
    char* realPath = realpath(applicationDir.c_str(), nullptr);
    const std::string folder = realPath != nullptr ? realPath : applicationDir;
    std::free(realPath);
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : folder) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    char name[80];
    const int size = std::snprintf(name, sizeof name, "launcher-running-copy-%u-%016llx", static_cast<unsigned>(geteuid()),
                                   static_cast<unsigned long long>(hash));
    std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(size));  // sun_path[0] == 0: abstract
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(size));
    return address;
}

bool isSameUser(int socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && credentials.uid == geteuid();
}

void setTimeouts(int socket, int milliseconds) {
    const timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
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

// Everything up to the peer's end of sending, at most `maxBytes`; false when there is more, or an error or timeout.
bool readAll(int socket, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    char buffer[65536];
    while (true) {
        const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > maxBytes) return false;
    }
}

}  // namespace

Claim listenForLaterStarts(const std::string& applicationDir, std::intptr_t& listener, std::string& error) {
    socklen_t length = 0;
    const sockaddr_un address = endpointAddress(applicationDir, length);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create a Unix socket: ") + std::strerror(errno);
        return Claim::failed;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int bindError = errno;
        close(fd);
        if (bindError == EADDRINUSE) return Claim::heldByAnother;
        error = std::string("cannot bind a Unix socket: ") + std::strerror(bindError);
        return Claim::failed;
    }
    if (listen(fd, SOMAXCONN) != 0) {
        error = std::string("cannot listen on a Unix socket: ") + std::strerror(errno);
        close(fd);
        return Claim::failed;
    }
    listener = fd;
    return Claim::listening;
}

HandOver handToRunningCopy(const std::string& applicationDir, const std::string& message, int answerMilliseconds) {
    socklen_t length = 0;
    const sockaddr_un address = endpointAddress(applicationDir, length);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return HandOver::nobodyListens;
    setTimeouts(fd, answerMilliseconds);
    HandOver result = HandOver::nobodyListens;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        result = errno == EAGAIN || errno == ETIMEDOUT ? HandOver::noAnswer : HandOver::nobodyListens;
    } else if (!isSameUser(fd)) {
        result = HandOver::anotherUser;  // never a word to it
    } else if (!writeAll(fd, message) || shutdown(fd, SHUT_WR) != 0) {
        result = errno == EAGAIN ? HandOver::noAnswer : HandOver::nobodyListens;
    } else {
        char answer = 0;
        ssize_t got = -1;
        do {
            got = recv(fd, &answer, 1, 0);
        } while (got < 0 && errno == EINTR);
        result = got == 1 && answer == 'y' ? HandOver::taken
                 : got < 0 && errno == EAGAIN ? HandOver::noAnswer
                                              : HandOver::nobodyListens;
    }
    close(fd);
    return result;
}

bool receiveLaterStart(std::intptr_t listener, std::size_t maxBytes, std::string& message, std::intptr_t& peer) {
    while (true) {
        const int fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
                if (errno == EMFILE || errno == ENFILE) usleep(100000);
                continue;
            }
            return false;  // stopped
        }
        setTimeouts(fd, 3000);
        if (isSameUser(fd) && readAll(fd, maxBytes, message)) {
            peer = fd;
            return true;
        }
        close(fd);
    }
}

void answerLaterStart(std::intptr_t peer, bool taken) {
    if (taken) send(static_cast<int>(peer), "y", 1, MSG_NOSIGNAL);
    close(static_cast<int>(peer));
}

void stopListening(std::intptr_t listener) {
    // Wakes the thread waiting in accept; the descriptor stays open (it may be in use) until the process ends.
    shutdown(static_cast<int>(listener), SHUT_RDWR);
}

std::string currentDirectoryUtf8() {
    char* directory = getcwd(nullptr, 0);
    const std::string text = directory != nullptr ? directory : "";
    std::free(directory);
    return text;  // its bytes; the message refuses what is not UTF-8
}

void bringOwnWindowToFront() {
    // An X11 or Wayland window is raised by its own toolkit; the program's method can do that.
}

}  // namespace platform

#include "platform/platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace platform {

const char pathSeparator[] = "/";
const char classPathSeparator[] = ":";

std::vector<std::string> jarsInFolder(const std::string& folder) {
    std::vector<std::string> jars;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) return jars;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && (name.compare(name.size() - 4, 4, ".jar") == 0 ||
                                name.compare(name.size() - 4, 4, ".JAR") == 0)) {
            jars.push_back(name);
        }
    }
    closedir(directory);
    std::sort(jars.begin(), jars.end());
    return jars;
}

bool getApplicationDirectory(std::string& directory, std::string& error) {
    // The kernel's own record of the running executable, with symlinks
    // resolved: neither argv[0] nor the current directory can mislead it.
    std::string path(256, '\0');
    while (true) {
        const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) {
            error = std::string("cannot determine the launcher's own location from /proc/self/exe: ") +
                    std::strerror(errno);
            return false;
        }
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            break;
        }
        path.resize(path.size() * 2);  // possibly truncated: try again with more room
    }
    const std::size_t lastSlash = path.rfind('/');
    if (lastSlash == std::string::npos) {
        error = "the launcher's own location " + path + " is not an absolute path";
        return false;
    }
    directory = path.substr(0, lastSlash);  // an executable in / gives ""
    return true;
}

std::string executableFileName() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return "";
    const std::string full(path, static_cast<std::size_t>(length));
    return full.substr(full.rfind('/') + 1);
}

std::string launcherName() {
    return executableFileName();
}

std::vector<std::string> jvmLibraryCandidates(const std::string& applicationDir) {
#if defined(__x86_64__)
    const char* const jdk8Arch = "amd64";
#elif defined(__aarch64__)
    const char* const jdk8Arch = "aarch64";
#elif defined(__i386__)
    const char* const jdk8Arch = "i386";
#else
    const char* const jdk8Arch = "unknown";
#endif
    // JDK 9 and later keep the library in lib/server, JDK 8 in lib/<arch>/server.
    return {applicationDir + "/jre/lib/server/libjvm.so",
            applicationDir + "/jre/lib/" + jdk8Arch + "/server/libjvm.so"};
}

std::string splashLibraryPath(const std::string& applicationDir) {
    return applicationDir + "/jre/lib/libsplashscreen.so";
}

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool pathExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

bool isAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

bool changeDirectory(const std::string& path, std::string& error) {
    if (chdir(path.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

const CommandLineEncoding commandLineEncoding = CommandLineEncoding::systemBytes;

void* loadLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown error";
        // The loader's text starts with the path, which the caller names already.
        if (error.compare(0, path.size() + 2, path + ": ") == 0) {
            error.erase(0, path.size() + 2);
        }
    }
    return library;
}

void* findSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void showFailure(const std::string& message, bool) {
    std::fprintf(stderr, "error: %s\n", message.c_str());
    std::fflush(stderr);
}

void showWarning(const std::string& message, bool) {
    std::fprintf(stderr, "warning: %s\n", message.c_str());
    std::fflush(stderr);
}

std::string jvmText(const std::string& configText) {
    return configText;  // the JVM takes the bytes the file holds
}

std::string configTextFromNarrow(const std::string& narrowText) {
    return narrowText;
}

bool jvmPath(const std::string& prefix, const std::string& configText, std::string& path) {
    path = prefix + configText;
    return true;
}

bool isHeldOpenByAnotherProgram(const std::string&) {
    return false;  // opening a file never waits for or fails on another program here
}

void writeJvmOutput(void* jvmStream, const std::string& text) {
    // The JVM's C library is the launcher's: the stream is its standard
    // output (the buffer the trace lines are in, so their order is kept), its
    // standard error, or a log file it opened (-Xlog:...:file=).
    std::FILE* stream = jvmStream != nullptr ? static_cast<std::FILE*>(jvmStream) : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    // System.out and System.err write to the descriptors directly: the JVM's
    // text must be there before the program's next line, and must not be lost
    // in a buffer when the process aborts. Log files keep their buffering.
    if (stream == stdout || stream == stderr) std::fflush(stream);
}

// systemd stops a service with SIGTERM, on which the JVM runs the program's
// shutdown hooks and ends itself.
void takeStopRequests(const std::function<void()>&) {}

void processEnding(int) {}

}  // namespace platform

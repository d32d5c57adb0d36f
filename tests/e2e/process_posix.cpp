#include "e2e/app_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace e2e {

fs::path temporaryRoot() {
    return fs::temp_directory_path();
}

RunResult runAsNobody(const fs::path& executable, const Lines& arguments, const fs::path& cwd, int timeoutSeconds) {
    if (geteuid() != 0) return runProcess(executable, arguments, cwd, timeoutSeconds);
    Lines asNobody = {"--reuid=65534", "--regid=65534", "--clear-groups", executable.string()};
    asNobody.insert(asNobody.end(), arguments.begin(), arguments.end());
    return runProcess("/usr/bin/setpriv", asNobody, cwd, timeoutSeconds);
}

std::string pathAsLauncherSeesIt(const fs::path& path) {
    return fs::canonical(path).string();  // the kernel reports the executable's path with symlinks resolved
}

void setEnvironment(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

RunResult runProcess(const fs::path& executable, const Lines& arguments, const fs::path& cwd, int timeoutSeconds,
                     Output output) {
    TempDir outputDir;
    const fs::path outPath = outputDir.path() / "out";
    const fs::path errPath = outputDir.path() / "err";

    Lines argvTexts = {executable.string()};
    argvTexts.insert(argvTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argvTexts) argv.push_back(text.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = output == Output::combined ? out : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(cwd.c_str()) != 0) _exit(126);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }

    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

VirtualDisplay::VirtualDisplay() : number_(std::to_string(100 + getpid() % 400)) {
    const RunResult started =
        runProcess("/bin/sh", {"-c", "Xvfb :$0 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 & echo $!", number_},
                   "/");
    const Lines pid = splitLines(started.out);
    pid_ = pid.empty() ? "" : pid.front();
    for (int attempt = 0; attempt < 300 && !isReady(); ++attempt) usleep(100000);
    const char* before = std::getenv("DISPLAY");
    displayBefore_ = before != nullptr ? before : "";
    setEnvironment("DISPLAY", ":" + number_);
}

VirtualDisplay::~VirtualDisplay() {
    setEnvironment("DISPLAY", displayBefore_);
    if (!pid_.empty()) runProcess("/bin/kill", {pid_}, "/");
}

bool VirtualDisplay::isReady() const {
    return fs::exists("/tmp/.X11-unix/X" + number_);
}

}  // namespace e2e

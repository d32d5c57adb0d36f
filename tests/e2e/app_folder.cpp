#include "e2e/app_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string readFile(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<std::string> RunResult::traceLines() const {
    std::vector<std::string> trace;
    for (const std::string& line : splitLines(out)) {
        for (const char* prefix : {"config file: ", "Couldn't parse json: ", "jar: ", "mainClass: ", "vmArg "}) {
            if (startsWith(line, prefix)) {
                trace.push_back(line);
                break;
            }
        }
    }
    return trace;
}

std::vector<std::string> RunResult::probeLines() const {
    std::vector<std::string> probe;
    for (const std::string& line : splitLines(out)) {
        if (startsWith(line, "probe: ")) {
            probe.push_back(line.substr(7));
        }
    }
    return probe;
}

std::vector<std::string> RunResult::errLines() const {
    return splitLines(err);
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "launcher-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

AppFolder::AppFolder() {
    fs::copy_file(LAUNCHER_EXECUTABLE, launcher());
    fs::copy_file(PROBE_JAR, dir() / "app.jar");
    fs::create_directory_symlink(JDK_HOME, dir() / "jre");
}

std::string AppFolder::realDir() const {
    return fs::canonical(dir()).string();
}

void AppFolder::writeConfig(const std::string& text) const {
    writeFile(dir() / "config.json", text);
}

void AppFolder::writeProbeConfig(const std::string& mainClass, const std::vector<std::string>& vmArgs) const {
    std::string config = "{\n  \"jar\": \"app.jar\",\n  \"mainClass\": " + jsonString(mainClass) + ",\n  \"vmArgs\": [";
    for (std::size_t i = 0; i < vmArgs.size(); ++i) {
        config += (i == 0 ? "" : ", ") + jsonString(vmArgs[i]);
    }
    writeConfig(config + "]\n}\n");
}

void AppFolder::removeRuntime() const {
    fs::remove(dir() / "jre");
}

RunResult AppFolder::run(const std::vector<std::string>& arguments) const {
    return runProcess(launcher(), arguments, otherCwd_.path());
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream stream(path, std::ios::binary);
    stream << text;
}

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

RunResult runProcess(const fs::path& executable, const std::vector<std::string>& arguments, const fs::path& cwd,
                     int timeoutSeconds) {
    TempDir outputDir;
    const fs::path outPath = outputDir.path() / "out";
    const fs::path errPath = outputDir.path() / "err";

    std::vector<std::string> argvTexts = {executable.string()};
    argvTexts.insert(argvTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argvTexts) argv.push_back(text.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
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

}  // namespace e2e

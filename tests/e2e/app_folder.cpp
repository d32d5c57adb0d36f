#include "e2e/app_folder.h"

#include <algorithm>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The options the launcher gives the JVM to hook its output and its end, by name.
bool isLaunchersHook(const std::string& option) {
    return option == "vfprintf" || option == "exit" || option == "abort";
}

}  // namespace

Lines splitLines(const std::string& text) {
    Lines lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

Lines RunResult::traceLines() const {
    Lines trace;
    for (const std::string& line : splitLines(out)) {
        for (const char* prefix : {"config file: ", "Couldn't parse json: ", "mainModule: ", "jar: ", "mainClass: ",
                                   "classPath: ", "workingDirectory: ", "vmArg ", "splash: "}) {
            if (startsWith(line, prefix)) {
                trace.push_back(line);
                break;
            }
        }
    }
    return trace;
}

Lines RunResult::probeLines() const {
    Lines probe;
    for (const std::string& line : splitLines(out)) {
        if (startsWith(line, "probe: ")) probe.push_back(line.substr(7));
    }
    return probe;
}

Lines RunResult::probeOptions() const {
    Lines options;
    for (const std::string& line : probeLines()) {
        if (startsWith(line, "option ")) options.push_back(line.substr(7));
    }
    return options;
}

Lines RunResult::probeUserOptions() const {
    Lines options = probeOptions();
    options.erase(std::remove_if(options.begin(), options.end(), isLaunchersHook), options.end());
    return options;
}

Lines RunResult::errLines() const {
    return splitLines(err);
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (unsigned attempt = 0;; ++attempt) {
        fs::path candidate = temporaryRoot() / ("launcher-test-" + std::to_string(now % 1000000007) + "-" +
                                                std::to_string(counter++) + "-" + std::to_string(attempt));
        if (fs::create_directories(candidate)) {
            path_ = candidate;
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

AppFolder::AppFolder() {
    dir_ = ownDir_.emplace().path();
    fs::copy_file(LAUNCHER_EXECUTABLE, launcher());
}

AppFolder::AppFolder(const fs::path& existingDir) : dir_(existingDir) {
    fs::copy_file(LAUNCHER_EXECUTABLE, launcher(), fs::copy_options::overwrite_existing);
}

AppFolder::~AppFolder() {
    if (ownDir_) return;  // removed whole by its TempDir
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_, ignored)) {
        fs::remove_all(entry.path(), ignored);
    }
}

std::string AppFolder::launcherView() const {
    return pathAsLauncherSeesIt(dir_);
}

void AppFolder::writeConfig(const std::string& text) const {
    writeFile(dir_ / "config.json", text);
}

void AppFolder::writeProbeConfig(const std::string& mainClass, const Lines& vmArgs) const {
    std::string config = "{\n  \"jar\": \"app.jar\",\n  \"mainClass\": " + jsonString(mainClass) + ",\n  \"vmArgs\": [";
    for (std::size_t i = 0; i < vmArgs.size(); ++i) {
        config += (i == 0 ? "" : ", ") + jsonString(vmArgs[i]);
    }
    writeConfig(config + "]\n}\n");
}

void AppFolder::useStandin(bool withItsDependency) const {
    const fs::path library = dir_ / "jre" / JVM_LIBRARY_IN_JRE;
    fs::create_directories(library.parent_path());
    fs::copy_file(STANDIN_LIBRARY, library);
    if (withItsDependency) {
        const fs::path dependency = dir_ / "jre" / STANDIN_DEPENDENCY_IN_JRE;
        fs::create_directories(dependency.parent_path());
        fs::copy_file(STANDIN_DEPENDENCY, dependency);
    }
    writeFile(dir_ / "app.jar", "");  // the stand-in reads no class from it, but a launch needs it there
    setEnvironment("STANDIN_RECORD", recordPath().string());
    // Whatever an earlier test in this process asked of the stand-in no longer holds.
    for (const char* name :
         {"STANDIN_CREATE_STATUS", "STANDIN_FAIL", "STANDIN_THROW", "STANDIN_WRITE_IN_MAIN", "STANDIN_STOP_IN_CREATION",
          "STANDIN_PRINT_IN_MAIN", "LAUNCHER_TRACE"}) {
        setEnvironment(name, "");
    }
}

void AppFolder::useStandinSplash() const {
    fs::create_directories((dir_ / "jre" / SPLASH_LIBRARY_IN_JRE).parent_path());
    fs::copy_file(STANDIN_SPLASH_LIBRARY, dir_ / "jre" / SPLASH_LIBRARY_IN_JRE);
    setEnvironment("STANDIN_SPLASH_LOAD", "");
}

Lines AppFolder::standinRecord() const {
    return splitLines(readFile(recordPath()));
}

Lines AppFolder::standinUserOptions() const {
    Lines options;
    for (const std::string& line : standinRecord()) {
        if (!startsWith(line, "option ")) continue;
        const std::string option = line.substr(line.find(' ', 7) + 1);
        const std::string hook = option.substr(0, option.find(" with extraInfo"));
        if (hook.size() == option.size() || !isLaunchersHook(hook)) options.push_back(option);
    }
    return options;
}

void AppFolder::removeRuntime() const {
    fs::remove_all(dir_ / "jre");
}

RunResult AppFolder::run(const Lines& arguments, Output output) const {
    return runProcess(launcher(), arguments, otherCwd_.path(), 60, output);
}

bool contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string firstLine(const Lines& lines) {
    return lines.empty() ? "(no line at all)" : lines.front();
}

std::string lastLine(const Lines& lines) {
    return lines.empty() ? "(no line at all)" : lines.back();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream stream(path, std::ios::binary);
    stream << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace e2e

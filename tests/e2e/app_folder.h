#pragma once

// An application folder laid out in a temporary directory the way a user
// ships one (launcher, config.json, jar, jre), and a way to run its launcher
// as an end user's system would: a separate process, its own current
// directory, standard output and error redirected to files.

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

struct RunResult {
    int exitStatus = -1;    // the process's exit status, when it exited
    int signal = 0;         // the signal that ended it, if one did
    bool timedOut = false;  // killed after the time limit
    std::string out;
    std::string err;

    // The launcher's own trace lines, in order.
    std::vector<std::string> traceLines() const;
    // The lines the probe Java program printed ("probe: ..."), in order, without the prefix.
    std::vector<std::string> probeLines() const;
    std::vector<std::string> errLines() const;
};

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

class AppFolder {
public:
    // A folder holding the built launcher, the probe jar as app.jar and a jre
    // that points at the installed JDK; config.json is up to the test.
    AppFolder();

    const fs::path& dir() const { return root_.path(); }
    fs::path launcher() const { return dir() / "launcher"; }
    // The folder's path as the launcher sees it (symlinks resolved).
    std::string realDir() const;

    void writeConfig(const std::string& text) const;
    // config.json for the probe program with the given main class and vmArgs.
    void writeProbeConfig(const std::string& mainClass, const std::vector<std::string>& vmArgs) const;
    void removeRuntime() const;

    // Runs the launcher from another current directory.
    RunResult run(const std::vector<std::string>& arguments = {}) const;

private:
    TempDir root_;
    TempDir otherCwd_;
};

void writeFile(const fs::path& path, const std::string& text);
std::string jsonString(const std::string& text);

RunResult runProcess(const fs::path& executable, const std::vector<std::string>& arguments, const fs::path& cwd,
                     int timeoutSeconds = 60);

}  // namespace e2e

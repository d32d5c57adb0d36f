#pragma once

// An application folder laid out in a temporary directory the way a user
// ships one (launcher, config.json, jar, jre), and a way to run its launcher
// as an end user's system would: a separate process, its own current
// directory, standard output and error redirected to files.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Whether standard error goes to a file of its own or into standard output's,
// as in a log that combines both.
enum class Output { separate, combined };

struct RunResult {
    int exitStatus = -1;    // the process's exit status, when it exited
    int signal = 0;         // the signal that ended it, if one did
    bool timedOut = false;  // killed after the time limit
    std::string out;
    std::string err;

    // The launcher's own trace lines, in order.
    Lines traceLines() const;
    // The lines the probe Java program printed ("probe: ..."), without the prefix.
    Lines probeLines() const;
    // The JVM options the probe reported ("probe: option ..."), in order.
    Lines probeOptions() const;
    // The same without the launcher's hooks (vfprintf, exit, abort): the options the user gave, wherever the hooks lie.
    Lines probeUserOptions() const;
    Lines errLines() const;
};

// A new empty directory, removed with everything in it at the end.
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
    // A new folder holding the built launcher; config.json and jre are up to the test.
    AppFolder();
    // The same in an existing, empty folder (a drive root, say), emptied again at the end.
    explicit AppFolder(const fs::path& existingDir);
    ~AppFolder();
    AppFolder(const AppFolder&) = delete;
    AppFolder& operator=(const AppFolder&) = delete;

    const fs::path& dir() const { return dir_; }
    fs::path launcher() const { return dir_ / fs::path(LAUNCHER_EXECUTABLE).filename(); }
    // The folder's path as the launcher prints it.
    std::string launcherView() const;

    void writeConfig(const std::string& text) const;
    // config.json naming app.jar, the given main class and vmArgs.
    void writeProbeConfig(const std::string& mainClass, const Lines& vmArgs) const;

    // The stand-in JVM library in jre, and the library it imports where the
    // runtime's own libraries lie; it records into recordPath() and behaves
    // normally until the test sets its STANDIN_* variables.
    void useStandin(bool withItsDependency = true) const;
    // The stand-in splash library in jre, which records into recordPath() too.
    void useStandinSplash() const;
    fs::path recordPath() const { return dir_ / "standin-record.txt"; }
    Lines standinRecord() const;
    // The options the stand-in was created with, without "option N " and without the launcher's hooks.
    Lines standinUserOptions() const;
    void removeRuntime() const;

    // Runs the launcher from another current directory.
    RunResult run(const Lines& arguments = {}, Output output = Output::separate) const;
    // The same with exactly this command line (Windows).
    RunResult runCommandLine(const std::wstring& commandLine) const;

private:
    std::optional<TempDir> ownDir_;  // the folder, when it is a temporary one of its own
    fs::path dir_;
    TempDir otherCwd_;
};

// An application folder with the stand-in as its runtime.
class StandinApp : public AppFolder {
public:
    StandinApp() { useStandin(); }
};

void writeFile(const fs::path& path, const std::string& text);
std::string readFile(const fs::path& path);
std::string jsonString(const std::string& text);
Lines splitLines(const std::string& text);
// Whether `lines` holds this line.
bool contains(const Lines& lines, const std::string& line);
// The first and the last of `lines`, or a text saying there are none: a wrong result fails a test, never crashes
// the test program (and with it every test after it).
std::string firstLine(const Lines& lines);
std::string lastLine(const Lines& lines);

// Sets an environment variable of the test process, which the launcher inherits.
void setEnvironment(const std::string& name, const std::string& value);

// Platform-specific: the process runner and how a path reads in the launcher's trace.
RunResult runProcess(const fs::path& executable, const Lines& arguments, const fs::path& cwd, int timeoutSeconds = 60,
                     Output output = Output::separate);
// Windows only: runs `executable` with exactly this command line (its own name first).
RunResult runCommandLine(const fs::path& executable, std::wstring commandLine, const fs::path& cwd,
                         int timeoutSeconds = 60, Output output = Output::separate);
// POSIX only: runs `executable` as the user nobody when the tests run as root, whom file permissions do not
// bind; as the test's own user otherwise. Whatever it needs must be readable by others.
RunResult runAsNobody(const fs::path& executable, const Lines& arguments, const fs::path& cwd, int timeoutSeconds = 60);
// POSIX only: a virtual display (Xvfb) of the test's own, ready when constructed, which DISPLAY names
// until it is destroyed.
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    bool isReady() const;

private:
    std::string number_;
    std::string pid_;
    std::string displayBefore_;
};

std::string pathAsLauncherSeesIt(const fs::path& path);
fs::path temporaryRoot();

}  // namespace e2e

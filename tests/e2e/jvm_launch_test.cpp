// The built launcher running the real JVM of the installed JDK end to end.
#include "e2e/app_folder.h"
#include "e2e/installed_jdk.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {
namespace {


TEST(Launch, TypicalLaunchTracesAndRunsMain) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.value=from config", "-Xmx64m"});
    const RunResult result = app.run();
    const std::string dir = app.launcherView();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.traceLines(), (Lines{"config file: " + dir + "/config.json", "jar: " + dir + "/app.jar",
                                          "mainClass: probe/Probe", "vmArg 0: -Dprobe.value=from config",
                                          "vmArg 1: -Xmx64m"}));
    const Lines probe = result.probeLines();
    EXPECT_TRUE(contains(probe, "args 0"));
    EXPECT_TRUE(contains(probe, "class path " + dir + "/app.jar"));
    EXPECT_TRUE(contains(probe, "value from config"));
}

TEST(Launch, OptionsReachTheJvmInOrder) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe",
                         {"-Dprobe.value=first", "-Xss2m", "-Dprobe.value=second", "-Dprobe.other=x y \"z\""});
    const RunResult result = app.run();

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // The JVM lists every option but the class path, which the probe reports as a
    // property; the launcher's hooks are among them, wherever it puts them.
    EXPECT_EQ(result.probeUserOptions(),
              (Lines{"-Dprobe.value=first", "-Xss2m", "-Dprobe.value=second", "-Dprobe.other=x y \"z\""}));
    for (const char* hook : {"vfprintf", "exit", "abort"}) EXPECT_TRUE(contains(result.probeOptions(), hook)) << hook;
    EXPECT_TRUE(contains(result.probeLines(), "class path " + app.launcherView() + "/app.jar"));
    EXPECT_TRUE(contains(result.probeLines(), "value second"));
}

TEST(Launch, TenThousandOptionsReachTheProgramUnchangedAndInOrder) {
    JdkApp app;
    Lines options;
    for (int i = 0; i < 10000; ++i) {
        options.push_back("-Dprobe.many." + std::to_string(i) + "=value " + std::to_string(i) + " \u00e9 \"quoted\"");
    }
    app.writeProbeConfig("probe/Probe", options);
    const RunResult result = app.run();

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    Lines expected;
    for (int i = 0; i < 10000; ++i) {
        expected.push_back("-Dprobe.many." + std::to_string(i) + "=value " + std::to_string(i) + " \xC3\xA9 \"quoted\"");
    }
    EXPECT_EQ(result.probeUserOptions(), expected);
}

TEST(Launch, CommandLineArgumentsAreIgnored) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {});
    const RunResult result = app.run({"one", "two", "-Dprobe.value=sneaked"});

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(contains(result.probeLines(), "args 0"));
    EXPECT_TRUE(contains(result.probeLines(), "value null"));
}

struct ArgumentsCase {
    const char* name;
    std::string locale;     // LC_ALL for both runs: it decides how java decodes the bytes
    std::string cafeUnits;  // how "caf\xC3\xA9" arrives under it
};

class PassArgumentsTest : public testing::TestWithParam<ArgumentsCase> {
protected:
    void TearDown() override { setEnvironment("LC_ALL", ""); }
};

TEST_P(PassArgumentsTest, MainReceivesTheStringsJavaMakesOfTheSameCommandLine) {
    JdkApp app;
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "vmArgs": ["-Dprobe.mode=args"],
                        "passArguments": true, "sunJavaCommand": true})");
    const Lines arguments = {"caf\xC3\xA9", "two words", "with \"quotes\"", "", "\xF0\x9F\x98\x80",
                             "not UTF-8 \xFF\xC3(", "-Dnot.an.option=1"};
    setEnvironment("LC_ALL", GetParam().locale);
    const RunResult launched = app.run(arguments);
    Lines javaCommand = {"-Dprobe.mode=args", "-cp", PROBE_JAR, "probe.Probe"};
    javaCommand.insert(javaCommand.end(), arguments.begin(), arguments.end());
    const RunResult java = runProcess(fs::path(JDK_HOME) / "bin" / "java", javaCommand, app.dir());

    ASSERT_EQ(launched.exitStatus, 0) << launched.err;
    ASSERT_EQ(java.exitStatus, 0) << java.err;
    EXPECT_EQ(launched.probeLines(), java.probeLines());
    ASSERT_EQ(launched.probeLines().size(), 2 + arguments.size());  // sun.java.command as java's, last
    EXPECT_EQ(launched.probeLines()[1], "arg " + GetParam().cafeUnits);
    EXPECT_EQ(launched.probeLines()[4], "arg");
}

INSTANTIATE_TEST_SUITE_P(Launch, PassArgumentsTest,
                         testing::Values(ArgumentsCase{"Utf8Locale", "C.UTF-8", "0063 0061 0066 00e9"},
                                         ArgumentsCase{"AsciiLocale", "C", "0063 0061 0066 fffd fffd"}),
                         caseName<ArgumentsCase>);

TEST(Launch, MainModuleRunsAsANamedModuleFromTheModulePath) {
    JdkApp app;
    // The probe jar, a plain jar, is an automatic module named "probe" on the module path.
    fs::create_directory(app.dir() / "mods");
    fs::rename(app.dir() / "app.jar", app.dir() / "mods" / "probe.jar");
    app.writeConfig(R"({"mainModule": "probe", "mainClass": "probe/Probe", "sunJavaCommand": true,
                        "vmArgs": ["-p", "$APPDIR/mods", "-Dprobe.mode=args"], "defaultArguments": ["a"]})");
    const RunResult result = app.run();

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.probeLines(), (Lines{"args 1", "arg 0061", "command probe/probe.Probe a"}));
    EXPECT_EQ(result.traceLines(), (Lines{"config file: " + app.launcherView() + "/config.json", "mainModule: probe",
                                          "mainClass: probe/Probe",
                                          "vmArg 0: --module-path=" + app.launcherView() + "/mods",
                                          "vmArg 1: -Dprobe.mode=args"}));
}

TEST(Launch, SplashIsUpBeforeMainAndTheProgramClosesIt) {
    if (!fs::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb (apt-get install xvfb): the splash is not tested";
    const VirtualDisplay display;
    ASSERT_TRUE(display.isReady()) << "Xvfb did not start";
    JdkApp app;
    fs::copy_file(SPLASH_IMAGE, app.dir() / "splash.png");
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe",
                        "vmArgs": ["-splash:$APPDIR/splash.png", "-Dprobe.mode=splash"]})");
    const RunResult result = app.run();

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string image = app.launcherView() + "/splash.png";
    EXPECT_EQ(result.probeLines(), (Lines{"args 0", "splash file:" + image, "pixel 200,30,60",
                                          "after close null, pixel 0,0,0"}))
        << result.out << result.err;
    EXPECT_TRUE(contains(result.traceLines(), "vmArg 0: -Dprobe.mode=splash")) << result.out;
    EXPECT_NE(result.out.find("\nsplash: " + image + "\n"), std::string::npos) << result.out;
}

TEST(Launch, OptionsNameTheApplicationsFilesThroughAppDir) {
    JdkApp app;
    fs::copy_file(AGENT_JAR, app.dir() / "agent.jar");
    writeFile(app.dir() / "relative.txt", "beside the launcher");
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "workingDirectory": "$APPDIR",
                        "vmArgs": ["-javaagent:$APPDIR/agent.jar=x", "-Dapp.home=$APPDIR", "-Dprobe.mode=folders",
                                   "-Xlog:class+load:file=$APPDIR/loaded.txt"]})");
    TempDir elsewhere;
    fs::create_symlink(app.launcher(), elsewhere.path() / "product");
    const std::string dir = app.launcherView();

    for (const RunResult& result : {app.run(), runProcess(elsewhere.path() / "product", {}, elsewhere.path())}) {
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(result.traceLines().at(3), "workingDirectory: " + dir);
        EXPECT_EQ(result.traceLines().at(4), "vmArg 0: -javaagent:" + dir + "/agent.jar=x");
        EXPECT_EQ(result.probeLines(), (Lines{"agent loaded with x", "args 0", "user.dir " + dir, "app.home " + dir,
                                              "relative file beside the launcher"}));
        // The JVM's own log file, which it writes through the launcher's vfprintf hook.
        EXPECT_NE(readFile(app.dir() / "loaded.txt").find("probe.Probe source: file:"), std::string::npos);
    }
}

TEST(Launch, RelativeWorkingDirectoryIsInTheApplicationFolder) {
    JdkApp app;
    fs::create_directory(app.dir() / "assets");
    writeFile(app.dir() / "assets" / "relative.txt", "in assets");
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "workingDirectory": "assets",
                        "vmArgs": ["-Dprobe.mode=folders"]})");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.probeLines(), (Lines{"args 0", "user.dir " + app.launcherView() + "/assets", "app.home null",
                                          "relative file in assets"}));
}

TEST(Launch, WaitsForNonDaemonThreads) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.mode=worker"});
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.probeLines(), (Lines{"args 0", "main returns", "worker done"}));
}

struct ExitCase {
    const char* name;
    std::string mode;
    int status;
    std::string jvmOption = "";  // one the JVM prints about while being created, before the program's exit
};

class SystemExitTest : public testing::TestWithParam<ExitCase> {};

TEST_P(SystemExitTest, ProgramKeepsItsOwnStatus) {
    JdkApp app;
    const std::string status = std::to_string(GetParam().status);
    // A Java agent's premain runs while the VM is being created.
    fs::copy_file(AGENT_JAR, app.dir() / "agent.jar");
    Lines options = {GetParam().mode == "premain" ? "-javaagent:$APPDIR/agent.jar=exit=" + status
                                                  : "-Dprobe.mode=" + GetParam().mode,
                     "-Dprobe.status=" + status};
    if (!GetParam().jvmOption.empty()) options.insert(options.begin(), GetParam().jvmOption);
    app.writeProbeConfig("probe/Probe", options);
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, GetParam().status) << result.err;
    EXPECT_EQ(result.err.find("error: "), std::string::npos) << result.err;
    if (GetParam().jvmOption.empty()) {
        EXPECT_EQ(result.err, "");
    }
    // The trace buffered before the JVM ended the process is still written out.
    EXPECT_EQ(result.traceLines().size(), 3 + options.size()) << result.out;
}

INSTANTIATE_TEST_SUITE_P(Launch, SystemExitTest,
                         testing::Values(ExitCase{"ExitZero", "exit", 0}, ExitCase{"ExitSeven", "exit", 7},
                                         ExitCase{"ExitFromThread", "exitFromThread", 42},
                                         ExitCase{"ExitZeroFromThread", "exitFromThread", 0},
                                         ExitCase{"ExitSevenWhileTheVmIsCreated", "premain", 7},
                                         ExitCase{"ExitZeroWhileTheVmIsCreated", "premain", 0},
                                         // A deprecated option: the JVM warns on standard error first.
                                         ExitCase{"ExitThreeAfterAJvmWarning", "premain", 3, "-Xverify:none"},
                                         // The JVM's log on standard output.
                                         ExitCase{"ExitThreeAfterJvmLogLines", "premain", 3, "-Xlog:gc"}),
                         caseName<ExitCase>);

TEST(Launch, ManyArgumentsKeepWithinTheLocalFrame) {
    JdkApp app;
    // -Xcheck:jni warns of every local reference beyond the frame's 32.
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "passArguments": true,
                        "vmArgs": ["-Xcheck:jni", "-Dprobe.mode=args"]})");
    const RunResult result = app.run(Lines(40, "a"), Output::combined);

    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_EQ(result.out.find("JNI local refs"), std::string::npos) << result.out;
    EXPECT_EQ(result.probeLines().size(), 42u) << result.out;
}

TEST(Launch, ParseErrorStillLaunches) {
    JdkApp app;
    app.writeConfig("{\n  \"jar\": \"app.jar\",\n  \"mainClass\": \"probe/Probe\",\n  \"vmArgs\": [\"-Dprobe.value=kept\"]\n");
    const RunResult result = app.run();
    const std::string dir = app.launcherView();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.traceLines(),
              (Lines{"config file: " + dir + "/config.json", "Couldn't parse json: syntax error at line 5 near: ",
                     "jar: " + dir + "/app.jar", "mainClass: probe/Probe", "vmArg 0: -Dprobe.value=kept"}));
    EXPECT_TRUE(contains(result.probeLines(), "value kept"));
}

TEST(Launch, CurrentDirectoryIsNeverConsulted) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.value=application"});
    // A decoy folder with a config.json and no runtime, used as current directory.
    TempDir decoy;
    writeFile(decoy.path() / "config.json", R"({"jar": "decoy.jar", "mainClass": "decoy/Main"})");
    const RunResult result = runProcess(app.launcher(), {}, decoy.path());

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(firstLine(result.traceLines()), "config file: " + app.launcherView() + "/config.json");
    EXPECT_TRUE(contains(result.probeLines(), "value application"));
}

TEST(Launch, StartedThroughASymlink) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.value=linked"});
    TempDir elsewhere;
    fs::create_symlink(app.launcher(), elsewhere.path() / "product");
    const RunResult result = runProcess(elsewhere.path() / "product", {}, elsewhere.path());

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(firstLine(result.traceLines()), "config file: " + app.launcherView() + "/config.json");
    EXPECT_TRUE(contains(result.probeLines(), "value linked"));
}

TEST(Launch, FallsBackToTheJdk8RuntimeLayout) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.value=jdk8 layout"});
    // A runtime laid out as JDK 8 does, whose library is the installed JDK's.
    app.removeRuntime();
    const fs::path serverDir = app.dir() / "jre" / "lib" / JDK8_ARCH / "server";
    fs::create_directories(serverDir);
    fs::create_symlink(fs::path(JDK_HOME) / "lib" / "server" / "libjvm.so", serverDir / "libjvm.so");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(contains(result.probeLines(), "value jdk8 layout"));
}

// A product with one running copy: the probe reports each later start's command line and runs until
// `expected` came (probe.expect).
class SingleInstanceApp : public JdkApp {
public:
    // `singleInstance` is the key's JSON value: the method later starts go to, or true for none.
    explicit SingleInstanceApp(int expected, std::string singleInstance = R"("probe.Probe.openFromAnotherStart")")
        : singleInstance_(std::move(singleInstance)) {
        expect(expected);
    }

    // config.json, which the running copy has read once it runs.
    void expect(int expected) const {
        writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "trace": false, "singleInstance": )" +
                    singleInstance_ +
                    R"(, "vmArgs": ["-Dprobe.mode=laterStarts", "-Dprobe.ready=$APPDIR/ready", "-Dprobe.expect=)" +
                    std::to_string(expected) + R"("]})");
    }

    // Starts the running copy and waits until its main runs; its pid is readyPid().
    std::future<RunResult> startRunningCopy() const {
        std::future<RunResult> running = std::async(std::launch::async, [this] { return run(); });
        for (int i = 0; i < 1200 && !fs::exists(dir() / "ready"); ++i) usleep(50000);
        EXPECT_TRUE(fs::exists(dir() / "ready")) << "the running copy did not start";
        return running;
    }
    pid_t readyPid() const { return static_cast<pid_t>(std::stol(readFile(dir() / "ready"))); }
    // The running copy's main ends without waiting for more later starts.
    void endRunningCopy() const { writeFile(dir() / "ready.end", ""); }

private:
    std::string singleInstance_;
};

Lines laterStartLines(const RunResult& result) {
    Lines starts;
    for (const std::string& line : result.probeLines()) {
        if (line.rfind("later start", 0) == 0) starts.push_back(line);
    }
    return starts;
}

// The product folder's name in the running copy's endpoint.
std::string endpointHash(const AppFolder& app) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : fs::canonical(app.dir()).string()) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Where later starts meet: $XDG_RUNTIME_DIR when it is the user's alone, else the abstract namespace.
enum class Meeting { abstractName, runtimeFolder, runtimeFolderOthersMayEnter };

// Sets XDG_RUNTIME_DIR for the test (and the launchers it starts), or unsets it, as the meeting place asks.
class RuntimeFolder {
public:
    explicit RuntimeFolder(Meeting meeting) : meeting_(meeting) {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old != nullptr) old_ = old;
        if (meeting == Meeting::abstractName) {
            unsetenv("XDG_RUNTIME_DIR");
            return;
        }
        fs::permissions(folder_.path(), meeting == Meeting::runtimeFolder ? fs::perms::owner_all
                                                                         : fs::perms::owner_all | fs::perms::group_read |
                                                                               fs::perms::group_exec |
                                                                               fs::perms::others_read |
                                                                               fs::perms::others_exec);
        setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
    }
    ~RuntimeFolder() {
        if (old_) {
            setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;

    // The socket of the product's running copy, in the runtime folder.
    fs::path socketOf(const AppFolder& app) const {
        return folder_.path() / ("launcher-running-copy-" + endpointHash(app));
    }
    bool usesTheFolder() const { return meeting_ == Meeting::runtimeFolder; }

private:
    Meeting meeting_;
    TempDir folder_;
    std::optional<std::string> old_;
};

// Connects to the running copy's endpoint as a hostile or broken peer would (as the user `uid`), where the
// launcher meets later starts for `meeting`; -1 when nobody listens there.
int connectAsPeer(const AppFolder& app, Meeting meeting, uid_t uid = geteuid()) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socklen_t length = 0;
    if (meeting == Meeting::runtimeFolder) {
        const std::string path =
            (fs::path(std::getenv("XDG_RUNTIME_DIR")) / ("launcher-running-copy-" + endpointHash(app))).string();
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    } else {
        const std::string name = "launcher-running-copy-" + std::to_string(uid) + "-" + endpointHash(app);
        std::memcpy(address.sun_path + 1, name.c_str(), name.size());
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A message in its frame: the length, 4 bytes, least significant first.
std::string framed(const std::string& message) {
    std::string frame;
    for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((message.size() >> shift) & 0xFF);
    return frame + message;
}

// The message of a later start from `directory` with one argument.
std::string laterStartMessage(const std::string& directory, const std::string& argument) {
    const std::string body = directory + '\0' + argument + '\0';
    return framed(std::string("LATER-START-1\0", 14) + framed(body).substr(0, 4) + body);
}

// What the running copy answers, up to its end or `count` bytes.
std::string answersTo(int fd, std::size_t count = 16) {
    std::string answers;
    char answer = 0;
    while (answers.size() < count && recv(fd, &answer, 1, 0) == 1) answers += answer;
    return answers;
}

// Sends `bytes` as a peer of the user `uid` and closes; what the running copy answered.
std::string sendAsPeer(const AppFolder& app, Meeting meeting, const std::string& bytes, uid_t uid = geteuid()) {
    const int fd = connectAsPeer(app, meeting, uid);
    if (fd < 0) return "(nobody listens)";
    // A peer the running copy drops may find its sending cut off; only the answer counts.
    if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) >= 0) shutdown(fd, SHUT_WR);
    const std::string answers = answersTo(fd);
    close(fd);
    return answers;
}

// The same in the process of another user (nobody), which the test must be root to become.
std::string sendAsNobody(const AppFolder& app, Meeting meeting, const std::string& bytes) {
    int toParent[2];
    if (pipe(toParent) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(toParent[0]);
        const std::string answers = setgid(65534) == 0 && setuid(65534) == 0
                                        ? sendAsPeer(app, meeting, bytes, 0)
                                        : std::string("still root");
        _exit(write(toParent[1], answers.data(), answers.size()) < 0 ? 1 : 0);
    }
    close(toParent[1]);
    std::string answers;
    char buffer[64];
    for (ssize_t got; (got = read(toParent[0], buffer, sizeof buffer)) > 0;) answers.append(buffer, static_cast<std::size_t>(got));
    close(toParent[0]);
    waitpid(child, nullptr, 0);
    return answers;
}

class SingleInstanceMeetingTest : public testing::TestWithParam<Meeting> {
protected:
    RuntimeFolder runtimeFolder_{GetParam()};
};

TEST_P(SingleInstanceMeetingTest, LaterStartHandsItsCommandLineToTheRunningCopy) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    EXPECT_EQ(fs::exists(runtimeFolder_.socketOf(app)), runtimeFolder_.usesTheFolder());
    TempDir startedIn;
    const RunResult later =
        runProcess(app.launcher(), {"a b", "", "\xE4\xB8\xAD\xE6\x96\x87", "docs/letter.txt", "\xF0\x9F\x98\x80"},
                   startedIn.path());
    const RunResult first = running.get();

    EXPECT_EQ(later.exitStatus, 0) << later.err;
    EXPECT_EQ(later.out + later.err, "");
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(laterStartLines(first),
              Lines{"later start in " + fs::canonical(startedIn.path()).string() + " on later start (daemon): " +
                    "[ 0061 0020 0062 ] [ ] [ 4e2d 6587 ] [ 0064 006f 0063 0073 002f 006c 0065 0074 0074 0065 0072 "
                    "002e 0074 0078 0074 ] [ d83d de00 ]"});
    EXPECT_FALSE(fs::exists(runtimeFolder_.socketOf(app))) << "left behind";
}

TEST_P(SingleInstanceMeetingTest, MalformedMessagesAndOtherUsersAreIgnored) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    const Meeting meeting = GetParam() == Meeting::runtimeFolder ? Meeting::runtimeFolder : Meeting::abstractName;
    const std::string valid = laterStartMessage("/x", "from a peer");
    // Read whole but no later start's message: refused ("n").
    EXPECT_EQ(sendAsPeer(app, meeting, framed("not a message")), "n");
    EXPECT_EQ(sendAsPeer(app, meeting, framed(std::string("LATER-START-1\0\x04\0\0\0/\xFF\0\0", 22))), "n")
        << "not UTF-8";
    // Dropped unread: cut short, or longer than a message may be.
    EXPECT_EQ(sendAsPeer(app, meeting, valid.substr(0, valid.size() - 2)), "") << "cut short";
    EXPECT_EQ(sendAsPeer(app, meeting, framed(std::string(2 << 20, 'x'))), "") << "too long";
    // Sent a byte at a time, each well within a wait for the next: dropped once the message's own time ran out.
    const int dripping = connectAsPeer(app, meeting);
    ASSERT_GE(dripping, 0);
    bool dropped = false;
    for (std::size_t i = 0; i < valid.size() && !dropped; ++i) {
        pollfd ended{dripping, POLLIN, 0};
        dropped = send(dripping, &valid[i], 1, MSG_NOSIGNAL) != 1 || poll(&ended, 1, 300) == 1;
    }
    close(dripping);
    EXPECT_TRUE(dropped) << "a peer sending a byte every 300 ms held the running copy for its whole message";
    if (geteuid() == 0) {
        // Another user reaching the same abstract name (it has no permissions) is dropped unread; the runtime
        // folder does not let them in.
        EXPECT_EQ(sendAsNobody(app, meeting, valid), meeting == Meeting::runtimeFolder ? "(nobody listens)" : "")
            << "another user's message was received";
    }
    // Peers that connect and send nothing are read side by side with the start that comes after them.
    std::vector<int> silent;
    for (int i = 0; i < 4; ++i) silent.push_back(connectAsPeer(app, meeting));
    const RunResult after = app.run({"after all that"});
    for (const int peer : silent) close(peer);
    EXPECT_EQ(after.exitStatus, 0);
    EXPECT_EQ(after.out + after.err, "") << "the start did not reach the running copy past silent peers";
    const RunResult first = running.get();

    EXPECT_EQ(first.exitStatus, 0) << first.err;
    const Lines starts = laterStartLines(first);
    ASSERT_EQ(starts.size(), 1u) << first.out;
    EXPECT_NE(starts[0].find("[ 0061 0066 0074 0065 0072"), std::string::npos) << starts[0];
}

TEST_P(SingleInstanceMeetingTest, StartAfterTheRunningCopyWasKilledRunsTheProgram) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    kill(app.readyPid(), SIGKILL);
    EXPECT_EQ(running.get().signal, SIGKILL);
    fs::remove(app.dir() / "ready");
    EXPECT_EQ(fs::exists(runtimeFolder_.socketOf(app)), runtimeFolder_.usesTheFolder()) << "left by the killed copy";

    std::future<RunResult> again = app.startRunningCopy();
    EXPECT_EQ(app.run({"after"}).exitStatus, 0);
    EXPECT_EQ(laterStartLines(again.get()).size(), 1u);
}

TEST_P(SingleInstanceMeetingTest, OfTwoSimultaneousStartsOneRunsTheProgram) {
    SingleInstanceApp app(1);
    std::future<RunResult> one = std::async(std::launch::async, [&app] { return app.run({"one"}); });
    std::future<RunResult> two = std::async(std::launch::async, [&app] { return app.run({"two"}); });
    const RunResult results[] = {one.get(), two.get()};

    int programsRun = 0;
    for (const RunResult& result : results) {
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        programsRun += contains(result.probeLines(), "received 1") ? 1 : 0;
    }
    EXPECT_EQ(programsRun, 1) << results[0].out << results[1].out;
}

TEST_P(SingleInstanceMeetingTest, AnotherProductsStartIsNotHandedOver) {
    SingleInstanceApp app(1);
    SingleInstanceApp otherProduct(0);
    std::future<RunResult> running = app.startRunningCopy();
    const RunResult other = otherProduct.run({"for the other"});
    EXPECT_EQ(app.run({"mine"}).exitStatus, 0);

    EXPECT_EQ(other.exitStatus, 0) << other.err;
    EXPECT_TRUE(contains(other.probeLines(), "received 0")) << other.out;
    const Lines starts = laterStartLines(running.get());
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_NE(starts[0].find("[ 006d 0069 006e 0065 ]"), std::string::npos) << starts[0];
}

std::string meetingName(const testing::TestParamInfo<Meeting>& info) {
    switch (info.param) {
    case Meeting::abstractName:
        return "AbstractName";
    case Meeting::runtimeFolder:
        return "RuntimeFolder";
    case Meeting::runtimeFolderOthersMayEnter:
        return "RuntimeFolderOthersMayEnterIsNotUsed";
    }
    return "";
}

INSTANTIATE_TEST_SUITE_P(SingleInstance, SingleInstanceMeetingTest,
                         testing::Values(Meeting::abstractName, Meeting::runtimeFolder,
                                         Meeting::runtimeFolderOthersMayEnter),
                         meetingName);

TEST(SingleInstance, AnotherUserHoldingTheAbstractNameDoesNotKeepTheRunningCopyFromTheRuntimeFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to be another user";
    const RuntimeFolder runtimeFolder(Meeting::runtimeFolder);
    SingleInstanceApp app(1);
    // nobody binds the name the abstract namespace would give my product, and keeps it.
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "launcher-running-copy-0-" + endpointHash(app);
    std::memcpy(address.sun_path + 1, name.c_str(), name.size());
    const pid_t squatter = fork();
    if (squatter == 0) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = setgid(65534) == 0 && setuid(65534) == 0 &&
                           bind(fd, reinterpret_cast<const sockaddr*>(&address),
                                static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) == 0 &&
                           listen(fd, 8) == 0;
        char done = bound ? 'y' : 'n';
        if (write(ready[1], &done, 1) != 1 || read(release[0], &done, 1) < 0) _exit(1);
        _exit(0);
    }
    char bound = 0;
    ASSERT_EQ(read(ready[0], &bound, 1), 1);
    ASSERT_EQ(bound, 'y') << "the squatter could not bind";

    std::future<RunResult> running = app.startRunningCopy();
    const RunResult later = app.run({"mine"});
    const RunResult first = running.get();
    ASSERT_EQ(write(release[1], "x", 1), 1);
    waitpid(squatter, nullptr, 0);

    EXPECT_EQ(first.err, "");
    EXPECT_EQ(later.exitStatus, 0) << later.err;
    EXPECT_EQ(later.err, "");
    EXPECT_EQ(laterStartLines(first).size(), 1u) << first.out;
}

TEST(SingleInstance, AnotherUserBindingTheAbstractNameWithoutListeningIsNamedNotTakenForAnEndingCopy) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to be another user";
    const RuntimeFolder meeting(Meeting::abstractName);
    SingleInstanceApp app(1);
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "launcher-running-copy-0-" + endpointHash(app);
    std::memcpy(address.sun_path + 1, name.c_str(), name.size());
    const pid_t squatter = fork();
    if (squatter == 0) {  // nobody binds my product's name and never listens
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = setgid(65534) == 0 && setuid(65534) == 0 &&
                           bind(fd, reinterpret_cast<const sockaddr*>(&address),
                                static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) == 0;
        char done = bound ? 'y' : 'n';
        if (write(ready[1], &done, 1) != 1 || read(release[0], &done, 1) < 0) _exit(1);
        _exit(0);
    }
    char bound = 0;
    ASSERT_EQ(read(ready[0], &bound, 1), 1);
    ASSERT_EQ(bound, 'y') << "the squatter could not bind";
    app.expect(0);
    const RunResult start = app.run({"letter.txt"});
    ASSERT_EQ(write(release[1], "x", 1), 1);
    waitpid(squatter, nullptr, 0);

    EXPECT_EQ(start.exitStatus, 0) << start.err;
    EXPECT_TRUE(contains(start.probeLines(), "received 0")) << start.out;
    EXPECT_EQ(start.err,
              "Another user's process holds this program's place for a running copy; starting another copy, which "
              "later starts will not reach.\n");
}

TEST(SingleInstance, RunningCopyThatDoesNotAnswerIsNamedAndTheStartRunsTheProgram) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    const pid_t hanging = app.readyPid();
    kill(hanging, SIGSTOP);
    app.expect(0);  // the later start's own program ends at once
    const RunResult later = app.run({"letter.txt"});
    kill(hanging, SIGKILL);
    running.get();

    EXPECT_EQ(later.exitStatus, 0) << later.err;
    EXPECT_TRUE(contains(later.probeLines(), "received 0")) << later.out;
    EXPECT_EQ(later.err, "The running copy of this program did not answer within 3 seconds: it hangs, or another user's "
              "process holds its place; starting another copy.\n");
}

TEST(SingleInstance, WithoutAMethodALaterStartEndsAtOnceRunningNothing) {
    SingleInstanceApp app(1, "true");
    std::future<RunResult> running = app.startRunningCopy();
    const RunResult later = app.run({"letter.txt"});
    app.endRunningCopy();
    const RunResult first = running.get();

    EXPECT_EQ(later.exitStatus, 0) << later.err;
    EXPECT_EQ(later.out + later.err, "") << "the later start ran the program";
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_TRUE(contains(first.probeLines(), "received 0")) << first.out;
}

TEST(SingleInstance, TenStartsArriveInOrder) {
    SingleInstanceApp app(10);
    std::future<RunResult> running = app.startRunningCopy();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(app.run({std::string(1, static_cast<char>('0' + i))}).exitStatus, 0);
    }
    const RunResult first = running.get();

    const Lines starts = laterStartLines(first);
    ASSERT_EQ(starts.size(), 10u) << first.out;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_NE(starts[i].find(": [ 003" + std::to_string(i) + " ]"), std::string::npos) << starts[i];
    }
}

TEST(SingleInstance, StartsStillWaitingWhenTheProgramEndsAreRefusedAndRunTheProgramThemselves) {
    const RuntimeFolder meeting(Meeting::abstractName);
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    // The method holds the first later start's call; main ends once it is released, the call never returning.
    EXPECT_EQ(app.run({"hold"}).exitStatus, 0);
    const int waiting = connectAsPeer(app, Meeting::abstractName);
    ASSERT_GE(waiting, 0);
    const std::string message = laterStartMessage("/x", "waiting");
    ASSERT_EQ(send(waiting, message.data(), message.size(), MSG_NOSIGNAL), static_cast<ssize_t>(message.size()));
    EXPECT_EQ(answersTo(waiting, 1), "r") << "not received";
    app.expect(0);  // a later start that runs the program itself ends at once
    std::future<RunResult> later = std::async(std::launch::async, [&app] { return app.run({"later"}); });
    writeFile(app.dir() / "ready.release", "");
    const RunResult first = running.get();

    EXPECT_EQ(answersTo(waiting), "n") << "a start the program never took was told it was";
    close(waiting);
    const RunResult own = later.get();
    EXPECT_EQ(own.exitStatus, 0) << own.err;
    EXPECT_TRUE(contains(own.probeLines(), "received 0")) << own.out;
    EXPECT_TRUE(contains(first.probeLines(), "received 1")) << first.out;
    EXPECT_EQ(laterStartLines(first).size(), 1u) << first.out;
}

TEST(SingleInstance, AStartThatComesWhileTheProgramEndsIsToldToRunItself) {
    const RuntimeFolder meeting(Meeting::abstractName);
    SingleInstanceApp app(0);
    writeFile(app.dir() / "ready.holdEnd", "");
    std::future<RunResult> running = app.startRunningCopy();
    app.endRunningCopy();
    for (int i = 0; i < 1200 && !fs::exists(app.dir() / "ready.ending"); ++i) usleep(50000);
    ASSERT_TRUE(fs::exists(app.dir() / "ready.ending")) << "the program's shutdown hook did not run";
    // Its shutdown hooks run: daemon threads still could, but the program is too far gone to take a document.
    const int peer = connectAsPeer(app, Meeting::abstractName);
    ASSERT_GE(peer, 0);
    const std::string message = laterStartMessage("/x", "late");
    ASSERT_EQ(send(peer, message.data(), message.size(), MSG_NOSIGNAL), static_cast<ssize_t>(message.size()));
    EXPECT_EQ(answersTo(peer, 2), "rn") << "an ending program was said to take a later start";
    close(peer);
    fs::remove(app.dir() / "ready.holdEnd");
    const RunResult first = running.get();

    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(laterStartLines(first), Lines{}) << first.out;
}

TEST(SingleInstance, TheProgramsEndWaitsForACallThatWaitsForALockOfTheProgram) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    EXPECT_EQ(app.run({"busy"}).exitStatus, 0);
    const RunResult first = running.get();

    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_TRUE(contains(first.probeLines(), "the busy call returned")) << "the program's end cut the call off";
}

TEST(SingleInstance, TheMethodsClassIsInitialisedByTheFirstLaterStartNotBeforeMainAndItsNameMayHoldAnyLetter) {
    SingleInstanceApp app(1, "\"probe.FirstUsedByALaterStart.open\xF0\x90\x90\x80\"");
    std::future<RunResult> running = app.startRunningCopy();
    EXPECT_EQ(app.run({"x"}).exitStatus, 0);
    const RunResult first = running.get();

    const Lines lines = first.probeLines();
    ASSERT_GE(lines.size(), 3u) << first.out;
    EXPECT_EQ(lines[0], "args 0") << first.out;
    EXPECT_EQ(lines[1], "FirstUsedByALaterStart initialised") << first.out;
    EXPECT_EQ(lines[2].rfind("later start", 0), 0u) << first.out;
}

struct CannotHandOverCase {
    const char* name;
    Lines arguments;
    bool fromADeletedFolder;
    std::string says;
    int exitStatus;  // of the start, which runs the program itself
};

class LaterStartThatCannotHandOverTest : public testing::TestWithParam<CannotHandOverCase> {};

TEST_P(LaterStartThatCannotHandOverTest, SaysWhyAndRunsTheProgramItself) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    app.expect(0);
    TempDir startedIn;
    const fs::path folder = startedIn.path() / "deleted";
    fs::create_directory(folder);
    Lines command = {"-c", GetParam().fromADeletedFolder ? R"(cd "$0" && rmdir "$0" && exec "$@")" : R"(exec "$@")",
                     folder.string(), app.launcher().string()};
    command.insert(command.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    const RunResult later = runProcess("/bin/sh", command, startedIn.path());
    EXPECT_EQ(app.run({"mine"}).exitStatus, 0);
    running.get();

    EXPECT_EQ(later.exitStatus, GetParam().exitStatus) << later.err;
    EXPECT_NE(later.err.find("The program is running already, but this start cannot hand its command line to it: " +
                             GetParam().says + "; starting another copy.\n"),
              std::string::npos)
        << later.err;
}

INSTANTIATE_TEST_SUITE_P(
    SingleInstance, LaterStartThatCannotHandOverTest,
    testing::Values(CannotHandOverCase{"CommandLineTooLong", Lines(9, std::string(120000, 'x')), false,
                                       "its command line is longer than the 1 MiB the running copy takes", 0},
                    CannotHandOverCase{"ArgumentNotUtf8", {"caf\xE9"}, false,
                                       "its arguments or its current folder are not UTF-8", 0},
                    // The copy it starts cannot run there either (Failure.StartedFromAFolderThatWasDeletedSaysSo).
                    CannotHandOverCase{"CurrentFolderDeleted", {"letter.txt"}, true,
                                       "its current folder cannot be read (it no longer exists)", 4}),
    caseName<CannotHandOverCase>);

}  // namespace
}  // namespace e2e

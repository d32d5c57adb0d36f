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
    explicit SingleInstanceApp(int expected) { expect(expected); }

    // config.json, which the running copy has read once it runs.
    void expect(int expected) const {
        writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "trace": false,
                        "singleInstance": "probe.Probe.openFromAnotherStart",
                        "vmArgs": ["-Dprobe.mode=laterStarts", "-Dprobe.ready=$APPDIR/ready", "-Dprobe.expect=)" +
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
};

Lines laterStartLines(const RunResult& result) {
    Lines starts;
    for (const std::string& line : result.probeLines()) {
        if (line.rfind("later start", 0) == 0) starts.push_back(line);
    }
    return starts;
}

TEST(SingleInstance, LaterStartHandsItsCommandLineToTheRunningCopy) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
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
}

// Connects to the running copy's socket as a hostile or broken peer would (as the user `uid`), sends `bytes`
// and closes; the answer it gets, if any.
std::string sendAsPeer(const AppFolder& app, const std::string& bytes, uid_t uid = geteuid()) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : fs::canonical(app.dir()).string()) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char name[80];
    const int size = std::snprintf(name, sizeof name, "launcher-running-copy-%u-%016llx", static_cast<unsigned>(uid),
                                   static_cast<unsigned long long>(hash));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(size));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(size));
    EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), length), 0) << "no running copy at " << name;
    // A peer the running copy drops may find its sending cut off; only the answer counts.
    if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) >= 0) shutdown(fd, SHUT_WR);
    char answer[16];
    const ssize_t got = recv(fd, answer, sizeof answer, 0);
    close(fd);
    return got > 0 ? std::string(answer, static_cast<std::size_t>(got)) : "";
}

TEST(SingleInstance, MalformedMessagesAndOtherUsersAreIgnored) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    const std::string header("LATER-START-1\0", 14);
    const std::string valid = header + std::string("\x04\0\0\0/x\0\0", 8);  // the folder "/x", no arguments
    EXPECT_EQ(sendAsPeer(app, "not a message"), "");
    EXPECT_EQ(sendAsPeer(app, valid.substr(0, valid.size() - 2)), "") << "cut short";
    EXPECT_EQ(sendAsPeer(app, header + std::string("\x04\0\0\0/\xFF\0\0", 8)), "") << "not UTF-8";
    EXPECT_EQ(sendAsPeer(app, std::string(2 << 20, 'x')), "") << "too long";
    if (geteuid() == 0) {
        // Another user reaching the same name (the abstract namespace has no permissions) is dropped unread.
        const pid_t child = fork();
        if (child == 0) {
            const bool refused = setgid(65534) == 0 && setuid(65534) == 0 && sendAsPeer(app, valid, 0).empty();
            _exit(refused ? 0 : 1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0) << "another user's message was taken";
    }
    EXPECT_EQ(app.run({"after all that"}).exitStatus, 0);
    const RunResult first = running.get();

    EXPECT_EQ(first.exitStatus, 0) << first.err;
    const Lines starts = laterStartLines(first);
    ASSERT_EQ(starts.size(), 1u) << first.out;
    EXPECT_NE(starts[0].find("[ 0061 0066 0074 0065 0072"), std::string::npos) << starts[0];
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
    EXPECT_EQ(later.err, "The running copy of this program did not answer within 3 seconds; starting another copy.\n");
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

TEST(SingleInstance, StartAfterTheRunningCopyWasKilledRunsTheProgram) {
    SingleInstanceApp app(1);
    std::future<RunResult> running = app.startRunningCopy();
    kill(app.readyPid(), SIGKILL);
    EXPECT_EQ(running.get().signal, SIGKILL);
    fs::remove(app.dir() / "ready");

    std::future<RunResult> again = app.startRunningCopy();
    EXPECT_EQ(app.run({"after"}).exitStatus, 0);
    EXPECT_EQ(laterStartLines(again.get()).size(), 1u);
}

TEST(SingleInstance, OfTwoSimultaneousStartsOneRunsTheProgram) {
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

TEST(SingleInstance, AnotherProductsStartIsNotHandedOver) {
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

}  // namespace
}  // namespace e2e

// The built launcher running the real JVM of the installed JDK end to end.
#include "e2e/app_folder.h"
#include "e2e/installed_jdk.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace e2e {
namespace {

// The options the probe saw, in order (the JVM's own input arguments).
Lines probeOptions(const RunResult& result) {
    Lines options;
    for (const std::string& line : result.probeLines()) {
        if (line.rfind("option ", 0) == 0) options.push_back(line.substr(7));
    }
    return options;
}

bool contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(Launch, TypicalLaunchTracesAndRunsMain) {
    AppFolder app;
    useInstalledJdk(app);
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
    AppFolder app;
    useInstalledJdk(app);
    app.writeProbeConfig("probe/Probe",
                         {"-Dprobe.value=first", "-Xss2m", "-Dprobe.value=second", "-Dprobe.other=x y \"z\""});
    const RunResult result = app.run();

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // The JVM lists every option but the class path, which the probe reports as a property.
    EXPECT_EQ(probeOptions(result),
              (Lines{"-Dprobe.value=first", "-Xss2m", "-Dprobe.value=second", "-Dprobe.other=x y \"z\""}));
    EXPECT_TRUE(contains(result.probeLines(), "class path " + app.launcherView() + "/app.jar"));
    EXPECT_TRUE(contains(result.probeLines(), "value second"));
}

TEST(Launch, TenThousandOptionsReachTheProgramUnchangedAndInOrder) {
    AppFolder app;
    useInstalledJdk(app);
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
    EXPECT_EQ(probeOptions(result), expected);
}

TEST(Launch, CommandLineArgumentsAreIgnored) {
    AppFolder app;
    useInstalledJdk(app);
    app.writeProbeConfig("probe/Probe", {});
    const RunResult result = app.run({"one", "two", "-Dprobe.value=sneaked"});

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(contains(result.probeLines(), "args 0"));
    EXPECT_TRUE(contains(result.probeLines(), "value null"));
}

TEST(Launch, WaitsForNonDaemonThreads) {
    AppFolder app;
    useInstalledJdk(app);
    app.writeProbeConfig("probe/Probe", {"-Dprobe.mode=worker"});
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.probeLines(), (Lines{"args 0", "main returns", "worker done"}));
}

struct ExitCase {
    const char* name;
    std::string mode;
    int status;
};

class SystemExitTest : public testing::TestWithParam<ExitCase> {};

TEST_P(SystemExitTest, ProgramKeepsItsOwnStatus) {
    AppFolder app;
    useInstalledJdk(app);
    app.writeProbeConfig("probe/Probe",
                         {"-Dprobe.mode=" + GetParam().mode, "-Dprobe.status=" + std::to_string(GetParam().status)});
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, GetParam().status) << result.err;
    EXPECT_EQ(result.err, "");
    // The trace buffered before the JVM ended the process is still written out.
    EXPECT_EQ(result.traceLines().size(), 5u) << result.out;
}

INSTANTIATE_TEST_SUITE_P(Launch, SystemExitTest,
                         testing::Values(ExitCase{"ExitZero", "exit", 0}, ExitCase{"ExitSeven", "exit", 7},
                                         ExitCase{"ExitFromThread", "exitFromThread", 42},
                                         ExitCase{"ExitZeroFromThread", "exitFromThread", 0}),
                         caseName<ExitCase>);

TEST(Launch, ParseErrorStillLaunches) {
    AppFolder app;
    useInstalledJdk(app);
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
    AppFolder app;
    useInstalledJdk(app);
    app.writeProbeConfig("probe/Probe", {"-Dprobe.value=application"});
    // A decoy folder with a config.json and no runtime, used as current directory.
    TempDir decoy;
    writeFile(decoy.path() / "config.json", R"({"jar": "decoy.jar", "mainClass": "decoy/Main"})");
    const RunResult result = runProcess(app.launcher(), {}, decoy.path());

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.traceLines().front(), "config file: " + app.launcherView() + "/config.json");
    EXPECT_TRUE(contains(result.probeLines(), "value application"));
}

TEST(Launch, StartedThroughASymlink) {
    AppFolder app;
    useInstalledJdk(app);
    app.writeProbeConfig("probe/Probe", {"-Dprobe.value=linked"});
    TempDir elsewhere;
    fs::create_symlink(app.launcher(), elsewhere.path() / "product");
    const RunResult result = runProcess(elsewhere.path() / "product", {}, elsewhere.path());

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.traceLines().front(), "config file: " + app.launcherView() + "/config.json");
    EXPECT_TRUE(contains(result.probeLines(), "value linked"));
}

TEST(Launch, FallsBackToTheJdk8RuntimeLayout) {
    AppFolder app;
    useInstalledJdk(app);
    app.writeProbeConfig("probe/Probe", {"-Dprobe.value=jdk8 layout"});
    // A runtime laid out as JDK 8 does, whose library is the installed JDK's.
    app.removeRuntime();
    const fs::path serverDir = app.dir() / "jre" / "lib" / "amd64" / "server";
    fs::create_directories(serverDir);
    fs::create_symlink(fs::path(JDK_HOME) / "lib" / "server" / "libjvm.so", serverDir / "libjvm.so");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(contains(result.probeLines(), "value jdk8 layout"));
}

}  // namespace
}  // namespace e2e

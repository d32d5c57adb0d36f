// Every way a launch can fail, end to end: the exit status and the one
// message line on standard error, after the trace that led to it.
#include "e2e/app_folder.h"
#include "e2e/expect_failure.h"
#include "e2e/installed_jdk.h"

#include "case_name.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

TEST(Failure, ConfigIsADirectory) {
    JdkApp app;
    fs::create_directory(app.dir() / "config.json");
    expectFailure(app.run(), 2, {"cannot open the configuration file " + app.launcherView() +
                                 "/config.json: it is a folder, not a file"});
}

TEST(Failure, RuntimeLibraryIsNotALibrary) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {});
    app.removeRuntime();
    fs::create_directories(app.dir() / "jre" / "lib" / "server");
    writeFile(app.dir() / "jre" / "lib" / "server" / "libjvm.so", std::string(200, '#') + "\nNot a shared library: a text file named like one.\n");
    // The loader's own explanation names the file and what is wrong with it.
    expectFailure(app.run(), 3, {"cannot load the JVM library " + app.launcherView() + "/jre/lib/server/libjvm.so: invalid ELF header"});
}

TEST(Failure, StartedFromAFolderThatWasDeletedSaysSo) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {});
    TempDir startedIn;
    const fs::path folder = startedIn.path() / "deleted";
    fs::create_directory(folder);
    // A shell that stayed in a folder another program deleted.
    const RunResult result = runProcess(
        "/bin/sh", {"-c", R"(cd "$0" && rmdir "$0" && exec "$1")", folder.string(), app.launcher().string()},
        startedIn.path());
    expectFailure(result, 4, {"cannot start the Java VM in the current folder: it no longer exists; start the "
                              "program from a folder that exists"});
}

struct VmOptionCase {
    const char* name;
    std::string vmArgs;  // the JSON array
    std::string messagePart;
    std::string said;    // what the JVM printed, quoted in the message
};

class VmCreationTest : public testing::TestWithParam<VmOptionCase> {};

TEST_P(VmCreationTest, ExitsWithStatus4) {
    JdkApp app;
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "vmArgs": )" + GetParam().vmArgs + "}");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 4) << result.out << result.err;
    // The JVM may print its own explanation first; ours is the last line.
    const Lines errLines = result.errLines();
    ASSERT_FALSE(errLines.empty());
    EXPECT_NE(errLines.back().find("error: the Java VM could not be created (status "), std::string::npos)
        << errLines.back();
    EXPECT_NE(errLines.back().find(GetParam().messagePart), std::string::npos) << errLines.back();
    EXPECT_NE(errLines.back().find(", saying \"" + GetParam().said), std::string::npos) << errLines.back();
    EXPECT_EQ(result.probeLines(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Failure, VmCreationTest,
    testing::Values(VmOptionCase{"UnrecognisedOption", R"(["-Xmx64m", "-Xbogus"])", "does not recognise",
                                 "Unrecognized option: -Xbogus"},
                    VmOptionCase{"NumberAsOption", "[5]", "does not recognise", "Unrecognized option: 5"},
                    VmOptionCase{"UnknownXXFlag", R"(["-XX:+NoSuchFlagAtAll"])", "status -6, JNI_EINVAL",
                                 "Unrecognized VM option 'NoSuchFlagAtAll'"},
                    // Printed in one call of 600 bytes and more: the print hook's long branch.
                    VmOptionCase{"LongUnrecognisedOption", "[\"-Xbogus" + std::string(600, 'x') + "\"]",
                                 "does not recognise", "Unrecognized option: -Xbogus" + std::string(600, 'x') + "\""}),
    caseName<VmOptionCase>);

struct StopCase {
    const char* name;
    std::string vmArgs;           // the JSON array
    std::string addressSpaceKiB;  // ulimit -v for the launcher; empty for none
    std::string reason;           // what the JVM says
};

class StopWhileStartingTest : public testing::TestWithParam<StopCase> {};

TEST_P(StopWhileStartingTest, ExitsWith4QuotingTheJvm) {
    JdkApp app;
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "vmArgs": )" + GetParam().vmArgs + "}");
    const RunResult result =
        GetParam().addressSpaceKiB.empty()
            ? app.run()
            : runProcess("/bin/sh", {"-c", "ulimit -v " + GetParam().addressSpaceKiB + " && exec \"$0\"",
                                     app.launcher().string()}, app.dir());

    expectFailure(result, 4, {"error: the Java VM could not be created: it stopped while starting, saying "
                              "\"Error occurred during initialization of VM / " + GetParam().reason});
    // The JVM's own words still reach standard output, after the trace.
    EXPECT_NE(result.out.find("vmArg 0: ", 0), std::string::npos);
    EXPECT_GT(result.out.find(GetParam().reason), result.out.find("vmArg 0: ")) << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Failure, StopWhileStartingTest,
    testing::Values(StopCase{"HeapTooSmall", R"(["-Xmx1k"])", "", "Too small maximum heap\""},
                    StopCase{"HeapCannotBeReserved", R"(["-Xmx3g", "-Xms3g"])", "2500000",
                             "Could not reserve enough space for 3145728KB object heap\""}),
    caseName<StopCase>);

struct MainClassCase {
    const char* name;
    std::string mainClass;
    Lines messageParts;
    bool jarMissing = false;
};

class MainClassTest : public testing::TestWithParam<MainClassCase> {};

TEST_P(MainClassTest, ExitsWithStatus5) {
    JdkApp app;
    app.writeProbeConfig(GetParam().mainClass, {});
    if (GetParam().jarMissing) fs::remove(app.dir() / "app.jar");
    const RunResult result = app.run();

    expectFailure(result, 5, GetParam().messageParts);
    EXPECT_EQ(result.probeLines(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Failure, MainClassTest,
    testing::Values(
        MainClassCase{"Missing", "probe/Absent",
                      {"cannot load the main class probe/Absent", "java.lang.NoClassDefFoundError: probe/Absent"}},
        MainClassCase{"WrittenWithDots", "probe.Probe",
                      {"cannot load the main class probe.Probe", "NoClassDefFoundError",
                       "packages are separated by \"/\", as in probe/Probe"}},
        MainClassCase{"NullMainClass", "null", {"cannot load the main class null", "NoClassDefFoundError"}},
        MainClassCase{"WithoutMain", "probe/NoMain",
                      {"the main class probe/NoMain has no method public static void main(String[])",
                       "java.lang.NoSuchMethodError"}},
        MainClassCase{"InstanceMain", "probe/InstanceMain",
                      {"the main class probe/InstanceMain has no method", "NoSuchMethodError"}},
        MainClassCase{"JarMissing", "probe/Probe",
                      {"cannot load the main class probe/Probe: the jar ", "/app.jar does not exist; put it there or "
                       "correct \"jar\" in config.json"},
                      true}),
    caseName<MainClassCase>);

struct LaterStartMethodCase {
    const char* name;
    std::string method;  // "singleInstance"
    std::string messagePart;
};

class LaterStartMethodTest : public testing::TestWithParam<LaterStartMethodCase> {};

TEST_P(LaterStartMethodTest, RefusedAtTheFirstStartBeforeMain) {
    JdkApp app;
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "probe/Probe", "singleInstance": )" +
                    jsonString(GetParam().method) + "}");
    const RunResult result = app.run();
    expectFailure(result, 2, {GetParam().messagePart, "\"singleInstance\" in config.json"});
    EXPECT_EQ(result.probeLines(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Failure, LaterStartMethodTest,
    testing::Values(
        LaterStartMethodCase{"MissingMethod", "probe.Probe.openDocuments",
                             "the class probe/Probe has no method public static void openDocuments(String[] "
                             "arguments, String directory) (java.lang.NoSuchMethodException: "},
        LaterStartMethodCase{"OtherSignature", "probe.Probe.main", "has no method public static void main(String[]"},
        LaterStartMethodCase{"NotPublic", "probe.Probe.openQuietly",
                             "has no method public static void openQuietly(String[] arguments, String directory) "
                             "(java.lang.NoSuchMethodException: "},
        LaterStartMethodCase{"MissingClass", "probe.Absent.open",
                             "cannot load the class probe/Absent (java.lang.ClassNotFoundException: probe.Absent)"}),
    caseName<LaterStartMethodCase>);

TEST(Failure, MainClassCompiledForANewerJava) {
    JdkApp app;
    // The probe's class file marked as compiled for Java 25 (class file version 69).
    fs::create_directories(app.dir() / "classes" / "probe");
    std::string classFile = readFile(fs::path(PROBE_CLASSES) / "probe" / "Probe.class");
    ASSERT_GT(classFile.size(), 8u);
    classFile[6] = 0;
    classFile[7] = 69;
    writeFile(app.dir() / "classes" / "probe" / "Probe.class", classFile);
    app.writeConfig(R"({"jar": "classes", "mainClass": "probe/Probe"})");
    const RunResult result = app.run();

    expectFailure(result, 5, {"cannot load the main class probe/Probe", "java.lang.UnsupportedClassVersionError",
                              "class file version 69.0"});
}

TEST(Failure, MainClassMissingFromTheMainModuleNamesTheModule) {
    JdkApp app;
    // The probe jar, a plain jar, is an automatic module named "probe" on the module path; there is no jar.
    fs::create_directory(app.dir() / "mods");
    fs::rename(app.dir() / "app.jar", app.dir() / "mods" / "probe.jar");
    app.writeConfig(R"({"mainModule": "probe", "mainClass": "probe/Nope", "vmArgs": ["-p", "$APPDIR/mods"]})");

    expectFailure(app.run(), 5, {"error: cannot load the main class probe/Nope from the module probe "
                                 "(java.lang.NoClassDefFoundError: probe/Nope)"});
}

TEST(Failure, ExceptionFromMainGoesToTheJvmAndExitsWith1) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.mode=throw"});
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 1);
    const Lines errLines = result.errLines();
    ASSERT_FALSE(errLines.empty());
    EXPECT_EQ(errLines[0], "Exception in thread \"main\" java.lang.IllegalStateException: probe failure");
    EXPECT_EQ(result.err.find("error: "), std::string::npos) << "the launcher adds nothing of its own";
}

TEST(Failure, ExceptionFromTheMainClassInitialiserGoesToTheJvmWithItsCause) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.mode=init"});
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_EQ(result.errLines().at(0), "Exception in thread \"main\" java.lang.ExceptionInInitializerError");
    EXPECT_NE(result.err.find("Caused by: java.lang.IllegalStateException: probe failure in a static initialiser"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("error: "), std::string::npos) << "the launcher adds nothing of its own";
}

TEST(Failure, ExceptionFromMainGoesToTheProgramsHandler) {
    JdkApp app;
    app.writeProbeConfig("probe/Probe", {"-Dprobe.mode=handler"});
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.probeLines(), (Lines{"args 0", "handled probe failure in main"}));
}

}  // namespace
}  // namespace e2e

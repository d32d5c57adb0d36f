// The built launcher against the stand-in JVM library: the exact init
// arguments and JNI calls it makes, and how it handles each failure the JVM
// library or the configuration can cause. Runs natively on Linux and as the
// Windows executable under Wine.
#include "case_name.h"
#include "e2e/app_folder.h"
#include "e2e/expect_failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <vector>

namespace e2e {
namespace {

#ifdef _WIN32
const std::string platformSeparator = "\\";
#else
const std::string platformSeparator = "/";
#endif

const std::string typicalConfig =
    R"({"jar": "app.jar", "mainClass": "com/example/Main", "vmArgs": ["-Xmx512m", "-Dsample.mode=test"]})";

class StandinTest : public testing::Test {
protected:
    std::string dir() const { return app.launcherView(); }

    StandinApp app;
};

TEST_F(StandinTest, TypicalLaunchMakesExactlyTheseCalls) {
    app.writeConfig(typicalConfig);
    const RunResult result = app.run({"ignored", "arguments"});

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.traceLines(),
              (Lines{"config file: " + dir() + "/config.json", "jar: " + dir() + "/app.jar",
                     "mainClass: com/example/Main", "vmArg 0: -Xmx512m", "vmArg 1: -Dsample.mode=test"}));
    EXPECT_EQ(app.standinRecord(),
              (Lines{"JNI_CreateJavaVM version 0x00010006 ignoreUnrecognized 0 nOptions 6 runtime standin_runtime",
                     "option 0 -Djava.class.path=" + dir() + "/app.jar",
                     "option 1 vfprintf with extraInfo",
                     "option 2 exit with extraInfo",
                     "option 3 abort with extraInfo",
                     "option 4 -Xmx512m",
                     "option 5 -Dsample.mode=test",
                     "FindClass java/lang/String",
                     "NewObjectArray 0 class java/lang/String null",
                     "FindClass com/example/Main",
                     "GetStaticMethodID class com/example/Main main ([Ljava/lang/String;)V",
                     "CallStaticVoidMethodV class com/example/Main method main with array of length 0",
                     "ExceptionCheck false",
                     "DestroyJavaVM"}));
}

TEST_F(StandinTest, AMainClassNamedBeyondTheBasicPlaneIsLookedUpInModifiedUtf8) {
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "com/example/M\ud801\udc00"})");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    // U+10400 as JNI takes it: its two surrogates, three bytes each.
    EXPECT_TRUE(contains(app.standinRecord(), "FindClass com/example/M\xED\xA0\x81\xED\xB0\x80"));
}

TEST_F(StandinTest, ClassPathDefaultArgumentsAndTheLaunchersOwnProperties) {
    const std::string defaults = R"("defaultArguments": ["two words", "\ud83d\ude00"],)";
#ifdef _WIN32
    const std::string separator = ";";
    // Arguments reach main in the JVM's modified UTF-8: a character beyond U+FFFF as its two surrogates.
    const Lines argumentsMade = {"NewStringUTF two words", "NewStringUTF \xED\xA0\xBD\xED\xB8\x80"};
    // In the ANSI code page, as java.exe's command line has it: each surrogate a "?".
    const std::string command = "com.example.Main two words ??";
#else
    const std::string separator = ":";
    // As the system's bytes, decoded by String(byte[], sun.jnu.encoding) as java decodes its command line.
    const Lines argumentsMade = {"NewStringUTF sun.jnu.encoding",
                                 "NewObjectV class java/lang/String method <init> bytes two words",
                                 "NewObjectV class java/lang/String method <init> bytes \xF0\x9F\x98\x80"};
    const std::string command = "com.example.Main two words \xF0\x9F\x98\x80";
#endif
    fs::create_directories(app.dir() / "lib");
    for (const char* jar : {"b.jar", "a.jar", "notes.txt"}) writeFile(app.dir() / "lib" / jar, "");
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "com/example/Main", "classPath": ["lib/*"], )" + defaults +
                    R"( "sunJavaCommand": true, "appPathProperty": true, "vmArgs": ["-p", "mods"]})");
    const RunResult result = app.run();

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(app.standinUserOptions(),
              (Lines{"-Djava.class.path=" + dir() + "/app.jar" + separator + dir() + "/lib/a.jar" + separator + dir() +
                         "/lib/b.jar",
                     "-Djpackage.app-path=" + dir() + platformSeparator + app.launcher().filename().string(),
                     "-Dsun.java.command=" + command, "--module-path=mods"}))
        << result.out;
    Lines made;
    const Lines record = app.standinRecord();
    std::copy_if(record.begin(), record.end(), std::back_inserter(made), [](const std::string& line) {
        return line.rfind("NewStringUTF ", 0) == 0 || line.rfind("NewObjectV ", 0) == 0;
    });
    EXPECT_EQ(made, argumentsMade);
    EXPECT_TRUE(contains(record, "CallStaticVoidMethodV class com/example/Main method main with array of length 2"));
    EXPECT_EQ(lastLine(record), "DestroyJavaVM");
}

// A display named in the environment while it lives (the stand-in needs none), and the splash config.
struct SplashApp : StandinApp {
    SplashApp() : displayBefore(std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "") {
        setEnvironment("DISPLAY", ":1");
        writeFile(dir() / "splash.png", "stands for an image");
        writeConfig(R"({"jar": "app.jar", "mainClass": "com/example/Main",
                        "vmArgs": ["-Xmx512m", "-splash:$APPDIR/splash.png", "-Dafter=splash"]})");
    }
    ~SplashApp() { setEnvironment("DISPLAY", displayBefore); }
    std::string displayBefore;
};

TEST(Splash, IsShownBeforeTheVmIsCreatedAndNeverReachesIt) {
    SplashApp app;
    app.useStandinSplash();
    const RunResult result = app.run();

    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string image = app.launcherView() + "/splash.png";
    const Lines record = app.standinRecord();
    ASSERT_GE(record.size(), 6u);
    EXPECT_EQ(Lines(record.begin(), record.begin() + 6),
              (Lines{"SplashGetScaledImgNameMaxPstfixLen " + image,
                     "SplashGetScaledImageName null " + image + " room " + std::to_string(2 * image.size() + 9),
                     "SplashInit", "SplashLoadFile " + image, "SplashSetFileJarName " + image + " null",
                     "JNI_CreateJavaVM version 0x00010006 ignoreUnrecognized 0 nOptions 6 runtime standin_runtime"}));
    EXPECT_EQ(app.standinUserOptions(),
              (Lines{"-Djava.class.path=" + app.launcherView() + "/app.jar", "-Xmx512m", "-Dafter=splash"}));
    EXPECT_TRUE(contains(result.traceLines(), "splash: " + image)) << result.out;
}

struct SplashCase {
    const char* name;
    std::function<void(StandinApp&)> arrange;
    std::string why;  // what follows "splash: not shown, "
};

class SplashNotShownTest : public testing::TestWithParam<SplashCase> {};

// A splash is a decoration: the program starts without it, and the trace says why.
TEST_P(SplashNotShownTest, ProgramStartsWithoutIt) {
    SplashApp app;
    GetParam().arrange(app);
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("\nsplash: not shown, " + GetParam().why), std::string::npos) << result.out;
    EXPECT_TRUE(contains(app.standinRecord(),
                         "CallStaticVoidMethodV class com/example/Main method main with array of length 0"));
}

std::vector<SplashCase> splashNotShownCases() {
    std::vector<SplashCase> cases = {
        {"ImageMissing", [](StandinApp& app) { app.useStandinSplash(); fs::remove(app.dir() / "splash.png"); },
         "the image "},
        {"RuntimeWithoutTheSplashLibrary", [](StandinApp&) {}, "the runtime has no splash library "},
        {"ImageTheLibraryCannotRead",
         [](StandinApp& app) {
             app.useStandinSplash();
             setEnvironment("STANDIN_SPLASH_LOAD", "fail");
         },
         "the splash library could not show "},
        // As under java: a headless program could neither use the splash nor close it.
        {"Headless",
         [](StandinApp& app) {
             app.useStandinSplash();
             app.writeConfig(R"({"jar": "app.jar", "mainClass": "com/example/Main", "vmArgs":
                                 ["-Djava.awt.headless=false", "-splash:splash.png", "-Djava.awt.headless=true"]})");
         },
         "-Djava.awt.headless=true in \"vmArgs\""}};
#ifndef _WIN32
    cases.push_back({"NoDisplay",
                     [](StandinApp& app) {
                         app.useStandinSplash();
                         setEnvironment("DISPLAY", "");
                         setEnvironment("WAYLAND_DISPLAY", "");
                     },
                     "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Standin, SplashNotShownTest, testing::ValuesIn(splashNotShownCases()), caseName<SplashCase>);

TEST_F(StandinTest, TraceTurnedOffComesBackForARun) {
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "com/example/Main", "vmArgs": ["-Xmx512m"], "trace": false})");
    const RunResult quiet = app.run();
    setEnvironment("LAUNCHER_TRACE", "1");
    const RunResult traced = app.run();

    EXPECT_EQ(quiet.exitStatus, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(traced.traceLines(), (Lines{"config file: " + dir() + "/config.json", "jar: " + dir() + "/app.jar",
                                          "mainClass: com/example/Main", "vmArg 0: -Xmx512m"}));
}

TEST_F(StandinTest, EmptyVmArgsGiveOnlyTheClassPath) {
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main", "vmArgs": []})");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const Lines record = app.standinRecord();
    ASSERT_GE(record.size(), 2u);
    EXPECT_EQ(record[0], "JNI_CreateJavaVM version 0x00010006 ignoreUnrecognized 0 nOptions 4 runtime standin_runtime");
    EXPECT_EQ(record[1], "option 0 -Djava.class.path=" + dir() + "/app.jar");
    EXPECT_EQ(lastLine(result.traceLines()), "mainClass: Main");
}

TEST_F(StandinTest, ExceptionLeftByMainGoesToTheHandlerBeforeTheVmIsDestroyed) {
    app.writeConfig(typicalConfig);
    setEnvironment("STANDIN_THROW", "1");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.errLines(),
              Lines{"Exception in thread \"main\" java.lang.IllegalStateException: thrown by the stand-in's main"});
    const Lines record = app.standinRecord();
    ASSERT_GE(record.size(), 4u);
    EXPECT_EQ(Lines(record.end() - 4, record.end()),
              (Lines{"CallStaticVoidMethodV class com/example/Main method main with array of length 0",
                     "ExceptionCheck true",
                     "DetachCurrentThread exception java.lang.IllegalStateException: thrown by the stand-in's main",
                     "DestroyJavaVM"}));
}

TEST_F(StandinTest, WhatTheJvmPrintsComesBeforeWhatTheProgramWritesNext) {
    app.writeConfig(typicalConfig);
    setEnvironment("STANDIN_PRINT_IN_MAIN", "Warning: printed by the JVM");
    const RunResult result = app.run({}, Output::combined);

    EXPECT_EQ(result.exitStatus, 0) << result.out;
    const Lines out = splitLines(result.out);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(Lines(out.end() - 2, out.end()), (Lines{"Warning: printed by the JVM", "main wrote this"})) << result.out;
}

TEST_F(StandinTest, ExceptionFromTheMainClassInitialiserGoesToTheHandlerAndMainIsNeverCalled) {
    app.writeConfig(typicalConfig);
    setEnvironment("STANDIN_FAIL", "FindClassInInitialiser");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.errLines(), Lines{"Exception in thread \"main\" java.lang.ExceptionInInitializerError"});
    const Lines record = app.standinRecord();
    ASSERT_GE(record.size(), 4u);
    EXPECT_EQ(Lines(record.end() - 4, record.end()),
              (Lines{"Throw exception java.lang.ExceptionInInitializerError", "ExceptionCheck true",
                     "DetachCurrentThread exception java.lang.ExceptionInInitializerError", "DestroyJavaVM"}));
}

struct LookupCase {
    const char* name;
    std::string failingCall;
    std::string mainClass;
    Lines messageParts;
    std::string lastLookup;  // the record line of the lookup that failed
};

class MainLookupTest : public StandinTest, public testing::WithParamInterface<LookupCase> {};

TEST_P(MainLookupTest, ReportsTheExceptionAndNeverCallsMain) {
    const LookupCase& c = GetParam();
    app.writeProbeConfig(c.mainClass, {});
    setEnvironment("STANDIN_FAIL", c.failingCall);
    const RunResult result = app.run();

    expectFailure(result, 5, c.messageParts);
    const Lines record = app.standinRecord();
    const auto failed = std::find(record.begin(), record.end(), c.lastLookup);
    ASSERT_GE(record.end() - failed, 3) << c.lastLookup;
    // The exception is described and cleared; nothing runs with it pending, and main is never called.
    EXPECT_EQ(*(failed + 1), "ExceptionOccurred exception " + c.messageParts.back());
    EXPECT_EQ(*(failed + 2), "ExceptionClear");
    EXPECT_EQ(lastLine(record), "DestroyJavaVM");
    for (const std::string& line : record) {
        EXPECT_EQ(line.find("CallStaticVoidMethod"), std::string::npos);
        EXPECT_EQ(line.find("unimplemented"), std::string::npos) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Standin, MainLookupTest,
    testing::Values(LookupCase{"ClassNotFound", "FindClass", "com/example/Absent",
                               {"cannot load the main class com/example/Absent",
                                "java.lang.NoClassDefFoundError: com/example/Absent"},
                               "FindClass com/example/Absent"},
                    LookupCase{"DottedName", "FindClass", "com.example.Main",
                               {"packages are separated by \"/\", as in com/example/Main",
                                "java.lang.NoClassDefFoundError: com.example.Main"},
                               "FindClass com.example.Main"},
                    LookupCase{"NoStaticMain", "GetStaticMethodID", "com/example/Main",
                               {"the main class com/example/Main has no method public static void main(String[])",
                                "java.lang.NoSuchMethodError: 'void com/example/Main.main(java.lang.String[])'"},
                               "GetStaticMethodID class com/example/Main main ([Ljava/lang/String;)V"}),
    caseName<LookupCase>);

struct CreationCase {
    const char* name;
    int status;
    std::string meaning;
};

class VmCreationStatusTest : public StandinTest, public testing::WithParamInterface<CreationCase> {};

TEST_P(VmCreationStatusTest, ExitsWith4AndUsesNoVm) {
    app.writeConfig(typicalConfig);
    setEnvironment("STANDIN_CREATE_STATUS", std::to_string(GetParam().status));
    const RunResult result = app.run();

    expectFailure(result, 4, {"the Java VM could not be created (status " + std::to_string(GetParam().status) + ", " +
                              GetParam().meaning});
    EXPECT_EQ(lastLine(result.traceLines()), "vmArg 1: -Dsample.mode=test");
    EXPECT_EQ(app.standinUserOptions(),
              (Lines{"-Djava.class.path=" + dir() + "/app.jar", "-Xmx512m", "-Dsample.mode=test"}));
    Lines calls;
    for (const std::string& line : app.standinRecord()) {
        if (line.rfind("option ", 0) != 0) calls.push_back(line);
    }
    ASSERT_EQ(calls.size(), 1u) << "only the creation call and its options";
    EXPECT_EQ(calls[0].rfind("JNI_CreateJavaVM ", 0), 0u) << calls[0];
}

INSTANTIATE_TEST_SUITE_P(
    Standin, VmCreationStatusTest,
    testing::Values(CreationCase{"Err", -1, "JNI_ERR, an unknown error: most often an option in \"vmArgs\""},
                    CreationCase{"Detached", -2, "JNI_EDETACHED"},
                    CreationCase{"Version", -3, "JNI_EVERSION: the Java runtime does not support JNI version 1.6"},
                    CreationCase{"NoMemory", -4, "JNI_ENOMEM, not enough memory"},
                    CreationCase{"Exists", -5, "JNI_EEXIST"},
                    CreationCase{"Invalid", -6, "JNI_EINVAL, invalid arguments"},
                    CreationCase{"Undocumented", -42, "an undocumented status"},
                    CreationCase{"Positive", 7, "an undocumented status"}),
    caseName<CreationCase>);

class StopInCreationTest : public StandinTest, public testing::WithParamInterface<const char*> {};

TEST_P(StopInCreationTest, ExitsWith4QuotingWhatTheJvmPrinted) {
    app.writeConfig(typicalConfig);
    setEnvironment("STANDIN_STOP_IN_CREATION", GetParam());
    const RunResult result = app.run();

    expectFailure(result, 4, {"error: the Java VM could not be created: it stopped while starting, saying \"Error "
                              "occurred during initialization of VM / Stand-in: could not reserve 4096 MB for the "
                              "object heap\"; check the options in \"vmArgs\""});
    const Lines out = splitLines(result.out);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(Lines(out.end() - 3, out.end()),
              (Lines{"vmArg 1: -Dsample.mode=test", "Error occurred during initialization of VM",
                     "Stand-in: could not reserve 4096 MB for the object heap"}));
    EXPECT_EQ(lastLine(app.standinRecord()).rfind("option ", 0), 0u) << "the hook never returns";
    EXPECT_EQ(lastLine(app.standinUserOptions()), "-Dsample.mode=test");
}

INSTANTIATE_TEST_SUITE_P(Standin, StopInCreationTest, testing::Values("exit", "abort"),
                         [](const testing::TestParamInfo<const char*>& hook) { return std::string(hook.param); });

struct ConfigCase {
    const char* name;
    std::string config;
    bool noFile;
    std::string messagePart;
};

class UnusableConfigTest : public StandinTest, public testing::WithParamInterface<ConfigCase> {};

TEST_P(UnusableConfigTest, ExitsWith2BeforeLoadingTheRuntime) {
    if (!GetParam().noFile) app.writeConfig(GetParam().config);
    const RunResult result = app.run();

    expectFailure(result, 2, {dir() + "/config.json", GetParam().messagePart});
    EXPECT_EQ(firstLine(result.traceLines()), "config file: " + dir() + "/config.json");
    EXPECT_FALSE(fs::exists(app.recordPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Standin, UnusableConfigTest,
    testing::Values(ConfigCase{"Missing", "", true, "/config.json: No such file or directory; put config.json beside the launcher"},
                    ConfigCase{"Empty", "", false, "is empty"},
                    ConfigCase{"ByteOrderMark", "\xEF\xBB\xBF{\"jar\": \"app.jar\"}", false, "byte-order mark"},
                    ConfigCase{"ErrorBeforeBrace", "jar: app.jar", false, "must start with \"{\""},
                    ConfigCase{"TopLevelArray", "[\"app.jar\"]", false, "holds a JSON array"},
                    ConfigCase{"TopLevelString", "\"app.jar\"", false, "holds a JSON string"},
                    ConfigCase{"VmArgsString", R"({"jar": "app.jar", "mainClass": "M", "vmArgs": "-Xmx1g"})", false,
                               "\"vmArgs\" is of type string"},
                    ConfigCase{"VmArgsObject", R"({"jar": "app.jar", "vmArgs": {}})", false,
                               "\"vmArgs\" is of type object"},
                    ConfigCase{"WorkingDirectoryMissing", R"({"jar": "app.jar", "workingDirectory": "no such folder"})",
                               false, "no such folder the working directory (\"workingDirectory\" in "}),
    caseName<ConfigCase>);

TEST_F(StandinTest, ParseErrorStillLaunchesWithWhatWasRead) {
    app.writeConfig("{\"jar\": \"app.jar\", \"mainClass\": \"com/example/Main\", \"vmArgs\": [\"-Xa\",]}");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.traceLines(),
              (Lines{"config file: " + dir() + "/config.json", "Couldn't parse json: syntax error at line 1 near: ]}",
                     "jar: " + dir() + "/app.jar", "mainClass: com/example/Main", "vmArg 0: -Xa", "vmArg 1: null"}));
    EXPECT_EQ(result.errLines(), Lines{"warning: the configuration file " + dir() + "/config.json was read only in "
                                       "part (syntax error at line 1 near: ]}); the launch goes on without what "
                                       "follows the error: correct the file"});
}

TEST_F(StandinTest, RuntimeMissing) {
    app.writeConfig(typicalConfig);
    app.removeRuntime();
    const RunResult result = app.run();

#ifdef _WIN32
    const std::string looked = dir() + "\\jre\\bin\\server\\jvm.dll does not exist";
#else
    const std::string looked = "neither " + dir() + "/jre/lib/server/libjvm.so nor " + dir() + "/jre/lib/" JDK8_ARCH
                               "/server/libjvm.so exists";
#endif
    expectFailure(result, 3, {"error: no Java runtime found: " + looked + "; put the application's Java runtime in " +
                              dir() + platformSeparator + "jre"});
    EXPECT_EQ(lastLine(result.traceLines()), "vmArg 1: -Dsample.mode=test");

    // In a log that combines both streams, the trace comes before the message.
    const std::string combinedLog = app.run({}, Output::combined).out;
    const Lines combined = splitLines(combinedLog);
    ASSERT_EQ(combined.size(), 6u) << combinedLog;
    EXPECT_EQ(combined[4], "vmArg 1: -Dsample.mode=test");
    EXPECT_EQ(combined[5].rfind("error: no Java runtime found: ", 0), 0u) << combined[5];
}

TEST_F(StandinTest, RuntimeLibraryWithoutEntryPoint) {
    app.writeConfig(typicalConfig);
    app.removeRuntime();
    const fs::path library = app.dir() / "jre" / JVM_LIBRARY_IN_JRE;
    fs::create_directories(library.parent_path());
    fs::copy_file(LIBRARY_WITHOUT_JVM_ENTRY, library);

    expectFailure(app.run(), 3, {pathAsLauncherSeesIt(library), "has no JNI_CreateJavaVM entry point"});
}

TEST_F(StandinTest, RuntimeLibraryWhoseDependencyIsMissing) {
    app.writeConfig(typicalConfig);
    app.removeRuntime();
    app.useStandin(false);

    expectFailure(app.run(), 3, {"cannot load the JVM library " + pathAsLauncherSeesIt(app.dir() / "jre" / JVM_LIBRARY_IN_JRE) + ": "});
    EXPECT_FALSE(fs::exists(app.recordPath()));
}

}  // namespace
}  // namespace e2e

// What only the Windows executable does, run under Wine: Windows paths in the
// trace, a launcher in a drive root, the text-mode configuration stream, a
// folder name outside the ANSI code page, and where the JVM library and its
// dependencies may (and may not) be loaded from.
#include "e2e/app_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace e2e {
namespace {

const std::string typicalConfig = R"({"jar": "app.jar", "mainClass": "com/example/Main", "vmArgs": ["-Xmx512m"]})";

TEST(WindowsLaunch, TraceUsesTheDrivePathAndForwardSlashes) {
    AppFolder app;
    app.useStandin();
    app.writeConfig(typicalConfig);
    const RunResult result = app.run();

    const std::string dir = app.launcherView();
    ASSERT_EQ(dir.rfind("Z:\\", 0), 0u) << dir;
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.traceLines(), (Lines{"config file: " + dir + "/config.json", "jar: " + dir + "/app.jar",
                                          "mainClass: com/example/Main", "vmArg 0: -Xmx512m"}));
    EXPECT_EQ(app.standinRecord().at(1), "option 0 -Djava.class.path=" + dir + "/app.jar");
}

TEST(WindowsLaunch, LauncherInADriveRoot) {
    // The test runner maps X: to a scratch folder.
    AppFolder app(fs::path("X:\\"));
    app.useStandin();
    app.writeConfig(typicalConfig);
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.traceLines(), (Lines{"config file: X:/config.json", "jar: X:/app.jar",
                                          "mainClass: com/example/Main", "vmArg 0: -Xmx512m"}));
}

TEST(WindowsLaunch, ConfigWithCrLfLineEnds) {
    AppFolder app;
    app.useStandin();
    app.writeConfig("{\r\n  \"jar\": \"app.jar\",\r\n  \"mainClass\": \"com/example/Main\",\r\n  \"vmArgs\": [\r\n"
                    "    \"-Xmx512m\"\r\n  ]\r\n}\r\n");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.traceLines().size(), 4u) << result.out;
    EXPECT_EQ(result.traceLines().back(), "vmArg 0: -Xmx512m");
}

TEST(WindowsLaunch, SubstituteCharacterEndsTheInput) {
    AppFolder app;
    app.useStandin();
    // In text mode the 0x1A byte is the end of the file: the closing brace after it is never read.
    app.writeConfig("{\"jar\": \"app.jar\", \"mainClass\": \"com/example/Main\"\x1A}\r\n");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const Lines trace = result.traceLines();
    ASSERT_EQ(trace.size(), 4u) << result.out;
    EXPECT_EQ(trace[1], "Couldn't parse json: syntax error at line 1 near: ");
    EXPECT_EQ(trace[3], "mainClass: com/example/Main");
}

TEST(WindowsLaunch, FolderNameOutsideTheAnsiCodePageBecomesSpaces) {
    TempDir parent;
    // Hiragana and CJK have no best-fit form in a Western code page.
    const fs::path folder = parent.path() / L"app-\u3042\u4e16";
    fs::create_directories(folder);
    AppFolder app(folder);
    app.useStandin();
    app.writeConfig(typicalConfig);
    const RunResult result = app.run();

    if (GetACP() == 932 || GetACP() == 936) GTEST_SKIP() << "this code page can represent the folder name";
    const std::string expectedDir = parent.path().string() + "\\app-  ";
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.traceLines().front(), "config file: " + expectedDir + "/config.json");
    EXPECT_NE(result.err.find("cannot open the configuration file " + expectedDir + "/config.json"), std::string::npos)
        << result.err;
}

TEST(WindowsLaunch, PassedArgumentsReachMainAsTheExactUnitsInModifiedUtf8) {
    AppFolder app;
    app.useStandin();
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main", "passArguments": true,
                        "vmArgs": ["-Dapp.home=$APPDIR", "-Dboth=$APPDIR\\a;$APPDIR\\b"]})");
    // Split as the C runtime splits a command line for wmain.
    const RunResult result = app.runCommandLine(
        L"Product.exe \"two words\" back\\slash \"a\\\"b\" c\\\\\\\"d \"\" caf\u00e9 \u4e16 \U0001F600 e\\\\");

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    Lines created;
    for (const std::string& line : app.standinRecord()) {
        if (line.rfind("NewStringUTF ", 0) == 0) created.push_back(line.substr(13));
    }
    EXPECT_EQ(created, (Lines{"two words", "back\\slash", "a\"b", "c\\\"d", "", "caf\xC3\xA9", "\xE4\xB8\x96",
                              "\xED\xA0\xBD\xED\xB8\x80", "e\\\\"}));
    const Lines record = app.standinRecord();
    EXPECT_EQ(record.at(2), "option 1 -Dapp.home=" + app.launcherView());
    EXPECT_EQ(record.at(3), "option 2 -Dboth=" + app.launcherView() + "\\a;" + app.launcherView() + "\\b");
}

TEST(WindowsLaunch, RuntimePlantedInTheCurrentDirectoryIsNeverLoaded) {
    AppFolder app;
    app.writeConfig(typicalConfig);
    // The folder the user starts from holds a jre\bin\server\jvm.dll of its
    // own (a downloads folder, say); the application has none.
    TempDir startFolder;
    AppFolder planted(startFolder.path());
    planted.useStandin();
    setEnvironment("STANDIN_RECORD", (startFolder.path() / "planted-was-loaded.txt").string());
    const RunResult result = runProcess(app.launcher(), {}, startFolder.path());

    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_NE(result.err.find("no Java runtime found: " + app.launcherView() + "\\jre\\bin\\server\\jvm.dll does not exist"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(fs::exists(startFolder.path() / "planted-was-loaded.txt"));
}

TEST(WindowsLaunch, RuntimeOnThePathIsNeverLoaded) {
    AppFolder app;
    app.writeConfig(typicalConfig);
    TempDir pathFolder;
    AppFolder planted(pathFolder.path());
    planted.useStandin();
    const std::string plantedBin = (pathFolder.path() / "jre" / "bin" / "server").string();
    setEnvironment("PATH", plantedBin + ";" + (pathFolder.path() / "jre" / "bin").string() + ";C:\\windows\\system32");
    setEnvironment("STANDIN_RECORD", (pathFolder.path() / "planted-was-loaded.txt").string());
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 3) << result.err;
    EXPECT_FALSE(fs::exists(pathFolder.path() / "planted-was-loaded.txt"));
}

TEST(WindowsLaunch, DependencyOfTheJvmLibraryIsFoundInJreBin) {
    AppFolder app;
    app.useStandin();  // standin_runtime.dll lies only in jre\bin, as a runtime's vcruntime140.dll does
    app.writeConfig(typicalConfig);
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_FALSE(fs::exists(app.dir() / "standin_runtime.dll"));
    EXPECT_NE(app.standinRecord().at(0).find("runtime standin_runtime"), std::string::npos);
}

TEST(WindowsLaunch, DependencyOnlyInTheCurrentDirectoryIsNotUsed) {
    AppFolder app;
    app.useStandin(false);
    app.writeConfig(typicalConfig);
    TempDir startFolder;
    fs::copy_file(STANDIN_DEPENDENCY, startFolder.path() / "standin_runtime.dll");
    const RunResult result = runProcess(app.launcher(), {}, startFolder.path());

    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_NE(result.err.find("cannot load the JVM library " + app.launcherView() + "\\jre\\bin\\server\\jvm.dll: "),
              std::string::npos)
        << result.err;
}

TEST(WindowsLaunch, LibraryThatIsNotALibrary) {
    AppFolder app;
    app.writeConfig(typicalConfig);
    fs::create_directories(app.dir() / "jre" / "bin" / "server");
    writeFile(app.dir() / "jre" / "bin" / "server" / "jvm.dll", std::string(300, '#') + "\r\nnot a DLL\r\n");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_NE(result.err.find("error: cannot load the JVM library " + app.launcherView() + "\\jre\\bin\\server\\jvm.dll: "),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("(Windows error "), std::string::npos) << result.err;
    EXPECT_EQ(result.errLines().size(), 1u) << result.err;
}

}  // namespace
}  // namespace e2e

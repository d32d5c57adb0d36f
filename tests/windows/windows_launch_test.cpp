// What only the Windows executable does, run under Wine: Windows paths in the
// trace, a launcher in a drive root, the text-mode configuration stream, a
// folder name outside the ANSI code page, and where the JVM library and its
// dependencies may (and may not) be loaded from.
#include "case_name.h"
#include "e2e/app_folder.h"
#include "e2e/expect_failure.h"
#include "platform/windows/windows_platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <future>

namespace e2e {
namespace {

const std::string typicalConfig = R"({"jar": "app.jar", "mainClass": "com/example/Main", "vmArgs": ["-Xmx512m"]})";

TEST(WindowsLaunch, TraceUsesTheDrivePathAndForwardSlashes) {
    StandinApp app;
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

TEST(WindowsLaunch, SubstituteCharacterEndsTheInput) {
    StandinApp app;
    // In text mode the 0x1A byte is the end of the file: the closing brace after it is never read. (Text
    // mode's other effect, CR LF read as LF, cannot show: the JSON parser skips a CR wherever one may stand.)
    app.writeConfig("{\"jar\": \"app.jar\", \"mainClass\": \"com/example/Main\"\x1A}\r\n");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const Lines trace = result.traceLines();
    ASSERT_EQ(trace.size(), 4u) << result.out;
    EXPECT_EQ(trace[1], "Couldn't parse json: syntax error at line 1 near: ");
    EXPECT_EQ(trace[3], "mainClass: com/example/Main");
}

// The short (8.3) form of an existing path, in the ANSI code page.
std::string shortForm(const fs::path& path) {
    wchar_t shortPath[MAX_PATH] = {};
    EXPECT_NE(GetShortPathNameW(path.c_str(), shortPath, MAX_PATH), 0u) << path;
    char ansi[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, shortPath, -1, ansi, MAX_PATH, nullptr, nullptr);
    return ansi;
}

TEST(WindowsLaunch, FolderNameOutsideTheAnsiCodePageIsReachedByItsShortPath) {
    TempDir parent;
    // CJK and an emoji have no form in code page 1252, not even a best-fit one.
    const fs::path folder = parent.path() / L"app-\u4e16\u754c\U0001F600";
    fs::create_directories(folder);
    AppFolder app(folder);
    app.useStandin();
    app.writeConfig(typicalConfig);
    writeFile(folder / "app.jar", "");
    // The stand-in's record goes where its narrow file API can reach.
    setEnvironment("STANDIN_RECORD", (parent.path() / "record.txt").string());
    const RunResult result = app.run();

    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    const std::string shortDir = shortForm(folder);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(firstLine(result.traceLines()), "config file: " + shortDir + "/config.json");
    EXPECT_EQ(splitLines(readFile(parent.path() / "record.txt")).at(1),
              "option 0 -Djava.class.path=" + shortDir + "/app.jar");
    EXPECT_TRUE(fs::exists(shortDir + "/app.jar")) << "the class path names the jar";
}

TEST(WindowsLaunch, FolderWithABestFitCharacterNeverNamesTheOtherFolder) {
    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    TempDir parent;
    // "\u0142" (l with a stroke) has the best-fit form "l": app-l is another product's folder.
    const fs::path folder = parent.path() / L"app-\u0142";
    fs::create_directories(folder);
    fs::create_directories(parent.path() / "app-l");
    writeFile(parent.path() / "app-l" / "config.json", R"({"jar": "app.jar", "mainClass": "other/Product"})");
    AppFolder app(folder);
    app.useStandin();
    app.writeConfig(typicalConfig);
    setEnvironment("STANDIN_RECORD", (parent.path() / "record.txt").string());
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(firstLine(result.traceLines()), "config file: " + shortForm(folder) + "/config.json");
    EXPECT_EQ(result.traceLines().at(2), "mainClass: com/example/Main");
}

TEST(WindowsLaunch, AppDirInDefaultArgumentsReachesMainInFull) {
    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    TempDir parent;
    const fs::path folder = parent.path() / L"app-\u00e9";
    fs::create_directories(folder);
    AppFolder app(folder);
    app.useStandin();
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "com/example/Main", "defaultArguments": ["$APPDIR\\data"]})");
    setEnvironment("STANDIN_RECORD", (parent.path() / "record.txt").string());
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    // The folder in UTF-8, as main receives it (in the JVM's modified UTF-8, the same here), not in the code page.
    const std::string folderText = app.launcherView();
    ASSERT_EQ(folderText.substr(folderText.size() - 6), "app-\xC3\xA9");
    EXPECT_TRUE(contains(splitLines(readFile(parent.path() / "record.txt")), "NewStringUTF " + folderText + "\\data"))
        << readFile(parent.path() / "record.txt");
}

std::wstring noShortPath(const std::wstring&) {
    return L"";
}
std::wstring longPathAsShort(const std::wstring& path) {
    return path;  // what GetShortPathNameW gives where 8.3 names are turned off
}

TEST(WindowsLaunch, FolderWithoutAShortPathIsNamedInFull) {
    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    for (auto shortPathOf : {noShortPath, longPathAsShort}) {
        std::string directory;
        std::string error;
        EXPECT_FALSE(platform::applicationDirectoryFromModulePath(L"C:\\Users\\J\u00f6rg\\\u4e16\U0001F600\\MyProduct.exe",
                                                                  shortPathOf, directory, error));
        EXPECT_EQ(error, "the launcher's folder C:\\Users\\J\u00f6rg\\\u4e16\U0001F600 has a name that the system code page "
                         "(1252) cannot represent, and no short (8.3) name; move the application to a folder named "
                         "with the characters of that code page, or enable 8.3 names on its drive");
    }
    std::string directory;
    std::string error;
    EXPECT_TRUE(platform::applicationDirectoryFromModulePath(L"C:\\Users\\J\u00f6rg\\MyProduct.exe", noShortPath,
                                                             directory, error));
    EXPECT_EQ(directory, "C:\\Users\\J\xF6rg") << "an exact conversion needs no short path";
}

struct TextCase {
    const char* name;
    std::string jar;            // as config.json holds it
    std::string option;         // the vmArgs element, as config.json holds it
    std::string jarReceived;    // what follows the folder in the class path the JVM receives
    std::string optionReceived;
};

class ConfigTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(ConfigTextTest, ReachesTheJvmInTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    StandinApp app;
    app.writeConfig("{\"jar\": \"" + GetParam().jar + "\", \"mainClass\": \"Main\", \"vmArgs\": [\"" +
                    GetParam().option + "\"]}");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const std::string classPath = app.launcherView() + "/" + GetParam().jarReceived;
    EXPECT_EQ(app.standinUserOptions(), (Lines{"-Djava.class.path=" + classPath, GetParam().optionReceived}));
    EXPECT_EQ(result.traceLines().at(1), "jar: " + classPath);
    EXPECT_EQ(result.traceLines().at(3), "vmArg 0: " + GetParam().optionReceived);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsLaunch, ConfigTextTest,
    testing::Values(TextCase{"Utf8", "caf\xC3\xA9.jar", "-Dgreeting=h\xC3\xA9llo w\xC3\xB6rld", "caf\xE9.jar",
                             "-Dgreeting=h\xE9llo w\xF6rld"},
                    TextCase{"SavedInCodePage1252", "caf\xE9.jar", "-Dgreeting=h\xE9llo w\xF6rld", "caf\xE9.jar",
                             "-Dgreeting=h\xE9llo w\xF6rld"},
                    TextCase{"OutsideTheCodePage", "app.jar", "-Dname=\xE4\xB8\x96 \xE2\x82\xAC", "app.jar",
                             "-Dname=? \x80"},
                    TextCase{"EscapedInJson", "caf\\u00e9.jar", "-Dx=\\u00fc", "caf\xE9.jar", "-Dx=\xFC"}),
    caseName<TextCase>);

TEST(WindowsLaunch, JarNameOutsideTheCodePageIsReachedByItsShortPath) {
    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    StandinApp app;
    writeFile(app.dir() / L"\u4e16\u754c.jar", "");
    app.writeConfig("{\"jar\": \"\xE4\xB8\x96\xE7\x95\x8C.jar\", \"mainClass\": \"Main\"}");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    // The short path of the jar as the launcher joins it: the folder, "/", the file.
    std::string shortJar = shortForm(app.dir() / L"\u4e16\u754c.jar");
    shortJar[shortJar.rfind('\\')] = '/';
    EXPECT_EQ(app.standinRecord().at(1), "option 0 -Djava.class.path=" + shortJar);
}

TEST(WindowsLaunch, JarNameOutsideTheCodePageWithoutAShortPathExplainsTheMissingClass) {
    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    StandinApp app;
    // "\u0142" (l with a stroke) has the best-fit form "l": the jar it would name must never run.
    writeFile(app.dir() / "lib.jar", "");
    app.writeConfig("{\"jar\": \"\xC5\x82ib.jar\", \"mainClass\": \"Main\"}");  // no such file
    const RunResult result = app.run();

    expectFailure(result, 5, {"cannot load the main class Main",
                              "; the name of the jar, lib.jar, has characters the system code page cannot represent, "
                              "and the file has no short (8.3) name; rename the jar"});
    EXPECT_FALSE(fs::exists(app.recordPath())) << "the VM was created with another jar";
}

TEST(WindowsLaunch, WorkingDirectoryIsNeverABestFitName) {
    if (GetACP() != 1252) GTEST_SKIP() << "the test prefix's code page is " << GetACP() << ", not 1252";
    StandinApp app;
    // "\u03b1" (alpha) has the best-fit form "a" in code page 1252.
    fs::create_directory(app.dir() / "data");
    fs::create_directory(app.dir() / L"d\u03b1ta");
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main", "workingDirectory": "d\u03b1ta"})");
    const RunResult entered = app.run();

    EXPECT_EQ(entered.exitStatus, 0) << entered.err;
    const std::string trace = lastLine(entered.traceLines());
    ASSERT_EQ(trace.rfind("workingDirectory: ", 0), 0u) << entered.out;
    EXPECT_TRUE(fs::equivalent(trace.substr(18), app.dir() / L"d\u03b1ta")) << trace;

    // Full-width solidi have the best-fit form "/": no such folder, and no parent entered instead.
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main", "workingDirectory": "\uff0f..\uff0f"})");
    expectFailure(app.run(), 2, {"error: the working directory \"", "(\"workingDirectory\" in config.json) has "
                                 "characters the system code page cannot represent"});
}

// Run once as Windows in code page 1252 would, and once in code page 932 (ctest windows_code_page_932).
TEST(WindowsLaunch, LauncherNamedInJapaneseFindsItsFolder) {
    if (const char* wanted = std::getenv("LAUNCHER_TEST_CODE_PAGE")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(wanted))) << "the locale for that code page is missing";
    }
    StandinApp app;
    app.writeConfig(typicalConfig);
    // In code page 932 the second byte of "\u30bd" is 0x5C, the byte of "\\".
    const fs::path renamed = app.dir() / L"\u30bd\u30d5\u30c8.exe";
    fs::copy_file(app.launcher(), renamed);
    const RunResult result = runProcess(renamed, {}, app.dir().parent_path());

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(firstLine(result.traceLines()), "config file: " + app.launcherView() + "/config.json");
}

TEST(WindowsLaunch, RuntimeOfAnotherArchitectureIsNamed) {
    StandinApp app;
    app.writeConfig(typicalConfig);
    // The stand-in, marked as built for 32-bit x86.
    const fs::path library = app.dir() / "jre" / "bin" / "server" / "jvm.dll";
    std::string image = readFile(library);
    ASSERT_GT(image.size(), 0x40u);
    const std::size_t peOffset = static_cast<unsigned char>(image[0x3C]) | static_cast<unsigned char>(image[0x3D]) << 8;
    ASSERT_EQ(image.compare(peOffset, 4, std::string("PE\0\0", 4)), 0);
    image[peOffset + 4] = '\x4C';
    image[peOffset + 5] = '\x01';
    writeFile(library, image);

    expectFailure(app.run(), 3, {"cannot load the JVM library " + pathAsLauncherSeesIt(library) +
                                 ": it is a 32-bit x86 library, and this launcher is 64-bit x64: put a 64-bit x64 "
                                 "Windows Java runtime in jre (", "(Windows error "});
}

TEST(WindowsLaunch, ConfigHeldOpenByAnotherProgram) {
    StandinApp app;
    app.writeConfig(typicalConfig);
    // This test stands for the editor or scanner that opened the file sharing nothing.
    const HANDLE held = CreateFileW((app.dir() / "config.json").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const RunResult result = app.run();
    CloseHandle(held);

    expectFailure(result, 2, {"cannot open the configuration file " + app.launcherView() + "/config.json: another "
                              "program (an editor, a synchronisation client or a virus scanner, say) has it open and "
                              "does not share it; close that program or try again"});
}

TEST(WindowsLaunch, PassedArgumentsReachMainAsTheExactUnitsInModifiedUtf8) {
    StandinApp app;
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
    EXPECT_EQ(app.standinUserOptions(),
              (Lines{"-Djava.class.path=" + app.launcherView() + "/app.jar", "-Dapp.home=" + app.launcherView(),
                     "-Dboth=" + app.launcherView() + "\\a;" + app.launcherView() + "\\b"}));
}

// The stand-in's main runs until the program's method has had `expected` later starts; the running copy
// started in the background is ready once main waits, and its process id is in the record.
class RunningCopyApp : public StandinApp {
public:
    // `singleInstance` is the key's JSON value: the method later starts go to, or true for none.
    explicit RunningCopyApp(int expected, const std::string& singleInstance = R"("app.Main.openFromAnotherStart")") {
        writeConfig(R"({"jar": "app.jar", "mainClass": "Main", "singleInstance": )" + singleInstance + "}");
        setEnvironment("STANDIN_LATER_STARTS", std::to_string(expected));
    }
    ~RunningCopyApp() { setEnvironment("STANDIN_LATER_STARTS", ""); }

    std::future<RunResult> startRunningCopy(DWORD& processId) const {
        std::future<RunResult> running = std::async(std::launch::async, [this] { return run(); });
        const std::string waits = "main waits for ";
        for (int i = 0; i < 1200; ++i, Sleep(50)) {
            for (const std::string& line : standinRecord()) {
                if (line.rfind(waits, 0) != 0) continue;
                processId = static_cast<DWORD>(std::stoul(line.substr(line.rfind(' ') + 1)));
                return running;
            }
        }
        ADD_FAILURE() << "the running copy did not start";
        return running;
    }

    Lines laterStarts() const {
        Lines starts;
        for (const std::string& line : standinRecord()) {
            if (line.rfind("later start ", 0) == 0) starts.push_back(line);
        }
        return starts;
    }
};

TEST(WindowsLaunch, LaterStartHandsItsUnicodeCommandLineToTheRunningCopy) {
    RunningCopyApp app(1);
    DWORD processId = 0;
    std::future<RunResult> running = app.startRunningCopy(processId);
    TempDir startedIn;
    const RunResult later =
        runCommandLine(app.launcher(), L"Product.exe \"a b\" \"\" \u4e2d\u6587 docs\\letter.txt \U0001F600",
                       startedIn.path());
    const RunResult first = running.get();

    EXPECT_EQ(later.exitStatus, 0) << later.err;
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(app.laterStarts(),
              Lines{"later start openFromAnotherStart on an attached daemon thread in " +
                    pathAsLauncherSeesIt(startedIn.path()) +
                    ": [a b] [] [\xE4\xB8\xAD\xE6\x96\x87] [docs\\letter.txt] [\xED\xA0\xBD\xED\xB8\x80]"});
}

TEST(WindowsLaunch, WithoutAMethodALaterStartEndsAtOnceCreatingNoJvm) {
    RunningCopyApp app(1, "true");
    DWORD processId = 0;
    std::future<RunResult> running = app.startRunningCopy(processId);
    const RunResult later = app.run({"letter.txt"});
    writeFile(fs::path(app.recordPath().string() + ".end"), "");
    const RunResult first = running.get();

    EXPECT_EQ(later.exitStatus, 0) << later.err;
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    // A JVM the later start created would have begun a record of its own.
    const Lines record = app.standinRecord();
    EXPECT_EQ(std::count_if(record.begin(), record.end(),
                            [](const std::string& line) { return line.rfind("JNI_CreateJavaVM", 0) == 0; }),
              1);
    EXPECT_TRUE(contains(record, "main waits for 1 later starts in process " + std::to_string(processId)));
    EXPECT_EQ(app.laterStarts(), Lines{});
}

TEST(WindowsLaunch, StartAfterTheRunningCopyWasEndedRunsTheProgram) {
    RunningCopyApp app(1);
    DWORD processId = 0;
    std::future<RunResult> running = app.startRunningCopy(processId);
    // As the task manager ends a process: no code of its own runs.
    const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 9);
    CloseHandle(process);
    EXPECT_EQ(running.get().exitStatus, 9);
    fs::remove(app.recordPath());

    std::future<RunResult> again = app.startRunningCopy(processId);
    EXPECT_EQ(app.run({"after"}).exitStatus, 0);
    EXPECT_EQ(again.get().exitStatus, 0);
    EXPECT_EQ(app.laterStarts().size(), 1u);
}

TEST(WindowsLaunch, ConfigCanBeWrittenWhileTheProgramRuns) {
    // Windows lets no other program write a file that is open without write sharing.
    StandinApp app;
    app.writeConfig(typicalConfig);
    setEnvironment("STANDIN_WRITE_IN_MAIN", pathAsLauncherSeesIt(app.dir() / "config.json"));
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const Lines record = app.standinRecord();
    EXPECT_NE(std::find(record.begin(), record.end(), "main opened the file for writing: yes"), record.end());
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

// Restores an environment variable of the test process when it goes.
class EnvironmentChange {
public:
    EnvironmentChange(const std::string& name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name.c_str());
        old_ = old != nullptr ? old : "";
        setEnvironment(name, value);
    }
    ~EnvironmentChange() { setEnvironment(name_, old_); }
    EnvironmentChange(const EnvironmentChange&) = delete;
    EnvironmentChange& operator=(const EnvironmentChange&) = delete;

private:
    std::string name_;
    std::string old_;
};

TEST(WindowsLaunch, DependencyOnThePathIsNeverLoaded) {
    AppFolder app;
    app.useStandin(false);  // jvm.dll whose dependency is missing from jre\bin
    app.writeConfig(typicalConfig);
    TempDir pathFolder;
    fs::copy_file(STANDIN_DEPENDENCY, pathFolder.path() / "standin_runtime.dll");
    const EnvironmentChange path("PATH", pathFolder.path().string() + ";C:\\windows\\system32");
    const RunResult result = app.run();

    expectFailure(result, 3, {"cannot load the JVM library " + app.launcherView() + "\\jre\\bin\\server\\jvm.dll: "});
}

TEST(WindowsLaunch, DependencyOfTheJvmLibraryIsFoundInJreBin) {
    StandinApp app;  // standin_runtime.dll lies only in jre\bin, as a runtime's vcruntime140.dll does
    app.writeConfig(typicalConfig);
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
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

TEST(WindowsLaunch, OutputOfAJvmOnTheUniversalCRuntimeGoesWhereItWasMeant) {
    AppFolder app;
    app.writeConfig(typicalConfig);
    const fs::path library = app.dir() / "jre" / "bin" / "server" / "jvm.dll";
    fs::create_directories(library.parent_path());
    fs::copy_file(STANDIN_UCRT_LIBRARY, library);
    const EnvironmentChange log("STANDIN_LOG", (app.dir() / "jvm.log").string());
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 4) << result.err;
    EXPECT_EQ(lastLine(splitLines(result.out)), "to standard output, from the UCRT") << result.out;
    EXPECT_EQ(result.errLines().at(0), "to standard error, from the UCRT") << result.err;
    // Written by the UCRT's own fwrite, into the file it opened in text mode.
    EXPECT_EQ(readFile(app.dir() / "jvm.log"), "to the log file, from the UCRT\r\n");
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

// Deriving LaunchSettings from the text of config.json, through the real JSON
// library, and the trace lines the configuration stage prints.
#include "config/launch_settings_loader.h"
#include "launcher/trace.h"
#include "platform/platform.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string appDir = "C:\\Apps\\Demo";

struct Loaded {
    StageResult failure;
    LaunchSettings settings;
    std::string trace;
    std::string warnings;  // what the stage wrote on standard error
    std::vector<std::string> vmArgTexts;
};

Loaded load(const std::string& configText, const std::string& openError = "", const std::string& launcherName = "") {
    Loaded loaded;
    loaded.settings.launcherName = launcherName;
    loaded.settings.applicationDir = appDir;
    loaded.settings.configPath = appDir + "/config.json";
    std::istringstream stream(configText);
    if (!openError.empty()) {
        stream.setstate(std::ios::failbit);  // as an ifstream that failed to open
    }
    // As the launch holds its trace until config.json decides, and writes it out on a failure.
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    holdTrace();
    loaded.failure = loadLaunchSettings(stream, openError, loaded.settings);
    writeHeldTrace();
    loaded.warnings = testing::internal::GetCapturedStderr();
    loaded.trace = testing::internal::GetCapturedStdout();
    for (const picojson::value& vmArg : loaded.settings.vmArgs) {
        loaded.vmArgTexts.push_back(vmArg.to_str());
    }
    return loaded;
}

struct SettingsCase {
    const char* name;
    std::string config;
    std::string jarText;  // what follows "C:\Apps\Demo/" in jarPath
    std::string mainClass;
    std::vector<std::string> vmArgs;
    std::string parseError;
};

class SettingsTest : public testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsTest, DerivesSettingsAndTrace) {
    const SettingsCase& c = GetParam();
    const Loaded loaded = load(c.config);

    ASSERT_FALSE(loaded.failure) << loaded.failure->message;
    EXPECT_EQ(loaded.settings.jarPath, appDir + "/" + c.jarText);
    EXPECT_EQ(loaded.settings.classPathOption, "-Djava.class.path=" + appDir + "/" + c.jarText);
    EXPECT_EQ(loaded.settings.mainClass, c.mainClass);
    EXPECT_EQ(loaded.vmArgTexts, c.vmArgs);
    EXPECT_EQ(loaded.settings.parseError, c.parseError);

    std::string expectedTrace;
    if (!c.parseError.empty()) {
        expectedTrace += "Couldn't parse json: " + c.parseError + "\n";
    }
    expectedTrace += "jar: " + std::string(loaded.settings.jarPath.c_str()) + "\n";
    expectedTrace += "mainClass: " + std::string(c.mainClass.c_str()) + "\n";
    EXPECT_EQ(loaded.trace, expectedTrace);
    // A launch that goes on without part of its settings says so.
    EXPECT_EQ(loaded.warnings, c.parseError.empty() ? ""
                                                    : "warning: the configuration file " + appDir +
                                                          "/config.json was read only in part (" + c.parseError +
                                                          "); the launch goes on without what follows the error: "
                                                          "correct the file\n");
}

const std::string errorAt1 = "syntax error at line 1 near: ";

INSTANTIATE_TEST_SUITE_P(
    Config, SettingsTest,
    testing::Values(
        SettingsCase{"Typical", R"({"jar": "app.jar", "mainClass": "com/example/Main", "vmArgs": ["-Xmx512m"]})",
                     "app.jar", "com/example/Main", {"-Xmx512m"}, ""},
        SettingsCase{"AbsentKeysAreNull", "{}", "null", "null", {}, ""},
        SettingsCase{"NullVmArgsIsEmpty", R"({"jar":"a.jar","mainClass":"M","vmArgs":null})", "a.jar", "M", {}, ""},
        SettingsCase{"JarAsInteger", R"({"jar": 3, "mainClass": "M"})", "3", "M", {}, ""},
        SettingsCase{"JarAsFraction", R"({"jar": 2.5, "mainClass": "M"})", "2.5", "M", {}, ""},
        SettingsCase{"JarAsBoolean", R"({"jar": true, "mainClass": false})", "true", "false", {}, ""},
        SettingsCase{"JarAsArrayAndObject", R"({"jar": [1], "mainClass": {}})", "array", "object", {}, ""},
        SettingsCase{"AbsoluteJarIsStillJoined", R"({"jar": "D:\\lib\\app.jar"})", "D:\\lib\\app.jar", "null", {}, ""},
        SettingsCase{"DottedMainClassUnchanged", R"({"mainClass": "com.example.Main"})", "null", "com.example.Main", {}, ""},
        SettingsCase{"OtherKeysIgnored", R"({"Jar": "x", "main": "y", "jar": "a.jar"})", "a.jar", "null", {}, ""},
        SettingsCase{"LaterDuplicateWins", R"({"jar": "first.jar", "jar": "second.jar"})", "second.jar", "null", {}, ""},
        SettingsCase{"TextAfterValueNotRead", "{\"jar\": \"a.jar\"} trailing {{{ garbage", "a.jar", "null", {}, ""},
        SettingsCase{"ClassPathInVmArgsPassedOn", R"({"jar":"a.jar","vmArgs":["-Djava.class.path=x.jar"]})", "a.jar",
                     "null", {"-Djava.class.path=x.jar"}, ""},
        SettingsCase{"JavaLauncherFormsJoinTheirValue",
                     R"({"vmArgs": ["-p", "$APPDIR/mods", "--add-opens", "java.base/java.lang=ALL-UNNAMED", "-Xss1m",
                                    "--enable-native-access", "ALL-UNNAMED", "--add-modules=java.sql"]})",
                     "null", "null",
                     {"--module-path=$APPDIR/mods", "--add-opens=java.base/java.lang=ALL-UNNAMED", "-Xss1m",
                      "--enable-native-access=ALL-UNNAMED", "--add-modules=java.sql"}, ""},
        SettingsCase{"VmArgsKeepOrderAndTypes", R"({"vmArgs": ["-Xmx512m", "-Dsample.mode=test", 5, true, null]})",
                     "null", "null", {"-Xmx512m", "-Dsample.mode=test", "5", "true", "null"}, ""},
        SettingsCase{"UnicodeEscapesBecomeUtf8", R"({"mainClass": "caf\u00e9-\ud83d\ude00"})", "null",
                     "caf\xC3\xA9-\xF0\x9F\x98\x80", {}, ""},
        SettingsCase{"CrLfLineEnds", "{\r\n\"jar\": \"a.jar\",\r\n\"mainClass\": \"M\"\r\n}\r\n", "a.jar", "M", {}, ""},
        // Syntax errors: the launch goes on with what the library built.
        SettingsCase{"MissingClosingBrace", "{\"jar\": \"a.jar\", \"mainClass\": \"M\", \"vmArgs\": [\"-Xss1m\"]\n",
                     "a.jar", "M", {"-Xss1m"}, "syntax error at line 2 near: "},
        SettingsCase{"MissingColon", R"({"jar": "a.jar", "a" 1})", "a.jar", "null", {}, errorAt1 + "1}"},
        SettingsCase{"ErrorOnLineThree", "{\n\"jar\": \"a.jar\",\n\"mainClass\" \"M\"}\nnext line\n", "a.jar", "null", {},
                     "syntax error at line 3 near: \"M\"}"},
        SettingsCase{"ErrorAtEndAfterFinalLineFeed", "{\"jar\": \"a.jar\",\n", "a.jar", "null", {},
                     "syntax error at line 2 near: "},
        SettingsCase{"TrailingCommaInVmArgsAddsNull", R"({"jar":"a.jar","vmArgs":["-Xa",]})", "a.jar", "null",
                     {"-Xa", "null"}, errorAt1 + "]}"},
        SettingsCase{"StringCutOffKeepsCharactersRead", R"({"mainClass": "M", "jar": "ap)", "ap", "M", {}, errorAt1},
        SettingsCase{"RawTabInString", "{\"jar\": \"a\tb\"}", "a", "null", {}, errorAt1 + "b\"}"},
        SettingsCase{"InvalidEscapeConsumesLetter", R"({"jar": "a\qb"})", "a", "null", {}, errorAt1 + "b\"}"},
        SettingsCase{"RejectedNumberKeepsEarlierValue", R"({"jar": "a.jar", "jar": 1.2.3})", "a.jar", "null", {},
                     errorAt1 + "}"},
        SettingsCase{"NumberCutOffByEndIsStored", R"({"mainClass": "M", "jar": 12)", "12", "M", {}, errorAt1},
        SettingsCase{"MismatchedLiteralLeavesNull", R"({"jar": "a.jar", "mainClass": tru})", "a.jar", "null", {},
                     errorAt1 + "}"},
        SettingsCase{"KeyWithoutColonNotAdded", R"({"jar": "a.jar", "mainClass")", "a.jar", "null", {}, errorAt1},
        SettingsCase{"EscapedNulCutsTraceText", R"({"mainClass": "Main\u0000Hidden"})", "null",
                     std::string("Main\0Hidden", 11), {}, ""}),
    caseName<SettingsCase>);

struct FailureCase {
    const char* name;
    std::string config;
    std::string openError;
    std::string messagePart;
    std::string trace;
};

class UnusableConfigTest : public testing::TestWithParam<FailureCase> {};

TEST_P(UnusableConfigTest, StopsWithConfigurationStatus) {
    const FailureCase& c = GetParam();
    const Loaded loaded = load(c.config, c.openError);

    ASSERT_TRUE(loaded.failure);
    EXPECT_EQ(loaded.failure->status, ExitStatus::configurationUnusable);
    EXPECT_NE(loaded.failure->message.find(c.messagePart), std::string::npos) << loaded.failure->message;
    EXPECT_NE(loaded.failure->message.find(appDir + "/config.json"), std::string::npos) << loaded.failure->message;
    EXPECT_EQ(loaded.trace, c.trace);
}

INSTANTIATE_TEST_SUITE_P(
    Config, UnusableConfigTest,
    testing::Values(
        FailureCase{"CannotOpen", "", "No such file or directory", "cannot open the configuration file",
                    "Couldn't parse json: " + errorAt1 + "\n"},
        FailureCase{"Empty", "", "", "is empty", "Couldn't parse json: " + errorAt1 + "\n"},
        FailureCase{"WhitespaceOnly", " \n\t\n", "", "does not begin with a JSON object",
                    "Couldn't parse json: syntax error at line 3 near: \n"},
        FailureCase{"ByteOrderMark", "\xEF\xBB\xBF{\"jar\": \"a.jar\"}", "", "byte-order mark",
                    "Couldn't parse json: " + errorAt1 + "\xEF\xBB\xBF{\"jar\": \"a.jar\"}\n"},
        FailureCase{"ErrorBeforeBrace", "jar = app.jar", "", "does not begin with a JSON object",
                    "Couldn't parse json: " + errorAt1 + "jar = app.jar\n"},
        FailureCase{"TopLevelArray", R"(["app.jar"])", "", "holds a JSON array", ""},
        FailureCase{"TopLevelString", R"("app.jar")", "", "holds a JSON string", ""},
        FailureCase{"TopLevelNumber", "42", "", "holds a JSON number", ""},
        FailureCase{"VmArgsString", R"({"jar": "a.jar", "vmArgs": "-Xmx1g"})", "", "\"vmArgs\" is of type string", ""},
        FailureCase{"VmArgsObject", R"({"jar": "a.jar", "vmArgs": {"Xmx": "1g"}})", "", "\"vmArgs\" is of type object", ""},
        FailureCase{"VmArgsNumber", R"({"vmArgs": 5})", "", "\"vmArgs\" is of type number", ""},
        FailureCase{"PassArgumentsString", R"({"passArguments": "true"})", "",
                    "\"passArguments\" is of type string; it must be true or false", ""},
        FailureCase{"PassArgumentsNumber", R"({"passArguments": 1})", "", "\"passArguments\" is of type number", ""},
        FailureCase{"WorkingDirectoryNumber", R"({"workingDirectory": 5})", "",
                    "\"workingDirectory\" is of type number; it must be a folder name", ""},
        FailureCase{"WorkingDirectoryArray", R"({"workingDirectory": ["a"]})", "",
                    "\"workingDirectory\" is of type array", ""},
        FailureCase{"ClassPathOption", R"({"vmArgs": ["-Xmx1g", "-cp", "lib/x.jar"]})", "",
                    "\"-cp\" in \"vmArgs\" of the configuration file", ""},
        FailureCase{"JarOption", R"({"vmArgs": ["-jar"]})", "", "\"jar\" in config.json is the class path", ""},
        FailureCase{"OptionWithoutItsValue", R"({"vmArgs": ["--module-path"]})", "",
                    "\"--module-path\" is the last element of \"vmArgs\"", ""},
        FailureCase{"ClassPathString", R"({"classPath": "lib/*"})", "", "\"classPath\" is of type string", ""},
        FailureCase{"ClassPathElementNumber", R"({"classPath": ["lib/*", 5]})", "",
                    "an element of \"classPath\" is of type number; each must be a path", ""},
        FailureCase{"DefaultArgumentsElementNull", R"({"defaultArguments": [null]})", "",
                    "an element of \"defaultArguments\" is of type null", ""},
        FailureCase{"MainModuleArray", R"({"mainModule": ["m"]})", "", "\"mainModule\" is of type array", ""},
        FailureCase{"SunJavaCommandString", R"({"sunJavaCommand": "yes"})", "",
                    "\"sunJavaCommand\" is of type string; it must be true or false", ""},
        FailureCase{"AppPathPropertyNumber", R"({"appPathProperty": 1})", "", "\"appPathProperty\" is of type number",
                    ""},
        FailureCase{"TraceString", R"({"trace": "off"})", "", "\"trace\" is of type string; it must be true or false",
                    ""},
        FailureCase{"SingleInstanceNumber", R"({"singleInstance": 1})", "",
                    "\"singleInstance\" is of type number; it must be true, false or the method", ""},
        FailureCase{"SingleInstanceClassOnly", R"({"singleInstance": "App"})", "",
                    "\"singleInstance\" is \"App\", which names no method of a class", ""},
        FailureCase{"SingleInstanceNoMethodName", R"({"singleInstance": "com.example.App."})", "",
                    "which names no method of a class", ""}),
    caseName<FailureCase>);

// Several launchers in one folder: each reads config.json, and one named in "launchers" reads its entry's keys in
// place of the top-level ones.
struct OwnSettingsCase {
    const char* name;
    std::string launcherName;
    std::string config;
    std::string jarText;
    std::string mainClass;
    std::vector<std::string> vmArgs;
    std::vector<std::string> defaultArguments;
    std::string ownSection;  // empty: the top level alone
};

class OwnSettingsTest : public testing::TestWithParam<OwnSettingsCase> {};

TEST_P(OwnSettingsTest, EntryKeysReplaceTheTopLevelOnes) {
    const OwnSettingsCase& c = GetParam();
    const Loaded loaded = load(c.config, "", c.launcherName);

    ASSERT_FALSE(loaded.failure) << loaded.failure->message;
    EXPECT_EQ(loaded.settings.jarPath, appDir + "/" + c.jarText);
    EXPECT_EQ(loaded.settings.mainClass, c.mainClass);
    EXPECT_EQ(loaded.vmArgTexts, c.vmArgs);
    EXPECT_EQ(loaded.settings.defaultArguments, c.defaultArguments);
    EXPECT_EQ(loaded.settings.ownSection, c.ownSection);
    EXPECT_EQ(loaded.trace.find("launcher: ") != std::string::npos, !c.ownSection.empty()) << loaded.trace;
}

const std::string twoLaunchers = R"({"jar": "app.jar", "mainClass": "app/Gui", "vmArgs": ["-Xmx1g"],
    "defaultArguments": ["--window"],
    "launchers": {"tool": {"mainClass": "app/Tool", "vmArgs": ["-Xss1m"]}, "Other": {"jar": "other.jar"}}})";

INSTANTIATE_TEST_SUITE_P(
    Config, OwnSettingsTest,
    testing::Values(
        OwnSettingsCase{"MainLauncherReadsTheTopLevel", "App", twoLaunchers, "app.jar", "app/Gui", {"-Xmx1g"},
                        {"--window"}, ""},
        OwnSettingsCase{"NamedKeysReplacedTheRestInherited", "tool", twoLaunchers, "app.jar", "app/Tool", {"-Xss1m"},
                        {"--window"}, "tool"},
        OwnSettingsCase{"LetterCaseAsideWhenNoExactName", "other", twoLaunchers, "other.jar", "app/Gui", {"-Xmx1g"},
                        {"--window"}, "Other"},
        OwnSettingsCase{"ExactNameBeforeOneInOtherLetters", "tool",
                        R"({"mainClass": "M", "launchers": {"TOOL": {"mainClass": "Upper"}, "tool": {"mainClass": "T"}}})",
                        "null", "T", {}, {}, "tool"},
        OwnSettingsCase{"NoNameReadsTheTopLevel", "", twoLaunchers, "app.jar", "app/Gui", {"-Xmx1g"}, {"--window"}, ""},
        OwnSettingsCase{"LaunchersNotAnObjectIsIgnored", "tool", R"({"mainClass": "M", "launchers": ["tool"]})", "null",
                        "M", {}, {}, ""},
        OwnSettingsCase{"EntryNamesNoLaunchersOfItsOwn", "tool",
                        R"({"mainClass": "M", "launchers": {"tool": {"launchers": 5, "mainClass": "T"}}})", "null", "T",
                        {}, {}, "tool"},
        OwnSettingsCase{"NullInTheEntryTakesTheKeyAway", "tool",
                        R"({"mainClass": "M", "vmArgs": ["-Xa"], "launchers": {"tool": {"vmArgs": null}}})", "null",
                        "M", {}, {}, "tool"}),
    caseName<OwnSettingsCase>);

TEST(OwnSettings, AnEntryThatIsNoObjectOrHoldsAWrongTypeIsNamedInTheMessage) {
    const Loaded notAnObject = load(R"({"launchers": {"tool": "app/Tool"}})", "", "tool");
    ASSERT_TRUE(notAnObject.failure);
    EXPECT_EQ(notAnObject.failure->status, ExitStatus::configurationUnusable);
    EXPECT_NE(notAnObject.failure->message.find("the entry \"tool\" of \"launchers\" is of type string"),
              std::string::npos) << notAnObject.failure->message;

    const Loaded wrongType = load(R"({"vmArgs": [], "launchers": {"tool": {"vmArgs": "-Xss1m"}}})", "", "tool");
    ASSERT_TRUE(wrongType.failure);
    EXPECT_NE(wrongType.failure->message.find("\"vmArgs\" (of \"tool\" in \"launchers\") is of type string"),
              std::string::npos) << wrongType.failure->message;
    // The main launcher does not read another launcher's entry.
    EXPECT_FALSE(load(R"({"vmArgs": [], "launchers": {"tool": {"vmArgs": "-Xss1m"}}})", "", "App").failure);
}

TEST(OwnSettings, OnlyTheMainLauncherHasARunningCopy) {
    const std::string config = R"({"mainClass": "M", "singleInstance": "app.Gui.open", "launchers": {"tool": {}, )"
                               R"("off": {"singleInstance": false}, "own": {"singleInstance": "app.Tool.open"}}})";
    EXPECT_TRUE(load(config, "", "App").settings.singleInstance);
    for (const char* launcher : {"tool", "off"}) {
        const Loaded loaded = load(config, "", launcher);
        ASSERT_FALSE(loaded.failure) << launcher << ": " << loaded.failure->message;
        EXPECT_FALSE(loaded.settings.singleInstance) << launcher << " would hand its command line to the main program";
    }
    const Loaded own = load(config, "", "own");
    ASSERT_TRUE(own.failure);
    EXPECT_EQ(own.failure->status, ExitStatus::configurationUnusable);
    EXPECT_NE(own.failure->message.find("the entry \"own\" of \"launchers\" sets \"singleInstance\""),
              std::string::npos) << own.failure->message;
}

TEST(ConfigKeys, PassArgumentsOnlyWhenTrue) {
    for (const auto& [config, expected] : std::vector<std::pair<std::string, bool>>{
             {"{}", false}, {R"({"passArguments": null})", false}, {R"({"passArguments": false})", false},
             {R"({"passArguments": true})", true}}) {
        const Loaded loaded = load(config);
        ASSERT_FALSE(loaded.failure) << config;
        EXPECT_EQ(loaded.settings.passArguments, expected) << config;
    }
}

TEST(ConfigKeys, SingleInstanceNamesTheClassInternallyAndItsMethod) {
    struct Expected {
        std::string value;
        bool singleInstance;
        std::string className;
        std::string method;
    };
    for (const Expected& c : std::vector<Expected>{{"null", false, "", ""},
                                                   {"false", false, "", ""},
                                                   {"true", true, "", ""},
                                                   {R"("com.example.App.openFromAnotherStart")", true,
                                                    "com/example/App", "openFromAnotherStart"},
                                                   {R"("com/example/App$Inner.open")", true, "com/example/App$Inner",
                                                    "open"}}) {
        const Loaded loaded = load(R"({"mainClass": "M", "singleInstance": )" + c.value + "}");
        ASSERT_FALSE(loaded.failure) << c.value;
        EXPECT_EQ(loaded.settings.singleInstance, c.singleInstance) << c.value;
        EXPECT_EQ(loaded.settings.laterStartClass, c.className) << c.value;
        EXPECT_EQ(loaded.settings.laterStartMethod, c.method) << c.value;
    }
}

TEST(ConfigKeys, TraceUnlessTurnedOff) {
    for (const auto& [config, expected] : std::vector<std::pair<std::string, std::string>>{
             {R"({"mainClass": "M"})", "jar: " + appDir + "/null\nmainClass: M\n"},
             {R"({"mainClass": "M", "trace": true})", "jar: " + appDir + "/null\nmainClass: M\n"},
             {R"({"mainClass": "M", "trace": false})", ""},
             {"{\"mainClass\": \"M\", \"trace\": false", ""}}) {  // its parse error dropped too
        const Loaded loaded = load(config);
        ASSERT_FALSE(loaded.failure) << config;
        EXPECT_EQ(loaded.trace, expected) << config;
    }
}

TEST(ConfigKeys, PartlyReadConfigurationIsReportedWhateverTheTrace) {
    // A backslash that is no JSON escape: "C:\data" cuts the file short.
    const Loaded loaded = load(R"({"trace": false, "vmArgs": ["-Dy=2", "-Dx=C:\data", "-Dz=3"]})");

    ASSERT_FALSE(loaded.failure);
    EXPECT_EQ(loaded.vmArgTexts, (std::vector<std::string>{"-Dy=2", "-Dx=C:"}));
    EXPECT_EQ(loaded.trace, "");
    EXPECT_NE(loaded.warnings.find("was read only in part (" + errorAt1 + "ata\", \"-Dz=3\"]})"), std::string::npos)
        << loaded.warnings;
}

TEST(ConfigKeys, AppDirInDefaultArgumentsNamesTheApplicationFolder) {
    const Loaded loaded = load(R"({"defaultArguments": ["$APPDIR/data", "--home=$APPDIR", "APPDIR", "$appdir"]})");

    ASSERT_FALSE(loaded.failure);
    EXPECT_EQ(loaded.settings.defaultArguments,
              (std::vector<std::string>{appDir + "/data", "--home=" + appDir, "APPDIR", "$appdir"}));
}

TEST(ConfigKeys, FolderWildcardTakesJarsInEitherCase) {
    // A real folder, named from the root: the expansion reads it as java does.
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("launcher-unit-jars-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    for (const char* name : {"b.jar", "A.JAR", "notes.txt", "c.jar.old"}) std::ofstream(folder / name).put('x');
    std::string entry;
    for (const char c : folder.string() + "/*") entry += c == '\\' ? "\\\\" : std::string(1, c);
    const Loaded loaded = load(R"({"jar": "app.jar", "classPath": [")" + entry + "\"]}");
    fs::remove_all(folder);

    ASSERT_FALSE(loaded.failure) << loaded.failure->message;
    const std::string sep = platform::classPathSeparator;
    EXPECT_EQ(loaded.settings.classPathOption, "-Djava.class.path=" + appDir + "/app.jar" + sep + folder.string() +
                                                   "/A.JAR" + sep + folder.string() + "/b.jar");
}

TEST(ConfigKeys, WorkingDirectoryIsResolvedAgainstTheApplicationFolder) {
    // A path from the root is absolute on every platform (on Windows, from the current drive's root).
    for (const auto& [value, expected] : std::vector<std::pair<std::string, std::string>>{
             {"null", ""},
             {R"("assets")", appDir + "/assets"},
             {R"("")", appDir + "/"},
             {R"("$APPDIR")", appDir},
             {R"("$APPDIR/saves")", appDir + "/saves"},
             {R"("/srv/data")", "/srv/data"}}) {
        const Loaded loaded = load(R"({"mainClass": "M", "workingDirectory": )" + value + "}");
        ASSERT_FALSE(loaded.failure) << value;
        EXPECT_EQ(loaded.settings.workingDirectory, expected) << value;
        const std::string traceLine = expected.empty() ? "" : "workingDirectory: " + expected + "\n";
        EXPECT_EQ(loaded.trace, "jar: " + appDir + "/null\nmainClass: M\n" + traceLine) << value;
    }
}

TEST(ConfigNesting, DeepObjectsAreASyntaxErrorNotAStackOverflow) {
    std::string deep = "{\"jar\": \"a.jar\", \"x\": ";
    for (int i = 0; i < 200000; ++i) deep += "{\"a\":";
    const Loaded loaded = load(deep);

    ASSERT_FALSE(loaded.failure);
    EXPECT_EQ(loaded.settings.jarPath, appDir + "/a.jar");
    EXPECT_EQ(loaded.settings.parseError.rfind(errorAt1, 0), 0u) << loaded.settings.parseError.substr(0, 80);
}

TEST(ConfigNesting, DeepArraysAreASyntaxError) {
    std::string deep = "{\"vmArgs\": ";
    for (int i = 0; i < 200000; ++i) deep += "[";
    const Loaded loaded = load(deep);

    ASSERT_FALSE(loaded.failure);
    EXPECT_FALSE(loaded.settings.parseError.empty());
    EXPECT_EQ(loaded.vmArgTexts, std::vector<std::string>{"array"});
}

TEST(ConfigNesting, NinetyNineLevelsInsideTheRootParse) {
    std::string nested = "{\"jar\": \"a.jar\", \"x\": ";
    for (int i = 0; i < 98; ++i) nested += "[";
    nested += "{}";
    for (int i = 0; i < 98; ++i) nested += "]";
    nested += "}";
    const Loaded loaded = load(nested);

    ASSERT_FALSE(loaded.failure);
    EXPECT_EQ(loaded.settings.parseError, "");
}

}  // namespace

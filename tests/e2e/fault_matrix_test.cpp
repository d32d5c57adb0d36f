// The fault matrix: inputs and runtimes that are broken in every way we can
// think of, each run end to end through the built launcher with the stand-in
// JVM library. Each case must end by itself (no crash, no hang) with its exit
// status and, for a failure, exactly one message line on standard error.
#include "case_name.h"
#include "e2e/app_folder.h"
#include "e2e/expect_failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace e2e {
namespace {

const std::string probeKeys = R"("jar": "app.jar", "mainClass": "com/example/Main")";

std::string repeat(const std::string& text, std::size_t times) {
    std::string result;
    result.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) result += text;
    return result;
}

std::string manyVmArgs(std::size_t count) {
    std::string config = "{" + probeKeys + R"(, "vmArgs": [)";
    for (std::size_t i = 0; i < count; ++i) config += (i == 0 ? "\"-Dk" : ", \"-Dk") + std::to_string(i) + "=v\"";
    return config + "]}";
}

struct FaultCase {
    const char* name;
    std::function<void(const AppFolder&)> arrange;
    int status;
    // In the one error line; for a launch that succeeds, in its one warning line, or empty for none.
    std::string messagePart;
    std::function<void(const AppFolder&, const RunResult&)> check;
};

class FaultMatrixTest : public testing::TestWithParam<FaultCase> {
protected:
    StandinApp app;
};

TEST_P(FaultMatrixTest, EndsWithItsStatusAndMessage) {
    const FaultCase& c = GetParam();
    c.arrange(app);
    const RunResult result = app.run();

    if (c.status == 0) {
        EXPECT_FALSE(result.timedOut) << "the launcher hung";
        EXPECT_EQ(result.signal, 0) << "the launcher crashed";
        EXPECT_EQ(result.exitStatus, c.status) << result.err;
        if (c.messagePart.empty()) {
            EXPECT_EQ(result.err, "");
        } else {
            ASSERT_EQ(result.errLines().size(), 1u) << result.err;
            EXPECT_EQ(result.errLines()[0].rfind("warning: ", 0), 0u) << result.err;
            EXPECT_NE(result.err.find(c.messagePart), std::string::npos) << result.err;
        }
    } else {
        expectFailure(result, c.status, {c.messagePart});
        EXPECT_LT(result.err.size(), 1000u) << "a message line a person can read";
    }
    if (c.check) c.check(app, result);
}

void expectLaunched(const AppFolder& app, const RunResult&) {
    const Lines record = app.standinRecord();
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(lastLine(record), "DestroyJavaVM");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrixTest,
    testing::Values(
        FaultCase{"ConfigIsADirectory", [](const AppFolder& app) { fs::create_directory(app.dir() / "config.json"); },
                  2, "/config.json: it is a folder, not a file; put the configuration in a file named config.json",
                  nullptr},
        FaultCase{"ConfigNotUtf8",
                  [](const AppFolder& app) {
                      app.writeConfig("{" + probeKeys + ", \"vmArgs\": [\"-Dname=\xFF\xFE\x80\xC3\"]}");
                  },
                  0, "",
                  [](const AppFolder& app, const RunResult& result) {
                      // Bytes are passed on as they are; judging them is the JVM's business.
                      EXPECT_EQ(lastLine(result.traceLines()), "vmArg 0: -Dname=\xFF\xFE\x80\xC3");
                      EXPECT_EQ(lastLine(app.standinUserOptions()), "-Dname=\xFF\xFE\x80\xC3");
                  }},
        FaultCase{"FiftyMegabytesOfWhitespaceFirst",
                  [](const AppFolder& app) {
                      app.writeConfig(repeat(" \r\n\t", 50 * 1024 * 1024 / 4) + "{" + probeKeys + "}");
                  },
                  0, "", expectLaunched},
        FaultCase{"NestingTooDeepAtTheTop",
                  [](const AppFolder& app) { app.writeConfig(repeat("[", 200000)); }, 2,
                  "does not begin with a JSON object", nullptr},
        FaultCase{"NestingTooDeepInsideTheObject",
                  [](const AppFolder& app) {
                      app.writeConfig("{" + probeKeys + ", \"deep\": " + repeat("{\"a\": ", 200000));
                  },
                  0, "/config.json was read only in part (syntax error at line 1 near: ",
                  [](const AppFolder& app, const RunResult& result) {
                      expectLaunched(app, result);
                      EXPECT_EQ(result.traceLines().at(1).rfind("Couldn't parse json: syntax error at line 1 near: ", 0),
                                0u);
                  }},
        FaultCase{"TopLevelNumber", [](const AppFolder& app) { app.writeConfig("12"); }, 2, "holds a JSON number",
                  nullptr},
        FaultCase{"VmArgsNull", [](const AppFolder& app) { app.writeConfig("{" + probeKeys + ", \"vmArgs\": null}"); },
                  0, "", expectLaunched},
        FaultCase{"VmArgsBoolean",
                  [](const AppFolder& app) { app.writeConfig("{" + probeKeys + ", \"vmArgs\": true}"); }, 2,
                  "\"vmArgs\" is of type boolean", nullptr},
        FaultCase{"HundredThousandVmArgs", [](const AppFolder& app) { app.writeConfig(manyVmArgs(100000)); }, 0, "",
                  [](const AppFolder& app, const RunResult& result) {
                      expectLaunched(app, result);
                      const Lines options = app.standinUserOptions();
                      EXPECT_EQ(options.size(), 1u + 100000u) << "the class path and every vmArg";
                      EXPECT_EQ(lastLine(options), "-Dk99999=v");
                      EXPECT_EQ(result.traceLines().size(), 3u + 100000u);
                      EXPECT_EQ(lastLine(result.traceLines()), "vmArg 99999: -Dk99999=v");
                  }},
        FaultCase{"OneMegabyteVmArg",
                  [](const AppFolder& app) {
                      app.writeConfig("{" + probeKeys + ", \"vmArgs\": [\"-Dbig=" + std::string(1 << 20, 'x') + "\"]}");
                  },
                  0, "",
                  [](const AppFolder& app, const RunResult&) {
                      EXPECT_EQ(lastLine(app.standinUserOptions()), "-Dbig=" + std::string(1 << 20, 'x'));
                  }},
        FaultCase{"LongParseErrorIsShortenedInTheMessage",
                  [](const AppFolder& app) { app.writeConfig("x" + std::string(100000, 'y')); }, 2,
                  "/config.json does not begin with a JSON object (syntax error at line 1 near: x" +
                      std::string(90, 'y') + "...); it must start with \"{\"",
                  nullptr},
        FaultCase{"MainClassWithALineBreakGivesOneLine",
                  [](const AppFolder& app) {
                      app.writeConfig(R"({"jar": "app.jar", "mainClass": "com/example/\nMain"})");
                      setEnvironment("STANDIN_FAIL", "FindClass");
                  },
                  5, "cannot load the main class com/example/ Main from the jar (java.lang.NoClassDefFoundError: "
                     "com/example/ Main)", nullptr},
        FaultCase{"RuntimeFolderEmpty",
                  [](const AppFolder& app) {
                      app.writeConfig("{" + probeKeys + "}");
                      app.removeRuntime();
                      fs::create_directory(app.dir() / "jre");
                  },
                  3, "no Java runtime found", nullptr},
        FaultCase{"RuntimeLibraryIsAFolder",
                  [](const AppFolder& app) {
                      app.writeConfig("{" + probeKeys + "}");
                      app.removeRuntime();
                      fs::create_directories(app.dir() / "jre" / JVM_LIBRARY_IN_JRE);
                  },
                  3, "no Java runtime found", nullptr},
        FaultCase{"RuntimeLibraryEmptyFile",
                  [](const AppFolder& app) {
                      app.writeConfig("{" + probeKeys + "}");
                      app.removeRuntime();
                      fs::create_directories((app.dir() / "jre" / JVM_LIBRARY_IN_JRE).parent_path());
                      writeFile(app.dir() / "jre" / JVM_LIBRARY_IN_JRE, "");
                  },
                  3, "cannot load the JVM library", nullptr}),
    caseName<FaultCase>);

}  // namespace
}  // namespace e2e

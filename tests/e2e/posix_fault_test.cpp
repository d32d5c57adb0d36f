// Faults that only a POSIX system can set up: a config.json the launcher's
// user may not read, and the two runtime layouts of Linux.
#include "e2e/app_folder.h"
#include "e2e/expect_failure.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

TEST(PosixFaults, ConfigWithoutReadPermission) {
    StandinApp app;
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main"})");
    fs::permissions(app.dir() / "config.json", fs::perms::none);

    const RunResult result = runAsNobody(app.launcher(), {}, app.dir());

    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_EQ(result.errLines(), Lines{"error: cannot open the configuration file " + app.launcherView() +
                                       "/config.json: Permission denied; let the user who starts the launcher read it"});
}

TEST(PosixFaults, FirstRuntimeLayoutWinsOverABrokenSecond) {
    StandinApp app;  // in lib/server, the layout of Java 9 and later
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main"})");
    const fs::path jdk8Library = app.dir() / "jre" / "lib" / JDK8_ARCH / "server" / "libjvm.so";
    fs::create_directories(jdk8Library.parent_path());
    writeFile(jdk8Library, "not a library");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(lastLine(app.standinRecord()), "DestroyJavaVM");
}

TEST(PosixFaults, BrokenFirstRuntimeLayoutIsReportedNotSkipped) {
    StandinApp app;
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main"})");
    // lib/server holds a broken library; lib/<arch>/server, the Java 8 layout, a working one.
    const fs::path first = app.dir() / "jre" / "lib" / "server" / "libjvm.so";
    const fs::path second = app.dir() / "jre" / "lib" / JDK8_ARCH / "server" / "libjvm.so";
    fs::create_directories(second.parent_path());
    fs::rename(first, second);
    fs::copy_file(app.dir() / "jre" / STANDIN_DEPENDENCY_IN_JRE, second.parent_path() / "libstandin_runtime.so");
    writeFile(first, "not a library");

    expectFailure(app.run(), 3, {"cannot load the JVM library " + app.launcherView() + "/jre/lib/server/libjvm.so"});
}

TEST(PosixFaults, LauncherInAFolderPathLongerThan256Bytes) {
    TempDir root;
    const fs::path folder = root.path() / std::string(100, 'a') / std::string(100, 'b') / std::string(100, 'c');
    fs::create_directories(folder);
    AppFolder app(folder);
    app.useStandin();
    app.writeConfig(R"({"jar": "app.jar", "mainClass": "Main"})");
    const RunResult result = app.run();

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(firstLine(result.traceLines()), "config file: " + app.launcherView() + "/config.json");
}

}  // namespace
}  // namespace e2e

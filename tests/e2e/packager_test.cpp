// The packager (packager.jar), run by the installed JDK as a user
// runs it, on the probe program: the Linux application folder it makes, its
// archive, its ahead-of-time cache (with the Java 25 JDK where there is one),
// and every input it must refuse without touching the user's files.
#include "case_name.h"
#include "e2e/app_folder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>

namespace e2e {
namespace {

const fs::path java17 = fs::path(JDK_HOME) / "bin" / "java";
const fs::path java25 = fs::path(JAVA25_HOME) / "bin" / "java";
// xz takes about a second of CPU time per megabyte of a runtime: packaging with it gets this long on a loaded
// machine (ctest gives those tests as long, see tests/CMakeLists.txt).
constexpr int xzPackagingSeconds = 1200;

Lines sharedRuntime(const fs::path& java);

// A folder with the probe's jar as input, and a dest folder to package into.
struct Workspace {
    TempDir root;
    fs::path input = root.path() / "input";
    fs::path dest = root.path() / "dest";

    Workspace() {
        fs::create_directories(input);
        fs::create_directories(dest);
        fs::copy_file(PROBE_JAR, input / "probe.jar");
    }

    // The probe as the main jar, unless the options name a main module.
    RunResult package(const Lines& options, const fs::path& java = java17, int timeoutSeconds = 300) const {
        Lines arguments = {"-jar", PACKAGER_JAR, "--input", input.string(), "--dest", dest.string()};
        if (std::find(options.begin(), options.end(), "--module") == options.end()) {
            arguments.insert(arguments.end(), {"--main-jar", "probe.jar"});
        }
        arguments.insert(arguments.end(), options.begin(), options.end());
        return runProcess(java, arguments, root.path(), timeoutSeconds);
    }

    // The same with a runtime linked once for all the tests that do not test linking.
    RunResult packageWithSharedRuntime(Lines options, const fs::path& java = java17, int timeoutSeconds = 300) const {
        const Lines runtime = sharedRuntime(java);
        options.insert(options.end(), runtime.begin(), runtime.end());
        return package(options, java, timeoutSeconds);
    }
};

// "--runtime-image" and a runtime for the probe that the packager linked once, for the tests that do not test
// linking. Whichever test needs it first links it in a folder of its own and renames that into place, so that
// tests running at once each find it whole; a new packager, probe or JDK gets a new one.
Lines sharedRuntime(const fs::path& java) {
    const fs::path jdk = java.parent_path().parent_path();
    std::string made;
    for (const fs::path& input : {fs::path(PACKAGER_JAR), fs::path(PROBE_JAR), jdk / "release"}) {
        made += input.string() + std::to_string(fs::last_write_time(input).time_since_epoch().count());
    }
    const fs::path runtimes = SHARED_RUNTIMES;
    const std::string prefix = jdk.filename().string() + "-";
    const fs::path runtime = runtimes / (prefix + std::to_string(std::hash<std::string>{}(made)));
    if (!fs::exists(runtime / "release")) {
        const fs::path making = runtimes / (".making-" + std::to_string(getpid()));
        fs::remove_all(making);
        fs::create_directories(making / "input");
        fs::copy_file(PROBE_JAR, making / "input" / "probe.jar");
        const RunResult linked = runProcess(java,
                                            {"-jar", PACKAGER_JAR, "--input", (making / "input").string(), "--dest",
                                             (making / "dest").string(), "--main-jar", "probe.jar", "--main-class",
                                             "probe.Probe"},
                                            making, 300);
        EXPECT_EQ(linked.exitStatus, 0) << "linking the shared runtime: " << linked.err;
        std::error_code takenFirst;  // by a test that ran at the same time
        fs::rename(making / "dest" / "probe" / "jre", runtime, takenFirst);
        fs::remove_all(making);
        if (!takenFirst) {  // the runtimes of an older packager, probe or JDK go, and what a killed test left
            std::error_code ignored;
            for (const fs::directory_entry& old : fs::directory_iterator(runtimes)) {
                const std::string name = old.path().filename().string();
                const bool older = name.rfind(prefix, 0) == 0 && old.path() != runtime;
                const bool left = name.rfind(".making-", 0) == 0 && kill(std::atoi(name.c_str() + 8), 0) != 0;
                if (older || left) fs::remove_all(old.path(), ignored);
            }
        }
    }
    return {"--runtime-image", runtime.string()};
}


// A runtime of `modules` linked by jlink alone (no class-data-sharing archive), for a test whose time goes to
// what it does with the runtime rather than to linking or compressing it.
void linkSmallRuntime(const fs::path& output, const std::string& modules) {
    const RunResult linked =
        runProcess(fs::path(JDK_HOME) / "bin" / "jlink",
                   {"--add-modules", modules, "--strip-debug", "--no-header-files", "--no-man-pages", "--output",
                    output.string()},
                   output.parent_path(), 300);
    ASSERT_EQ(linked.exitStatus, 0) << linked.out << linked.err;
}

// A TCP port on the loopback interface that nothing listens on now; 0 if none could be had.
int freeLocalPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    close(probe);
    return bound ? ntohs(address.sin_port) : 0;
}

// Whether something accepts connections on the loopback port within a minute.
bool waitUntilListening(int port) {
    for (int attempt = 0; attempt < 600; ++attempt) {
        const int client = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool connected = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(client);
        if (connected) return true;
        usleep(100000);
    }
    return false;
}

// Every path below `folder` with its size, to see that nothing changed.
std::map<std::string, std::uintmax_t> snapshot(const fs::path& folder) {
    std::map<std::string, std::uintmax_t> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        entries[entry.path().string()] = entry.is_regular_file() ? entry.file_size() : 0;
    }
    return entries;
}

// Run first by CTest (the fixture packager_shared_runtime), with time to link what the other tests then share.
TEST(SharedRuntime, IsLinkedOnceForTheTestsThatDoNotTestLinking) {
    for (const fs::path& java : {java17, java25}) {
        if (fs::exists(java)) {
            EXPECT_TRUE(fs::exists(fs::path(sharedRuntime(java).at(1)) / "release")) << java;
        }
    }
}

TEST(Packager, LinuxFolderAndArchiveRunFromAnywhereWithTheOptionsAsGiven) {
    const Workspace work;
    const std::string option = "-Dprobe.value=two words \"quoted\" back\\slash\ttab caf\xC3\xA9 \xE4\xB8\x96";
    writeFile(work.root.path() / "icon.png", "\x89PNG\r\n\x1A\n(the rest of an image)");
    // Split as jpackage splits --java-options: single quotes keep the first option whole.
    writeFile(work.input / "notes.jar", "not a zip, which java skips on the class path");
    // The archive in gzip, read by GNU tar below (xz: the Debian package's test, and CompressionTest).
    const RunResult packaged = work.package({"--main-class", "probe.Probe", "--name", "Probe Product", "--archive",
                                             "--java-options", "'" + option + "'", "--java-options",
                                             "-Xmx64m \"-Dprobe.split=one option\" --add-modules java.sql", "--icon",
                                             (work.root.path() / "icon.png").string()});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    EXPECT_NE(packaged.err.find("warning: \"notes.jar\" is not a jar (not a zip file); it is copied as it is"),
              std::string::npos)
        << packaged.err;

    const fs::path app = work.dest / "Probe Product";
    EXPECT_NE(readFile(app / "Probe Product.desktop").find("\nExec=\"" + app.string() + "/Probe Product\" %F\n"),
              std::string::npos)
        << readFile(app / "Probe Product.desktop");
    EXPECT_TRUE(fs::exists(app / "Probe Product.png"));
    const std::string release = readFile(app / "jre" / "release");
    EXPECT_NE(release.find("java.management"), std::string::npos) << "a module the probe uses: " << release;
    EXPECT_NE(release.find("java.sql"), std::string::npos) << "a module --java-options adds: " << release;
    EXPECT_EQ(release.find("jdk.compiler"), std::string::npos) << "the whole JDK: " << release;
    EXPECT_TRUE(fs::exists(app / "jre" / "lib" / "server" / "classes.jsa")) << "no class-data-sharing archive";

    TempDir extracted;
    const RunResult untar =
        runProcess("/bin/tar", {"-xzf", (work.dest / "Probe Product.tar.gz").string(), "-C", extracted.path().string()},
                   extracted.path());
    ASSERT_EQ(untar.exitStatus, 0) << untar.err;
    for (const fs::path& folder : {app, extracted.path() / "Probe Product"}) {
        const RunResult result = runProcess(folder / "Probe Product", {"one", "two words"}, work.root.path());
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(firstLine(result.probeLines()), "args 2") << "the packaged program receives its command line";
        // The launcher's path, as programs that restart themselves read it; java's form of --add-modules.
        EXPECT_EQ(result.probeUserOptions(),
                  (Lines{"-Djpackage.app-path=" + fs::canonical(folder).string() + "/Probe Product", option, "-Xmx64m",
                         "-Dprobe.split=one option", "--add-modules=java.sql"}));
        EXPECT_EQ(lastLine(result.probeLines()), "value " + option.substr(14));
        // notes.jar stays on the class path, as under java -cp "dir/*", which skips it.
        EXPECT_TRUE(contains(result.probeLines(), "class path " + fs::canonical(folder).string() + "/probe.jar:" +
                                                      fs::canonical(folder).string() + "/notes.jar"))
            << result.out;
    }

    // Replaced with no archive: the old folder's archive goes with it; an archive of the user's stays.
    writeFile(work.dest / "Probe Product.tar.xz", "the user's own file");
    const RunResult replaced =
        work.packageWithSharedRuntime({"--main-class", "probe.Probe", "--name", "Probe Product", "--replace"});
    ASSERT_EQ(replaced.exitStatus, 0) << replaced.err;
    EXPECT_FALSE(fs::exists(work.dest / "Probe Product.tar.gz")) << "the archive of the folder it replaced";
    EXPECT_EQ(readFile(work.dest / "Probe Product.tar.xz"), "the user's own file");
}

// A build script written for jpackage: its options in an argument file, with the one-letter forms, --verbose
// and --temp; the runtime linked here, so that --verbose has jdeps and jlink to show.
TEST(Packager, ArgumentFileWithOneLetterFormsShowsItsToolsAndLeavesItsWorkInTemp) {
    const Workspace work;
    const fs::path temp = work.root.path() / "work area";
    writeFile(work.root.path() / "options.txt",
              "# made by a build script\n-i '" + work.input.string() + "' -d '" + work.dest.string() +
                  "'\n-n \"Probe App\" --main-jar probe.jar --main-class probe.Probe\n--verbose --temp '" +
                  temp.string() + "'\n");
    const RunResult packaged = runProcess(java17, {"-jar", PACKAGER_JAR, "@options.txt"}, work.root.path(), 300);
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.out << packaged.err;

    const RunResult result = runProcess(work.dest / "Probe App" / "Probe App", {"one"}, work.root.path());
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(firstLine(result.probeLines()), "args 1");
    for (const char* tool : {"jdeps", "jlink"}) {
        EXPECT_NE(packaged.out.find("/bin/" + std::string(tool) + " "), std::string::npos) << tool << packaged.out;
        EXPECT_NE(packaged.out.find("  " + std::string(tool) + " ended with status 0\n"), std::string::npos)
            << packaged.out;
    }
    const std::size_t jlink = packaged.out.find("/bin/jlink ");
    ASSERT_NE(jlink, std::string::npos) << packaged.out;
    const std::string jlinkLine = packaged.out.substr(jlink, packaged.out.find('\n', jlink) - jlink);
    EXPECT_NE(jlinkLine.find(" --add-modules "), std::string::npos) << jlinkLine;
    EXPECT_NE(jlinkLine.find("java.management"), std::string::npos) << "a module the probe uses: " << jlinkLine;
    // The work is left in --temp, and nothing hidden beside the folder.
    EXPECT_EQ(readFile(temp / "Probe App" / "config.json"), readFile(work.dest / "Probe App" / "config.json"));
    EXPECT_TRUE(fs::exists(temp / "Probe App" / "jre" / "release"));
    for (const auto& entry : fs::directory_iterator(work.dest)) {
        EXPECT_EQ(entry.path().filename(), "Probe App") << "left beside the folder: " << entry.path();
    }

    const RunResult version = runProcess(java17, {"-jar", PACKAGER_JAR, "--nope", "--version"}, work.root.path());
    EXPECT_EQ(version.exitStatus, 0) << version.err;
    EXPECT_EQ(version.out, readFile(fs::path(PACKAGER_JAR).parent_path() / "packager-version.txt") + "\n");
}

struct RefusalCase {
    const char* name;
    std::function<Lines(const Workspace&)> arrange;  // returns the options beyond --input, --dest, --main-jar
    int status;
    std::string messagePart;
};

// A folder of the user's where the packager would make its own; returns `options`.
Lines withUsersFolder(const Workspace& work, const Lines& options) {
    fs::create_directories(work.dest / "probe");
    writeFile(work.dest / "probe" / "notes.txt", "mine");
    return options;
}

// --type msi for a Windows target, with stand-ins for its launcher and runtime (refused before either is read);
// returns the options with `options` after them.
Lines windowsInstaller(const Workspace& work, const Lines& options) {
    writeFile(work.root.path() / "launcher.exe", "MZ, a Windows launcher");
    fs::create_directories(work.root.path() / "runtime" / "bin" / "server");
    writeFile(work.root.path() / "runtime" / "bin" / "server" / "jvm.dll", "MZ, a JVM library");
    Lines all = {"--main-class", "probe.Probe", "--type", "msi", "--target", "windows", "--launcher",
                 (work.root.path() / "launcher.exe").string(), "--runtime-image", (work.root.path() / "runtime").string()};
    all.insert(all.end(), options.begin(), options.end());
    return all;
}

// A folder for a Windows target, with the stand-ins of windowsInstaller; returns the options with `options` after them.
Lines windowsFolder(const Workspace& work, const Lines& options) {
    Lines all = windowsInstaller(work, options);
    const auto type = std::find(all.begin(), all.end(), "--type");
    all.erase(type, type + 2);
    return all;
}

// --type deb with the document type of the file `name` in the workspace, written with `text` unless null.
Lines debianWithDocumentType(const Workspace& work, const char* name, const char* text) {
    if (text != nullptr) writeFile(work.root.path() / name, text);
    return {"--main-class", "probe.Probe", "--type", "deb", "--file-associations", (work.root.path() / name).string()};
}

// An extra launcher `name` with the properties `text`, written beside the input.
Lines withExtraLauncher(const Workspace& work, const std::string& name, const char* text) {
    writeFile(work.root.path() / "launcher.properties", text);
    return {"--main-class", "probe.Probe", "--add-launcher", name + "=" + (work.root.path() / "launcher.properties").string()};
}

class PackagerRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(PackagerRefusalTest, SaysWhyAndLeavesTheUsersFilesAsTheyWere) {
    const Workspace work;
    const Lines options = GetParam().arrange(work);
    const auto before = snapshot(work.root.path());
    const RunResult result = work.package(options);

    EXPECT_EQ(result.exitStatus, GetParam().status) << result.out << result.err;
    EXPECT_EQ(result.err.rfind("error: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(GetParam().messagePart), std::string::npos) << result.err;
    EXPECT_EQ(snapshot(work.root.path()), before) << "something was made, changed or left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Packager, PackagerRefusalTest,
    testing::Values(
        RefusalCase{"MainJarMissing", [](const Workspace&) { return Lines{"--main-jar", "absent.jar"}; }, 2,
                    "--main-jar absent.jar does not exist in "},
        RefusalCase{"NotAJar",
                    [](const Workspace& work) {
                        writeFile(work.input / "text.jar", "not a zip");
                        return Lines{"--main-jar", "text.jar"};
                    },
                    2, "is not a jar"},
        RefusalCase{"NoMainClassAnywhere", [](const Workspace&) { return Lines{}; }, 2,
                    "no main class: probe.jar has no Main-Class in its manifest; give --main-class"},
        RefusalCase{"MainClassNotInTheJar", [](const Workspace&) { return Lines{"--main-class", "probe.Absent"}; }, 2,
                    "the main class probe.Absent is not in probe.jar (it holds no probe/Absent.class)"},
        RefusalCase{"SingleInstanceMethodMissing",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--single-instance", "probe.Probe.openDocuments"};
                    },
                    2, "--single-instance: the class probe.Probe in probe.jar has no method openDocuments; add public "
                       "static void openDocuments(String[] arguments, String directory)"},
        RefusalCase{"SingleInstanceOtherSignature",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--single-instance", "probe.Probe.main"};
                    },
                    2, "--single-instance: probe.Probe.main in probe.jar is not public static void main(String[] "
                       "arguments, String directory)"},
        RefusalCase{"SingleInstanceClassNotInTheJar",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--single-instance", "probe.Absent.open"};
                    },
                    2, "--single-instance names the class probe.Absent, which is not in probe.jar"},
        RefusalCase{"NoJmodsForAnotherPlatform",
                    [](const Workspace& work) {
                        fs::create_directory(work.root.path() / "mods");
                        writeFile(work.root.path() / "launcher.exe", "MZ, a Windows launcher");
                        return Lines{"--main-class", "probe/Probe", "--target", "windows", "--launcher",
                                     (work.root.path() / "launcher.exe").string(), "--module-path",
                                     (work.root.path() / "mods").string()};
                    },
                    2, "in --module-path, the jmods folder of a windows JDK 17 (the folder that holds java.base.jmod)"},
        RefusalCase{"AppImageWithWhatMakesTheFolder",
                    [](const Workspace& work) {
                        return Lines{"--type", "deb", "--app-image", (work.root.path() / "folder").string()};
                    },
                    2, "--input is for making the folder, and --app-image "},
        RefusalCase{"LauncherAsServiceWithoutAnInstaller",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--launcher-as-service"}; }, 2,
                    "--launcher-as-service is for a Linux package, which installs a systemd service, or a Windows "
                    "Installer package, which installs a Windows service: give --type deb, rpm or msi"},
        RefusalCase{"WindowsServiceInstalledPerUser",
                    [](const Workspace& work) { return windowsInstaller(work, {"--launcher-as-service"}); }, 2,
                    "--launcher-as-service installs a Windows service, which is the machine's, not a user's: give "
                    "--win-per-machine-install"},
        RefusalCase{"WindowsServiceOfALauncherOfTheUsers",
                    [](const Workspace& work) {
                        return windowsInstaller(work, {"--launcher-as-service", "--win-per-machine-install"});
                    },
                    2, "give --launcher or --launcher-as-service, not both"},
        RefusalCase{"WindowsServiceVariantAsTheLauncher",
                    [](const Workspace& work) {
                        const Lines options = windowsInstaller(work, {"--win-per-machine-install"});
                        writeFile(work.root.path() / "launcher.exe", "MZ, it imports StartServiceCtrlDispatcherW");
                        return options;
                    },
                    2, "launcher.exe\" is the launcher's service variant, which only the service manager starts"},
        RefusalCase{"AppContentMissing",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--app-content",
                                     (work.root.path() / "absent").string()};
                    },
                    2, "absent\" does not exist; give a file or folder to copy into the folder"},
        RefusalCase{"AppContentNamedLikeAnInputFile",
                    [](const Workspace& work) {
                        fs::create_directory(work.root.path() / "extra");
                        writeFile(work.root.path() / "extra" / "probe.jar", "another jar");
                        return Lines{"--main-class", "probe.Probe", "--app-content",
                                     (work.root.path() / "extra").string() + "," +
                                         (work.root.path() / "extra" / "probe.jar").string()};
                    },
                    2, "probe.jar\" would be \"probe.jar\" in the folder, and --input holds \"probe.jar\"; rename it"},
        RefusalCase{"AppContentWindowsConfigInOtherLetters",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "CONFIG.JSON", "{}");
                        return windowsFolder(work, {"--app-content", (work.root.path() / "CONFIG.JSON").string()});
                    },
                    2, "would be \"CONFIG.JSON\" in the folder, and the packager makes \"config.json\", which Windows, "
                       "ignoring letter case, takes for it"},
        RefusalCase{"AppContentHoldingTheDest",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--app-content", work.root.path().string()};
                    },
                    2, "/dest\" lies inside --app-content \""},
        RefusalCase{"AppContentHoldingTheTemp",
                    [](const Workspace& work) {
                        fs::create_directory(work.root.path() / "docs");
                        return Lines{"--main-class", "probe.Probe", "--app-content",
                                     (work.root.path() / "docs").string(), "--temp",
                                     (work.root.path() / "docs" / "work").string()};
                    },
                    2, "/docs/work\" lies inside --app-content \""},
        RefusalCase{"AppContentWithALinkLeavingIt",
                    [](const Workspace& work) {
                        fs::create_directory(work.root.path() / "docs");
                        writeFile(work.root.path() / "elsewhere.txt", "not in the content");
                        fs::create_symlink(work.root.path() / "elsewhere.txt", work.root.path() / "docs" / "out.txt");
                        return Lines{"--main-class", "probe.Probe", "--app-content",
                                     (work.root.path() / "docs").string()};
                    },
                    2, "out.txt is a link to "},
        RefusalCase{"AppContentThatIsAFifo",
                    [](const Workspace& work) {
                        runProcess("/usr/bin/mkfifo", {(work.root.path() / "pipe").string()}, work.root.path());
                        return Lines{"--main-class", "probe.Probe", "--app-content",
                                     (work.root.path() / "pipe").string()};
                    },
                    2, "pipe is a special file (a FIFO, socket or device)"},
        RefusalCase{"ResourceDirMissing",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--resource-dir",
                                     (work.root.path() / "absent").string()};
                    },
                    2, "absent\" does not exist; give the folder that holds your own versions of the packager's files"},
        RefusalCase{"MainJarAndMainModule",
                    [](const Workspace&) { return Lines{"--module", "probe", "--main-jar", "probe.jar"}; }, 2,
                    "give --main-jar or --module, not both"},
        RefusalCase{"MainModuleAbsent",
                    [](const Workspace& work) {
                        return Lines{"--module", "absent.module", "--module-path", work.input.string()};
                    },
                    2, "--module absent.module is not on --module-path \""},
        RefusalCase{"AutomaticMainModule",  // probe.jar, a plain jar, is the automatic module "probe"
                    [](const Workspace& work) { return Lines{"--module", "probe", "--module-path", work.input.string()}; },
                    2, "--module probe is an automatic module"},
        RefusalCase{"TempNotEmpty",
                    [](const Workspace& work) {
                        fs::create_directory(work.root.path() / "temp");
                        writeFile(work.root.path() / "temp" / "mine.txt", "mine");
                        return Lines{"--main-class", "probe.Probe", "--temp", (work.root.path() / "temp").string()};
                    },
                    2, "/temp\" is not empty; give a new or empty folder, where the packager leaves its work"},
        RefusalCase{"TempInsideTheInput",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--temp", (work.input / "work").string()};
                    },
                    2, "/input/work\" lies inside --input \""},
        RefusalCase{"TempIsTheDest",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--temp", work.dest.string()};
                    },
                    2, "/dest/probe\", what the packager makes, and --temp is left as the work left it"},
        RefusalCase{"NestedArgumentFile",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "outer.txt", "--main-class probe.Probe @inner.txt");
                        return Lines{"@" + (work.root.path() / "outer.txt").string()};
                    },
                    2, "outer.txt\" names another, @inner.txt: an argument file is not read from inside another"},
        RefusalCase{"ClassPathInTheJavaOptions",
                    [](const Workspace&) { return Lines{"--java-options", "-Xmx1g -cp lib/extra.jar"}; }, 2,
                    "--java-options -cp cannot be used: the class path is the main jar and the other jars of --input"},
        RefusalCase{"TwoWordJavaOptionWithoutItsValue",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--java-options", "-Xmx64m --add-modules"};
                    },
                    2, "--java-options --add-modules needs its value after it"},
        RefusalCase{"PackageTypeUnknown",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--type", "apk"}; }, 2,
                    "--type apk is not one the packager makes: give app-image (the folder), deb (a Debian package), "
                    "rpm (an RPM package) or msi"},
        RefusalCase{"DebianPackageForWindows",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "launcher.exe", "MZ, a Windows launcher");
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--target", "windows",
                                     "--launcher", (work.root.path() / "launcher.exe").string(), "--runtime-image",
                                     JDK_HOME};
                    },
                    2, "--type deb makes a package that installs a Linux program; the target is windows"},
        RefusalCase{"RpmPackageForWindows",
                    [](const Workspace& work) { return windowsFolder(work, {"--type", "rpm"}); }, 2,
                    "--type rpm makes a package that installs a Linux program; the target is windows"},
        RefusalCase{"VersionRpmRefuses",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "rpm", "--app-version", "1.2-3"};
                    },
                    2, "--app-version 1.2-3 is not an RPM version"},
        RefusalCase{"ReleaseRpmRefuses",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "rpm", "--linux-app-release", "1-2"};
                    },
                    2, "--linux-app-release 1-2 is not an RPM release"},
        RefusalCase{"DebianRevisionGivenTwice",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--app-version", "1.2-1",
                                     "--linux-app-release", "2"};
                    },
                    2, "--app-version 1.2-1 holds a Debian revision, and --linux-app-release gives one too"},
        RefusalCase{"RpmLicenseTypeForADebianPackage",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--linux-rpm-license-type", "MIT"};
                    },
                    2, "--linux-rpm-license-type is for an RPM package: give --type rpm with it"},
        RefusalCase{"AboutUrlWithoutAPackage",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--about-url", "https://example.com/"};
                    },
                    2, "--about-url is for an installer: give --type deb, rpm or msi with it"},
        RefusalCase{"AboutUrlThatIsNoAddress",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "rpm", "--about-url", "example.com"};
                    },
                    2, "--about-url example.com is not a web address: give an absolute URL"},
        RefusalCase{"LicenseFileMissing",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--type", "rpm", "--license-file",
                                     (work.root.path() / "LICENSE").string()};
                    },
                    2, "LICENSE\" does not exist; give the file of the product's licence"},
        RefusalCase{"LicenseFileNotUtf8",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "LICENSE", "Lizenz f\xfcr alle\n");
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--license-file",
                                     (work.root.path() / "LICENSE").string()};
                    },
                    2, "LICENSE\" is not UTF-8 text, which the package's copyright file must be"},
        RefusalCase{"MenuGroupThatIsNoCategory",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--linux-menu-group", "Office Tools"};
                    },
                    2, "--linux-menu-group Office Tools is not a list of menu categories"},
        RefusalCase{"PackageDepsWithAnEmptyEntry",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "rpm", "--linux-package-deps", "a,,b"};
                    },
                    2, "--linux-package-deps a,,b has an empty entry"},
        RefusalCase{"FileNameWithALineBreakInAPackage",
                    [](const Workspace& work) {
                        writeFile(work.input / "new\nline.txt", "dpkg installs no such name");
                        return Lines{"--main-class", "probe.Probe", "--type", "deb"};
                    },
                    2, "line.txt\", which holds a line break; rename the file"},
        RefusalCase{"PackageNameDebianRefuses",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--linux-package-name", "My_App"};
                    },
                    2, "the package name My_App is not one Debian accepts"},
        RefusalCase{"VersionDebianRefuses",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--app-version", "v1.0"};
                    },
                    2, "--app-version v1.0 is not a Debian version"},
        RefusalCase{"ShortcutWithoutAPackage",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--linux-shortcut"}; }, 2,
                    "--linux-shortcut is for a Linux package: give --type deb or rpm with it"},
        RefusalCase{"DebianCompressionWithoutAPackage",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--linux-deb-compression", "gzip"};
                    },
                    2, "--linux-deb-compression is for a Debian package: give --type deb with it"},
        RefusalCase{"ArchiveCompressionForWindows",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--target", "windows", "--archive-compression", "xz"};
                    },
                    2, "--archive-compression chooses how a Linux target's NAME.tar is compressed; a Windows target's "
                       "archive is NAME.zip"},
        RefusalCase{"FileAssociationsMissing",
                    [](const Workspace& work) { return debianWithDocumentType(work, "absent.properties", nullptr); },
                    2, "absent.properties\" cannot be read: no such file"},
        RefusalCase{"FileAssociationsWithoutExtension",
                    [](const Workspace& work) {
                        return debianWithDocumentType(work, "plan.properties", "mime-type=application/x-plan\n");
                    },
                    2, "plan.properties\" has no extension=: give the extension of the documents"},
        RefusalCase{"FileAssociationsNotProperties",
                    [](const Workspace& work) {
                        return debianWithDocumentType(work, "plan.xml", "<association extension=\"plan\"/>\n");
                    },
                    2, "plan.xml\" is not in jpackage's properties format"},
        RefusalCase{"WindowsInstallerForLinux",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--type", "msi"}; }, 2,
                    "--type msi makes a Windows Installer package, which installs a Windows program; the target is linux"},
        RefusalCase{"WindowsShortcutWithoutAPackage",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--win-menu"}; }, 2,
                    "--win-menu is for a Windows Installer package: give --type msi with it"},
        RefusalCase{"VersionWindowsInstallerRefuses",
                    [](const Workspace& work) { return windowsInstaller(work, {"--app-version", "1.256.0"}); }, 2,
                    "--app-version 1.256.0 has the minor version 256, and Windows Installer holds at most 255 there"},
        RefusalCase{"UpgradeCodeNotAUuid",
                    [](const Workspace& work) { return windowsInstaller(work, {"--win-upgrade-uuid", "{1234-5678}"}); },
                    2, "--win-upgrade-uuid {1234-5678} is not a UUID: give 32 hexadecimal digits"},
        RefusalCase{"InstallDirOutsideThePrograms",
                    [](const Workspace& work) { return windowsInstaller(work, {"--install-dir", "C:\\Apps\\Probe"}); },
                    2, "--install-dir C:\\Apps\\Probe is not a folder under %LOCALAPPDATA%\\Programs"},
        RefusalCase{"NameOutsideTheInstallersCodePage",
                    [](const Workspace& work) { return windowsInstaller(work, {"--name", "\xE8\xA8\x88\xE7\x94\xBB"}); },
                    2, "cannot be held by the package: wixl writes its texts in code page 1252"},
        RefusalCase{"FileNameTheInstallerCannotHold",
                    [](const Workspace& work) {
                        writeFile(work.input / "notes$(draft).txt", "a name wixl's preprocessor would read");
                        return windowsInstaller(work, {});
                    },
                    2, "the package cannot hold the name of \""},
        RefusalCase{"FileAssociationIconNotAnIconSize",
                    [](const Workspace& work) {
                        return debianWithDocumentType(work, "plan.properties", "extension=plan\nicon=" SPLASH_IMAGE "\n");
                    },
                    2, "splash.png, which is not a square PNG image of 16, 22, 24, 32, 48, 64, 96, 128, 256, 512 pixels"},
        RefusalCase{"DocumentTypesWithOneExtension",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "draft.properties", "extension=PLAN\n");
                        Lines options = debianWithDocumentType(work, "plan.properties", "extension=plan\n");
                        options.insert(options.end(),
                                       {"--file-associations", (work.root.path() / "draft.properties").string()});
                        return options;
                    },
                    2, "draft.properties\" has the extension PLAN, as --file-associations \""},
        RefusalCase{"DocumentTypeDescriptionWithALineBreak",
                    [](const Workspace& work) {
                        return debianWithDocumentType(work, "plan.properties",
                                                      "extension=plan\ndescription=Plan\\nNoDisplay=true\n");
                    },
                    2, "plan.properties\" has a description= with a line break"},
        RefusalCase{"MaintainerWithALineBreak",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--linux-deb-maintainer",
                                     "dev@example.com>\nEssential: yes"};
                    },
                    2, "--linux-deb-maintainer holds a line break or another control character"},
        RefusalCase{"MaintainerNotAnAddress",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--linux-deb-maintainer",
                                     "dev at example.com"};
                    },
                    2, "--linux-deb-maintainer dev at example.com is neither an e-mail address"},
        RefusalCase{"InstallDirWithALineBreak",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--install-dir",
                                     "/opt/probe\nEssential: yes"};
                    },
                    2, "--install-dir holds a line break"},
        RefusalCase{"SectionEmpty",
                    [](const Workspace&) {
                        return Lines{"--main-class", "probe.Probe", "--type", "deb", "--linux-app-category", ""};
                    },
                    2, "--linux-app-category is empty, and it is the package's Section"},
        RefusalCase{"ManufacturerEmpty",
                    [](const Workspace& work) { return windowsInstaller(work, {"--vendor", ""}); }, 2,
                    "--vendor is empty, and it is the package's Manufacturer"},
        RefusalCase{"LicenseFileNamedAsAFileOfTheInput",
                    [](const Workspace& work) {
                        writeFile(work.input / "license.txt", "the program's own notes");
                        writeFile(work.root.path() / "LICENSE.txt", "Probe licence\n");
                        return windowsInstaller(work, {"--license-file", (work.root.path() / "LICENSE.txt").string()});
                    },
                    2, "is installed in the program's folder as LICENSE.txt, where \"license.txt\" of --input \""},
        RefusalCase{"LicenseFileNamedAsThePackagersOwn",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "Config.JSON", "Probe licence\n");
                        return windowsInstaller(work, {"--license-file", (work.root.path() / "Config.JSON").string()});
                    },
                    2, "is installed in the program's folder as Config.JSON, and the packager makes its own "
                    "config.json there"},
        RefusalCase{"WindowsInstallerNameEndingInADot",
                    [](const Workspace& work) { return windowsInstaller(work, {"--name", "Probe."}); }, 2,
                    "--name Probe. ends in a dot, which Windows drops from a folder's name"},
        RefusalCase{"ModulePathMissing",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe/Probe", "--module-path",
                                     (work.root.path() / "absent").string()};
                    },
                    2, "absent\", which does not exist"},
        RefusalCase{"JlinkFails",
                    [](const Workspace&) { return Lines{"--main-class", "probe/Probe", "--jlink-options", "--bogus"}; },
                    1, "jlink failed (status 2): Error: unknown option: --bogus; nothing was left behind"},
        RefusalCase{"FolderOfTheUsers",
                    [](const Workspace& work) { return withUsersFolder(work, {"--main-class", "probe.Probe"}); }, 2,
                    "exists and is not empty; give --replace"},
        RefusalCase{"ReplaceLeavesAFolderOfTheUsers",
                    [](const Workspace& work) {
                        return withUsersFolder(work, {"--main-class", "probe.Probe", "--replace"});
                    },
                    2, "was not made by this packager (it has no .made-by-packager), so --replace leaves it"},
        RefusalCase{"AotCacheOnJava17",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--aot-cache"}; }, 2,
                    "--aot-cache needs a Java 25 or later runtime, and this one is Java 17"},
        RefusalCase{"InputHoldingAJre",
                    [](const Workspace& work) {
                        fs::create_directory(work.input / "jre");
                        return Lines{"--main-class", "probe.Probe"};
                    },
                    2, "holds a jre, which the packager makes; take it out"},
        RefusalCase{"InputHoldingAConfig",
                    [](const Workspace& work) {
                        writeFile(work.input / "config.json", "{}");
                        return Lines{"--main-class", "probe.Probe"};
                    },
                    2, "holds a config.json, which the packager makes; take it out"},
        RefusalCase{"WindowsConfigInOtherLetters",
                    [](const Workspace& work) {
                        writeFile(work.input / "Config.json", "{\"theme\": \"the program's own\"}");
                        return windowsInstaller(work, {});
                    },
                    2, "holds \"Config.json\", which Windows, ignoring letter case, takes for the \"config.json\" the"},
        RefusalCase{"WindowsJreInOtherLetters",
                    [](const Workspace& work) {
                        fs::create_directory(work.input / "JRE");
                        return windowsFolder(work, {"--archive"});
                    },
                    2, "holds \"JRE\", which Windows, ignoring letter case, takes for the \"jre\" the packager makes"},
        RefusalCase{"WindowsExecutableInOtherLetters",
                    [](const Workspace& work) {
                        writeFile(work.input / "PROBE.EXE", "a program of the user's");
                        return windowsFolder(work, {});
                    },
                    2, "takes for the \"probe.exe\" the packager makes; rename it or choose another --name"},
        RefusalCase{"WindowsDocumentIconInOtherLetters",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "plan.ico", std::string("\0\0\1\0", 4));
                        writeFile(work.root.path() / "plan.properties",
                                  "extension=plan\nicon=" + (work.root.path() / "plan.ico").string() + "\n");
                        writeFile(work.input / "Probe.Plan.ico", "an icon of the user's");
                        return windowsInstaller(
                            work, {"--file-associations", (work.root.path() / "plan.properties").string()});
                    },
                    2, "holds \"Probe.Plan.ico\", which Windows, ignoring letter case, takes for the \"probe.plan.ico\""},
        RefusalCase{"WindowsInputFilesDifferingInLetterCase",
                    [](const Workspace& work) {
                        fs::create_directory(work.input / "docs");
                        writeFile(work.input / "docs" / "a.txt", "one");
                        writeFile(work.input / "docs" / "A.txt", "another");
                        return windowsFolder(work, {});
                    },
                    2, "holds \"docs/A.txt\" and \"docs/a.txt\", which Windows, ignoring letter case, takes for one file"},
        RefusalCase{"WindowsInputFileNamedSoWindowsDropsItsTrailingDot",
                    [](const Workspace& work) {
                        writeFile(work.input / "Config.json.", "the program's settings");
                        return windowsFolder(work, {});
                    },
                    2, "holds \"Config.json.\", a name Windows gives no file"},
        RefusalCase{"DestInsideTheInput",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--dest", (work.input / "out").string()};
                    },
                    2, "lies inside --input"},
        RefusalCase{"MainJarOutsideTheInput",
                    [](const Workspace& work) {
                        fs::copy_file(work.input / "probe.jar", work.root.path() / "other.jar");
                        return Lines{"--main-jar", "../other.jar", "--main-class", "probe.Probe"};
                    },
                    2, "--main-jar ../other.jar lies outside --input"},
        RefusalCase{"ReplaceLeavesAnArchiveOfTheUsers",
                    [](const Workspace& work) {
                        writeFile(work.dest / "probe.tar.gz", "the user's own archive");
                        return Lines{"--main-class", "probe.Probe", "--archive", "--replace"};
                    },
                    2, "probe.tar.gz\" was not made by this packager, so --replace leaves it as it is"},
        RefusalCase{"ValueAfterAnEqualsSign",
                    [](const Workspace&) { return Lines{"--main-jar=absent.jar"}; }, 2,
                    "--main-jar absent.jar does not exist in "},
        RefusalCase{"UnknownOption", [](const Workspace&) { return Lines{"--no-such-option"}; }, 2,
                    "unknown option --no-such-option; see --help"},
        RefusalCase{"MissingValue", [](const Workspace&) { return Lines{"--main-class"}; }, 2,
                    "--main-class needs a value (NAME)"},
        RefusalCase{"AotCacheWithAnOlderRuntimeImage",
                    [](const Workspace& work) {
                        // The Java version comes from the runtime's release file.
                        const fs::path runtime = work.root.path() / "runtime";
                        fs::create_directories(runtime / "lib" / "server");
                        writeFile(runtime / "lib" / "server" / "libjvm.so", "");
                        writeFile(runtime / "release", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"21.0.4\"\n");
                        return Lines{"--main-class", "probe.Probe", "--aot-cache", "--runtime-image", runtime.string()};
                    },
                    2, "--aot-cache needs a Java 25 or later runtime, and this one is Java 21"},
        RefusalCase{"JmodsOfAnotherPlatform",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "launcher.exe", "MZ, a Windows launcher");
                        return Lines{"--main-class", "probe.Probe", "--target", "windows", "--launcher",
                                     (work.root.path() / "launcher.exe").string(), "--module-path",
                                     (fs::path(JDK_HOME) / "jmods").string()};
                    },
                    2, "jmods\" holds the modules of a linux JDK, and the target is windows"},
        RefusalCase{"DestIsAFile",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "dest.txt", "a file of the user's");
                        return Lines{"--main-class", "probe.Probe", "--dest", (work.root.path() / "dest.txt").string()};
                    },
                    2, "dest.txt\" is a file, not a folder"},
        RefusalCase{"JavaOptionsWithAnOpenQuote",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--java-options", "\"-Dx=y"}; },
                    2, "--java-options \"-Dx=y has a \" that is never closed"},
        RefusalCase{"ConsoleVariantForLinux",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--win-console"}; }, 2,
                    "--win-console chooses the Windows launcher's console variant"},
        RefusalCase{"WindowsIconForLinux",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "product.ico", std::string("\0\0\1\0\1\0", 6));
                        return Lines{"--main-class", "probe.Probe", "--icon", (work.root.path() / "product.ico").string()};
                    },
                    2, "is not a PNG image, which a Linux .desktop entry needs"},
        RefusalCase{"IconMissing",
                    [](const Workspace& work) {
                        return Lines{"--main-class", "probe.Probe", "--icon", (work.root.path() / "absent.png").string()};
                    },
                    2, "absent.png\" does not exist; give the PNG file of the product's icon"},
        RefusalCase{"FileNamedLikeTheProduct",
                    [](const Workspace& work) {
                        writeFile(work.input / "probe", "a script of the user's");
                        return Lines{"--main-class", "probe.Probe"};
                    },
                    2, "holds a probe, which the packager makes; take it out or choose another --name"},
        RefusalCase{"DestInsideTheInputThroughALink",
                    [](const Workspace& work) {
                        fs::create_directory_symlink(work.input, work.root.path() / "link");
                        return Lines{"--main-class", "probe.Probe", "--dest", (work.root.path() / "link" / "out").string()};
                    },
                    2, "lies inside --input"},
        RefusalCase{"LinkLeavingTheInput",
                    [](const Workspace& work) {
                        writeFile(work.root.path() / "elsewhere.txt", "not in the input");
                        fs::create_symlink(work.root.path() / "elsewhere.txt", work.input / "outside.txt");
                        return Lines{"--main-class", "probe.Probe"};
                    },
                    2, "outside.txt is a link to "},
        RefusalCase{"LinkToNothing",
                    [](const Workspace& work) {
                        fs::create_symlink("gone.txt", work.input / "dangling.txt");
                        return Lines{"--main-class", "probe.Probe"};
                    },
                    2, "dangling.txt is a link to gone.txt, which does not exist"},
        RefusalCase{"Fifo",
                    [](const Workspace& work) {
                        runProcess("/usr/bin/mkfifo", {(work.input / "pipe").string()}, work.root.path());
                        return Lines{"--main-class", "probe.Probe"};
                    },
                    2, "pipe is a special file (a FIFO, socket or device)"},
        RefusalCase{"ExtraLauncherNamedAsTheMainOne",
                    [](const Workspace& work) { return withExtraLauncher(work, "Probe", "main-class=probe.Probe\n"); },
                    2, "names the launcher Probe, and probe is the main launcher's name, letter case aside"},
        RefusalCase{"ExtraLauncherTwice",
                    [](const Workspace& work) {
                        Lines options = withExtraLauncher(work, "cli", "");
                        const Lines again(options.end() - 2, options.end());
                        options.insert(options.end(), again.begin(), again.end());
                        return options;
                    },
                    2, "names the launcher cli, and cli is another's"},
        RefusalCase{"ExtraLauncherWithAnUnknownProperty",
                    [](const Workspace& work) { return withExtraLauncher(work, "cli", "main-clas=probe.Probe\n"); }, 2,
                    "has the property main-clas, which a launcher does not have"},
        RefusalCase{"ExtraLauncherAsAService",
                    [](const Workspace& work) {
                        return windowsFolder(work, withExtraLauncher(work, "cli", "launcher-as-service=true\n"));
                    },
                    2, "gives launcher-as-service=true, and --launcher names the one launcher to copy"},
        RefusalCase{"ExtraLauncherMainJarMissing",
                    [](const Workspace& work) { return withExtraLauncher(work, "cli", "main-jar=absent.jar\n"); }, 2,
                    "gives main-jar absent.jar, which is no jar in --input"},
        RefusalCase{"ExtraLauncherMainClassInNoJar",
                    [](const Workspace& work) { return withExtraLauncher(work, "cli", "main-class=probe.Absent\n"); },
                    2, "the main class probe.Absent is in no jar of --input"},
        RefusalCase{"ExtraLauncherClassPathInItsJavaOptions",
                    [](const Workspace& work) { return withExtraLauncher(work, "cli", "java-options=-cp x.jar\n"); },
                    2, "launcher.properties java-options -cp cannot be used"},
        RefusalCase{"ExtraLauncherFileMissing",
                    [](const Workspace&) { return Lines{"--add-launcher", "cli=absent.properties"}; }, 2,
                    "--add-launcher cli=absent.properties: \"absent.properties\" cannot be read"},
        RefusalCase{"ExtraLauncherHeldByTheInput",
                    [](const Workspace& work) {
                        writeFile(work.input / "cli", "a file of the user's");
                        return withExtraLauncher(work, "cli", "");
                    },
                    2, "holds a cli, which the packager makes"},
        RefusalCase{"NameWithLineBreaks",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--name", "a\n\nb"}; }, 2,
                    "--name a??b is not a file name every platform accepts"},
        RefusalCase{"NameWithALineSeparator",
                    [](const Workspace&) { return Lines{"--main-class", "probe.Probe", "--name", "a\xE2\x80\xA8/../b"}; },
                    2, "is not a file name every platform accepts"}),
    caseName<RefusalCase>);

TEST(Packager, SingleInstanceNamesTheMethodTheLauncherFinds) {
    const Workspace work;
    const RunResult packaged = work.packageWithSharedRuntime(
        {"--main-class", "probe.Probe", "--single-instance", "probe.Probe.openFromAnotherStart"});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;

    const fs::path app = work.dest / "probe";
    EXPECT_NE(readFile(app / "config.json").find("\n  \"singleInstance\": \"probe.Probe.openFromAnotherStart\",\n"),
              std::string::npos)
        << readFile(app / "config.json");
    const RunResult first = runProcess(app / "probe", {}, work.root.path());
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(firstLine(first.probeLines()), "args 0");
}

TEST(Packager, OddFileNamesAndLinksInsideTheInputArriveAsTheyAre) {
    const Workspace work;
    const Lines names = {"caf\xC3\xA9.txt", "\xFF\xFE.bin", "\xFE\xFF.bin"};
    for (const std::string& name : names) writeFile(work.input / name, name);
    fs::create_directory(work.input / "sub");
    const std::string longName(120, 'n');
    writeFile(work.input / "sub" / longName, "old");
    ASSERT_EQ(runProcess("/usr/bin/touch", {"-d", "1960-01-01 00:00:00 UTC", (work.input / "sub" / longName).string()},
                         work.root.path())
                  .exitStatus,
              0);
    fs::create_directory_symlink("sub", work.input / "inner");
    fs::create_directory_symlink(work.input, work.root.path() / "input-link");
    const Lines runtime = sharedRuntime(java17);
    const auto package = [&](const std::string& locale, const Lines& options) {
        // Run from the input, given as "." through a link.
        setEnvironment("LC_ALL", locale);
        Lines arguments = {"-jar", PACKAGER_JAR, "--input", ".", "--dest", work.dest.string(),
                           "--main-jar", "probe.jar", "--main-class", "probe.Probe", "--replace"};
        arguments.insert(arguments.end(), runtime.begin(), runtime.end());
        arguments.insert(arguments.end(), options.begin(), options.end());
        const RunResult result = runProcess(java17, arguments, work.root.path() / "input-link", 300);
        setEnvironment("LC_ALL", "C.UTF-8");
        return result;
    };

    // In a locale whose encoding has no "é", names are copied as the bytes they are.
    const RunResult packaged = package("C", {});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    for (const std::string& name : names) EXPECT_EQ(readFile(work.dest / "probe" / name), name) << "renamed";
    EXPECT_TRUE(fs::is_directory(work.dest / "probe" / "inner") && !fs::is_symlink(work.dest / "probe" / "inner"));
    EXPECT_EQ(readFile(work.dest / "probe" / "inner" / longName), "old");

    // Where a name must be text (config.json, an archive), one the locale cannot read is refused, named; and so
    // is a value of the command line that the locale cannot carry.
    const std::string utf8Advice = "; run the packager under a UTF-8 locale (LC_ALL=C.UTF-8, say)";
    const RunResult notAnArchive = package("C", {"--archive"});
    EXPECT_EQ(notAnArchive.exitStatus, 2);
    EXPECT_NE(notAnArchive.err.find("--archive cannot hold the name of "), std::string::npos) << notAnArchive.err;
    EXPECT_NE(notAnArchive.err.find(utf8Advice), std::string::npos) << notAnArchive.err;
    const RunResult notAName = package("C", {"--name", "J\xC3\xB6rg's Viewer"});
    EXPECT_EQ(notAName.exitStatus, 2);
    EXPECT_NE(notAName.err.find("error: --name has a value this system's encoding (US-ASCII) cannot carry (it arrived "
                                "as \"J??rg's Viewer\")" + utf8Advice),
              std::string::npos)
        << notAName.err;
    // Under a UTF-8 locale, bytes that are not UTF-8 arrive as U+FFFD, and are not taken for that character.
    const RunResult notUtf8 = package("C.UTF-8", {"--name", "N\xE9"});
    EXPECT_EQ(notUtf8.exitStatus, 2);
    EXPECT_NE(notUtf8.err.find("error: --name has a value this system's encoding (UTF-8) cannot carry (it arrived as "
                               "\"N?\")"),
              std::string::npos)
        << notUtf8.err;
    fs::copy_file(work.input / "probe.jar", work.input / "biblioth\xC3\xA8que.jar");
    const RunResult notAJarName = package("C", {});
    EXPECT_EQ(notAJarName.exitStatus, 2);
    EXPECT_NE(notAJarName.err.find("error: config.json cannot hold the name of \""), std::string::npos) << notAJarName.err;
    EXPECT_NE(notAJarName.err.find("que.jar\", which is not text in this system's encoding (US-ASCII)" + utf8Advice),
              std::string::npos)
        << notAJarName.err;
    fs::remove(work.input / "biblioth\xC3\xA8que.jar");
    // A manifest naming a jar outside --input by such a name: the jar would not be copied into the folder.
    const TempDir elsewhere;
    fs::copy_file(work.input / "probe.jar", elsewhere.path() / "biblioth\xC3\xA8que.jar");
    writeFile(elsewhere.path() / "plugin.manifest",
              "Class-Path: " + (elsewhere.path() / "biblioth\xC3\xA8que.jar").string() + "\n");
    const RunResult jar = runProcess(fs::path(JDK_HOME) / "bin" / "jar",
                                     {"--create", "--file", (work.input / "plugin.jar").string(), "--manifest",
                                      (elsewhere.path() / "plugin.manifest").string(), "-C", elsewhere.path().string(),
                                      "plugin.manifest"},
                                     elsewhere.path(), 120);
    ASSERT_EQ(jar.exitStatus, 0) << jar.err;
    const RunResult notAManifestName = package("C", {});
    EXPECT_EQ(notAManifestName.exitStatus, 2);
    EXPECT_NE(notAManifestName.err.find("que.jar\" in its Class-Path, which is not text in this system's encoding "
                                        "(US-ASCII)" + utf8Advice),
              std::string::npos)
        << notAManifestName.err;
    fs::remove(work.input / "plugin.jar");

    // An archive holds names as text: a name that is no text is refused, the rest read back by GNU tar.
    const RunResult refused = package("C.UTF-8", {"--archive"});
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_NE(refused.err.find("--archive cannot hold the name of "), std::string::npos) << refused.err;
    fs::remove(work.input / names[1]);
    fs::remove(work.input / names[2]);
    ASSERT_EQ(package("C.UTF-8", {"--archive"}).exitStatus, 0);
    TempDir extracted;
    ASSERT_EQ(runProcess("/bin/tar", {"xzf", (work.dest / "probe.tar.gz").string(), "-C", extracted.path().string()},
                         extracted.path())
                  .exitStatus,
              0);
    EXPECT_EQ(readFile(extracted.path() / "probe" / names[0]), names[0]);
    struct stat status {};
    ASSERT_EQ(stat((extracted.path() / "probe" / "inner" / longName).c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, -315619200) << "a time before 1970";
}

// Runs the packager with a temporary folder of its own, stops it with SIGTERM once the shell condition `when`
// holds ($3 is --dest), and returns what the shell says: the packager's exit status.
RunResult interruptPackaging(const Workspace& work, const std::string& when, const std::string& type = "app-image") {
    fs::create_directory(work.root.path() / "tmp");
    return runProcess(
        "/bin/sh",
        {"-c", "\"$0\" -Djava.io.tmpdir=\"$4\" -jar \"$1\" --input \"$2\" --dest \"$3\" --main-jar probe.jar "
               "--main-class probe.Probe --type \"$5\" & until ! kill -0 $! 2>/dev/null || " + when +
               "; do sleep 0.02; done; kill -TERM $!; wait $!; echo $?",
         java17.string(), PACKAGER_JAR, work.input.string(), work.dest.string(), (work.root.path() / "tmp").string(),
         type},
        work.root.path(), 300);
}

// Nothing of an interrupted run is left, neither beside the folder nor in the temporary folder, and nothing
// said it failed: the work stops before the clean-up begins.
void expectNothingLeftBehind(const Workspace& work, const RunResult& stopped) {
    EXPECT_EQ(stopped.out, "143\n") << stopped.err;
    EXPECT_TRUE(fs::is_empty(work.dest)) << "the staging folder was left behind";
    EXPECT_TRUE(fs::is_empty(work.root.path() / "tmp")) << "a temporary file was left behind";
    EXPECT_EQ(stopped.err, "");
}

TEST(Packager, InterruptedWhileLinkingLeavesNothingBehind) {
    const Workspace work;
    // Once jlink has begun to write the runtime.
    expectNothingLeftBehind(work, interruptPackaging(work, "[ -d \"$(echo \"$3\"/.probe.packaging-*/jre)\" ]"));
}

TEST(Packager, InterruptedWhileCopyingTheInputLeavesNothingBehind) {
    const Workspace work;
    fs::create_directory(work.input / "data");
    for (int i = 0; i < 20000; ++i) writeFile(work.input / "data" / (std::to_string(i) + ".txt"), "a small file");
    // Once the copy has begun.
    expectNothingLeftBehind(work, interruptPackaging(work, "[ -n \"$(ls -A \"$3\"/.probe.packaging-*/data 2>/dev/null)\" ]"));
}

TEST(Packager, InterruptedWhileCompressingAPackageLeavesNothingBehind) {
    const Workspace work;
    // Once the runtime's compression has begun (it took a minute to end, and the package was made).
    expectNothingLeftBehind(
        work, interruptPackaging(work, "[ -s \"$(echo \"$3\"/.probe.package-*/data.tar.xz)\" ]", "deb"));
}

TEST(Packager, ReplacingNamesWhatItCannotRemoveOfTheOldFolder) {
    const Workspace work;
    // A small runtime, copied in, so that the test spends its time on the replacing.
    const fs::path runtime = work.root.path() / "runtime";
    linkSmallRuntime(runtime, "java.base");
    const Lines options = {"--main-class", "probe.Probe", "--runtime-image", runtime.string()};
    ASSERT_EQ(work.package(options).exitStatus, 0);
    // A file even root cannot delete; another user cannot delete one in a folder it cannot write.
    const fs::path kept = work.dest / "probe" / "locked" / "kept.txt";
    fs::create_directory(kept.parent_path());
    writeFile(kept, "a file that cannot be deleted");
    const bool root = getuid() == 0;
    const auto lock = [&](const fs::path& file, bool locked) {
        if (root) return runProcess("/usr/bin/chattr", {locked ? "+i" : "-i", file.string()}, work.root.path()).exitStatus == 0;
        fs::permissions(file.parent_path(), fs::perms::owner_write, locked ? fs::perm_options::remove : fs::perm_options::add);
        return true;
    };
    if (!lock(kept, true)) GTEST_SKIP() << "chattr +i is not possible here, so root can delete any file";

    Lines replacing = options;
    replacing.push_back("--replace");
    const RunResult replaced = work.package(replacing);
    fs::path left;
    for (const fs::directory_entry& entry : fs::directory_iterator(work.dest)) {
        if (entry.path().filename().string().rfind(".probe.replaced-", 0) == 0) left = entry.path();
    }
    if (!left.empty()) lock(left / "locked" / "kept.txt", false);

    EXPECT_EQ(replaced.exitStatus, 0) << replaced.err;
    EXPECT_NE(replaced.err.find("warning: could not remove the folder this one replaced, now \"" + left.string() +
                                "\" ("),
              std::string::npos)
        << replaced.err;
    EXPECT_TRUE(fs::exists(work.dest / "probe" / "config.json"));
}

TEST(Packager, RefusesADestItCannotWriteIn) {
    const Workspace work;
    fs::permissions(work.dest, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    // What nobody reads is copied where it can, wherever the checkout lies and whatever the umask.
    const fs::path packager = work.root.path() / "packager.jar";
    const fs::path launcher = work.root.path() / "launcher";
    fs::copy_file(PACKAGER_JAR, packager);
    fs::copy_file(LAUNCHER_EXECUTABLE, launcher);
    const fs::perms readable = fs::perms::others_read | fs::perms::group_read;
    const fs::perms enterable = readable | fs::perms::others_exec | fs::perms::group_exec;
    for (const fs::path& folder : {work.root.path(), work.input}) fs::permissions(folder, enterable, fs::perm_options::add);
    for (const fs::path& file : {packager, work.input / "probe.jar"}) fs::permissions(file, readable, fs::perm_options::add);
    fs::permissions(launcher, enterable, fs::perm_options::add);
    const RunResult result = runAsNobody(java17,
                                         {"-jar", packager.string(), "--input", work.input.string(), "--dest",
                                          work.dest.string(), "--main-jar", "probe.jar", "--main-class", "probe.Probe",
                                          "--launcher", launcher.string()},
                                         "/", 300);

    EXPECT_EQ(result.exitStatus, 2) << result.out << result.err;
    EXPECT_NE(result.err.find("error: no permission to write in \"" + work.dest.string() + "\""), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_empty(work.dest));
}

TEST(Packager, AotCacheServesTheProgramsClassesAfterTheFolderMoves) {
    if (!fs::exists(java25)) GTEST_SKIP() << "no Java 25 JDK at " << JAVA25_HOME << ": the AOT cache is not tested";
    const Workspace work;
    const RunResult packaged = work.packageWithSharedRuntime(
        {"--main-class", "probe.Probe", "--aot-cache", "--verbose", "--java-options",
         "-Xlog:class+load:file=$APPDIR/loaded.txt -Xlog:gc:file=gc.log"},
        java25);
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    EXPECT_NE(packaged.out.find("the training run: the launcher with the java options "
                                "'-Xlog:class+load:file=$APPDIR/loaded.txt' -Xlog:gc:file=gc.log "
                                "'-XX:AOTCacheOutput=$APPDIR/app.aot' -Dlauncher.aot.training=true in config.json\n"),
              std::string::npos)
        << packaged.out;
    EXPECT_NE(packaged.out.find("  probe ended with status 0\n"), std::string::npos) << packaged.out;
    // The JVM's gc.log goes into the training run's current directory, which is not shipped.
    EXPECT_FALSE(fs::exists(work.dest / "probe" / "gc.log")) << "the training run's file was shipped";

    TempDir elsewhere;
    const fs::path moved = elsewhere.path() / "moved";
    fs::rename(work.dest / "probe", moved);
    const RunResult result = runProcess(moved / "probe", {}, elsewhere.path());
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(readFile(moved / "config.json").find("\"-XX:AOTCache=$APPDIR/app.aot\""), std::string::npos);
    EXPECT_NE(readFile(moved / "loaded.txt").find("probe.Probe source: shared objects file"), std::string::npos)
        << "the program's class came from elsewhere";
}

TEST(Packager, LinksFromTheJmodsOfTheSameJavaVersion) {
    const Workspace work;
    const RunResult result =
        work.package({"--main-class", "probe.Probe", "--module-path", (fs::path(JDK_HOME) / "jmods").string()});

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(readFile(work.dest / "probe" / "jre" / "release").find("java.management"), std::string::npos);

    // A folder the packager made is replaced when asked, and only then.
    EXPECT_EQ(work.package({"--main-class", "probe.Probe"}).exitStatus, 2);
    const RunResult replaced = work.packageWithSharedRuntime({"--main-class", "probe.Probe", "--replace"});
    EXPECT_EQ(replaced.exitStatus, 0) << replaced.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(work.dest), fs::directory_iterator()), 1) << "nothing beside it";
}

TEST(Packager, RefusesTheJmodsOfAnotherJavaVersion) {
    if (!fs::exists(java25)) GTEST_SKIP() << "no Java 25 JDK at " << JAVA25_HOME << " to run a jlink of another version";
    const Workspace work;
    const RunResult result =
        work.package({"--main-class", "probe.Probe", "--module-path", (fs::path(JDK_HOME) / "jmods").string()}, java25);

    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_NE(result.err.find("jmods\" holds the modules of Java 17."), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(", and this jlink is Java 25."), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_empty(work.dest));
}

// Runs a JDK tool (jar, javac) in `cwd`; the test fails when it does.
void runJdkTool(const std::string& tool, const Lines& arguments, const fs::path& cwd) {
    const RunResult result = runProcess(fs::path(JDK_HOME) / "bin" / tool, arguments, cwd, 120);
    ASSERT_EQ(result.exitStatus, 0) << tool << ": " << result.out << result.err;
}

// A jar of `folder`'s classes whose manifest has these lines.
void makeJar(const fs::path& jar, const std::string& manifest, const fs::path& classes) {
    writeFile(jar.string() + ".manifest", manifest);
    runJdkTool("jar", {"--create", "--file", jar.string(), "--manifest", jar.string() + ".manifest", "-C",
                       classes.string(), "."},
               jar.parent_path());
    fs::remove(jar.string() + ".manifest");
}

// Launchers beside the main one share its runtime and jars; each runs with the settings its properties name and
// the main launcher's for the rest, and the runtime holds what every launcher needs.
TEST(Packager, ExtraLaunchersShareTheRuntimeAndRunWithTheirOwnSettings) {
    const Workspace work;
    fs::create_directories(work.root.path() / "src" / "tool");
    writeFile(work.root.path() / "src" / "tool" / "Tool.java",
              "package tool;\n"
              "public class Tool {\n"
              "    public static void main(String[] args) {\n"
              "        System.out.println(\"tool \" + String.join(\",\", args) + \" \" + System.getProperty(\"probe.value\")\n"
              "                + \" \" + System.getProperty(\"java.class.path\"));\n"
              "    }\n"
              "}\n");
    runJdkTool("javac", {"-d", "classes", "src/tool/Tool.java"}, work.root.path());
    runJdkTool("jar", {"--create", "--file", (work.input / "tool.jar").string(), "--main-class", "tool.Tool", "-C",
                       "classes", "."},
               work.root.path());
    writeFile(work.root.path() / "cli.properties",
              "# the command-line face of the program\n"
              "java-options=-Dprobe.value=cli --add-modules java.net.http\n"
              "arguments=--from-cli\n");
    writeFile(work.root.path() / "tool.properties", "main-jar=tool.jar\n");
    const RunResult packaged = work.package(
        {"--main-class", "probe.Probe", "--name", "Probe", "--java-options", "-Dprobe.value=main", "--arguments",
         "--from-main", "--add-launcher", "probe-cli=" + (work.root.path() / "cli.properties").string(),
         "--add-launcher", "tool=" + (work.root.path() / "tool.properties").string()});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;

    const fs::path app = fs::canonical(work.dest / "Probe");
    EXPECT_NE(readFile(app / "jre" / "release").find("java.net.http"), std::string::npos)
        << "a module only the extra launcher's options add";
    const std::string classPath = app.string() + "/probe.jar:" + app.string() + "/tool.jar";

    const RunResult main = runProcess(app / "Probe", {}, work.root.path());
    EXPECT_EQ(main.exitStatus, 0) << main.err;
    EXPECT_EQ(firstLine(main.probeLines()), "args 1");
    EXPECT_EQ(main.probeUserOptions(), (Lines{"-Djpackage.app-path=" + app.string() + "/Probe", "-Dprobe.value=main"}));

    const RunResult cli = runProcess(app / "probe-cli", {}, work.root.path());
    EXPECT_EQ(cli.exitStatus, 0) << cli.err;
    EXPECT_EQ(firstLine(cli.probeLines()), "args 1") << "its own default arguments";
    EXPECT_EQ(cli.probeUserOptions(), (Lines{"-Djpackage.app-path=" + app.string() + "/probe-cli", "-Dprobe.value=cli",
                                             "--add-modules=java.net.http"}));
    EXPECT_TRUE(contains(cli.probeLines(), "class path " + classPath)) << "the main launcher's jars: " << cli.out;

    // Another main jar first on the class path, the main launcher's options inherited.
    const RunResult tool = runProcess(app / "tool", {"x"}, work.root.path());
    EXPECT_EQ(tool.exitStatus, 0) << tool.err;
    EXPECT_EQ(tool.out, "tool x main " + app.string() + "/tool.jar:" + app.string() + "/probe.jar\n");
}

TEST(Packager, ClassPathHoldsTheInputsJarsAndCopiesOfTheJarsManifestsNameOutsideIt) {
    Workspace work;
    const fs::path classes = work.root.path() / "classes";
    fs::create_directories(classes);
    runJdkTool("jar", {"--extract", "--file", (work.input / "probe.jar").string()}, classes);
    fs::remove(work.input / "probe.jar");
    // The main jar reaches lib/reached.jar and, outside the input, ext.jar, which reaches dep.jar beside it.
    fs::create_directories(work.input / "lib");
    fs::create_directories(work.root.path() / "outside" / "other");
    makeJar(work.input / "probe.jar", "Class-Path: lib/reached.jar ../outside/ext.jar absent.jar\n", classes);
    makeJar(work.input / "lib" / "reached.jar", "", classes);
    // A class in a package of the JDK's own (as old XML jars have), of which jdeps warns on its output.
    fs::create_directories(work.root.path() / "split" / "org" / "xml" / "sax" / "ext");
    writeFile(work.root.path() / "split" / "org" / "xml" / "sax" / "ext" / "Split.java",
              "package org.xml.sax.ext; public class Split { }\n");
    runJdkTool("javac", {"--release", "8", "-d", classes.string(), "org/xml/sax/ext/Split.java"},
               work.root.path() / "split");
    makeJar(work.input / "lib" / "unreached.jar", "", classes);
    // A modular jar on the class path whose module requires one that is not there, as JavaFX libraries do.
    const fs::path mods = work.root.path() / "mods";
    fs::create_directories(mods / "lib.a" / "a");
    fs::create_directories(mods / "lib.b" / "b");
    writeFile(mods / "lib.a" / "module-info.java", "module lib.a { requires lib.b; }\n");
    writeFile(mods / "lib.a" / "a" / "A.java", "package a; public class A { }\n");
    writeFile(mods / "lib.b" / "module-info.java", "module lib.b { exports b; }\n");
    writeFile(mods / "lib.b" / "b" / "B.java", "package b; public class B { }\n");
    runJdkTool("javac", {"-d", "out", "--module-source-path", "mods", "--module", "lib.a,lib.b"}, work.root.path());
    runJdkTool("jar", {"--create", "--file", (work.input / "lib" / "modular.jar").string(), "-C", "out/lib.a", "."},
               work.root.path());
    makeJar(work.root.path() / "outside" / "ext.jar", "Class-Path: dep.jar other/ext.jar\n", classes);
    makeJar(work.root.path() / "outside" / "dep.jar", "", classes);
    makeJar(work.root.path() / "outside" / "other" / "ext.jar", "", classes);

    // jlink's --add-options puts an option into the runtime itself.
    const RunResult packaged = work.package({"--main-class", "probe.Probe", "--arguments", "first 'second one'",
                                             "--jlink-options", "--add-options=-Dprobe.value=from-jlink --strip-debug"});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    const fs::path app = work.dest / "probe";
    EXPECT_NE(packaged.out.find("copying \"" + (work.root.path() / "outside" / "ext.jar").string() +
                                "\" into external-jars/ext.jar: the manifest of probe.jar names it outside --input\n"),
              std::string::npos)
        << packaged.out;
    EXPECT_TRUE(fs::exists(app / "external-jars" / "ext-2.jar")) << "a second jar of the same name";

    const RunResult defaults = runProcess(app / "probe", {}, work.root.path());
    const RunResult given = runProcess(app / "probe", {"given"}, work.root.path());
    ASSERT_EQ(defaults.exitStatus, 0) << defaults.err;
    EXPECT_EQ(firstLine(defaults.probeLines()), "args 2");
    EXPECT_EQ(firstLine(given.probeLines()), "args 1");
    EXPECT_EQ(lastLine(defaults.probeLines()), "value from-jlink");
    const std::string folder = fs::canonical(app).string();
    EXPECT_TRUE(contains(defaults.probeLines(), "class path " + folder + "/probe.jar:" + folder + "/lib/modular.jar:" +
                                                    folder + "/lib/unreached.jar:" + folder + "/external-jars/ext.jar:" +
                                                    folder + "/external-jars/dep.jar:" + folder +
                                                    "/external-jars/ext-2.jar"))
        << defaults.out;
}

// A jar of the class dep.NAME (signed.NAME for a jar to be signed: java wants one signer per package), whose
// where() returns `word`.
void makeWhereJar(const fs::path& root, const std::string& name, const std::string& word, const fs::path& jar) {
    const fs::path sources = root / ("sources-" + name + "-" + word);
    const std::string package = name == "Signed" ? "signed" : "dep";
    fs::create_directories(sources / package);
    writeFile(sources / package / (name + ".java"), "package " + package + "; public class " + name +
                                                        " { public static String where() { return \"" + word + "\"; } }\n");
    runJdkTool("javac", {"--release", "8", "-d", "classes", package + "/" + name + ".java"}, sources);
    fs::create_directories(jar.parent_path());
    makeJar(jar, "", sources / "classes");
}

TEST(Packager, JarsTheManifestsNameByAbsolutePathsComeFromTheFolderOnAnyMachine) {
    Workspace work;
    fs::remove(work.input / "probe.jar");
    const fs::path& root = work.root.path();
    // "system" stands for /usr/share/java: the build machine's jars, which the manifests name by absolute path.
    const fs::path system = root / "system";
    for (const char* name : {"Dep", "Two", "Three", "Same"}) {
        makeWhereJar(root, name, "folder", system / (std::string(name) + ".jar"));
    }
    fs::create_directories(work.input / "lib");
    fs::copy_file(system / "Same.jar", work.input / "lib" / "Same.jar");
    // A signed jar that names one of them; another jar, not on the main jar's Class-Path, names a third.
    makeWhereJar(root, "Signed", "folder", work.input / "lib" / "signed.jar");
    writeFile(root / "signed.manifest", "Class-Path: " + (system / "Two.jar").string() + "\n");
    runJdkTool("jar", {"--update", "--file", (work.input / "lib" / "signed.jar").string(), "--manifest",
                       (root / "signed.manifest").string()},
               root);
    runJdkTool("keytool", {"-genkeypair", "-keystore", "keys", "-storepass", "secret", "-keypass", "secret", "-alias",
                           "k", "-dname", "CN=test", "-keyalg", "EC", "-validity", "2"},
               root);
    runJdkTool("jarsigner", {"-keystore", "keys", "-storepass", "secret", (work.input / "lib" / "signed.jar").string(), "k"},
               root);
    makeWhereJar(root, "Plugin", "folder", work.input / "lib" / "plugin.jar");
    writeFile(root / "plugin.manifest", "Class-Path: " + (system / "Three.jar").string() + "\n");
    runJdkTool("jar", {"--update", "--file", (work.input / "lib" / "plugin.jar").string(), "--manifest",
                       (root / "plugin.manifest").string()},
               root);
    fs::create_directories(root / "app" / "app");
    writeFile(root / "app" / "app" / "Main.java",
              "package app; public class Main { public static void main(String[] args) { System.out.println("
              "dep.Dep.where() + \" \" + dep.Two.where() + \" \" + dep.Three.where() + \" \" + dep.Same.where() + \" \" + "
              "signed.Signed.where()); } }\n");
    std::string compileClassPath;
    for (const char* name : {"Dep", "Two", "Three", "Same"}) compileClassPath += (system / name).string() + ".jar:";
    runJdkTool("javac", {"--release", "8", "-cp", compileClassPath + (work.input / "lib" / "signed.jar").string(), "-d",
                         "classes", "app/Main.java"},
               root / "app");
    makeJar(work.input / "app.jar",
            "Main-Class: app.Main\nClass-Path: " + (system / "Dep.jar").string() + " " + (system / "Same.jar").string() +
                " lib/signed.jar\n",
            root / "app" / "classes");

    const RunResult packaged = runProcess(java17, {"-jar", PACKAGER_JAR, "--input", work.input.string(), "--main-jar",
                                                   "app.jar", "--dest", work.dest.string(), "--runtime-image",
                                                   sharedRuntime(java17).at(1)},
                                          root, 300);
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.out << packaged.err;
    const fs::path app = work.dest / "app";
    for (const char* copied : {"Dep.jar", "Two.jar", "Three.jar"}) {
        EXPECT_TRUE(fs::exists(app / "external-jars" / copied)) << copied << packaged.out;
    }
    EXPECT_FALSE(fs::exists(app / "external-jars" / "Same.jar")) << "the same bytes as lib/Same.jar, copied again";
    const RunResult verified = runProcess(fs::path(JDK_HOME) / "bin" / "jarsigner",
                                          {"-verify", (app / "lib" / "signed.jar").string()}, root);
    EXPECT_NE(verified.out.find("jar verified."), std::string::npos) << verified.out << verified.err;

    // As built; then on a machine whose jars at those paths hold other classes of the same names; then on one without.
    const RunResult asBuilt = runProcess(app / "app", {}, root);
    for (const char* name : {"Dep", "Two", "Three", "Same"}) {
        fs::remove(system / (std::string(name) + ".jar"));
        makeWhereJar(root, name, "machine", system / (std::string(name) + ".jar"));
    }
    const RunResult otherMachine = runProcess(app / "app", {}, root);
    fs::remove_all(system);
    const RunResult withoutThem = runProcess(app / "app", {}, root);
    for (const RunResult* run : {&asBuilt, &otherMachine, &withoutThem}) {
        EXPECT_EQ(run->exitStatus, 0) << run->err;
        EXPECT_EQ(run->out, "folder folder folder folder folder\n") << run->err;
    }
}

TEST(Packager, ModulesTheProgramReachesByNameAreLinkedOrNamedWithTheOptionThatAddsThem) {
    Workspace work;
    fs::remove(work.input / "probe.jar");
    const fs::path& root = work.root.path();
    fs::create_directories(root / "app" / "app");
    // Formatting through PrintWriter, the compiler through ToolProvider, and a class whose name the program builds.
    writeFile(root / "app" / "app" / "Main.java",
              "package app; public class Main { public static void main(String[] args) {\n"
              "  new java.io.PrintWriter(System.out, true).printf(\"%,.2f%n\", 1234567.891);\n"
              "  System.out.println(\"compiler \" + (javax.tools.ToolProvider.getSystemJavaCompiler() != null));\n"
              "  try {\n"
              "    Class.forName(\"java.net.\" + System.getProperty(\"client\", \"http.HttpClient\"));\n"
              "    System.out.println(\"http found\");\n"
              "  } catch (ClassNotFoundException missing) {\n"
              "    System.out.println(\"http missing\");\n"
              "  }\n"
              "} }\n");
    runJdkTool("javac", {"-d", "classes", "app/Main.java"}, root / "app");
    makeJar(work.input / "app.jar", "Main-Class: app.Main\n", root / "app" / "classes");
    const auto packageWith = [&](const Lines& options) {
        Lines arguments = {"-jar", PACKAGER_JAR, "--input", work.input.string(), "--main-jar", "app.jar", "--dest",
                           work.dest.string(), "--replace", "--java-options", "-Duser.language=de -Duser.country=DE"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return runProcess(java17, arguments, root, 300);
    };

    const RunResult measured = packageWith({});
    ASSERT_EQ(measured.exitStatus, 0) << measured.out << measured.err;
    EXPECT_NE(measured.out.find("note: app/Main.class in app.jar loads classes by names it builds"), std::string::npos)
        << measured.out;
    // The modules left out, counted, in lines a terminal shows whole.
    EXPECT_NE(measured.out.find(" modules:\n    "), std::string::npos) << measured.out;
    EXPECT_NE(measured.out.find(" java.net.http,"), std::string::npos) << measured.out;
    EXPECT_NE(measured.out.find("\n  --add-modules ALL-DEFAULT links them"), std::string::npos) << measured.out;
    for (const std::string& line : splitLines(measured.out)) {
        if (line.rfind("note: ", 0) == 0 || line.rfind("  ", 0) == 0) {
            EXPECT_LE(line.size(), 100u) << line;
        }
    }
    const RunResult measuredRun = runProcess(work.dest / "app" / "app", {}, root);
    EXPECT_EQ(measuredRun.out, "1.234.567,89\ncompiler true\nhttp missing\n") << measuredRun.err;

    const RunResult whole = packageWith({"--add-modules", "ALL-DEFAULT"});
    ASSERT_EQ(whole.exitStatus, 0) << whole.out << whole.err;
    EXPECT_EQ(whole.out.find("note:"), std::string::npos) << whole.out;
    const RunResult wholeRun = runProcess(work.dest / "app" / "app", {}, root);
    EXPECT_EQ(wholeRun.out, "1.234.567,89\ncompiler true\nhttp found\n") << wholeRun.err;
}

TEST(Packager, SplashImageOfTheManifestIsShownAsJavaJarShowsIt) {
    if (!fs::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb (apt-get install xvfb): the splash is not tested";
    Workspace work;
    const fs::path classes = work.root.path() / "classes";
    fs::create_directories(classes / "images");
    runJdkTool("jar", {"--extract", "--file", (work.input / "probe.jar").string()}, classes);
    fs::copy_file(SPLASH_IMAGE, classes / "images" / "splash.png");
    fs::remove(work.input / "probe.jar");
    makeJar(work.input / "probe.jar", "SplashScreen-Image: images/splash.png\n", classes);
    const RunResult packaged = work.package({"--main-class", "probe.Probe", "--java-options", "-Dprobe.mode=splash"});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;

    const fs::path app = work.dest / "probe";
    EXPECT_NE(readFile(app / "config.json").find("\"-splash:$APPDIR/splash.png\""), std::string::npos);
    EXPECT_NE(readFile(app / "jre" / "release").find("java.desktop"), std::string::npos) << "no splash library";
    const VirtualDisplay display;
    ASSERT_TRUE(display.isReady()) << "Xvfb did not start";
    const RunResult run = runProcess(app / "probe", {}, work.root.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    ASSERT_GE(run.probeLines().size(), 3u) << run.out << run.err;
    EXPECT_EQ(run.probeLines()[1], "splash file:" + fs::canonical(app).string() + "/splash.png");
    EXPECT_EQ(run.probeLines()[2], "pixel 200,30,60");
}

// Removes the test's package from the machine at the end, also when the test fails half-way.
struct InstalledPackage {
    std::string name;
    ~InstalledPackage() { runProcess("/usr/bin/dpkg", {"--purge", name}, "/", 120); }
};

TEST(Packager, DebianPackageInstallsRunsAndRemovesItsFiles) {
    if (getuid() != 0 || !fs::exists("/usr/bin/dpkg")) GTEST_SKIP() << "installing a package needs dpkg and root";
    const Workspace work;
    writeFile(work.root.path() / "plan.properties", "extension=plan\nmime-type=application/x-probe-plan\n"
                                                    "description=Probe plan\nicon=" DOCUMENT_ICON "\n");
    fs::copy_file(SPLASH_IMAGE, work.root.path() / "icon.png");
    // What the probe needs to run, and no more: xz compresses the package at about a second per megabyte.
    const fs::path runtime = work.root.path() / "runtime";
    linkSmallRuntime(runtime, "java.base,java.management");
    // A second launcher, with a menu entry of its own as the main launcher's --linux-shortcut asks.
    writeFile(work.root.path() / "cli.properties", "java-options=-Dprobe.value=cli\ndescription=The command line\n");
    writeFile(work.root.path() / "COPYING", "Probe licence\n\nUse it as you like.\n");
    // A name with %, a vendor with a comma and no maintainer's address, as lintian and desktop-file-validate judge.
    const RunResult packaged = work.package(
        {"--main-class", "probe.Probe", "--type", "deb", "--name", "Probe 100%", "--linux-package-name",
         "launcher-test-probe", "--app-version", "1.2.0", "--linux-app-release", "2", "--about-url",
         "https://example.com/probe", "--license-file", (work.root.path() / "COPYING").string(),
         "--linux-package-deps", "coreutils (>= 8)", "--linux-menu-group", "Utility", "--vendor", "Example, Ltd",
         "--description",
         "Reports what the launcher hands it", "--linux-shortcut",
         "--file-associations", (work.root.path() / "plan.properties").string(), "--icon",
         (work.root.path() / "icon.png").string(), "--runtime-image", runtime.string(), "--add-launcher",
         "probe-cli=" + (work.root.path() / "cli.properties").string()},
        java17, xzPackagingSeconds);
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    const fs::path deb = work.dest / "launcher-test-probe_1.2.0-2_amd64.deb";
    ASSERT_EQ(std::distance(fs::directory_iterator(work.dest), fs::directory_iterator()), 1) << "only the package";

    // The files compressed with xz by default, as dpkg-deb compresses them; dpkg reads them below.
    EXPECT_EQ(runProcess("/usr/bin/ar", {"t", deb.string()}, "/").out, "debian-binary\ncontrol.tar.gz\ndata.tar.xz\n");
    const std::string info = runProcess("/usr/bin/dpkg-deb", {"--info", deb.string()}, "/").out;
    for (const char* field : {" Package: launcher-test-probe\n", " Version: 1.2.0-2\n", " Architecture: amd64\n",
                              " Maintainer: \"Example, Ltd\" <nobody@example.invalid>\n", "libc6", "zlib1g",
                              ", coreutils (>= 8)\n", " Homepage: https://example.com/probe\n"}) {
        EXPECT_NE(info.find(field), std::string::npos) << field << " in " << info;
    }
    const std::string contents = runProcess("/usr/bin/dpkg-deb", {"--contents", deb.string()}, "/").out;
    for (const char* file : {"./opt/launcher-test-probe/Probe 100%\n",
                             "./opt/launcher-test-probe/jre/lib/server/libjvm.so\n",
                             "./usr/share/applications/launcher-test-probe.desktop\n",
                             "./usr/share/mime/packages/launcher-test-probe.xml\n",
                             "./usr/share/icons/hicolor/48x48/mimetypes/application-x-probe-plan.png\n"}) {
        EXPECT_NE(contents.find(file), std::string::npos) << file;
    }
    // Errors fail lintian; its warnings (the copyright is the product's own text, here none) do not.
    if (fs::exists("/usr/bin/lintian")) {
        const RunResult lint = runProcess("/usr/bin/lintian", {deb.string()}, "/", 300);
        EXPECT_EQ(lint.exitStatus, 0) << lint.out << lint.err;
        EXPECT_EQ(lint.out.find("E: "), std::string::npos) << lint.out;
    } else {
        ADD_FAILURE() << "lintian is missing (apt-get install lintian): the package is not checked";
    }

    const InstalledPackage installed{"launcher-test-probe"};
    const RunResult install = runProcess("/usr/bin/dpkg", {"--install", deb.string()}, "/", 300);
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;
    const RunResult run = runProcess("/opt/launcher-test-probe/Probe 100%", {"/home/user/a.plan"}, "/");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(firstLine(run.probeLines()), "args 1");
    const RunResult cli = runProcess("/opt/launcher-test-probe/probe-cli", {}, "/");
    EXPECT_EQ(cli.exitStatus, 0) << cli.err;
    EXPECT_EQ(lastLine(cli.probeLines()), "value cli");
    const std::string cliEntry = "/usr/share/applications/launcher-test-probe-probe-cli.desktop";
    EXPECT_NE(readFile(cliEntry).find("\nName=probe-cli\nComment=The command line\n"
                                      "Exec=/opt/launcher-test-probe/probe-cli %F\n"),
              std::string::npos)
        << readFile(cliEntry);
    const std::string entry = "/usr/share/applications/launcher-test-probe.desktop";
    EXPECT_NE(readFile(entry).find("\nExec=\"/opt/launcher-test-probe/Probe 100%%\" %f\n"
                                   "Icon=/opt/launcher-test-probe/Probe 100%.png\nMimeType=application/x-probe-plan;\n"
                                   "Categories=Utility;\n"),
              std::string::npos)
        << readFile(entry);
    if (fs::exists("/usr/bin/desktop-file-validate")) {
        const RunResult valid = runProcess("/usr/bin/desktop-file-validate", {entry, cliEntry}, "/");
        EXPECT_EQ(valid.exitStatus, 0) << valid.out << valid.err;
    } else {
        ADD_FAILURE() << "desktop-file-validate is missing (apt-get install desktop-file-utils): the entry is not checked";
    }
    EXPECT_NE(readFile("/usr/share/doc/launcher-test-probe/copyright").find("License: other\n Probe licence\n .\n Use "
                                                                         "it as you like.\n"),
              std::string::npos);
    // The package's own files, which removal takes away; the folders it shares with others (/usr/share) stay.
    Lines owned;
    for (const std::string& file : splitLines(runProcess("/usr/bin/dpkg", {"--listfiles", "launcher-test-probe"}, "/").out)) {
        if (file.rfind("/opt/launcher-test-probe", 0) == 0 || file.find("launcher-test-probe.") != std::string::npos ||
            file.find("launcher-test-probe-probe-cli.") != std::string::npos ||
            file.find("x-probe-plan.png") != std::string::npos) {
            owned.push_back(file);
        }
    }
    for (const char* file : {"/opt/launcher-test-probe/Probe 100%", "/opt/launcher-test-probe/jre/lib/server/libjvm.so",
                             "/usr/share/applications/launcher-test-probe.desktop",
                             "/usr/share/applications/launcher-test-probe-probe-cli.desktop",
                             "/usr/share/mime/packages/launcher-test-probe.xml",
                             "/usr/share/icons/hicolor/48x48/mimetypes/application-x-probe-plan.png"}) {
        EXPECT_TRUE(contains(owned, file)) << file << " is not among the files dpkg lists";
    }
    ASSERT_EQ(runProcess("/usr/bin/dpkg", {"--remove", "launcher-test-probe"}, "/", 300).exitStatus, 0);
    for (const std::string& file : owned) EXPECT_FALSE(fs::exists(file)) << file << " is left behind";
}

TEST(Packager, DebianPackageOfAFolderMadeBeforeHoldsItsFilesAsTheyAreNow) {
    if (!fs::exists("/usr/bin/dpkg-deb")) GTEST_SKIP() << "no dpkg-deb (apt-get install dpkg) to read the package with";
    const Workspace work;
    // A second launcher whose menu entry, description and service the installer made later gives it.
    writeFile(work.root.path() / "cli.properties",
              "linux-shortcut=true\nlauncher-as-service=true\ndescription=The command line\n");
    const RunResult made = work.packageWithSharedRuntime(
        {"--main-class", "probe.Probe", "--name", "Probe", "--add-launcher",
         "probe-cli=" + (work.root.path() / "cli.properties").string()});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    // Moved and renamed, as a signing step may: the folder's marker names its launcher. Bytes appended to the
    // launcher stand in for a signature (an ELF file runs with them).
    const fs::path folder = work.root.path() / "signed";
    fs::rename(work.dest / "Probe", folder);
    writeFile(folder / "Probe", readFile(folder / "Probe") + "signed after the folder was made");
    const auto before = snapshot(folder);
    const fs::path out = work.root.path() / "out";
    // The copyright file of the user's, used as it is; a file the packager does not read is named.
    const fs::path resources = work.root.path() / "resources";
    fs::create_directories(resources);
    writeFile(resources / "copyright", "Probe is the user's own.\n");
    writeFile(resources / "notes.txt", "not a file the packager writes");
    const RunResult packaged =
        runProcess(java17,
                   {"-jar", PACKAGER_JAR, "--type", "deb", "--app-image", folder.string(), "--dest", out.string(),
                    "--linux-package-name", "launcher-test-signed", "--linux-deb-compression", "gzip",
                    "--resource-dir", resources.string()},
                   work.root.path(), 300);
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    EXPECT_EQ(snapshot(folder), before) << "the folder given is left as it was";
    EXPECT_NE(packaged.err.find("warning: --resource-dir \"" + resources.string() + "\" holds \"notes.txt\", which is "
                                "none of the files the packager reads from it for --type deb"),
              std::string::npos)
        << packaged.err;

    const fs::path files = work.root.path() / "files";
    const fs::path deb = out / "launcher-test-signed_1.0_amd64.deb";
    ASSERT_EQ(runProcess("/usr/bin/dpkg-deb", {"-x", deb.string(), files.string()}, "/").exitStatus, 0);
    const fs::path installed = files / "opt" / "launcher-test-signed";
    for (const char* file : {"Probe", "probe-cli", "config.json", "probe.jar", "jre/lib/server/libjvm.so"}) {
        EXPECT_EQ(readFile(installed / file), readFile(folder / file)) << file << " differs from the folder's";
    }
    EXPECT_EQ(readFile(files / "usr/share/doc/launcher-test-signed/copyright"), "Probe is the user's own.\n");
    EXPECT_EQ(readFile(files / "usr/share/applications/launcher-test-signed-probe-cli.desktop"),
              "[Desktop Entry]\nType=Application\nName=probe-cli\nComment=The command line\n"
              "Exec=/opt/launcher-test-signed/probe-cli %F\nTerminal=false\n");
    EXPECT_NE(readFile(files / "lib/systemd/system/launcher-test-signed-probe-cli.service")
                  .find("\nExecStart=\"/opt/launcher-test-signed/probe-cli\"\n"),
              std::string::npos);
    const fs::path control = work.root.path() / "control";
    ASSERT_EQ(runProcess("/usr/bin/dpkg-deb", {"-e", deb.string(), control.string()}, "/").exitStatus, 0);
    EXPECT_NE(readFile(control / "postinst").find("deb-systemd-helper enable 'launcher-test-signed-probe-cli.service'"),
              std::string::npos)
        << readFile(control / "postinst");
    EXPECT_FALSE(fs::exists(installed / ".made-by-packager")) << "the package replaces its files itself";
    const RunResult run = runProcess(installed / "Probe", {"a"}, "/");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(firstLine(run.probeLines()), "args 1");
}

TEST(Packager, ServiceOfTheDebianPackageIsEnabledOnInstallationAndGoneOnRemoval) {
    if (getuid() != 0 || !fs::exists("/usr/bin/dpkg")) GTEST_SKIP() << "installing a package needs dpkg and root";
    const Workspace work;
    // % is a specifier to systemd, and $ a variable in the arguments: the unit must name this launcher all the same.
    const RunResult packaged = work.packageWithSharedRuntime(
        {"--main-class", "probe.Probe", "--type", "deb", "--name", "Probe $HOME 100%", "--linux-package-name",
         "launcher-test-service", "--description", "Reports 100% of what it gets", "--launcher-as-service",
         "--linux-deb-compression", "gzip"});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    const fs::path deb = work.dest / "launcher-test-service_1.0_amd64.deb";

    // The maintainer scripts, executable, that enable and start the service and stop and forget it.
    const fs::path control = work.root.path() / "control";
    ASSERT_EQ(runProcess("/usr/bin/dpkg-deb", {"-e", deb.string(), control.string()}, "/").exitStatus, 0);
    for (const auto& [script, line] : std::map<std::string, std::string>{
             {"postinst", "        deb-systemd-helper enable 'launcher-test-service.service' >/dev/null\n"},
             {"prerm", "    deb-systemd-invoke stop 'launcher-test-service.service' >/dev/null || true\n"},
             {"postrm", "    deb-systemd-helper purge 'launcher-test-service.service' >/dev/null\n"}}) {
        EXPECT_NE(readFile(control / script).find(line), std::string::npos) << script << ": " << readFile(control / script);
        EXPECT_EQ(access((control / script).c_str(), X_OK), 0) << script << " is not executable";
        EXPECT_EQ(runProcess("/bin/sh", {"-n", (control / script).string()}, "/").exitStatus, 0) << script;
    }
    if (fs::exists("/usr/bin/lintian")) {
        const RunResult lint = runProcess("/usr/bin/lintian", {deb.string()}, "/", 300);
        EXPECT_EQ(lint.out.find("E: "), std::string::npos) << lint.out;
    } else {
        ADD_FAILURE() << "lintian is missing (apt-get install lintian): the package is not checked";
    }

    const InstalledPackage installed{"launcher-test-service"};
    const RunResult install = runProcess("/usr/bin/dpkg", {"--install", deb.string()}, "/", 300);
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;
    const fs::path unit = "/lib/systemd/system/launcher-test-service.service";
    const fs::path enabled = "/etc/systemd/system/multi-user.target.wants/launcher-test-service.service";
    EXPECT_NE(readFile(unit).find("\nExecStart=\"/opt/launcher-test-service/Probe $HOME 100%%\"\n"), std::string::npos)
        << readFile(unit);
    EXPECT_TRUE(fs::is_symlink(enabled)) << "the service is not enabled";
    const bool canVerify = fs::exists("/usr/bin/systemd-analyze");
    if (canVerify) {
        // Reads the unit as systemd would, and finds the executable ExecStart names.
        const RunResult verify = runProcess("/usr/bin/systemd-analyze", {"verify", unit.string()}, "/", 120);
        EXPECT_EQ(verify.exitStatus, 0) << verify.out << verify.err;
        EXPECT_EQ(verify.err.find("launcher-test-service"), std::string::npos) << verify.err;
    }
    ASSERT_EQ(runProcess("/usr/bin/dpkg", {"--remove", "launcher-test-service"}, "/", 300).exitStatus, 0);
    EXPECT_FALSE(fs::exists(unit)) << unit << " is left behind";
    EXPECT_FALSE(fs::is_symlink(enabled)) << enabled << " is left behind";
    if (!canVerify) GTEST_SKIP() << "no systemd-analyze (apt-get install systemd): the unit was not verified";
}

// The RPM read back with rpm, judged by rpmlint, installed into a scratch root with a database of its own,
// run from there with the real JVM and erased again; its service enabled and disabled there by its scriptlets.
TEST(Packager, RpmPackageInstallsRunsAndErasesItsFilesInAScratchRoot) {
    if (!fs::exists("/usr/bin/rpmbuild")) GTEST_SKIP() << "rpmbuild is not installed (apt-get install rpm)";
    const Workspace work;
    writeFile(work.root.path() / "plan.properties", "extension=plan\nmime-type=application/x-probe-plan\n"
                                                    "description=Probe plan\nicon=" DOCUMENT_ICON "\n");
    fs::copy_file(SPLASH_IMAGE, work.root.path() / "icon.png");
    writeFile(work.root.path() / "COPYING", "Probe licence: use it as you like.\n");
    // Content beside the launcher: a folder and a file, each under its own name.
    fs::create_directories(work.root.path() / "docs" / "guide");
    writeFile(work.root.path() / "docs" / "guide" / "start.txt", "Start here.\n");
    writeFile(work.root.path() / "NOTICE", "Notice.\n");
    const RunResult packaged = work.packageWithSharedRuntime(
        {"--main-class", "probe.Probe", "--type", "rpm", "--name", "Probe 100%", "--linux-package-name",
         "launcher-test-probe", "--app-version", "1.2.0", "--linux-app-release", "3", "--vendor", "Example, Ltd",
         "--description", "Reports 100% of what the launcher hands it", "--linux-shortcut", "--linux-menu-group",
         "Utility", "--linux-rpm-license-type", "MIT", "--about-url", "https://example.com/probe",
         "--linux-package-deps", "xdg-utils", "--license-file", (work.root.path() / "COPYING").string(),
         "--file-associations", (work.root.path() / "plan.properties").string(), "--icon",
         (work.root.path() / "icon.png").string(), "--launcher-as-service", "--app-content",
         (work.root.path() / "docs").string() + "," + (work.root.path() / "NOTICE").string()});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    const fs::path rpm = work.dest / "launcher-test-probe-1.2.0-3.x86_64.rpm";
    ASSERT_EQ(std::distance(fs::directory_iterator(work.dest), fs::directory_iterator()), 1) << "only the package";

    const std::string info = runProcess("/usr/bin/rpm", {"-qip", rpm.string()}, "/").out;
    for (const char* field : {"Name        : launcher-test-probe\n", "Version     : 1.2.0\n", "Release     : 3\n",
                              "Architecture: x86_64\n", "License     : MIT\n", "Vendor      : Example, Ltd\n",
                              "URL         : https://example.com/probe\n",
                              "Summary     : Reports 100% of what the launcher hands it\n"}) {
        EXPECT_NE(info.find(field), std::string::npos) << field << " in " << info;
    }
    const Lines files = splitLines(runProcess("/usr/bin/rpm", {"-qlp", rpm.string()}, "/").out);
    for (const char* file : {"/opt/launcher-test-probe/Probe 100%", "/opt/launcher-test-probe/jre/lib/server/libjvm.so",
                             "/usr/share/applications/launcher-test-probe.desktop",
                             "/usr/share/mime/packages/launcher-test-probe.xml",
                             "/usr/share/icons/hicolor/48x48/mimetypes/application-x-probe-plan.png",
                             "/usr/share/licenses/launcher-test-probe/COPYING",
                             "/usr/lib/systemd/system/launcher-test-probe.service",
                             "/opt/launcher-test-probe/docs/guide/start.txt", "/opt/launcher-test-probe/NOTICE"}) {
        EXPECT_TRUE(contains(files, file)) << file << " is not in the package";
    }
    const std::string scripts = runProcess("/usr/bin/rpm", {"-qp", "--scripts", rpm.string()}, "/").out;
    for (const char* line : {"postinstall scriptlet (using /bin/sh):\nif [ \"$1\" -eq 1 ]; then\n    systemctl "
                             "--no-reload enable 'launcher-test-probe.service' >/dev/null 2>&1 || :\n",
                             "        systemctl stop 'launcher-test-probe.service' >/dev/null 2>&1 || :\n",
                             "    systemctl --no-reload disable 'launcher-test-probe.service' >/dev/null 2>&1 || :\n"}) {
        EXPECT_NE(scripts.find(line), std::string::npos) << line << " in " << scripts;
    }
    // What rpm's generator found the ELF files need, less the libraries the runtime holds itself.
    const Lines requires = splitLines(runProcess("/usr/bin/rpm", {"-qp", "--requires", rpm.string()}, "/").out);
    for (const char* needed : {"libc.so.6()(64bit)", "libz.so.1()(64bit)", "xdg-utils"}) {
        EXPECT_TRUE(contains(requires, needed)) << needed;
    }
    for (const std::string& needed : requires) {
        EXPECT_EQ(needed.find("libjvm.so"), std::string::npos) << needed;
        EXPECT_EQ(needed.find("libjava.so"), std::string::npos) << needed;
    }
    if (fs::exists("/usr/bin/rpmlint")) {
        // Errors fail; the few checks a JDK's runtime in /opt fails by design are named in the filter file.
        const RunResult lint = runProcess("/usr/bin/rpmlint", {"-c", RPMLINT_BY_DESIGN, rpm.string()}, "/", 300);
        EXPECT_EQ(lint.exitStatus, 0) << lint.out << lint.err;
        EXPECT_NE(lint.out.find(" 0 errors,"), std::string::npos) << lint.out;
    } else {
        ADD_FAILURE() << "rpmlint is missing (apt-get install rpmlint): the package is not checked";
    }

    // rpm runs the scriptlets inside the root it installs in, which has no shell: they run here instead, with
    // the real systemctl told to act on that root.
    const fs::path root = work.root.path() / "scratch";
    const RunResult install = runProcess("/usr/bin/rpm", {"--root", root.string(), "--dbpath", "/rpmdb", "--nodeps",
                                                          "--noscripts", "-i", rpm.string()}, "/", 300);
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;
    const fs::path bin = work.root.path() / "bin";
    fs::create_directories(bin);
    writeFile(bin / "systemctl", "#!/bin/sh\nexec /usr/bin/systemctl --root='" + root.string() + "' \"$@\"\n");
    fs::permissions(bin / "systemctl", fs::perms::owner_all);
    const auto scriptlet = [&](const char* tag, const char* count) {
        const std::string script = runProcess("/usr/bin/rpm", {"-qp", "--qf", tag, rpm.string()}, "/").out;
        return runProcess("/usr/bin/env", {"PATH=" + bin.string() + ":/usr/bin:/bin", "/bin/sh", "-c", script, "sh",
                                           count}, "/").exitStatus;
    };
    const fs::path enabled = root / "etc/systemd/system/multi-user.target.wants/launcher-test-probe.service";
    const bool canRunSystemctl = fs::exists("/usr/bin/systemctl");
    if (canRunSystemctl) {
        EXPECT_EQ(scriptlet("%{POSTIN}", "1"), 0);
        EXPECT_TRUE(fs::is_symlink(enabled)) << "the service is not enabled on installation";
    }
    const fs::path unit = "/usr/lib/systemd/system/launcher-test-probe.service";
    EXPECT_NE(readFile(root / unit.relative_path()).find("\nExecStart=\"/opt/launcher-test-probe/Probe 100%%\"\n"),
              std::string::npos);
    const bool canVerify = fs::exists("/usr/bin/systemd-analyze");
    if (canVerify) {
        // The unit read as systemd would read it in that root, where it finds the executable ExecStart names;
        // the target every service starts after stands in for the system's own units.
        const fs::path target = root / "etc/systemd/system/sysinit.target";
        fs::create_directories(target.parent_path());
        writeFile(target, "[Unit]\nDescription=System Initialization\n");
        const RunResult verify =
            runProcess("/usr/bin/systemd-analyze", {"verify", "--root=" + root.string(), unit.string()}, "/", 120);
        EXPECT_EQ(verify.exitStatus, 0) << verify.out << verify.err;
        EXPECT_EQ(verify.err.find("launcher-test-probe"), std::string::npos) << verify.err;
        fs::remove(target);
    }
    const RunResult run = runProcess(root / "opt/launcher-test-probe/Probe 100%", {"/home/user/a.plan"}, "/");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(firstLine(run.probeLines()), "args 1");
    const std::string entry = readFile(root / "usr/share/applications/launcher-test-probe.desktop");
    EXPECT_NE(entry.find("\nExec=\"/opt/launcher-test-probe/Probe 100%%\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nCategories=Utility;\n"), std::string::npos) << entry;
    EXPECT_EQ(fs::status(root / "opt/launcher-test-probe/jre/lib/libjava.so").permissions() & fs::perms::others_exec,
              fs::perms::others_exec) << "a shared library is executable, as rpm's rules want it";

    EXPECT_EQ(readFile(root / "opt/launcher-test-probe/docs/guide/start.txt"), "Start here.\n");

    if (canRunSystemctl) {
        EXPECT_EQ(scriptlet("%{PREUN}", "0"), 0);
        EXPECT_EQ(scriptlet("%{POSTUN}", "0"), 0);
        EXPECT_FALSE(fs::is_symlink(enabled)) << "the service is still enabled after its erasure";
    }
    const RunResult erase = runProcess(
        "/usr/bin/rpm", {"--root", root.string(), "--dbpath", "/rpmdb", "--noscripts", "-e", "launcher-test-probe"},
        "/", 300);
    ASSERT_EQ(erase.exitStatus, 0) << erase.out << erase.err;
    for (const fs::directory_entry& left : fs::recursive_directory_iterator(root)) {
        const bool database = left.path().string().rfind((root / "rpmdb").string(), 0) == 0;
        EXPECT_TRUE(left.is_directory() || database) << left.path() << " is left behind";
    }
    EXPECT_FALSE(fs::exists(root / "opt/launcher-test-probe")) << "the folder is left behind";
    if (!canRunSystemctl || !canVerify) {
        GTEST_SKIP() << "no systemctl or systemd-analyze (apt-get install systemd): the service was not tested";
    }
}

TEST(Packager, RpmWithoutRpmbuildIsRefusedNamingIt) {
    const Workspace work;
    const RunResult result = runProcess("/usr/bin/env", {"PATH=/nonexistent", java17.string(), "-jar", PACKAGER_JAR,
                                                          "--input", work.input.string(), "--dest", work.dest.string(),
                                                          "--main-jar", "probe.jar", "--main-class", "probe.Probe",
                                                          "--type", "rpm"},
                                        work.root.path());
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_NE(result.err.find("error: --type rpm needs rpmbuild on the path (the Debian and Ubuntu package rpm"),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(fs::is_empty(work.dest)) << "nothing is made";
}

TEST(Packager, MainModuleIsLinkedIntoTheRuntimeAndRunsAsJavaRunsIt) {
    Workspace work;
    const fs::path source = work.root.path() / "src";
    fs::create_directories(source / "hello");
    writeFile(source / "module-info.java", "module hello.app { }\n");
    writeFile(source / "hello" / "Main.java",
              "package hello;\n"
              "public class Main {\n"
              "    public static void main(String[] args) {\n"
              "        System.out.println(Main.class.getModule() + \" \" + String.join(\",\", args) + \" \"\n"
              "                + System.getProperty(\"sun.java.command\"));\n"
              "    }\n"
              "}\n");
    runJdkTool("javac", {"-d", "classes", "src/module-info.java", "src/hello/Main.java"}, work.root.path());
    fs::create_directories(work.root.path() / "mods");
    runJdkTool("jar", {"--create", "--file", "mods/hello.jar", "--main-class", "hello.Main", "-C", "classes", "."},
               work.root.path());

    const RunResult packaged = work.package({"--module", "hello.app", "--module-path",
                                             (work.root.path() / "mods").string(), "--java-options",
                                             "-splash:$APPDIR/absent.png"});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;
    const fs::path app = work.dest / "hello.app";
    EXPECT_NE(readFile(app / "jre" / "release").find("hello.app"), std::string::npos) << "not linked";
    // The splash library is java.desktop's, which no class of the program names.
    EXPECT_NE(readFile(app / "jre" / "release").find("java.desktop"), std::string::npos);
    EXPECT_NE(readFile(app / "config.json").find("\"mainModule\": \"hello.app\""), std::string::npos);
    const RunResult run = runProcess(app / "hello.app", {"a", "b"}, work.root.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "module hello.app a,b hello.app/hello.Main a b\n");
}

TEST(Packager, ProvidersJdepsCannotSeeWorkAsUnderTheJdk) {
    const Workspace work;
    const RunResult packaged = work.package({"--main-class", "probe.Probe"});
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;

    // A TLS server with an elliptic-curve (P-256) certificate.
    const fs::path& root = work.root.path();
    const RunResult certificate = runProcess(
        "/usr/bin/openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                             "-subj", "/CN=localhost", "-keyout", "key.pem", "-out", "cert.pem", "-days", "2"},
        root);
    ASSERT_EQ(certificate.exitStatus, 0) << certificate.err;
    const int port = freeLocalPort();
    ASSERT_GT(port, 0);
    const RunResult server = runProcess(
        "/bin/sh", {"-c", "timeout 120 openssl s_server -quiet -accept 127.0.0.1:$0 -cert cert.pem "
                          "-key key.pem >/dev/null 2>&1 & echo $!", std::to_string(port)},
        root);
    ASSERT_TRUE(waitUntilListening(port)) << "openssl s_server did not start";

    const Lines options = {"-Dprobe.mode=providers", "-Dprobe.port=" + std::to_string(port),
                           "-Dprobe.zip=" + (work.input / "probe.jar").string()};
    writeFile(work.dest / "probe" / "config.json",
              R"({"jar": "probe.jar", "mainClass": "probe/Probe", "trace": false, "vmArgs": [)" +
                  jsonString(options[0]) + "," + jsonString(options[1]) + "," + jsonString(options[2]) + "]}");
    const RunResult packagedRun = runProcess(work.dest / "probe" / "probe", {}, root);
    Lines javaCommand = options;
    javaCommand.insert(javaCommand.end(), {"-cp", PROBE_JAR, "probe.Probe"});
    const RunResult jdkRun = runProcess(java17, javaCommand, root);
    runProcess("/bin/kill", {firstLine(splitLines(server.out))}, root);

    EXPECT_EQ(packagedRun.probeLines(),
              (Lines{"args 0", "date Montag, 7. Dezember 2026", "charset Hello", "zipfs holds probe/Probe.class",
                     "tls EC certificate"}))
        << packagedRun.err;
    EXPECT_EQ(packagedRun.out, jdkRun.out);
    const std::string release = readFile(work.dest / "probe" / "jre" / "release");
    for (const char* module : {"jdk.crypto.ec", "jdk.charsets", "jdk.zipfs", "jdk.localedata"}) {
        EXPECT_NE(release.find(module), std::string::npos) << module;
    }
}

TEST(Packager, AntFromDebianRunsAsDebiansAntDoes) {
    const fs::path antLib = "/usr/share/ant/lib";
    if (!fs::exists(antLib / "ant-launcher.jar")) GTEST_SKIP() << "Debian's ant is not installed (apt-get install ant)";
    Workspace work;
    fs::remove(work.input / "probe.jar");
    fs::create_directories(work.input / "lib");
    for (const char* jar : {"ant-launcher.jar", "ant.jar"}) fs::copy_file(fs::canonical(antLib / jar), work.input / "lib" / jar);
    // Only jpackage's options: javac is a service of jdk.compiler, which no jar names.
    const RunResult packaged = runProcess(java17,
                                          {"-jar", PACKAGER_JAR, "--input", work.input.string(), "--main-jar",
                                           "lib/ant-launcher.jar", "--name", "ant", "--java-options",
                                           "-Dant.home=$APPDIR", "--add-modules", "jdk.compiler", "--dest",
                                           work.dest.string()},
                                          work.root.path(), 300);
    ASSERT_EQ(packaged.exitStatus, 0) << packaged.err;

    const fs::path project = work.root.path() / "project";
    fs::create_directories(project / "src");
    fs::create_directories(project / "classes");
    writeFile(project / "src" / "Hi.java", "public class Hi { }\n");
    writeFile(project / "build.xml",
              "<project name=\"probe\" default=\"build\">\n"
              "  <target name=\"build\">\n"
              "    <echo message=\"Hello ${who}, caf\xC3\xA9\"/>\n"
              "    <javac srcdir=\"src\" destdir=\"classes\" includeantruntime=\"false\"/>\n"
              "    <available file=\"classes/Hi.class\" property=\"compiled\"/>\n"
              "    <echo message=\"compiled: ${compiled}\"/>\n"
              "  </target>\n"
              "</project>\n");
    // Both through a pipe, as a build script runs them.
    const auto antOutput = [&](const std::string& ant) {
        fs::remove_all(project / "classes");
        fs::create_directories(project / "classes");
        return runProcess("/bin/sh", {"-c", "\"$0\" -S -f build.xml -Dwho=you | cat", ant}, project, 120);
    };
    const RunResult packagedAnt = antOutput((work.dest / "ant" / "ant").string());
    const RunResult debiansAnt = antOutput("/usr/bin/ant");

    EXPECT_EQ(packagedAnt.exitStatus, 0) << packagedAnt.err;
    EXPECT_EQ(packagedAnt.out, "Buildfile: " + (project / "build.xml").string() +
                                   "\nHello you, caf\xC3\xA9\ncompiled: true\n");
    EXPECT_EQ(packagedAnt.out, debiansAnt.out);
    EXPECT_EQ(packagedAnt.err, debiansAnt.err);
}

struct TrainingCase {
    const char* name;
    Lines options;
    std::string messagePart;
};

class FailedTrainingTest : public testing::TestWithParam<TrainingCase> {};

TEST_P(FailedTrainingTest, MakesTheFolderWithoutTheCacheAndSaysSo) {
    if (!fs::exists(java25)) GTEST_SKIP() << "no Java 25 JDK at " << JAVA25_HOME << ": the AOT cache is not tested";
    const Workspace work;
    Lines options = {"--main-class", "probe.Probe", "--aot-cache"};
    options.insert(options.end(), GetParam().options.begin(), GetParam().options.end());
    const RunResult packaged = work.packageWithSharedRuntime(options, java25);

    EXPECT_EQ(packaged.exitStatus, 3) << packaged.err;
    EXPECT_NE(packaged.err.find("error: " + GetParam().messagePart), std::string::npos) << packaged.err;
    EXPECT_NE(packaged.err.find("the folder was made without the ahead-of-time cache"), std::string::npos);
    EXPECT_FALSE(fs::exists(work.dest / "probe" / "app.aot"));
    EXPECT_EQ(readFile(work.dest / "probe" / "config.json").find("AOTCache"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Packager, FailedTrainingTest,
    testing::Values(TrainingCase{"NeverEnds", {"--java-options", "-Dprobe.mode=hang", "--aot-training-timeout", "3"},
                                 "the training run did not end within 3 seconds"},
                    // The program's own last words, without the JVM's lines about the cache it writes.
                    TrainingCase{"EndsWithAFailure", {"--java-options", "-Dprobe.mode=exit", "--java-options",
                                                      "-Dprobe.status=5"},
                                 "the training run ended with status 5 (probe: args 0); the folder was made"},
                    TrainingCase{"PrintsWhatIsNotUtf8", {"--java-options", "-Dprobe.mode=notUtf8", "--java-options",
                                                         "-Dprobe.status=5"},
                                 "the training run ended with status 5"}),
    caseName<TrainingCase>);

}  // namespace
}  // namespace e2e

#include "config/launch_settings_loader.h"

#include "config/json_reader.h"
#include "launcher/trace.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const byteOrderMark = "\xEF\xBB\xBF";

// The parse error quotes the rest of the line, which can be a whole file.
std::string shortened(const std::string& text) {
    const std::size_t limit = 120;
    return text.size() <= limit ? text : text.substr(0, limit) + "...";
}

LaunchFailure configurationFailure(const std::string& message) {
    return {ExitStatus::configurationUnusable, message};
}

// A key as the user finds it in the file: in this launcher's entry of "launchers" when that entry named it.
std::string keyName(const LaunchSettings& settings, const std::string& key) {
    for (const std::string& own : settings.ownKeys) {
        if (own == key) return "\"" + key + "\" (of \"" + settings.ownSection + "\" in \"launchers\")";
    }
    return "\"" + key + "\"";
}

LaunchFailure wrongType(const LaunchSettings& settings, const char* key, const picojson::value& value,
                        const std::string& expected) {
    return configurationFailure("in the configuration file " + settings.configPath + ", " + keyName(settings, key) +
                                " is of type " + jsonTypeName(value) + "; it must be " + expected);
}

bool equalLettersAside(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A folder may hold several launchers (copies of this executable under other names) that share its runtime and
// jars. One named in "launchers" reads its entry's keys in place of the top-level ones and inherits the rest; a
// launcher with no entry there, the main one, reads the top level alone, as if "launchers" were not there. The
// name is matched exactly, or else with ASCII letter case aside (Windows names files so).
StageResult applyOwnSection(LaunchSettings& settings, picojson::object& root) {
    const auto launchers = root.find("launchers");
    if (settings.launcherName.empty() || launchers == root.end() || !launchers->second.is<picojson::object>()) {
        return std::nullopt;
    }
    const picojson::object& sections = launchers->second.get<picojson::object>();
    auto section = sections.find(settings.launcherName);
    for (auto other = sections.begin(); section == sections.end() && other != sections.end(); ++other) {
        if (equalLettersAside(other->first, settings.launcherName)) section = other;
    }
    if (section == sections.end()) return std::nullopt;
    settings.ownSection = section->first;
    if (!section->second.is<picojson::object>()) {
        return configurationFailure("in the configuration file " + settings.configPath + ", the entry \"" +
                                    section->first + "\" of \"launchers\" is of type " +
                                    jsonTypeName(section->second) + "; it must be an object of the keys this "
                                    "launcher sets in place of the top-level ones, such as {\"mainClass\": \"a/b/C\"}");
    }
    const picojson::object own = section->second.get<picojson::object>();
    // The running copy is the main launcher's: another launcher's start must never hand its command line to it,
    // and two launchers of one folder would meet at one place.
    root.erase("singleInstance");
    const auto singleInstance = own.find("singleInstance");
    if (singleInstance != own.end() && !singleInstance->second.is<picojson::null>() &&
        !(singleInstance->second.is<bool>() && !singleInstance->second.get<bool>())) {
        return configurationFailure("in the configuration file " + settings.configPath + ", the entry \"" +
                                    section->first + "\" of \"launchers\" sets \"singleInstance\", which only "
                                    "the main launcher (the top level) may set; remove it from the entry or set it "
                                    "to false");
    }
    for (const auto& [key, value] : own) {
        if (key == "launchers") continue;  // one level: an entry names no launchers of its own
        root[key] = value;
        settings.ownKeys.push_back(key);
    }
    return std::nullopt;
}

// Why there is no top-level object to read the settings from.
LaunchFailure explainMissingObject(const LaunchSettings& settings, const std::string& openError,
                                   const std::string& readError) {
    const std::string& path = settings.configPath;
    if (!openError.empty()) {
        return configurationFailure("cannot open the configuration file " + path + ": " + openError);
    }
    if (!readError.empty()) {
        return configurationFailure("cannot read the configuration file " + path + ": " + readError);
    }
    if (settings.parseError.empty()) {
        return configurationFailure("the configuration file " + path + " holds a JSON " +
                                    jsonTypeName(settings.configRoot) +
                                    "; it must hold an object with the keys \"jar\", \"mainClass\" and \"vmArgs\"");
    }
    const std::string errorAtStart = "syntax error at line 1 near: ";
    if (settings.parseError == errorAtStart) {
        return configurationFailure("the configuration file " + path +
                                    " is empty; it must hold an object with the keys \"jar\", \"mainClass\" and \"vmArgs\"");
    }
    if (settings.parseError.compare(0, errorAtStart.size() + 3, errorAtStart + byteOrderMark) == 0) {
        return configurationFailure("the configuration file " + path +
                                    " begins with a byte-order mark; save it as UTF-8 without one");
    }
    return configurationFailure("the configuration file " + path + " does not begin with a JSON object (" +
                                shortened(settings.parseError) + "); it must start with \"{\"");
}

// The texts of a key that holds an array of strings; absent or null holds none.
StageResult readTexts(const LaunchSettings& settings, picojson::object& root, const char* key,
                      const std::string& example, std::vector<std::string>& texts) {
    const picojson::value& value = root[key];
    if (value.is<picojson::null>()) return std::nullopt;
    if (!value.is<picojson::array>()) return wrongType(settings, key, value, "an array of texts, each " + example);
    for (const picojson::value& element : value.get<picojson::array>()) {
        if (!element.is<std::string>()) {
            return configurationFailure("in the configuration file " + settings.configPath + ", an element of " +
                                        keyName(settings, key) + " is of type " + jsonTypeName(element) +
                                        "; each must be " + example);
        }
        texts.push_back(element.get<std::string>());
    }
    return std::nullopt;
}

// A path config.json gives from the root, from "$APPDIR", or otherwise from the application folder, by its
// exact name or its short one; false when it has neither, and `path` then names nothing.
bool resolveInApplicationDir(const LaunchSettings& settings, const std::string& text, std::string& path) {
    const bool fromApplicationDir = text.rfind("$APPDIR", 0) == 0;
    const std::string prefix = fromApplicationDir               ? settings.applicationDir
                               : platform::isAbsolutePath(text) ? std::string()
                                                                : settings.applicationDir + "/";
    if (!platform::jvmPath(prefix, fromApplicationDir ? text.substr(7) : text, path)) return false;
    path = expandApplicationDir(path, settings.applicationDir);
    return true;
}

// One "classPath" entry, "lib/*" standing for the folder's jars as under java (which leaves this to its
// launcher: the JVM takes the class path literally).
StageResult addClassPathEntry(const LaunchSettings& settings, const std::string& entry,
                              std::vector<std::string>& classPath) {
    const bool isWildcard = entry == "*" || (entry.size() >= 2 && entry.back() == '*' &&
                                             (entry[entry.size() - 2] == '/' || entry[entry.size() - 2] == '\\'));
    std::string path;
    if (!resolveInApplicationDir(settings, isWildcard ? entry.substr(0, entry.size() - 1) : entry, path)) {
        return LaunchFailure{ExitStatus::configurationUnusable,
                             "the class path entry \"" + entry + "\" (\"classPath\" in config.json) has characters "
                             "the system code page cannot represent, and no short (8.3) name; rename it with "
                             "characters of that code page",
                             true};
    }
    if (!isWildcard) {
        classPath.push_back(path);
        return std::nullopt;
    }
    for (const std::string& jar : platform::jarsInFolder(path)) classPath.push_back(path + jar);
    return std::nullopt;
}

// The options java's own launcher takes with their value as the next word; the JVM takes them only as
// "option=value".
bool takesNextWord(const std::string& option) {
    static const char* const options[] = {"--module-path",  "--add-modules",   "--add-opens",
                                          "--add-exports",  "--add-reads",     "--patch-module",
                                          "--limit-modules", "--upgrade-module-path", "--enable-native-access"};
    for (const char* known : options) {
        if (option == known) return true;
    }
    return false;
}

// vmArgs as the JVM takes them: java's "--module-path DIR" (or "-p DIR") becomes "--module-path=DIR", and so
// on. The class path is config.json's own, never an option.
StageResult joinJavaLauncherForms(LaunchSettings& settings, const picojson::array& vmArgs) {
    for (std::size_t i = 0; i < vmArgs.size(); ++i) {
        const std::string text = vmArgs[i].is<std::string>() ? vmArgs[i].get<std::string>() : std::string();
        const std::string option = text == "-p" ? "--module-path" : text;
        if (text == "-cp" || text == "-classpath" || text == "--class-path" || text == "-jar") {
            return configurationFailure("\"" + text + "\" in \"vmArgs\" of the configuration file " +
                                        settings.configPath + " cannot be used: \"jar\" in config.json is the class "
                                        "path, with further entries in \"classPath\"; put the jars there");
        }
        if (text.rfind("-splash:", 0) == 0) {
            // Shown by the launcher before the JVM exists, as java shows it; the JVM does not know the option.
            // A path with no exact or short name is left as its converted text, which names no file.
            resolveInApplicationDir(settings, text.substr(8), settings.splashImage);
        } else if (!takesNextWord(option)) {
            settings.vmArgs.push_back(vmArgs[i]);
        } else if (i + 1 == vmArgs.size()) {
            return configurationFailure("\"" + text + "\" is the last element of \"vmArgs\" in the configuration "
                                        "file " + settings.configPath + "; its value must follow as the next element, "
                                        "or join it as \"" + option + "=VALUE\"");
        } else {
            settings.vmArgs.push_back(picojson::value(option + "=" + vmArgs[++i].to_str()));
        }
    }
    return std::nullopt;
}

// "singleInstance": true, or "CLASS.METHOD" naming the method a later start's command line goes to.
StageResult readSingleInstance(LaunchSettings& settings, picojson::object& root) {
    const picojson::value& value = root["singleInstance"];
    const char* const expected = "true, false or the method that receives a later start's command line, such as "
                                 "\"com.example.App.openFromAnotherStart\"";
    if (value.is<bool>() || value.is<picojson::null>()) {
        settings.singleInstance = value.is<bool>() && value.get<bool>();
        return std::nullopt;
    }
    if (!value.is<std::string>()) return wrongType(settings, "singleInstance", value, expected);
    const std::string& text = value.get<std::string>();
    const std::size_t lastDot = text.rfind('.');
    if (lastDot == std::string::npos || lastDot == 0 || lastDot + 1 == text.size()) {
        return configurationFailure("in the configuration file " + settings.configPath + ", \"singleInstance\" is \"" +
                                    text + "\", which names no method of a class; it must be " + expected);
    }
    settings.singleInstance = true;
    settings.laterStartClass = text.substr(0, lastDot);
    for (char& c : settings.laterStartClass) c = c == '.' ? '/' : c;
    settings.laterStartMethod = text.substr(lastDot + 1);
    return std::nullopt;
}

}  // namespace

const char* jsonTypeName(const picojson::value& value) {
    if (value.is<picojson::null>()) return "null";
    if (value.is<bool>()) return "boolean";
    if (value.is<double>()) return "number";
    if (value.is<std::string>()) return "string";
    if (value.is<picojson::array>()) return "array";
    return "object";
}

StageResult loadLaunchSettings(std::istream& configStream, const std::string& openError, LaunchSettings& settings) {
    std::string readError;
    readJsonValue(configStream, settings.configRoot, readError);
    settings.parseError = picojson::get_last_error();
    if (!settings.parseError.empty()) {
        traceLine("Couldn't parse json: %s\n", settings.parseError.c_str());
    }
    if (!readError.empty() || !settings.configRoot.is<picojson::object>()) {
        return explainMissingObject(settings, openError, readError);
    }
    if (!settings.parseError.empty()) {
        // Whatever "trace" says: settings missing from a launch must not pass unnoticed.
        reportWarning("the configuration file " + settings.configPath + " was read only in part (" +
                      shortened(settings.parseError) + "); the launch goes on without what follows the error: "
                      "correct the file");
    }

    // Looking a key up adds it with a null value when it is absent, whose text
    // is "null"; the file is never written back.
    picojson::object& root = settings.configRoot.get<picojson::object>();
    if (StageResult failure = applyOwnSection(settings, root)) return failure;
    // "trace": false leaves standard output to the program; LAUNCHER_TRACE=1 brings it back for a run.
    const picojson::value& trace = root["trace"];
    if (!trace.is<bool>() && !trace.is<picojson::null>()) {
        return wrongType(settings, "trace", trace, "true or false");
    }
    const char* traceAskedFor = std::getenv("LAUNCHER_TRACE");
    decideTrace(!trace.is<bool>() || trace.get<bool>() ||
                (traceAskedFor != nullptr && std::string(traceAskedFor) == "1"));
    const picojson::value& mainModule = root["mainModule"];
    if (mainModule.is<std::string>()) {
        settings.mainModule = mainModule.get<std::string>();
        settings.launcherProperties.push_back("-Djdk.module.main=" + platform::jvmText(settings.mainModule));
    } else if (!mainModule.is<picojson::null>()) {
        return wrongType(settings, "mainModule", mainModule, "the name of a module such as \"com.example.app\"");
    }
    settings.mainClass = root["mainClass"].to_str();

    // A program run from its module needs no jar; any other has one.
    std::vector<std::string> classPath;
    if (settings.mainModule.empty() || !root["jar"].is<picojson::null>()) {
        const std::string jarText = root["jar"].to_str();
        if (!platform::jvmPath(settings.applicationDir + "/", jarText, settings.jarPath)) {
            // The converted name could name another jar, which must never run.
            return {{ExitStatus::mainClassUnusable,
                     "cannot load the main class " + settings.mainClass + " from the jar; the name of the jar, " +
                         platform::jvmText(jarText) +
                         ", has characters the system code page cannot represent, and the file has no short (8.3) "
                         "name; rename the jar with characters of that code page"}};
        }
        classPath.push_back(settings.jarPath);
    }
    std::vector<std::string> classPathEntries;
    if (StageResult failure = readTexts(settings, root, "classPath", "a path such as \"lib/*\"", classPathEntries)) {
        return failure;
    }
    for (const std::string& entry : classPathEntries) {
        if (StageResult failure = addClassPathEntry(settings, entry, classPath)) return failure;
    }
    settings.classPathOption = "-Djava.class.path=";
    for (std::size_t i = 0; i < classPath.size(); ++i) {
        settings.classPathOption += (i == 0 ? "" : platform::classPathSeparator) + classPath[i];
    }

    const picojson::value& vmArgs = root["vmArgs"];
    if (vmArgs.is<picojson::array>()) {
        if (StageResult failure = joinJavaLauncherForms(settings, vmArgs.get<picojson::array>())) return failure;
    } else if (!vmArgs.is<picojson::null>()) {
        return wrongType(settings, "vmArgs", vmArgs, "an array of JVM options such as [\"-Xmx512m\"]");
    }

    const picojson::value& passArguments = root["passArguments"];
    if (passArguments.is<bool>()) {
        settings.passArguments = passArguments.get<bool>();
    } else if (!passArguments.is<picojson::null>()) {
        return wrongType(settings, "passArguments", passArguments, "true or false");
    }
    if (StageResult failure = readTexts(settings, root, "defaultArguments", "an argument such as \"--help\"",
                                        settings.defaultArguments)) {
        return failure;
    }
    // As in vmArgs, so that an argument can name the application's own files; in UTF-8, as the arguments are.
    const std::string applicationDirText = platform::configTextFromNarrow(settings.applicationDir);
    for (std::string& argument : settings.defaultArguments) {
        argument = expandApplicationDir(argument, applicationDirText);
    }
    const picojson::value& javaCommand = root["sunJavaCommand"];
    if (javaCommand.is<bool>()) {
        settings.setJavaCommand = javaCommand.get<bool>();
    } else if (!javaCommand.is<picojson::null>()) {
        return wrongType(settings, "sunJavaCommand", javaCommand, "true or false");
    }

    // Programs that restart themselves run this path, as they run a jpackage launcher's.
    const picojson::value& appPath = root["appPathProperty"];
    if (appPath.is<bool>()) {
        const std::string name = platform::executableFileName();
        if (appPath.get<bool>() && !name.empty()) {
            settings.launcherProperties.push_back("-Djpackage.app-path=" + settings.applicationDir +
                                                  platform::pathSeparator + name);
        }
    } else if (!appPath.is<picojson::null>()) {
        return wrongType(settings, "appPathProperty", appPath, "true or false");
    }

    const picojson::value& workingDirectory = root["workingDirectory"];
    if (workingDirectory.is<std::string>()) {
        // Like the jar, the folder is entered by its exact name or its short one, never by a best-fit
        // form that could name another folder.
        const std::string& folder = workingDirectory.get<std::string>();
        if (!resolveInApplicationDir(settings, folder, settings.workingDirectory)) {
            return LaunchFailure{ExitStatus::configurationUnusable,
                                 "the working directory \"" + folder + "\" (\"workingDirectory\" in config.json) has "
                                 "characters the system code page cannot represent, and the folder has no short (8.3) "
                                 "name; rename it with characters of that code page",
                                 true};
        }
    } else if (!workingDirectory.is<picojson::null>()) {
        return wrongType(settings, "workingDirectory", workingDirectory, "a folder name such as \"$APPDIR\" or \"data\"");
    }

    if (StageResult failure = readSingleInstance(settings, root)) return failure;

    if (!settings.ownSection.empty()) {
        traceLine("launcher: %s (its own settings in \"launchers\")\n", settings.ownSection.c_str());
    }
    if (!settings.mainModule.empty()) {
        traceLine("mainModule: %s\n", settings.mainModule.c_str());
    }
    if (settings.mainModule.empty() || !settings.jarPath.empty()) {
        traceLine("jar: %s\n", settings.jarPath.c_str());
    }
    traceLine("mainClass: %s\n", settings.mainClass.c_str());
    if (!classPathEntries.empty()) {
        traceLine("classPath: %s\n", settings.classPathOption.c_str() + std::strlen("-Djava.class.path="));
    }
    if (!settings.workingDirectory.empty()) {
        traceLine("workingDirectory: %s\n", settings.workingDirectory.c_str());
    }
    return std::nullopt;
}

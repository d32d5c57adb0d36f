#include "config/launch_settings_loader.h"

#include "config/json_reader.h"
#include "launcher/trace.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

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

LaunchFailure wrongType(const LaunchSettings& settings, const char* key, const picojson::value& value,
                        const std::string& expected) {
    return configurationFailure("in the configuration file " + settings.configPath + ", \"" + key + "\" is of type " +
                                jsonTypeName(value) + "; it must be " + expected);
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

    // Looking a key up adds it with a null value when it is absent, whose text
    // is "null"; the file is never written back.
    picojson::object& root = settings.configRoot.get<picojson::object>();
    // "trace": false leaves standard output to the program; LAUNCHER_TRACE=1 brings it back for a run.
    const picojson::value& trace = root["trace"];
    if (!trace.is<bool>() && !trace.is<picojson::null>()) {
        return wrongType(settings, "trace", trace, "true or false");
    }
    const char* traceAskedFor = std::getenv("LAUNCHER_TRACE");
    decideTrace(!trace.is<bool>() || trace.get<bool>() ||
                (traceAskedFor != nullptr && std::string(traceAskedFor) == "1"));
    const std::string jarText = root["jar"].to_str();
    settings.mainClass = root["mainClass"].to_str();
    if (!platform::jvmPath(settings.applicationDir + "/", jarText, settings.jarPath)) {
        // The converted name could name another jar, which must never run.
        return {{ExitStatus::mainClassUnusable,
                 "cannot load the main class " + settings.mainClass + " from the jar; the name of the jar, " +
                     platform::jvmText(jarText) +
                     ", has characters the system code page cannot represent, and the file has no short (8.3) "
                     "name; rename the jar with characters of that code page"}};
    }
    settings.classPathOption = "-Djava.class.path=" + settings.jarPath;

    const picojson::value& vmArgs = root["vmArgs"];
    if (vmArgs.is<picojson::array>()) {
        settings.vmArgs = vmArgs.get<picojson::array>();
    } else if (!vmArgs.is<picojson::null>()) {
        return wrongType(settings, "vmArgs", vmArgs, "an array of JVM options such as [\"-Xmx512m\"]");
    }

    const picojson::value& passArguments = root["passArguments"];
    if (passArguments.is<bool>()) {
        settings.passArguments = passArguments.get<bool>();
    } else if (!passArguments.is<picojson::null>()) {
        return wrongType(settings, "passArguments", passArguments, "true or false");
    }

    const picojson::value& workingDirectory = root["workingDirectory"];
    if (workingDirectory.is<std::string>()) {
        // A folder given from the root or from $APPDIR stands as it is; any other is in applicationDir.
        const std::string& folder = workingDirectory.get<std::string>();
        const bool fromApplicationDir = folder.rfind("$APPDIR", 0) == 0;
        const std::string prefix = fromApplicationDir             ? settings.applicationDir
                                   : platform::isAbsolutePath(folder) ? std::string()
                                                                      : settings.applicationDir + "/";
        // Like the jar, the folder is entered by its exact name or its short one, never by a best-fit
        // form that could name another folder.
        if (!platform::jvmPath(prefix, fromApplicationDir ? folder.substr(7) : folder, settings.workingDirectory)) {
            return LaunchFailure{ExitStatus::configurationUnusable,
                                 "the working directory \"" + folder + "\" (\"workingDirectory\" in config.json) has "
                                 "characters the system code page cannot represent, and the folder has no short (8.3) "
                                 "name; rename it with characters of that code page",
                                 true};
        }
        settings.workingDirectory = expandApplicationDir(settings.workingDirectory, settings.applicationDir);
    } else if (!workingDirectory.is<picojson::null>()) {
        return wrongType(settings, "workingDirectory", workingDirectory, "a folder name such as \"$APPDIR\" or \"data\"");
    }

    traceLine("jar: %s\n", settings.jarPath.c_str());
    traceLine("mainClass: %s\n", settings.mainClass.c_str());
    if (!settings.workingDirectory.empty()) {
        traceLine("workingDirectory: %s\n", settings.workingDirectory.c_str());
    }
    return std::nullopt;
}

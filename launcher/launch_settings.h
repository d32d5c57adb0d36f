#pragma once

#include <picojson.h>

#include <string>

// Everything the launch derives from the executable's location and from
// config.json. Owned by runLauncher for the whole run; all texts are narrow
// strings (file-system paths in the platform's narrow encoding, configuration
// values as the JSON library decoded them).
struct LaunchSettings {
    std::string applicationDir;   // directory of the executable, no trailing separator
    std::string configPath;       // applicationDir + "/config.json"
    picojson::value configRoot;   // the parsed top-level value of config.json
    std::string parseError;       // the JSON library's error text, empty after a clean parse
    std::string jarPath;          // applicationDir + "/" + text of "jar" (its short form where needed)
    std::string mainClass;        // text of "mainClass", in the JVM's internal form (a/b/C)
    std::string classPathOption;  // "-Djava.class.path=" + jarPath
    picojson::array vmArgs;       // copy of "vmArgs"; elements become option texts at VM creation
    bool passArguments = false;   // "passArguments": main receives the launcher's command line
    std::string workingDirectory; // "workingDirectory" resolved against applicationDir; empty: leave it
};

// The one placeholder a configuration text may hold: "$APPDIR", replaced
// wherever it occurs by the application directory.
std::string expandApplicationDir(const std::string& text, const std::string& applicationDir);

#pragma once

#include <picojson.h>

#include <string>
#include <vector>

// Everything the launch derives from the executable's location and from
// config.json. Owned by runLauncher for the whole run; all texts are narrow
// strings (file-system paths in the platform's narrow encoding, configuration
// values as the JSON library decoded them).
struct LaunchSettings {
    std::string applicationDir;   // directory of the executable, no trailing separator
    std::string configPath;       // applicationDir + "/config.json"
    // The executable's name (platform::launcherName); the key of its own settings in "launchers", if it has any.
    std::string launcherName;
    // The key of "launchers" whose settings took the place of the top-level ones (an extra launcher), and
    // which keys it named; empty: the top level alone (the main launcher).
    std::string ownSection;
    std::vector<std::string> ownKeys;
    picojson::value configRoot;   // the parsed top-level value of config.json
    std::string parseError;       // the JSON library's error text, empty after a clean parse
    std::string jarPath;          // applicationDir + "/" + text of "jar" (its short form where needed)
    std::string mainClass;        // text of "mainClass", in the JVM's internal form (a/b/C)
    std::string classPathOption;  // "-Djava.class.path=" + jarPath and the "classPath" entries, expanded
    // -D options the launcher sets itself, after the hooks and before vmArgs:
    // jdk.module.main for "mainModule", sun.java.command for "sunJavaCommand",
    // jpackage.app-path (the launcher's own path) for "appPathProperty".
    std::vector<std::string> launcherProperties;
    picojson::array vmArgs;       // "vmArgs", java's "--option value" pairs joined as "--option=value"
    bool passArguments = false;   // "passArguments": main receives the launcher's command line
    // "defaultArguments": what main receives when the command line gives it nothing (UTF-8, "$APPDIR"
    // expanded).
    std::vector<std::string> defaultArguments;
    std::string mainModule;       // "mainModule": the program's named module, resolved at boot; empty: none
    bool setJavaCommand = false;  // "sunJavaCommand": sun.java.command names the main class and arguments
    // The image of a "-splash:" element of vmArgs (the last, as under java), resolved against
    // applicationDir; empty: none. The element itself never reaches the JVM.
    std::string splashImage;
    std::string workingDirectory; // "workingDirectory" resolved against applicationDir; empty: leave it
    // "singleInstance": one running copy per product folder and user; a later start hands its command
    // line to it. laterStartClass (internal form, a/b/C) and laterStartMethod name the program's
    // static void NAME(String[], String) that receives them; both empty: the copy is only brought to the front.
    bool singleInstance = false;
    std::string laterStartClass;
    std::string laterStartMethod;
};

// The one placeholder a configuration text may hold: "$APPDIR", replaced
// wherever it occurs by the application directory.
std::string expandApplicationDir(const std::string& text, const std::string& applicationDir);

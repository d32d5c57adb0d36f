#pragma once

#include "launcher/launch_failure.h"
#include "launcher/launch_settings.h"

#include <istream>
#include <string>

// The configuration stage: parses config.json from `configStream`, prints the
// parse error if there is one, fills every setting but the application
// directory and configPath (which must be set), and prints the "mainModule",
// "jar", "mainClass", "classPath" and "workingDirectory" trace lines of what
// is configured.
//
// A syntax error does not stop the launch: the settings are read from what the
// JSON library built before it, and a warning says so (reportWarning), whatever
// "trace" says. The launch stops when there is no top-level
// object to read them from, when a key holds a value of the wrong type (null
// always stands for absent), or when vmArgs holds -cp, -jar or an option
// without the value that must follow it.
// `openError` says why the stream could not be opened, if it could not.
StageResult loadLaunchSettings(std::istream& configStream, const std::string& openError, LaunchSettings& settings);

// The name of a JSON value's type as a user would say it ("string", "array", ...).
const char* jsonTypeName(const picojson::value& value);

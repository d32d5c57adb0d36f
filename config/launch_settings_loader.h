#pragma once

#include "launcher/launch_failure.h"
#include "launcher/launch_settings.h"

#include <istream>
#include <string>

// The configuration stage: parses config.json from `configStream`, prints the
// parse error if there is one, fills configRoot, parseError, jarPath,
// mainClass, classPathOption, vmArgs, passArguments and workingDirectory
// (applicationDir and configPath must be set), and prints the "jar",
// "mainClass" and, when one is configured, "workingDirectory" trace lines.
//
// A syntax error does not stop the launch: the settings are read from what the
// JSON library built before it. The launch stops when there is no top-level
// object to read them from, or when vmArgs, passArguments or workingDirectory
// holds a value of the wrong type (null always stands for absent).
// `openError` says why the stream could not be opened, if it could not.
StageResult loadLaunchSettings(std::istream& configStream, const std::string& openError, LaunchSettings& settings);

// The name of a JSON value's type as a user would say it ("string", "array", ...).
const char* jsonTypeName(const picojson::value& value);

#pragma once

#include "e2e/app_folder.h"

namespace e2e {

// The probe program as app.jar, and jre pointing at the installed JDK.
inline void useInstalledJdk(const AppFolder& app) {
    fs::copy_file(PROBE_JAR, app.dir() / "app.jar");
    fs::create_directory_symlink(JDK_HOME, app.dir() / "jre");
}

}  // namespace e2e

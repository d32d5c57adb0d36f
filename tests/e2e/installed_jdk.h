#pragma once

#include "e2e/app_folder.h"

namespace e2e {

// An application folder with the probe program as app.jar, and jre pointing at the installed JDK.
class JdkApp : public AppFolder {
public:
    JdkApp() {
        fs::copy_file(PROBE_JAR, dir() / "app.jar");
        fs::create_directory_symlink(JDK_HOME, dir() / "jre");
    }
};

}  // namespace e2e

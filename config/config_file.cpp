#include "config/config_file.h"

#include <cerrno>
#include <cstring>

ConfigFile openConfigFile(const std::string& path) {
    ConfigFile file;
    // Text mode and shared access are what the C++ runtime gives a plain
    // ifstream on every platform we build for.
    errno = 0;
    file.stream.open(path);
    if (!file.stream.is_open()) {
        const int reason = errno;
        file.openError = reason != 0 ? std::strerror(reason) : "the file cannot be opened";
        if (reason == ENOENT) {
            file.openError += "; put config.json beside the launcher";
        } else if (reason == EACCES) {
            file.openError += "; let the user who starts the launcher read it";
        }
    }
    return file;
}

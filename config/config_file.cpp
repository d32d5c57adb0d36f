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
        file.openError = errno != 0 ? std::strerror(errno) : "the file cannot be opened";
    }
    return file;
}

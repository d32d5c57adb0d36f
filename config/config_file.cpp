#include "config/config_file.h"

#include "platform/platform.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

ConfigFile openConfigFile(const std::string& path) {
    ConfigFile file;
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        // Some systems open a folder and fail at the first read, others refuse
        // it as if access were denied: say what it is.
        file.openError = "it is a folder, not a file; put the configuration in a file named config.json";
        file.stream.setstate(std::ios::failbit);
        return file;
    }
    // Text mode and shared access are what the C++ runtime gives a plain
    // ifstream on every platform we build for.
    errno = 0;
    file.stream.open(path);
    if (!file.stream.is_open()) {
        const int reason = errno;
        file.openError = reason != 0 ? std::strerror(reason) : "the file cannot be opened";
        if (reason == ENOENT) {
            file.openError += "; put config.json beside the launcher";
        } else if (reason == EACCES && platform::isHeldOpenByAnotherProgram(path)) {
            file.openError = "another program (an editor, a synchronisation client or a virus scanner, say) has it "
                             "open and does not share it; close that program or try again";
        } else if (reason == EACCES) {
            file.openError += "; let the user who starts the launcher read it";
        }
    }
    return file;
}

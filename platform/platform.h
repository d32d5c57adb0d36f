#pragma once

// The operations that differ between the platforms the launcher runs on. Each
// platform implements them in its own folder; the build picks the folder, so
// the launch logic never tests which platform it is on.

#include <string>
#include <vector>

namespace platform {

// The separator the platform writes between directory names.
extern const char pathSeparator[];

// The directory of the running executable (not the current directory, not
// argv[0]), without a trailing separator. On failure returns false and says
// why in `error`.
bool getApplicationDirectory(std::string& directory, std::string& error);

// Absolute paths at which the private runtime's JVM library may lie under
// `applicationDir`/jre, the preferred layout first.
std::vector<std::string> jvmLibraryCandidates(const std::string& applicationDir);

bool fileExists(const std::string& path);

// Whether `path` names a folder from the root (on Windows: a drive or a
// network share) rather than from the current directory.
bool isAbsolutePath(const std::string& path);

// Makes `path` the process's current directory. On failure returns false and
// says why in `error`.
bool changeDirectory(const std::string& path, std::string& error);

// How the entry point hands the command line to the Java main: as the JVM's
// modified UTF-8 (converted from a UTF-16 command line), or as the bytes the
// system passed, which the JVM then decodes in its own platform encoding.
enum class CommandLineEncoding { modifiedUtf8, systemBytes };
extern const CommandLineEncoding commandLineEncoding;

// Loads a shared library by absolute path. Returns null on failure and the
// loader's own explanation in `error`. Nothing unloads it.
void* loadLibrary(const std::string& path, std::string& error);

// The address of an exported symbol, or null.
void* findSymbol(void* library, const char* name);

// Shows a one-line failure message to the user on standard error, and by
// whatever other means the platform needs for it to be seen.
void showFailure(const std::string& message);

}  // namespace platform

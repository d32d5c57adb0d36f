#pragma once

// The operations that differ between the platforms the launcher runs on. Each
// platform implements them in its own folder; the build picks the folder, so
// the launch logic never tests which platform it is on.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// The separator the platform writes between directory names.
extern const char pathSeparator[];

// The separator of class path entries.
extern const char classPathSeparator[];

// The names of the files in `folder` (a path ending in a separator) whose
// names end in ".jar" or ".JAR", as java expands "folder/*" on a class path,
// in the narrow encoding (on Windows their short names where that lacks a
// character; a name with neither is left out), sorted. None when the folder
// cannot be read.
std::vector<std::string> jarsInFolder(const std::string& folder);

// The directory of the running executable (not the current directory, not
// argv[0]), without a trailing separator, in the narrow encoding the file
// system and the JVM read. On failure returns false and says why in `error`,
// in UTF-8 (it may name a folder the narrow encoding cannot).
bool getApplicationDirectory(std::string& directory, std::string& error);

// The file name of the running executable in the narrow encoding (on Windows
// its short name where that lacks a character); "" when it cannot be named.
std::string executableFileName();

// The running executable's name as config.json's "launchers" keys name a
// launcher: its file name in UTF-8, without the ".exe" (in any letter case)
// Windows gives it; "" when it cannot be named.
std::string launcherName();

// A text of config.json in the encoding the JVM reads options in. On Windows
// a text that is valid UTF-8 is converted to the ANSI code page, characters
// it lacks becoming their best-fit form or "?", as on a java.exe command
// line; any other text is passed on byte for byte. Elsewhere it is unchanged.
std::string jvmText(const std::string& configText);

// A text in the narrow encoding (the application directory, say) as
// config.json's texts are held: on Windows converted from the ANSI code page
// to UTF-8; elsewhere unchanged, the bytes the file system gave.
std::string configTextFromNarrow(const std::string& narrowText);

// `prefix` (a path in the narrow encoding, such as the application directory
// and "/") followed by `configText` (a file name as config.json holds it), in
// the narrow encoding. Where the text has characters that encoding lacks, the
// file's short (8.3) path is used when it has one; returns false when it has
// none, and `path` then holds the converted text, which names no file.
bool jvmPath(const std::string& prefix, const std::string& configText, std::string& path);

// Whether another program holds the file open and shares it with nobody.
bool isHeldOpenByAnotherProgram(const std::string& path);

// Absolute paths at which the private runtime's JVM library may lie under
// `applicationDir`/jre, the preferred layout first.
std::vector<std::string> jvmLibraryCandidates(const std::string& applicationDir);

// The absolute path of the runtime's splash-screen library under
// `applicationDir`/jre.
std::string splashLibraryPath(const std::string& applicationDir);

// Whether a window can be shown: on Linux a display is named in the
// environment (DISPLAY or WAYLAND_DISPLAY); on Windows always.
bool hasDisplay();

bool fileExists(const std::string& path);
// Whether a file or folder of that name exists.
bool pathExists(const std::string& path);

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

// The address of an exported symbol, or null.
void* findSymbol(void* library, const char* name);

// Loads a shared library by absolute path. Returns null on failure and the
// loader's own explanation in `error` (on Windows also the architecture of a
// library built for another processor). Nothing unloads it.
void* loadLibrary(const std::string& path, std::string& error);

// Shows a one-line failure message to the user on standard error, and by
// whatever other means the platform needs for it to be seen. The message is
// in the narrow encoding, or in UTF-8 when `isUtf8`.
void showFailure(const std::string& message, bool isUtf8);

// The same for a warning, which the launch goes on after: "warning: " on
// standard error, or a box with the warning icon where a failure gets one
// (the box waits for the user before the launch goes on).
void showWarning(const std::string& message, bool isUtf8);

// Writes what the JVM prints where it meant it to go: `jvmStream` is a stream
// of the JVM's own C runtime (its standard output or error, or a log file).
// On Windows, where that runtime is not the launcher's, a stream that is not
// recognised goes to the process's standard output.
void writeJvmOutput(void* jvmStream, const std::string& text);

// One running copy of a product per user (on Windows per login session too):
// later starts reach it through a local endpoint named after the user and the
// real path of the product's folder, which only the same user can reach or
// answer on and which a new running copy can take over however the last one
// ended.

enum class Claim { listening, heldByAnother, failed };
// Makes this process the one that listens for later starts of the product in
// `applicationDir`: `heldByAnother` when a process holds the endpoint already,
// `failed` (saying why in `error`) when there is none to be had.
Claim listenForLaterStarts(const std::string& applicationDir, std::intptr_t& listener, std::string& error);

enum class HandOver { taken, nobodyListens, heldNotListening, noAnswer, notTakenInTime, anotherUser };
// Sends `message` to the process listening for the product in
// `applicationDir` (letting it take the foreground where the platform asks
// for that). It must say within `answerMilliseconds` that it has the message
// (`noAnswer` otherwise), then within `takeMilliseconds` that the program
// takes it (`notTakenInTime` otherwise); `taken` once it has, and this start
// has confirmed it. `nobodyListens` also when it said it does not take the
// message, as a stopping copy does; `heldNotListening` when a socket holds the
// endpoint without ever having listened (a copy between the two steps, or a
// process that is no copy: one that stays so is another user's).
HandOver handToRunningCopy(const std::string& applicationDir, const std::string& message, int answerMilliseconds,
                           int takeMilliseconds);

// Waits for the next later start of the same user to connect: `peer` is its
// connection, from which readLaterStart reads (on a thread of its own, so that
// a peer that sends slowly holds up no other). A peer of another user is
// dropped. False once stopListening has been called.
bool acceptLaterStart(std::intptr_t listener, std::intptr_t& peer);

// What the peer sent, when it sent its message whole within a second and not
// more than `maxBytes`; otherwise false, the connection closed.
bool readLaterStart(std::intptr_t peer, std::size_t maxBytes, std::string& message);

// What the running copy tells a later start: `received` as soon as its
// message is whole; then `taken` as the program begins to take it, or
// `notTaken`, after which the later start runs the program itself.
enum class Answer { received, taken, notTaken };
// Sends `answer`; `taken` and `notTaken` end the connection. For `taken`, true
// only when the later start confirmed it (it then ends, counting on the
// program), false when it is gone or did not confirm in time; for the others,
// whether it could be sent.
bool answerLaterStart(std::intptr_t peer, Answer answer);

// Makes acceptLaterStart return false; a later start then finds nobody listening.
void stopListening(std::intptr_t listener);

// The current directory in UTF-8 (on Linux its bytes). False, saying why in
// `error`, when it cannot be read: on Linux, when it was deleted.
bool currentDirectoryUtf8(std::string& directory, std::string& error);

// A program run as a service by the system's service manager: the Windows
// launcher's service variant (launcher-service.exe). Elsewhere these do
// nothing: the JVM ends the program itself on a signal (systemd's stop) or a
// console's Ctrl+C.
//
// The Java program runs and `stop` ends it: the service manager is told that
// the service runs and takes stop requests (a stop, or the machine's
// shutdown), each of which calls `stop`, which must return at once. An empty
// function takes none from then on.
void takeStopRequests(const std::function<void()>& stop);

// The process is about to end with `status` other than by returning from the
// launch (the JVM ends it: System.exit; or the launch stopped while the JVM
// was being made): the service manager is told that the service stopped,
// with that status.
void processEnding(int status);

// Brings this process's first visible window to the front, where the platform
// lets a program do so (Windows); elsewhere nothing.
void bringOwnWindowToFront();

}  // namespace platform

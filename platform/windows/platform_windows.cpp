#include "platform/platform.h"
#include "platform/windows/windows_platform.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

// The launcher's own image: its PE headers say which processor it is built for.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace platform {

std::string lastErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : "";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message + " (Windows error " + std::to_string(error) + ")";
}

namespace {

// The classic Windows path limit, in UTF-16 units for the module path and in
// bytes for its ANSI form.
constexpr DWORD pathLimit = 260;

// `wide` in the ANSI code page, only where every character has its own form
// there: no best-fit substitute (which would name another file) and no default.
bool toAnsiExactly(const std::wstring& wide, std::string& ansi) {
    if (wide.empty()) return false;  // no text, or none to convert
    const bool utf8CodePage = GetACP() == CP_UTF8;  // which takes neither the flag nor the report
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr,
                                           0, nullptr, utf8CodePage ? nullptr : &usedDefault);
    if (length <= 0 || usedDefault) return false;
    ansi.assign(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, ansi.data(), length,
                        nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(length) - 1);
    return true;
}

bool isAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// The machine a PE file is built for (IMAGE_FILE_MACHINE_...), or 0 when the
// file is no PE file.
WORD peMachine(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return 0;
    unsigned char header[64] = {};
    unsigned char signature[6] = {};
    WORD machine = 0;
    if (std::fread(header, 1, sizeof header, file) == sizeof header && header[0] == 'M' && header[1] == 'Z') {
        const long peOffset = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | header[0x3F] << 24;
        if (std::fseek(file, peOffset, SEEK_SET) == 0 && std::fread(signature, 1, sizeof signature, file) == sizeof signature &&
            std::memcmp(signature, "PE\0\0", 4) == 0) {
            machine = static_cast<WORD>(signature[4] | signature[5] << 8);
        }
    }
    std::fclose(file);
    return machine;
}

std::string machineName(WORD machine) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return "32-bit x86";
    case IMAGE_FILE_MACHINE_AMD64: return "64-bit x64";
    case IMAGE_FILE_MACHINE_ARM64: return "64-bit ARM64";
    case IMAGE_FILE_MACHINE_ARMNT: return "32-bit ARM";
    default: return "unknown (machine type " + std::to_string(machine) + ")";
    }
}

// The C runtime the loaded JVM library writes its streams with: the
// universal one (Java 9 and later), the launcher's own msvcrt, or another
// (Java 8's msvcr100), whose streams the launcher cannot tell apart.
struct JvmRuntime {
    using StreamFunction = std::FILE*(__cdecl*)(unsigned);
    using WriteFunction = std::size_t(__cdecl*)(const void*, std::size_t, std::size_t, std::FILE*);
    StreamFunction streams = nullptr;  // __acrt_iob_func of ucrtbase.dll
    WriteFunction write = nullptr;     // fwrite of ucrtbase.dll
    bool isOurs = false;
} jvmRuntime;

void findJvmRuntime(HMODULE library) {
    const auto* base = reinterpret_cast<const unsigned char*>(library);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        std::string dll = reinterpret_cast<const char*>(base + entry->Name);
        for (char& c : dll) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (dll.rfind("api-ms-win-crt-", 0) == 0 || dll == "ucrtbase.dll") {
            const HMODULE ucrt = GetModuleHandleW(L"ucrtbase.dll");
            if (ucrt == nullptr) return;
            jvmRuntime.streams = reinterpret_cast<JvmRuntime::StreamFunction>(
                reinterpret_cast<void*>(GetProcAddress(ucrt, "__acrt_iob_func")));
            jvmRuntime.write =
                reinterpret_cast<JvmRuntime::WriteFunction>(reinterpret_cast<void*>(GetProcAddress(ucrt, "fwrite")));
            return;
        }
        if (dll == "msvcrt.dll") {
            jvmRuntime.isOurs = true;
            return;
        }
    }
}

std::wstring widen(UINT codePage, DWORD flags, const std::string& text) {
    const int length = MultiByteToWideChar(codePage, flags, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    return wide;
}

std::string narrow(UINT codePage, const std::wstring& text) {
    const int length = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrowText(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, narrowText.data(), length, nullptr, nullptr);
    narrowText.resize(static_cast<std::size_t>(length) - 1);
    return narrowText;
}

}  // namespace

std::wstring toWide(const std::string& text) {
    return widen(CP_ACP, 0, text);
}

std::string toAnsi(const std::wstring& text) {
    return narrow(CP_ACP, text);
}

std::string toUtf8(const std::wstring& text) {
    return narrow(CP_UTF8, text);
}

std::wstring fromUtf8(const std::string& text) {
    return widen(CP_UTF8, MB_ERR_INVALID_CHARS, text);
}

std::wstring shortPathOf(const std::wstring& path) {
    std::wstring shortPath(pathLimit, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), pathLimit);
    if (length == 0 || length >= pathLimit) return std::wstring();
    shortPath.resize(length);
    return shortPath;
}

const char pathSeparator[] = "\\";
const char classPathSeparator[] = ";";

std::vector<std::string> jarsInFolder(const std::string& folder) {
    std::vector<std::string> jars;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((toWide(folder) + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return jars;
    do {
        const std::wstring name = found.cFileName;
        if (name.size() <= 4 || (name.compare(name.size() - 4, 4, L".jar") != 0 &&
                                 name.compare(name.size() - 4, 4, L".JAR") != 0)) {
            continue;
        }
        // A best-fit form of the name could name another jar.
        std::string narrowName;
        if (toAnsiExactly(name, narrowName) || toAnsiExactly(found.cAlternateFileName, narrowName)) {
            jars.push_back(narrowName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(jars.begin(), jars.end());
    return jars;
}

bool applicationDirectoryFromModulePath(const std::wstring& modulePath,
                                        std::wstring (*shortPathOf)(const std::wstring&), std::string& directory,
                                        std::string& error) {
    // The folder is split from the file name in UTF-16: in a double-byte code
    // page (932, 936, 949, 950) the trail byte of a character can be 0x5C,
    // the byte of "\", and the file name's characters are not the folder's
    // concern.
    const std::wstring::size_type lastBackslash = modulePath.rfind(L'\\');
    if (lastBackslash == std::wstring::npos) {
        error = "the launcher's own path " + toUtf8(modulePath) + " holds no directory";
        return false;
    }
    const std::wstring folder = modulePath.substr(0, lastBackslash);
    // A folder name the code page cannot represent would name another folder,
    // or none; the short (8.3) path names the same one in ASCII.
    if (!toAnsiExactly(folder, directory) && !toAnsiExactly(shortPathOf(folder), directory)) {
        error = "the launcher's folder " + toUtf8(folder) + " has a name that the system code page (" +
                std::to_string(GetACP()) +
                ") cannot represent, and no short (8.3) name; move the application to a folder named with the "
                "characters of that code page, or enable 8.3 names on its drive";
        return false;
    }
    if (directory.size() >= pathLimit) {
        error = "the launcher's folder does not fit in 259 bytes of the system code page; move the application to a "
                "shorter path";
        return false;
    }
    return true;
}

bool getApplicationDirectory(std::string& directory, std::string& error) {
    wchar_t widePath[pathLimit];
    const DWORD wideLength = GetModuleFileNameW(GetModuleHandleW(nullptr), widePath, pathLimit);
    if (wideLength == 0 || wideLength >= pathLimit) {
        // A full buffer means the path was cut short: a directory derived
        // from it would be some other folder.
        error = "the launcher's own path is longer than 259 characters; move the application to a shorter path";
        return false;
    }
    return applicationDirectoryFromModulePath(widePath, shortPathOf, directory, error);
}

std::string executableFileName() {
    wchar_t modulePath[pathLimit];
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), modulePath, pathLimit);
    if (length == 0 || length >= pathLimit) return "";
    const std::wstring full(modulePath, length);
    // The name as it is where the code page has it, else the file's short name; never a best-fit form.
    std::string name;
    if (toAnsiExactly(full.substr(full.rfind(L'\\') + 1), name)) return name;
    const std::wstring shortPath = shortPathOf(full);
    return toAnsiExactly(shortPath.substr(shortPath.rfind(L'\\') + 1), name) ? name : "";
}

std::string launcherName() {
    wchar_t modulePath[pathLimit];
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), modulePath, pathLimit);
    if (length == 0 || length >= pathLimit) return "";
    const std::wstring full(modulePath, length);
    std::wstring name = full.substr(full.rfind(L'\\') + 1);
    const std::wstring suffix = L".exe";
    if (name.size() > suffix.size() &&
        CompareStringOrdinal(name.c_str() + name.size() - suffix.size(), static_cast<int>(suffix.size()),
                             suffix.c_str(), static_cast<int>(suffix.size()), TRUE) == CSTR_EQUAL) {
        name.resize(name.size() - suffix.size());
    }
    return toUtf8(name);
}

std::string jvmText(const std::string& configText) {
    const std::wstring wide = fromUtf8(configText);
    if (isAscii(configText) || GetACP() == CP_UTF8 || wide.empty()) {
        return configText;  // nothing to convert, or not UTF-8: passed on as the file holds it
    }
    return toAnsi(wide);
}

std::string configTextFromNarrow(const std::string& narrowText) {
    return toUtf8(toWide(narrowText));
}

bool jvmPath(const std::string& prefix, const std::string& configText, std::string& path) {
    path = prefix + jvmText(configText);
    const std::wstring wideText = fromUtf8(configText);
    std::string exact;
    if (isAscii(configText) || wideText.empty() || toAnsiExactly(wideText, exact)) {
        return true;
    }
    return toAnsiExactly(shortPathOf(toWide(prefix) + wideText), path);
}

void writeJvmOutput(void* jvmStream, const std::string& text) {
    // The stream belongs to the JVM's C runtime. Its standard output and error
    // become the process's handles; another stream is a file the JVM opened
    // (-Xlog:...:file=), written by that runtime's own fwrite.
    std::FILE* stream = static_cast<std::FILE*>(jvmStream);
    bool toError = stream == stderr;
    bool toOutput = stream == stdout || stream == nullptr;
    if (!toError && !toOutput && jvmRuntime.streams != nullptr && jvmRuntime.write != nullptr) {
        toError = stream == jvmRuntime.streams(2);
        toOutput = stream == jvmRuntime.streams(1);
        if (!toError && !toOutput) {
            jvmRuntime.write(text.data(), 1, text.size(), stream);
            return;
        }
    } else if (!toError && !toOutput && jvmRuntime.isOurs) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::fflush(stdout);  // the trace lines go first, as they were printed first
    const HANDLE output = GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (output != nullptr && output != INVALID_HANDLE_VALUE) {
        WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

std::wstring failureText(const std::string& message, bool isUtf8) {
    return isUtf8 ? fromUtf8(message) : toWide(message);
}

bool isHeldOpenByAnotherProgram(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

std::vector<std::string> jvmLibraryCandidates(const std::string& applicationDir) {
    return {applicationDir + "\\jre\\bin\\server\\jvm.dll"};
}

std::string splashLibraryPath(const std::string& applicationDir) {
    return applicationDir + "\\jre\\bin\\splashscreen.dll";
}

bool hasDisplay() {
    return true;  // a desktop session always has one
}

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool pathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isAbsolutePath(const std::string& path) {
    // C:\..., C:/..., \\server\share and \... (the current drive's root) are not
    // relative to the current directory; C:name is, and is treated as such.
    // Byte-wise is sound here: the first byte always starts a character, and
    // ":" (0x3A) is below every double-byte code page's trail bytes.
    const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    return (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) || (!path.empty() && isSeparator(path[0]));
}

bool changeDirectory(const std::string& path, std::string& error) {
    if (!SetCurrentDirectoryA(path.c_str())) {
        error = lastErrorText(GetLastError());
        return false;
    }
    return true;
}

const CommandLineEncoding commandLineEncoding = CommandLineEncoding::modifiedUtf8;

void* loadLibrary(const std::string& path, std::string& error) {
    // jvm.dll imports the C runtime DLLs that the runtime ships in its bin
    // folder, two levels up; the search for them covers that folder, the
    // library's own, the application folder and System32, and never the
    // current directory or PATH.
    // Searched in UTF-16, where no trail byte of a double-byte character can pass for a "\\".
    const std::wstring widePath = toWide(path);
    const std::wstring::size_type serverDir = widePath.rfind(L'\\');
    const std::wstring::size_type binDir =
        serverDir == std::wstring::npos || serverDir == 0 ? std::wstring::npos : widePath.rfind(L'\\', serverDir - 1);
    if (binDir != std::wstring::npos) {
        AddDllDirectory(widePath.substr(0, binDir).c_str());
    }
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr,
                                     LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (library != nullptr) {
        findJvmRuntime(library);
    }
    if (library == nullptr) {
        error = lastErrorText(GetLastError());
        const auto* ownHeaders = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            reinterpret_cast<const char*>(&__ImageBase) + __ImageBase.e_lfanew);
        const WORD machine = peMachine(path);
        if (machine != 0 && machine != ownHeaders->FileHeader.Machine) {
            error = "it is a " + machineName(machine) + " library, and this launcher is " +
                    machineName(ownHeaders->FileHeader.Machine) + ": put a " +
                    machineName(ownHeaders->FileHeader.Machine) + " Windows Java runtime in jre (" + error + ")";
        }
    }
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace platform

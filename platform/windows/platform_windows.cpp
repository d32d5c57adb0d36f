#include "platform/platform.h"
#include "platform/windows/windows_text.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace platform {

namespace {

// The classic Windows path limit, in UTF-16 units for the module path and in
// bytes for its ANSI form.
constexpr DWORD pathLimit = 260;

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

}  // namespace

std::wstring toWide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    return wide;
}

const char pathSeparator[] = "\\";

bool getApplicationDirectory(std::string& directory, std::string& error) {
    wchar_t widePath[pathLimit];
    const DWORD wideLength = GetModuleFileNameW(GetModuleHandleW(nullptr), widePath, pathLimit);
    if (wideLength == 0 || wideLength >= pathLimit) {
        // A full buffer means the path was cut short: a directory derived
        // from it would be some other folder.
        error = "the launcher's own path is longer than 259 characters; move the application to a shorter path";
        return false;
    }

    // Characters the ANSI code page cannot represent, even by best fit,
    // become spaces.
    char narrowPath[pathLimit];
    const int narrowLength = WideCharToMultiByte(CP_ACP, 0, widePath, -1, narrowPath, pathLimit, " ", nullptr);
    if (narrowLength == 0) {
        error = "the launcher's own path does not fit in 259 bytes of the system code page; "
                "move the application to a shorter path";
        return false;
    }

    // Byte by byte: in a double-byte code page a trail byte 0x5C counts too.
    char* lastBackslash = std::strrchr(narrowPath, '\\');
    if (lastBackslash == nullptr) {
        error = std::string("the launcher's own path ") + narrowPath + " holds no directory";
        return false;
    }
    *lastBackslash = '\0';
    directory = narrowPath;
    return true;
}

std::vector<std::string> jvmLibraryCandidates(const std::string& applicationDir) {
    return {applicationDir + "\\jre\\bin\\server\\jvm.dll"};
}

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isAbsolutePath(const std::string& path) {
    // C:\..., C:/..., \\server\share and \... (the current drive's root) are not
    // relative to the current directory; C:name is, and is treated as such.
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
    const std::string::size_type serverDir = path.rfind('\\');
    const std::string::size_type binDir = serverDir == std::string::npos ? serverDir : path.rfind('\\', serverDir - 1);
    if (binDir != std::string::npos) {
        AddDllDirectory(toWide(path.substr(0, binDir)).c_str());
    }
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr,
                                     LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (library == nullptr) {
        error = lastErrorText(GetLastError());
    }
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace platform

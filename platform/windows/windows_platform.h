#pragma once

#include <string>

namespace platform {

// The system's words for a Windows error code, in the ANSI code page, with
// the code: "Access is denied. (Windows error 5)".
std::string lastErrorText(unsigned long error);

// A text in the ANSI code page as UTF-16, for the wide Windows API.
std::wstring toWide(const std::string& text);

// UTF-16 text in the ANSI code page, with best-fit substitutes and "?" for
// characters it lacks, as the system converts a command line.
std::string toAnsi(const std::wstring& text);

// A failure message (see platform::showFailure) as UTF-16.
std::wstring failureText(const std::string& message, bool isUtf8);

// UTF-16 text as UTF-8, and back (an invalid UTF-8 text gives "").
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

// The application directory (in the ANSI code page) from the executable's
// full UTF-16 path: its exact ANSI form, or, where the code page lacks a
// character, the exact ANSI form of `shortPathOf(modulePath)`. Otherwise
// returns false with a UTF-8 message that names the folder in full.
bool applicationDirectoryFromModulePath(const std::wstring& modulePath,
                                        std::wstring (*shortPathOf)(const std::wstring&), std::string& directory,
                                        std::string& error);

// The short (8.3) form of an existing path, or "" when it has none.
std::wstring shortPathOf(const std::wstring& path);

}  // namespace platform

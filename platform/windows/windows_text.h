#pragma once

#include <string>

namespace platform {

// A text in the ANSI code page as UTF-16, for the wide Windows API.
std::wstring toWide(const std::string& text);

}  // namespace platform

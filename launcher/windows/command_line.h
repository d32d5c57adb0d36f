#pragma once

#include <string>
#include <vector>

// The C runtime's split of the UTF-16 command line (as wmain receives it),
// the program name excluded, each argument in modified UTF-8 so that every
// character reaches the Java main, those outside the ANSI code page included.
std::vector<std::string> commandLineAsModifiedUtf8(int argc, const wchar_t* const* argv);

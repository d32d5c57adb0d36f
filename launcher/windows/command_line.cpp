#include "launcher/windows/command_line.h"

#include "jvm/modified_utf8.h"

std::vector<std::string> commandLineAsModifiedUtf8(int argc, const wchar_t* const* argv) {
    std::vector<std::string> commandLine;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        const std::wstring argument = argv[i];
        commandLine.push_back(modifiedUtf8(std::u16string(argument.begin(), argument.end())));
    }
    return commandLine;
}

#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What a later start of the program hands the running copy: the folder it
// was started in and its command line, as UTF-8 texts.
struct LaterStart {
    std::string directory;
    std::vector<std::string> arguments;
};

// The most a message may hold: far more than any command line, and small
// enough that a peer cannot make the running copy hold much.
constexpr std::size_t maxLaterStartBytes = 1 << 20;

// Why a later start could or could not be made into a message.
enum class LaterStartEncoding { encoded, notUtf8, tooLong, noDirectory };

// The message's bytes: a tag, the length of what follows (4 bytes, least
// significant first), then the directory and each argument, each followed
// by a NUL. Not encoded when a text is not UTF-8, the message would be
// longer than maxLaterStartBytes, or the directory is empty.
LaterStartEncoding encodeLaterStart(const LaterStart& start, std::string& bytes);

// The inverse. False for anything that is not such a message: another tag,
// a length that does not match, a text that is not UTF-8, an empty
// directory, a cut-off end.
bool decodeLaterStart(const std::string& bytes, LaterStart& start);

// Whether `text` is UTF-8 with no NUL, no surrogate and no overlong form.
bool isStrictUtf8(const std::string& text);

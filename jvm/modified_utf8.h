#pragma once

#include <string>

// UTF-16 text in the JVM's modified UTF-8, the encoding NewStringUTF reads:
// every UTF-16 unit on its own, so a surrogate pair becomes two 3-byte
// sequences (and a lone surrogate survives), and U+0000 becomes C0 80, so the
// result holds no NUL and the Java String has exactly the given units.
std::string modifiedUtf8(const std::u16string& text);

// UTF-8 text in modified UTF-8: a 4-byte sequence becomes its surrogate pair's
// two 3-byte sequences and NUL becomes C0 80; all other bytes stay as they are.
std::string modifiedUtf8FromUtf8(const std::string& text);

// The inverse for text: modified UTF-8 as standard UTF-8, a surrogate pair's
// two 3-byte sequences becoming one 4-byte sequence and C0 80 becoming NUL.
std::string utf8FromModifiedUtf8(const std::string& text);

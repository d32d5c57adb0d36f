#include "jvm/modified_utf8.h"

std::string modifiedUtf8(const std::u16string& text) {
    std::string encoded;
    encoded.reserve(text.size());
    for (const char16_t unit : text) {
        if (unit != 0 && unit < 0x80) {
            encoded += static_cast<char>(unit);
        } else if (unit < 0x800) {
            encoded += static_cast<char>(0xC0 | (unit >> 6));
            encoded += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            encoded += static_cast<char>(0xE0 | (unit >> 12));
            encoded += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            encoded += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return encoded;
}

std::string modifiedUtf8FromUtf8(const std::string& text) {
    std::string encoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto continuation = [&](std::size_t k) {
            return i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        };
        if (byte == 0) {
            encoded += "\xC0\x80";
        } else if ((byte & 0xF8) == 0xF0 && continuation(1) && continuation(2) && continuation(3)) {
            const auto bits = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]) & 0x3Fu; };
            const char32_t codePoint = ((byte & 0x07u) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
            if (codePoint < 0x10000 || codePoint > 0x10FFFF) {  // not a character: left as it is
                encoded += text[i];
                continue;
            }
            const char32_t offset = codePoint - 0x10000;
            encoded += modifiedUtf8({static_cast<char16_t>(0xD800 + (offset >> 10)),
                                     static_cast<char16_t>(0xDC00 + (offset & 0x3FF))});
            i += 3;
        } else {
            encoded += text[i];
        }
    }
    return encoded;
}

std::string utf8FromModifiedUtf8(const std::string& text) {
    std::string decoded;
    const auto byteAt = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        // ED A0..AF xx is a high surrogate; ED B0..BF xx a low one.
        const bool pair = byteAt(i) == 0xED && (byteAt(i + 1) & 0xF0) == 0xA0 && byteAt(i + 3) == 0xED &&
                          (byteAt(i + 4) & 0xF0) == 0xB0 && (byteAt(i + 2) & 0xC0) == 0x80 &&
                          (byteAt(i + 5) & 0xC0) == 0x80;
        if (pair) {
            const char32_t high = 0xD000u | ((byteAt(i + 1) & 0x3Fu) << 6) | (byteAt(i + 2) & 0x3Fu);
            const char32_t low = 0xD000u | ((byteAt(i + 4) & 0x3Fu) << 6) | (byteAt(i + 5) & 0x3Fu);
            const char32_t codePoint = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
            decoded += static_cast<char>(0xF0 | (codePoint >> 18));
            decoded += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            decoded += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            decoded += static_cast<char>(0x80 | (codePoint & 0x3F));
            i += 5;
        } else if (byteAt(i) == 0xC0 && byteAt(i + 1) == 0x80) {
            decoded += '\0';
            ++i;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

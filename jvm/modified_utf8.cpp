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
            const char32_t codePoint = ((byte & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) |
                                       ((text[i + 2] & 0x3Fu) << 6) | (text[i + 3] & 0x3Fu);
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

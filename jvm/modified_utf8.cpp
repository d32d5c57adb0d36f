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

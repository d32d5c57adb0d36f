#include "launcher/later_start_message.h"

#include <cstdint>

namespace {

const char tag[] = "LATER-START-1";  // the NUL ends it in the message too
constexpr std::size_t tagSize = sizeof tag;
constexpr std::size_t headerSize = tagSize + 4;

}  // namespace

bool isStrictUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        if (lead == 0) return false;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto continuation = static_cast<unsigned char>(text[i + k]);
            if ((continuation & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (continuation & 0x3Fu);
        }
        const std::uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

LaterStartEncoding encodeLaterStart(const LaterStart& start, std::string& bytes) {
    if (start.directory.empty()) return LaterStartEncoding::noDirectory;
    std::string body;
    bool allUtf8 = true;
    const auto append = [&body, &allUtf8](const std::string& text) {
        body += text;
        body += '\0';
        allUtf8 = allUtf8 && isStrictUtf8(text);
    };
    append(start.directory);
    for (const std::string& argument : start.arguments) append(argument);
    if (!allUtf8) return LaterStartEncoding::notUtf8;
    if (headerSize + body.size() > maxLaterStartBytes) return LaterStartEncoding::tooLong;
    bytes.assign(tag, tagSize);
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((body.size() >> shift) & 0xFF);
    bytes += body;
    return LaterStartEncoding::encoded;
}

bool decodeLaterStart(const std::string& bytes, LaterStart& start) {
    if (bytes.size() < headerSize || bytes.size() > maxLaterStartBytes || bytes.compare(0, tagSize, tag, tagSize) != 0) {
        return false;
    }
    std::size_t length = 0;
    for (int k = 3; k >= 0; --k) {
        length = (length << 8) | static_cast<unsigned char>(bytes[tagSize + static_cast<std::size_t>(k)]);
    }
    if (length != bytes.size() - headerSize || length == 0 || bytes.back() != '\0') return false;
    std::vector<std::string> texts;
    for (std::size_t begin = headerSize; begin < bytes.size();) {
        const std::size_t end = bytes.find('\0', begin);
        texts.push_back(bytes.substr(begin, end - begin));
        if (!isStrictUtf8(texts.back())) return false;
        begin = end + 1;
    }
    if (texts.front().empty()) return false;
    start.directory = texts.front();
    start.arguments.assign(texts.begin() + 1, texts.end());
    return true;
}

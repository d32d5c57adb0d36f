#include "launcher/launch_settings.h"

// Byte-wise in any encoding the text may be in: "$" (0x24) is below every
// double-byte code page's trail bytes, so a match always starts a character.
std::string expandApplicationDir(const std::string& text, const std::string& applicationDir) {
    static const std::string placeholder = "$APPDIR";
    std::string expanded;
    std::size_t start = 0;
    for (std::size_t found; (found = text.find(placeholder, start)) != std::string::npos;
         start = found + placeholder.size()) {
        expanded.append(text, start, found - start).append(applicationDir);
    }
    return expanded.append(text, start, std::string::npos);
}

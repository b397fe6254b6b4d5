#include "Logging/ClientText.h"

namespace Logging {

std::string EscapeClientText(std::string_view text) {
    static const char hexDigits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (byte < 0x20 || byte == 0x7f) {
            escaped += "\\x";
            escaped += hexDigits[byte >> 4];
            escaped += hexDigits[byte & 0x0f];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace Logging

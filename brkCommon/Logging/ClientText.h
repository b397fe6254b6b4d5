// Text a client sent, made safe to write into a log line.
#pragma once

#include <string>
#include <string_view>

namespace Logging {

// Returns the text with every byte that could break or disguise a log line written out:
// a line feed as "\n", every other byte below 0x20 and 0x7f as "\xNN" (two lower-case hex digits).
// A backslash is written as "\\", so every escape reads back to exactly one byte: a client that
// sends the two characters '\' 'n' cannot pass them off as an escaped line break. Paths with
// backslashes therefore appear with them doubled, as in a C string literal.
// Bytes from 0x80 up are left as they are (UTF-8 text stays readable).
std::string EscapeClientText(std::string_view text);

}  // namespace Logging

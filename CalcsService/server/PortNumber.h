// The port a service listens on, from its text (the string table, or a variable that replaces it).
#pragma once

#include <string>

namespace Network {

// The number of a text of decimal digits only, from 0 to 65535 (0: any free port). Throws
// std::invalid_argument naming the text for anything else, so that a mistyped port stops the service
// instead of opening another one.
unsigned short parsePort(const std::string& text);

}  // namespace Network

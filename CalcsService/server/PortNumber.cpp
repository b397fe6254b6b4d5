#include "server/PortNumber.h"

#include <stdexcept>

namespace Network {

unsigned short parsePort(const std::string& text) {
    constexpr unsigned long kLargest = 65535;
    const std::invalid_argument notAPort("port \"" + text + "\" is not a port number (0-65535)");
    if (text.empty())
        throw notAPort;
    unsigned long value = 0;
    for (const char c : text) {
        // Checked digit by digit, so that no run of digits can overflow into a valid port.
        if (c < '0' || c > '9')
            throw notAPort;
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > kLargest)
            throw notAPort;
    }
    return static_cast<unsigned short>(value);
}

}  // namespace Network

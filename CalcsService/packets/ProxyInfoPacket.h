// USE_PROXY (and the control service's proxy request): the proxy the updater is to use.
#pragma once

#include <cstdint>
#include <string>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

// Members in declaration order; the wire sends the flag first, then address and port.
struct ProxyInfoPacket {
    std::string proxyAddress;
    std::uint32_t proxyPort = 0;
    std::uint8_t useProxy = 0;  // nonzero: yes
};

RequestStream& parseProxyInfoPacket(RequestStream& in, ProxyInfoPacket& packet);

}  // namespace Packets::Incoming

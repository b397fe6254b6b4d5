// The REQUEST_SERVICE_INFO reply: the service's version, the configured update server and the
// protocol version.
#pragma once

#include <cstdint>
#include <string>

#include "packets/PacketHeader.h"

namespace Packets::Outgoing {

struct ServiceInfoResult {
    std::string version;
    std::string updateServer;
    std::uint32_t protocolVersion = PROTOCOL_VERSION;
};

}  // namespace Packets::Outgoing

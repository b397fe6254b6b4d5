// ROOT2UNDERLYING_MAP: which underlying each option root belongs to.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

struct Root2UnderlyingMapPacket {
    std::int32_t count = 0;  // as sent; zero or negative: no pairs
    std::vector<std::pair<std::string, std::string>> pairs;  // (option root, underlying symbol)
};

RequestStream& parseRoot2UnderlyingMapPacket(RequestStream& in, Root2UnderlyingMapPacket& packet);

}  // namespace Packets::Incoming

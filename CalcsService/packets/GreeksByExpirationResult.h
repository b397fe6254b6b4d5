// The GREEKS_BY_EXPIRATION reply: the portfolio's greeks summed per expiration, ascending.
#pragma once

#include <cstdint>
#include <vector>

#include "packets/GreeksByExpirationEntry.h"
#include "packets/PacketTypes.h"

namespace Packets::Outgoing {

struct GreeksByExpirationResult {
    std::uint32_t type = GREEKS_BY_EXPIRATION;
    std::uint32_t zero = 0;
    std::vector<GreeksByExpirationEntry> entries;
};

}  // namespace Packets::Outgoing

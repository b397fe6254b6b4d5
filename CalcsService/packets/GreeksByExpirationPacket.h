// GREEKS_BY_EXPIRATION: the portfolio's greeks summed per expiration.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packets/OptionPosition.h"
#include "packets/RequestStream.h"

namespace Packets::Incoming {

struct GreeksByExpirationPacket {
    std::string symbol;
    double evaluationTime = 0.0;  // ms since 1970
    double referenceTime = 0.0;   // ms since 1970
    float currentPrice = 0.0f;
    float basePrice = 0.0f;       // 0: use the current price
    std::uint32_t unused = 0;     // stored, not used
    std::vector<VO::OptionPosition> positions;
};

// The position count is signed: zero or negative means no positions.
RequestStream& parseGreeksByExpirationPacket(RequestStream& in, GreeksByExpirationPacket& packet);

}  // namespace Packets::Incoming

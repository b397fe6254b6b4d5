// The RISK_TABLE_INPUT_DATA reply: per slide price the portfolio's value and greeks at the position
// volatilities and at volatilities lowered and raised by the request's shift.
#pragma once

#include <cstdint>
#include <vector>

#include "packets/PacketTypes.h"
#include "packets/RiskTableCell.h"

namespace Packets::Outgoing {

struct RiskTableResult {
    std::uint32_t type = RISK_TABLE_INPUT_DATA;
    std::uint32_t zero = 0;
    std::vector<VO::RiskTableCell> atVolatility;    // one cell per slide price, in request order
    std::vector<VO::RiskTableCell> volatilityDown;  // volatility × (1 − shift)
    std::vector<VO::RiskTableCell> volatilityUp;    // volatility × (1 + shift)
    float middlePrice = 0.0f;                       // the middle slide as sent, or the current price
};

}  // namespace Packets::Outgoing

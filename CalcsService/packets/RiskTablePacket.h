// RISK_TABLE_INPUT_DATA: portfolio value and greeks at a list of underlying prices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packets/OptionPosition.h"
#include "packets/RequestStream.h"

namespace Packets::Incoming {

// Members in wire order except the stock quantity, which the wire sends after the base price.
struct RiskTablePacket {
    std::string symbol;               // a first character '^' marks an index
    std::uint8_t unused = 0;          // stored, not used
    float volatilityShift = 0.0f;     // fraction: 0.1 moves the volatility by 10 % of itself
    double evaluationTime = 0.0;      // ms since 1970
    double referenceTime = 0.0;       // ms since 1970
    float currentPrice = 0.0f;
    float stockQuantity = 0.0f;
    float basePrice = 0.0f;           // 0: use the current price
    std::uint8_t keepTradePrices = 0;
    std::vector<float> slidePrices;
    std::vector<VO::OptionPosition> positions;
};

RequestStream& parseRiskTablePacket(RequestStream& in, RiskTablePacket& packet);

}  // namespace Packets::Incoming

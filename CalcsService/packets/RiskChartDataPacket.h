// CALC_RISK_CHART_DATA: two position lists to chart against price and time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packets/OptionPosition.h"
#include "packets/RequestStream.h"

namespace Packets::Incoming {

struct RiskChartDataPacket {
    std::string symbol;
    std::uint8_t flag1 = 0;          // stored, not used
    std::uint8_t flag2 = 0;          // stored, not used
    double priceStep = 0.0;          // fractional price change between neighbouring rows
    std::uint32_t dayStep = 0;       // days between neighbouring columns
    double unused = 0.0;             // stored, not used
    double basePrice = 0.0;          // 0: use the current price
    double currentPrice = 0.0;
    double referenceTime = 0.0;      // ms since 1970
    double evaluationTime = 0.0;     // ms since 1970
    double stockQuantity1 = 0.0;     // shares held beside the first list
    double stockQuantity2 = 0.0;     // shares held beside the second list
    std::uint8_t keepTradePrices = 0;  // zero: trade prices are first replaced by theoretical values
    std::vector<VO::OptionPosition> positions1;
    std::vector<VO::OptionPosition> positions2;
};

RequestStream& parseRiskChartDataPacket(RequestStream& in, RiskChartDataPacket& packet);

// How many position valuations the two tables make: every position of its list at every cell.
std::uint64_t riskChartDataValuations(const RiskChartDataPacket& packet);

}  // namespace Packets::Incoming

// RISK_2D: a portfolio of underlyings, each with its stock, option positions and skew points, to
// chart over a range of underlying prices.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "packets/OptionPosition.h"
#include "packets/RequestLimits.h"
#include "packets/RequestStream.h"

namespace VO::RiskChart {

// One skew point of an expiration: a strike and two call and two put prices.
struct ExpiryCurvePoint {
    double callPrice1 = 0.0;
    double callPrice2 = 0.0;
    double strike = 0.0;
    double putPrice1 = 0.0;
    double putPrice2 = 0.0;
};

constexpr std::size_t EXPIRY_CURVE_POINTS = 5;
using ExpiryCurve = std::array<ExpiryCurvePoint, EXPIRY_CURVE_POINTS>;

// One underlying of the chart; shared by the chart pass and the greeks pass.
struct PerStockInfo {
    std::string symbol;              // a first character '^' marks an index
    std::string text2;               // kept, not used
    std::int32_t stockQty = 0;       // shares held, signed
    double pctPerStep = 1.0;         // half the spacing of the axis points, percent of the base price
    double currentPrice = 0.0;
    std::map<double, ExpiryCurve> curves;  // expiration -> its skew points; never a NaN key
    std::vector<VO::OptionPosition> positions;
    std::vector<double> prices;      // when not empty, the price axis itself
    std::uint8_t keepTradePrices = 0;  // 1: the positions' trade prices are not marked to theoretical
};

}  // namespace VO::RiskChart

namespace Packets::Incoming {

struct RiskChart2DInputsPacket {
    std::uint32_t skipStrikeTables = 0;  // 0: also compute the per-strike tables
    std::uint32_t volMode = 0;           // 1: fitted skew volatilities
    double basePrice = 0.0;              // 0: each underlying's current price
    double evalTime = 0.0;               // ms since 1970
    double refTime = 0.0;                // ms since 1970: when the positions' stored times hold
    std::uint8_t useVolShifts = 0;       // 0: every volatility shift is stored as 0.0
    std::uint32_t steps = 10;            // intervals of the price axis
    std::vector<std::shared_ptr<VO::RiskChart::PerStockInfo>> stocks;
    std::map<double, double> volShifts;  // expiration -> volatility shift fraction; never a NaN key
};

// At most how many position valuations the chart makes: each underlying's positions at each point of
// the axis and, with strike tables, at each of their strikes (at most one per position).
std::uint64_t riskChart2DValuations(const RiskChart2DInputsPacket& packet);

// Fills `packet` from the body. A body that ends before its closing key, a `steps` value whose axis
// would exceed MAX_RISK_2D_POINTS, a request whose reply could exceed MAX_REPLY_SIZE or whose
// valuations could exceed MAX_POSITION_VALUATIONS fails the stream (logged): the request is to be
// refused.
// Skew points beyond the five of an expiration are read and dropped; NaN keys are not stored; a
// `prices` list longer than the axis is cut to the axis.
RequestStream& parseRiskChart2DInputsPacket(RequestStream& in, RiskChart2DInputsPacket& packet);

}  // namespace Packets::Incoming

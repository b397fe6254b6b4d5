// The RISK_2D reply: 24 curves over the price axis, greeks per expiration, a value curve and the
// strikes of each underlying, and on request a table of the 24 quantities at each strike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "packets/PacketTypes.h"
#include "packets/RiskChart2DPacket.h"
#include "packets/WireDoubleOrder.h"

namespace Packets::Outgoing {

// The 24 curves in member order: four scenarios (now; up and down: the evaluation time with the
// volatility shifted; eval: the evaluation time) of six quantities each.
enum RiskCurve : std::size_t {
    nowValue, nowDelta, nowGamma, nowTheta, nowRho, nowVega,
    upValue, upDelta, upGamma, upTheta, upRho, upVega,
    downValue, downDelta, downGamma, downTheta, downRho, downVega,
    evalValue, evalDelta, evalGamma, evalTheta, evalRho, evalVega,
    RISK_CURVE_COUNT
};

// The order the reply writes the curves in, and the values of a strike row: vega before rho, and
// the up and down curves interleaved after eval.
constexpr std::array<RiskCurve, RISK_CURVE_COUNT> RISK_CURVE_REPLY_ORDER = {
    nowValue, nowDelta, nowGamma, nowTheta, nowVega, nowRho,
    evalValue, evalDelta, evalGamma, evalTheta, evalVega, evalRho,
    upValue, downValue, upDelta, downDelta, upGamma, downGamma,
    upTheta, downTheta, upVega, downVega, upRho, downRho,
};

using RiskCurves = std::array<std::vector<double>, RISK_CURVE_COUNT>;

// The summary of one expiration (or of the stocks, or of everything) at the base price.
struct GREEKS_BY_EXP {
    double timeValue = 0.0;
    double contracts = 0.0;
    std::int32_t callContracts = 0;
    std::int32_t putContracts = 0;
    double gamma = 0.0;
    double delta = 0.0;
    double theta = 0.0;
    double vega = 0.0;
    double rho = 0.0;
    double dollarDelta = 0.0;
};

// Key of the grand total and of the stocks of all underlyings in the greeks map.
constexpr double GREEKS_TOTAL_KEY = -1.0;
constexpr double GREEKS_STOCK_KEY = 0.0;

using GreeksByExpiration = std::map<double, GREEKS_BY_EXP>;  // never a NaN key

// Strikes in ascending order; a NaN strike sorts last.
using StrikeSet = std::set<double, Packets::WireDoubleLess>;

struct StockCurve {
    std::string symbol;
    std::vector<std::vector<double>> curves;
};

struct StockStrikes {
    std::string symbol;
    StrikeSet strikes;
};

// The 24 curve values at one strike, in member order.
using StrikeRow = std::array<double, RISK_CURVE_COUNT>;

struct StockStrikeTable {
    std::string symbol;
    std::vector<StrikeRow> rows;
};

struct RiskChart2DResult {
    std::uint32_t type = RISK_2D;
    RiskCurves curves;
    std::vector<StockCurve> stockCurves;
    std::vector<StockStrikes> strikeLists;
    std::vector<StockStrikeTable> strikeTables;
    GreeksByExpiration greeks;
};

// Bytes of the whole reply, header included.
std::uint64_t riskChart2DReplySize(const RiskChart2DResult& result);

// The most bytes the reply to `inputs` can take, header included, known before the chart is
// computed: every position counted as a strike of its own and an expiration of its own.
std::uint64_t riskChart2DReplySizeBound(const Packets::Incoming::RiskChart2DInputsPacket& inputs);

// Replaces `reply` with the whole reply packet. Every curve goes out with the length of the first
// main curve: a shorter one padded with zeros, a longer one cut. Throws std::length_error when the reply would not fit its 32-bit size field.
void serializeRiskChart2DResult(const RiskChart2DResult& result, std::vector<std::uint8_t>& reply,
                                const std::vector<std::uint8_t>& requestId);

}  // namespace Packets::Outgoing

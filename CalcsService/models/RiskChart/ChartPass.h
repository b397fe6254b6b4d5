// The chart pass of the risk chart: every underlying's positions valued, with their greeks, at each
// point of the price axis in four scenarios, and on request at each of the underlying's strikes.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "models/RiskChart/PositionPricing.h"
#include "models/RiskChart/RiskTotals.h"
#include "packets/RiskChart2DPacket.h"

namespace models::RiskChart {

// A position's time to expiration in one scenario, and the dividend it sees then. It depends on
// the position and the scenario only, so each position's are found once per underlying.
struct ScenarioTime {
    double T = 0.0;
    DividendList dividend;
};

// The now scenario: the stored time.
ScenarioTime nowTime(const VO::OptionPosition& p);
// The eval scenario: the stored time when refTime equals evalTime, else the library's weighted time at
// evalTime; a time under a day is taken as 1e-8.
ScenarioTime evalTime(const VO::OptionPosition& p, double refTime, double evalTime);

// Thread body: chartStock for every underlying in request order. Never throws: a failure is logged and
// what was added to `totals` stays.
void chart(const Packets::Incoming::RiskChart2DInputsPacket& inputs, const std::map<double, double>& volShifts,
           RISK_TOTALS& totals);

// Adds one underlying's share of the chart to `totals` (whose curves give the axis length), and
// appends its own curves and strike table.
void chartStock(const VO::RiskChart::PerStockInfo& stock, const Packets::Incoming::RiskChart2DInputsPacket& inputs,
                const std::map<double, double>& volShifts, RISK_TOTALS& totals);

// The price axis: the underlying's own `prices` when it has them (at most n; the curves' points
// beyond them stay 0.0), else n points from base x (1 - pctPerStep x steps / 100) in steps of 2 x pctPerStep percent of base,
// negative prices clamped to 0.0.
std::vector<double> priceAxis(const VO::RiskChart::PerStockInfo& stock, double base, std::uint32_t steps,
                              std::size_t n);

// One position at one point: the now scenario, then eval with its up and down variants.
void combinedProcess(const VO::OptionPosition& p, const ScenarioTime& now, const ScenarioTime& eval,
                     const PointContext& ctx, double shift, PointRecord& r);

// One scenario. `value`, `exShares` and `exAmount` are slots of r; `greeks`, `upGreeks` and `downGreeks`
// the first of five greek slots. With `withShift` the up and down variants are added too.
void processRecord(const VO::OptionPosition& p, const ScenarioTime& time, const PointContext& ctx, PointRecord& r,
                   double shift, std::size_t exShares, std::size_t exAmount, std::size_t greeks, std::size_t upGreeks,
                   std::size_t downGreeks, std::size_t value, bool withShift);

// Adds point i of the record, at price P, with the underlying's stock, into the totals.
void addToTotals(RISK_TOTALS& t, std::size_t i, const PointRecord& r, double P, double currentPrice,
                 std::int32_t stockQty);

// Adds the eval value alone of the record at price P, with the stock, to `value`, as addToTotals adds
// it to the eval value curve.
void addEvalValue(double& value, const PointRecord& r, double P, double currentPrice, std::int32_t stockQty);

}  // namespace models::RiskChart

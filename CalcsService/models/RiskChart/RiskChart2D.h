// RISK_2D: the two-dimensional risk chart of a portfolio of underlyings. The chart pass and the
// greeks pass run on threads of their own; what either had computed when it failed is still sent.
#pragma once

#include "packets/RiskChart2DPacket.h"
#include "packets/RiskChart2DResult.h"

namespace models::RiskChart {

// Fills `result` from the parsed request. Sorts the request's positions and rewrites their stored
// times, trade prices and, in volatility mode 1, volatilities.
void calcRiskChart2D(Packets::Incoming::RiskChart2DInputsPacket& inputs, Packets::Outgoing::RiskChart2DResult& result);

// Sorts by expiration then strike, gives each expiration the largest stored time among its positions
// and, unless the trade prices are kept, marks them to their theoretical prices.
void prepareStock(VO::RiskChart::PerStockInfo& stock);

// Every trade price becomes the option's mid quote, 0.0 when the library has none.
void markStockToMid(VO::RiskChart::PerStockInfo& stock);

}  // namespace models::RiskChart

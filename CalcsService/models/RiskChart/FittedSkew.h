// Volatility mode 1 of the risk chart: per expiration, five skew points from the client become
// implied volatilities through the library, a cubic spline is laid through them, and every position
// of that expiration takes its volatility from the spline.
#pragma once

#include <array>
#include <map>
#include <ostream>
#include <vector>

#include "models/RiskChart/CubicSpline.h"
#include "packets/RiskChart2DPacket.h"
#include "packets/WireDoubleOrder.h"

namespace models::RiskChart {

using SkewStrikes = std::array<double, VO::RiskChart::EXPIRY_CURVE_POINTS>;
using SkewVolatilities = std::array<double, VO::RiskChart::EXPIRY_CURVE_POINTS>;

// Expiration -> the first of its positions in the sorted list (its lowest strike).
using RepresentativePositions = std::map<double, const VO::OptionPosition*, Packets::WireDoubleLess>;

// Rewrites the volatility of the underlying's positions, expiration by expiration. The positions must
// be sorted by expiration, then strike. Throws what the library binding throws.
void calcFittedSkewSpline(VO::RiskChart::PerStockInfo& stock);

// Fits and applies one expiration.
void fitSkewSpline(double expiration, const VO::RiskChart::ExpiryCurve& points,
                   const RepresentativePositions& representatives, VO::RiskChart::PerStockInfo& stock);

// Sets the volatility (percent) of every position of the expiration: the end values outside
// [x[0], x[4]], the spline between. A value that is not finite leaves the position's volatility as it
// was, with a warning. Appends one line per position to `notes`.
void applySkewSpline(std::vector<VO::OptionPosition>& positions, double expiration, const SkewStrikes& x,
                     const SkewVolatilities& y, const CubicSpline& spline, std::ostream& notes);

}  // namespace models::RiskChart

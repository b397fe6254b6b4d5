// What the chart pass adds up: the 24 curves over the price axis, and per underlying its own curves
// and, on request, the curves at its strikes.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "packets/RiskChart2DResult.h"

namespace models::RiskChart {

struct RISK_TOTALS {
    Packets::Outgoing::RiskCurves curves;  // indexed by Packets::Outgoing::RiskCurve
    // Filled on the top-level totals only, already in the reply's form: of an underlying's own
    // curves the reply carries only the eval value, so only that one is kept.
    std::vector<Packets::Outgoing::StockCurve> perStock;         // one per underlying, over the price axis
    std::vector<Packets::Outgoing::StockStrikeTable> perStrike;  // one per underlying, a row per strike
    std::vector<Packets::Outgoing::StockStrikes> strikeSets;     // the strikes of each perStrike entry

    // Every curve with n zero points.
    void resize(std::size_t n) {
        for (auto& curve : curves)
            curve.assign(n, 0.0);
    }
};

// What all positions of one underlying add at one price point.
enum PointSlot : std::size_t {
    NOW_GREEKS = 0,     // five greeks each: delta, vega, gamma, theta, rho
    UP_GREEKS = 5,
    DOWN_GREEKS = 10,
    EVAL_GREEKS = 15,
    NOW_VALUE = 20,
    NOW_EX_SHARES = 21,  // shares from exercised options, and their strike amount
    NOW_EX_AMOUNT = 22,
    EVAL_EX_SHARES = 23,
    EVAL_EX_AMOUNT = 24,
    EVAL_VALUE = 25,
    UP_VALUE = 26,
    DOWN_VALUE = 27,
    POINT_SLOTS = 28
};

// Offsets of the five greeks within a greeks slot.
enum GreekOffset : std::size_t { DELTA, VEGA, GAMMA, THETA, RHO };

using PointRecord = std::array<double, POINT_SLOTS>;

// One price point of one underlying.
struct PointContext {
    double basePrice = 0.0;
    double price = 0.0;
    bool isIndex = false;
    char style = 'a';     // 'e' European for an index, else 'a'
    double ratio = 1.0;   // base price / current price
};

}  // namespace models::RiskChart

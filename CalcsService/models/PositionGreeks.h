// The greeks of one option position as the library gives them, and how the portfolio records sum
// them: each times the quantity, delta also with the position's sign (the library's delta is a size).
#pragma once


#include "packets/OptionPosition.h"

namespace models {

struct PositionGreeks {
    double vega = 0.0;
    double theta = 0.0;
    double rho = 0.0;
    double delta = 0.0;
    double gamma = 0.0;
};

// One contract is this many units of the underlying: money values of options are multiplied by it.
constexpr double SHARES_PER_CONTRACT = 100.0;

inline double signOf(const VO::OptionPosition& p) { return p.isPut ? -1.0 : 1.0; }

// An expired call below the base price or put above it (strictly) counts as its whole shares.
inline bool expiresInTheMoney(const VO::OptionPosition& p, double base) {
    return p.isPut ? p.strike > base : p.strike < base;
}

// What an option is worth beyond its intrinsic value at S, by the strike's side of the base price.
inline double timeValueOf(const VO::OptionPosition& p, double theo, double S, double base) {
    if (!p.isPut && p.strike < base)
        return theo - S + p.strike;
    if (p.isPut && p.strike > base)
        return theo - p.strike + S;
    return theo;
}

// An index option moves with its forward's gap to `reference`, scaled by the share of its time still
// left; without a stored time left there is nothing to scale.
inline double indexAdjustedPrice(const VO::OptionPosition& p, double S, double reference, double T) {
    if (!(p.timeToExpiry > 0.0))
        return S;
    return S + (p.indexForward - reference) / p.timeToExpiry * T;
}

// Record: any record with the five greeks as members (a risk table cell, a greeks-by-expiration entry).
template <class Record>
void addGreeks(Record& record, const PositionGreeks& g, const VO::OptionPosition& p) {
    const double quantity = p.quantity;
    record.vega += quantity * g.vega;
    record.theta += quantity * g.theta;
    record.rho += quantity * g.rho;
    record.delta += quantity * g.delta * signOf(p);
    record.gamma += quantity * g.gamma;
}

}  // namespace models

// Valuation of option positions: marking them to theoretical prices and their profit or loss at a
// price and a day offset, exercised options included.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "models/Calculations.h"
#include "models/IndexSymbol.h"
#include "models/PositionGreeks.h"

namespace {

constexpr double MS_PER_DAY = 86400000.0;
using models::SHARES_PER_CONTRACT;

// The position's one discrete dividend, when it is paid within T years.
struct Dividend {
    std::vector<double> amounts, times;
    Dividend(const VO::OptionPosition& p, double T) {
        if (p.dividendAmount > 0.0f && p.dividendTime <= T) {
            amounts.push_back(p.dividendAmount);
            times.push_back(p.dividendTime);
        }
    }
};

// A non-finite price counts as 0 and is noted for the request's log.
double finiteOrZero(double price, models::ValuationNotes& notes) {
    if (std::isfinite(price))
        return price;
    notes.nonFiniteTheo = true;
    return 0.0;
}

// A mark must fit the f32 trade price: one that does not (or is not finite) counts as 0 likewise.
float markedPrice(double theo, models::ValuationNotes& notes) {
    if (std::fabs(theo) <= FLT_MAX)
        return static_cast<float>(theo);
    notes.nonFiniteTheo = true;
    return 0.0f;
}

// The library's price of one position at S, T and sigma.
double theoOf(Calculations& calc, const VO::OptionPosition& p, bool index, double S, double T, double sigma) {
    const Dividend dividend(p, T);
    const double X = p.strike, r = p.interestRate, b = p.costOfCarry;
    return calc.calcTheoPriceAtTime(static_cast<int>(p.pricingModel), index ? 1 : 0,
                                    static_cast<std::int8_t>(p.deliveryMode), p.isPut ? 'p' : 'c', &S, &X, &T, &r,
                                    &b, &sigma, &dividend.amounts, &dividend.times);
}

}  // namespace

double Calculations::calcTheoPriceAtTime(int model, int european, int deliveryMode, int type, const double* S,
                                         const double* X, const double* T, const double* r, const double* b,
                                         const double* sigma, const std::vector<double>* amounts,
                                         const std::vector<double>* times) {
    const double t = *T < 0.0 ? 0.0 : *T;
    return m_dll.CalcTheoPrice(model, european, deliveryMode, type, S, X, &t, r, b, sigma, amounts, times);
}

void Calculations::markPositionsToTheo(models::PositionList& positions, const std::string& symbol, double S,
                                       models::ValuationNotes& notes) {
    const bool index = models::isIndexSymbol(symbol);
    for (VO::OptionPosition& p : positions) {
        if (index)
            S = p.indexForward;
        const double theo = theoOf(*this, p, index, S, p.timeToExpiry, p.volatility / 100.0);
        p.tradePrice = markedPrice(theo, notes);
    }
}

std::vector<double> Calculations::positionTimes(const models::PositionList& positions, double baseMs, double refMs,
                                                int days) {
    const double evalMs = days * MS_PER_DAY + baseMs;
    const bool sameTime = refMs == evalMs;
    const double evalSeconds = evalMs / 1000.0;
    std::vector<double> times(positions.size(), 0.0);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const VO::OptionPosition& p = positions[i];
        if (p.quantity == 0.0f)
            continue;  // not valued
        times[i] = sameTime ? p.timeToExpiry : m_dll.GetWeightedTimeToExpiration(p.foreignId, &evalSeconds);
    }
    return times;
}

double Calculations::valuePositions(const std::string& symbol, double X, double S,
                                    const models::PositionList& positions, const std::vector<double>& times,
                                    double volMult, double ratio, models::ValuationNotes& notes) {
    if (times.size() != positions.size())
        throw std::invalid_argument("valuePositions: one time per position expected");
    const bool index = models::isIndexSymbol(symbol);
    double value = 0.0;
    double n = 0.0;     // net shares from exercised options
    double sumK = 0.0;  // what they cost at their strikes
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const VO::OptionPosition& p = positions[i];
        if (p.quantity == 0.0f)
            continue;
        const double T = times[i];
        const double quantity = p.quantity;
        if (!(T <= 0.0)) {
            // An index option moves with its forward's gap to the current price (X / ratio), scaled by
            // the share of its time still left; without a stored time there is nothing to scale.
            const double spot = index ? models::indexAdjustedPrice(p, S, X / ratio, T) : S;
            const double sigma = p.volatility * volMult / 100.0;
            const double theo = finiteOrZero(theoOf(*this, p, index, spot, T, sigma), notes);
            value += quantity * (theo - p.tradePrice) * SHARES_PER_CONTRACT;
            continue;
        }
        value -= p.tradePrice * SHARES_PER_CONTRACT * quantity;
        // Exercise is decided at X (the base price), strictly; the shares are valued at S below.
        if (models::expiresInTheMoney(p, X)) {
            const double shares = models::signOf(p) * quantity * SHARES_PER_CONTRACT;
            n += shares;
            sumK += shares * p.strike;
        }
    }
    // Also when calls and puts cancel (n = 0): their strikes still differ.
    return value + S * n - sumK;
}

double Calculations::calcPositionsValue(const std::string& symbol, double X, double S, double baseMs, double refMs,
                                        const models::PositionList& positions, int days, double volMult,
                                        double ratio, models::ValuationNotes& notes) {
    return valuePositions(symbol, X, S, positions, positionTimes(positions, baseMs, refMs, days), volMult, ratio,
                          notes);
}

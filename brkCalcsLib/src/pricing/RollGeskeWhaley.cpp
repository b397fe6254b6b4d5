#include "pricing/RollGeskeWhaley.h"

#include <algorithm>
#include <cmath>

#include "pricing/BlackScholes.h"
#include "pricing/FiniteGuard.h"
#include "pricing/NormalDistribution.h"
#include "pricing/PricingModel.h"

namespace Pricing {

namespace {

constexpr double kMaxCriticalPrice = 1e10;
constexpr double kCriticalPriceTolerance = 1e-6;

// The stock price just before t1 at which exercising the call equals keeping it (-1 when none
// below 1e10). The call kept is worth c(s) after the dividend is paid.
double CriticalPrice(double S, double X, double r, double sigma, double T, double D, double t1) {
    const auto excessOfHolding = [&](double s) {
        return BlackScholesCarry(s, X, T - t1, r, r, sigma, 'c') - s - D + X;
    };
    double upper = S;
    while (excessOfHolding(upper) > 0.0 && upper <= kMaxCriticalPrice)
        upper *= 2.0;
    if (upper > kMaxCriticalPrice)
        return -1.0;

    double lower = 0.0;
    double mid = upper / 2.0;
    for (;;) {
        const double excess = excessOfHolding(mid);
        if (std::fabs(excess) <= kCriticalPriceTolerance || upper - lower <= kCriticalPriceTolerance)
            return mid;
        if (excess >= 0.0)
            lower = mid;
        else
            upper = mid;
        const double next = lower + (upper - lower) / 2.0;
        // Near 1e10 neighbouring doubles lie more than 1e-6 apart: stop once the interval cannot split.
        if (next == lower || next == upper)
            return next;
        mid = next;
    }
}

}  // namespace

double RollGeskeWhaleyCall(double S, double X, double r, double sigma, double T, double D, double t1) {
    if (!AllFinite(S, X, r, sigma, T, D, t1) || S <= 0.0 || X <= 0.0)
        return 0.0;
    if (D <= 0.0 || t1 >= T)
        return BlackScholesCarry(S, X, T, r, r, sigma, 'c');
    if (t1 < EPS)
        return std::max(S - X, BlackScholesCarry(S - D, X, T, r, r, sigma, 'c'));

    const double exDividendPrice = S - D * std::exp(-r * t1);
    const double european = BlackScholesCarry(exDividendPrice, X, T, r, r, sigma, 'c');
    if (D <= X * (1.0 - std::exp(-r * (T - t1))))
        return european;
    const double critical = CriticalPrice(S, X, r, sigma, T, D, t1);
    if (critical < 0.0)
        return european;

    const double sqrtT = std::sqrt(T);
    const double sqrtT1 = std::sqrt(t1);
    const double halfVariance = sigma * sigma / 2.0;
    const double a1 = (std::log(exDividendPrice / X) + (r + halfVariance) * T) / (sigma * sqrtT);
    const double a2 = a1 - sigma * sqrtT;
    const double b1 = (std::log(exDividendPrice / critical) + (r + halfVariance) * t1) / (sigma * sqrtT1);
    const double b2 = b1 - sigma * sqrtT1;
    const double rho = -std::sqrt(t1 / T);
    const double value = exDividendPrice * NormalCdf(b1) + exDividendPrice * BivariateNormal(a1, -b1, rho) -
                         X * std::exp(-r * T) * BivariateNormal(a2, -b2, rho) -
                         (X - D) * std::exp(-r * t1) * NormalCdf(b2);
    return FiniteOrZero(value);
}

}  // namespace Pricing

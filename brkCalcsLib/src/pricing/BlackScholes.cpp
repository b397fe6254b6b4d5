#include "pricing/BlackScholes.h"

#include <cmath>

#include "pricing/FiniteGuard.h"
#include "pricing/NormalDistribution.h"

namespace Pricing {

namespace {
constexpr double kTiny = 1e-6;
constexpr double kPerCalendarDay = 0.0027397260273972603;  // 1/365
}  // namespace

int CalcD1D2(double S, double X, double sqrtT, double T, double sigma, double b, double sigmaSqrtT,
             double invSigmaSqrtT, double& d1, double& d2) {
    // Written as "not at least" so that a NaN (a negative T's square root) fails too.
    if (!(sigma >= kTiny && sqrtT >= kTiny && sigmaSqrtT >= kTiny && S >= kTiny && X >= kTiny)) {
        d1 = 0.0;
        d2 = 0.0;
        return -1;
    }
    d1 = (std::log(S / X) + (b + sigma * sigma / 2.0) * T) * invSigmaSqrtT;
    d2 = d1 - sigmaSqrtT;
    return 0;
}

double BlackScholesCarry(double S, double X, double T, double r, double b, double sigma, char type) {
    if (!AllFinite(S, X, T, r, b, sigma) || S <= 0.0 || X <= 0.0)
        return 0.0;
    if (type != 'c' && type != 'p')
        return 0.0;
    const double sqrtT = std::sqrt(T);
    const double sigmaSqrtT = sigma * sqrtT;
    double d1 = 0.0;
    double d2 = 0.0;
    if (CalcD1D2(S, X, sqrtT, T, sigma, b, sigmaSqrtT, 1.0 / sigmaSqrtT, d1, d2) != 0)
        return 0.0;
    const double carried = S * std::exp((b - r) * T);
    const double discountedStrike = X * std::exp(-r * T);
    if (type == 'c')
        return FiniteOrZero(carried * NormalCdf(d1) - discountedStrike * NormalCdf(d2));
    return FiniteOrZero(discountedStrike * NormalCdf(-d2) - carried * NormalCdf(-d1));
}

double BlackScholesTheta(char type, double S, double X, double invSqrtT, double T, double r, double b, double sigma,
                         double carryFactor, double nd1, double Nd1, double Nd2, double NMinusD1, double NMinusD2) {
    const double decay = -S * carryFactor * nd1 * sigma * invSqrtT / 2.0;
    const double discountedStrike = X * std::exp(-r * T);
    double theta;
    if (type == 'c')
        theta = decay - (b - r) * S * carryFactor * Nd1 - r * discountedStrike * Nd2;
    else if (type == 'p')
        theta = decay + (b - r) * S * carryFactor * NMinusD1 + r * discountedStrike * NMinusD2;
    else
        return 0.0;
    return theta * kPerCalendarDay;
}

}  // namespace Pricing

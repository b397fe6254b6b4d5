#include "pricing/Greeks.h"

#include <algorithm>
#include <cmath>

#include "pricing/BlackScholes.h"
#include "pricing/NormalDistribution.h"
#include "pricing/TheoPrice.h"

namespace Pricing {

namespace {

constexpr double kNormalDensity = 0.39894228040143;
constexpr double kShortExpiry = 0.00821917808219178;  // 3 days
constexpr double kNegligible = 0.0001;
constexpr double kNoVolatility = 0.0001;

bool Negligible(double value) { return !std::isfinite(value) || std::fabs(value) < kNegligible; }

void CleanUp(double& vega, double& theta, double& rho, double& delta, double& gamma) {
    if (!std::isfinite(delta) || delta < kNegligible)
        delta = 0.0;
    else if (delta > 100.0)
        delta = 100.0;
    if (Negligible(vega))
        vega = 0.0;
    if (Negligible(theta) || theta > 0.0)
        theta = 0.0;
    if (Negligible(gamma))
        gamma = 0.0;
    if (Negligible(rho))
        rho = 0.0;
}

}  // namespace

void CalcGreeks(bool european, int deliveryMode, char type, double S, double r, double b, double T, double sigma,
                double X, int model, const std::vector<double>& amounts, const std::vector<double>& times,
                double& vega, double& theta, double& rho, double& delta, double& gamma) {
    const bool isPut = type == 'p';
    const double sqrtT = std::sqrt(T);
    const double sigmaSqrtT = sigma * sqrtT;
    double d1 = 0.0;
    double d2 = 0.0;
    if (CalcD1D2(S, X, sqrtT, T, sigma, b, sigmaSqrtT, 1.0 / sigmaSqrtT, d1, d2) != 0) {
        const bool inTheMoney = isPut ? X > S : S > X;
        delta = inTheMoney ? 100.0 : 0.0;
        vega = theta = rho = gamma = 0.0;
        return;
    }

    const double nd1 = kNormalDensity * std::exp(-d1 * d1 / 2.0);
    const double carryFactor = std::exp((b - r) * T);
    const double Nd1 = NormalCdf(d1);
    const double Nd2 = NormalCdf(d2);
    const double NMinusD1 = NormalCdf(-d1);
    const double NMinusD2 = NormalCdf(-d2);
    const double discountedStrikeTime = X * T * std::exp(-r * T);

    delta = std::fabs((Nd1 - (isPut ? 1.0 : 0.0)) * carryFactor * 100.0);
    vega = S * sqrtT * nd1 * 0.01 * carryFactor * 100.0;
    rho = isPut ? -discountedStrikeTime * NMinusD2 : discountedStrikeTime * Nd2;
    theta = BlackScholesTheta(type, S, X, 1.0 / sqrtT, T, r, b, sigma, carryFactor, nd1, Nd1, Nd2, NMinusD1,
                              NMinusD2) * 100.0;
    gamma = nd1 / (S * sigma * sqrtT) * carryFactor * 100.0;

    if (T < kShortExpiry) {
        const double timeValue =
            std::max(CalcTheoPrice(b, r, T, X, european, deliveryMode, model, type, S, sigma, amounts, times) -
                         CalcTheoPrice(b, r, T, X, european, deliveryMode, model, type, S, kNoVolatility, amounts,
                                       times),
                     0.0);
        const double sign = theta < 0.0 ? -1.0 : 1.0;
        theta = sign * std::min(std::fabs(theta), 100.0 * timeValue);
        gamma = std::max(0.0, std::min(gamma, 100.0 - std::fabs(delta)));
    }

    CleanUp(vega, theta, rho, delta, gamma);
}

}  // namespace Pricing

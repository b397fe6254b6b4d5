#include "pricing/BjerksundStensland.h"

#include <algorithm>
#include <cmath>

#include "pricing/BlackScholes.h"
#include "pricing/FiniteGuard.h"
#include "pricing/NormalDistribution.h"

namespace Pricing {

bool BjerksundStenslandPhi(double S, double T, double gamma, double H, double I, double r, double b, double sigma,
                           double invSigmaSqrtT, double& phi) {
    if (S <= 1e-6 || H <= 1e-6 || sigma < 0.01 || !AllFinite(I, H, gamma, r, b))
        return false;
    const double variance = sigma * sigma;
    const double lambda = (-r + gamma * b + gamma * (gamma - 1.0) * variance / 2.0) * T;
    const double d = -(std::log(S / H) + (b + (gamma - 0.5) * variance) * T) * invSigmaSqrtT;
    const double kappa = 2.0 * b / variance + 2.0 * gamma - 1.0;
    const double kappaPower = std::pow(I / S, kappa);
    if (!std::isfinite(kappaPower))
        return false;
    const double value = std::exp(lambda) * std::pow(S, gamma) *
                         (NormalCdf(d) - kappaPower * NormalCdf(d - 2.0 * std::log(I / S) * invSigmaSqrtT));
    if (!std::isfinite(value))
        return false;
    phi = value;
    return true;
}

double BjerksundStenslandCall(double S, double X, double T, double r, double b, double sigma) {
    if (!AllFinite(S, X, T, r, b, sigma) || S <= 0.0 || X <= 0.0)
        return 0.0;
    if (b >= r - 1e-6 || sigma < 0.02)
        return BlackScholesCarry(S, X, T, r, b, sigma, 'c');

    const double variance = sigma * sigma;
    const double beta = (0.5 - b / variance) + std::sqrt(std::pow(b / variance - 0.5, 2.0) + 2.0 * r / variance);
    const double bInfinity = beta / (beta - 1.0) * X;
    const double b0 = std::max(X, r / (r - b) * X);
    const double sqrtT = std::sqrt(T);
    const double h = -(b * T + 2.0 * sigma * sqrtT) * b0 / (bInfinity - b0);
    const double I = b0 + (bInfinity - b0) * (1.0 - std::exp(h));
    if (S >= I - 1e-6)
        return std::max(S - X, 0.0);

    const double invSigmaSqrtT = 1.0 / (sigma * sqrtT);
    double phiBetaII = 0.0, phiOneII = 0.0, phiOneXI = 0.0, phiZeroII = 0.0, phiZeroXI = 0.0;
    if (!BjerksundStenslandPhi(S, T, beta, I, I, r, b, sigma, invSigmaSqrtT, phiBetaII) ||
        !BjerksundStenslandPhi(S, T, 1.0, I, I, r, b, sigma, invSigmaSqrtT, phiOneII) ||
        !BjerksundStenslandPhi(S, T, 1.0, X, I, r, b, sigma, invSigmaSqrtT, phiOneXI) ||
        !BjerksundStenslandPhi(S, T, 0.0, I, I, r, b, sigma, invSigmaSqrtT, phiZeroII) ||
        !BjerksundStenslandPhi(S, T, 0.0, X, I, r, b, sigma, invSigmaSqrtT, phiZeroXI))
        return BlackScholesCarry(S, X, T, r, b, sigma, 'c');

    const double alpha = (I - X) * std::pow(I, -beta);
    const double value = alpha * std::pow(S, beta) - alpha * phiBetaII + phiOneII - phiOneXI - X * phiZeroII +
                         X * phiZeroXI;
    return FiniteOrZero(std::max(value, 0.0));
}

double BjerksundStensland(char type, double S, double X, double T, double r, double b, double sigma) {
    if (type == 'c')
        return BjerksundStenslandCall(S, X, T, r, b, sigma);
    if (type == 'p')
        return BjerksundStenslandCall(X, S, T, r - b, -b, sigma);
    return 0.0;
}

}  // namespace Pricing

// Textbook formulas the pricing tests measure the library against, written independently of it.
#pragma once

#include <cmath>

namespace PricingReference {

inline double NormalCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// Generalised Black-Scholes (Haug 1.1.6).
inline double BlackScholes(bool call, double S, double X, double T, double r, double b, double sigma) {
    const double d1 = (std::log(S / X) + (b + sigma * sigma / 2.0) * T) / (sigma * std::sqrt(T));
    const double d2 = d1 - sigma * std::sqrt(T);
    if (call)
        return S * std::exp((b - r) * T) * NormalCdf(d1) - X * std::exp(-r * T) * NormalCdf(d2);
    return X * std::exp(-r * T) * NormalCdf(-d2) - S * std::exp((b - r) * T) * NormalCdf(-d1);
}

}  // namespace PricingReference

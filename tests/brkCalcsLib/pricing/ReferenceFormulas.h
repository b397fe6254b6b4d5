// Textbook formulas the pricing tests measure the library against, written independently of it.
#pragma once

#include <algorithm>
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

struct Bounds {
    double lower;
    double upper;
};

// Model-free bounds (Hull, "Options, Futures, and Other Derivatives", ch. 11) on an option on S with a
// continuous yield q and cash dividends worth pvDividends today. European: a call in
// [max(0, S' - X e^-rT), S'] and a put in [max(0, X e^-rT - S'), X e^-rT] with S' = S e^-qT - pvDividends.
inline Bounds EuropeanBounds(bool call, double S, double X, double T, double r, double q = 0.0,
                             double pvDividends = 0.0) {
    const double stock = S * std::exp(-q * T) - pvDividends;
    const double strike = X * std::exp(-r * T);
    if (call)
        return {std::max(0.0, stock - strike), stock};
    return {std::max(0.0, strike - stock), strike};
}

// American: at least the European lower bound and the intrinsic value, at most S (call) or X (put).
inline Bounds AmericanBounds(bool call, double S, double X, double T, double r, double q = 0.0,
                             double pvDividends = 0.0) {
    const double intrinsic = std::max(0.0, call ? S - X : X - S);
    return {std::max(intrinsic, EuropeanBounds(call, S, X, T, r, q, pvDividends).lower), call ? S : X};
}

}  // namespace PricingReference

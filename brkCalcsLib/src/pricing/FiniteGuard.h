// Pricers return a number a caller can store and sum: never NaN and never infinite.
#pragma once

#include <cmath>

namespace Pricing {

inline bool AllFinite() { return true; }

template <class... Rest>
bool AllFinite(double first, Rest... rest) {
    return std::isfinite(first) && AllFinite(rest...);
}

// Invalid or overflowing arithmetic prices to 0, as every other invalid input does.
inline double FiniteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace Pricing

// An ordering of doubles taken off the wire. The client may send NaN, and a NaN under operator<
// breaks the strict weak ordering that std::map and std::sort rely on (undefined behaviour). This
// order is operator< for numbers and puts every NaN after all numbers, all NaNs equivalent.
#pragma once

#include <cmath>

namespace Packets {

inline bool wireDoubleLess(double a, double b) noexcept {
    if (std::isnan(a))
        return false;
    return std::isnan(b) || a < b;
}

struct WireDoubleLess {
    bool operator()(double a, double b) const noexcept { return wireDoubleLess(a, b); }
};

}  // namespace Packets

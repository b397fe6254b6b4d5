// The option calculator's request body as the client writes it, for the calculator and implied
// volatility requests.
#pragma once

#include <cstdint>
#include <vector>

#include "support/WireWriter.h"

namespace wiretest {

// European, 365 days, S = K = 100, volatility 20 %, r = b = 5 %, no dividends, the given steps; put and
// call prices for the implied volatility.
inline std::vector<std::uint8_t> calculatorBody(std::uint32_t steps, double putPrice = 0, double callPrice = 0) {
    WireWriter w;
    w.i16(1).f64(0).u32(365).f64(100).f64(100).f64(20).f64(0.05).f64(0.05).f64(0).f64(0).i32(0).i32(0);
    w.u32(steps).f64(0).f64(putPrice).f64(callPrice);
    return w.data();
}

}  // namespace wiretest

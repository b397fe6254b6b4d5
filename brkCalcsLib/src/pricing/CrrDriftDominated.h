// What a Cox-Ross-Rubinstein tree is worth when no step count within its limit gives it an up-move
// probability in [0, 1]: the volatility is then negligible against the carry, and the tree tends to a
// closed form.
#pragma once

#include <vector>

#include "pricing/DividendSchedule.h"

namespace Pricing {

// American value with a continuous yield q and cash dividends (ascending; those after T fall at T): the
// larger of the Black-Scholes value on S less the dividends' present value and exercising at the best
// moment along the stock's expected path, floored at 0 after each dividend (now, just before or after a
// dividend, at expiry, or where the discounted exercise value turns between them). It is never below the
// intrinsic or the European value, and is the American value in the limit of no volatility.
double DriftDominatedValue(bool isCall, double S, double X, double T, double r, double q, double sigma,
                           const std::vector<CashDividend>& dividends);

}  // namespace Pricing

// Implied volatility: the volatility at which a pricing model reproduces an option price.
#pragma once

#include <vector>

namespace Pricing {

enum CalcIVResult : int {
    eCalcIVSuccess = 0,           // found (or T below 1e-6: volatility 0)
    eCalcIVBadInput = 1,          // S or X not positive, or S, X, T, r, b or the price not finite
    eCalcIVBidUnderwater = 2,     // the price is below the model value at the lowest volatility tried
    eCalcIVFailedToBracket = 3,   // no sign change in 20 intervals, or BJ underwater at the first one
    eCalcIVFailedToConverge = 4,  // no convergence within 30 model evaluations
};

// Brackets the volatility on [0.02, 2.02], [2.02, 4.02], ... [38.02, 40.02] and then searches the
// bracket with inverse quadratic interpolation, secant steps and bisection (falling back to bisection
// whenever an estimate is not finite). `volatility` is always written, 0 on every failure. `model` is a
// PricingModel (unknown numbers solve with BS); `steps` are the tree steps of the CRR model. With
// `verbose` each outcome prints one line on standard output.
//
// The model values at the ends of the first bracket do not depend on the price. A caller that
// solves several prices of one option with the same inputs (bid, ask and mid) passes one
// SFirstBracket to each solve, and only the first computes them.
struct SFirstBracket {
    bool known = false;
    double lowerValue = 0.0;
    double upperValue = 0.0;
};
int CalcIV(double& volatility, char type, const std::vector<double>& times, int model, int steps, bool verbose,
           double S, double X, double T, double r, double b, double price, double guess,
           const std::vector<double>& amounts, SFirstBracket* firstBracket = nullptr);

}  // namespace Pricing

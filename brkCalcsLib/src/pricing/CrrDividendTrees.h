// American options on Cox-Ross-Rubinstein trees with discrete cash dividends.
//
// At the step of each ex-dividend date every node starts a tree of its own from its price less the
// dividend, for the time and steps that remain, so the cost grows like steps^(2 + dividends). Besides
// the kMaxTreeSteps bound of every tree, a dividend tree takes fewer steps when its estimated work
// would exceed kMaxDividendTreeWork node updates (about 0.2 s on one core); with up to two dividends
// at the 100 steps the solver uses this never happens. Like every tree, one whose up-move probability
// would leave [0, 1] takes more steps, or DriftDominatedValue when the bounds allow none that keep it in.
//
// Dividends are taken in ascending time order (vectors of unequal length up to the shorter one);
// negative times count as 0; a dividend at or after expiry falls on the last step. A stock price less a
// dividend never goes below 0. With steps <= 0 or T <= 0 the value is the payoff at S; a non-finite
// argument or a dividend time or amount that is not a number prices to 0.
#pragma once

#include <vector>

namespace Pricing {

constexpr double kMaxDividendTreeWork = 2e8;

// The plain tree when there is no dividend; DriftDominatedValue when |sigma| < 0.01.
double CrrDividendCallTree(double S, double X, double r, double sigma, double T, int steps,
                           const std::vector<double>& times, const std::vector<double>& amounts);
double CrrDividendPutTree(double S, double X, double r, double sigma, double T, int steps,
                          const std::vector<double>& times, const std::vector<double>& amounts);

// Dispatch by type ('c' or 'p', anything else 0); 0 when S or X is not positive.
double CrrDividendTree(const std::vector<double>& amounts, const std::vector<double>& times, char type, int steps,
                       double S, double X, double T, double r, double sigma);

// The number of steps a dividend tree actually takes for the steps asked for, when their probability
// lies in [0, 1].
int BoundedDividendTreeSteps(int steps, double T, const std::vector<double>& times,
                             const std::vector<double>& amounts);

}  // namespace Pricing

// The service's own binomial trees, used by the option calculator: Cox-Ross-Rubinstein American
// calls and puts, with and without discrete cash dividends, and a tree pricer with Cox-Ross-Rubinstein
// or Jarrow-Rudd parameters for European or American options. Pure functions, all in double.
//
// A Cox-Ross-Rubinstein tree whose probability p would leave [0, 1] (sigma·√dt < |r|·dt: a volatility
// low against the rate, or none at all, or no time) takes the fewest more steps that keep p inside, up to
// MAX_TREE_STEPS (MAX_DIVIDEND_TREE_STEPS with dividends). Where none do, it is worth the value it tends
// to: the larger of Black-Scholes on S less the dividends' present value and, for an American option,
// the best exercise along the stock's expected path; without time, the intrinsic value.
#pragma once

#include <vector>

namespace models {

// A tree costs O(steps²); the dividend trees grow one sub-tree per node at the dividend date, O(steps³).
constexpr int MAX_TREE_STEPS = 10000;
constexpr int MAX_DIVIDEND_TREE_STEPS = 2000;

// optionType of binomialPrice and of the dispatcher.
enum TreeOptionType : short { EUROPEAN_CALL = 0, EUROPEAN_PUT = 1, AMERICAN_CALL = 2, AMERICAN_PUT = 3 };
// method of binomialTreeParameters and binomialPrice.
enum TreeMethod : short { COX_ROSS_RUBINSTEIN = 0, JARROW_RUDD = 1 };

// Throws Packets::RequestRefused, naming the tree steps, unless 1 ≤ steps ≤ limit: the count comes
// from the client.
void refuseStepCount(long long steps, int limit);

struct TreeParameters {
    double u;  // up factor
    double d;  // down factor
    double p;  // probability of an up move
};

// American options on `steps` steps (dt = T / steps). No steps (or fewer) gives the intrinsic value at S.
double crrAmericanCall(double S, double K, double r, double sigma, double T, int steps);
double crrAmericanPut(double S, double K, double r, double sigma, double T, int steps);

// The same with cash dividends `amounts` paid at `times` (years from now, ascending): the tree is cut at
// the first dividend and each node there is valued by a new tree from its price less the dividend, never
// below 0. With T ≤ 0 the intrinsic value at S.
double crrAmericanCallWithDividends(double S, double K, double r, double sigma, double T, int steps,
                                    const std::vector<double>& times, const std::vector<double>& amounts);
double crrAmericanPutWithDividends(double S, double K, double r, double sigma, double T, int steps,
                                   const std::vector<double>& times, const std::vector<double>& amounts);

// Parameters of a tree of n levels (dt = T / (n − 1)). Another method is a programming error: it is
// reported on standard error and ends the process.
TreeParameters binomialTreeParameters(double T, double sigma, double r, short method, int n);

// A tree of n levels (n − 1 steps); n = 1 gives the intrinsic value at S. Throws
// Packets::RequestRefused for n outside [1, MAX_TREE_STEPS]; an optionType outside 0..3 ends the
// process as above.
double binomialPrice(double S, double K, double T, double sigma, double r, int n, short optionType, short method);

}  // namespace models

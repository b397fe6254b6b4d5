// American options on Cox-Ross-Rubinstein trees: without dividends and with a continuous yield.
//
// Every tree takes at most kMaxTreeSteps steps; a caller asking for more gets kMaxTreeSteps. A tree of
// n steps costs about n^2/2 node updates, so the bound keeps one price to a few milliseconds.
// A tree whose up-move probability would leave [0, 1] (a volatility low against the carry) takes the
// fewest more steps that keep it inside, and where none within the bound do, DriftDominatedValue.
// With steps <= 0 or T <= 0 a tree is worth the payoff at S. Node prices S exp((2j - n) sigma sqrt(dt))
// and values are never negative; a non-finite argument, or a tree whose node prices leave the range of a
// double (sigma 40 over 10 years), prices to 0.
#pragma once

namespace Pricing {

constexpr int kMaxTreeSteps = 2000;

double CrrCallTree(int steps, double r, double S, double X, double sigma, double T);
double CrrPutTree(int steps, double r, double S, double X, double sigma, double T);

// With a continuous yield q; callers pass sigma >= 0.02.
double CrrYieldCallTree(int steps, double T, double S, double X, double r, double q, double sigma);
double CrrYieldPutTree(int steps, double T, double S, double X, double r, double q, double sigma);

// Dispatch by type ('c' or 'p', anything else 0) with q = r - b.
double CrrYieldTree(char type, int steps, double S, double X, double T, double r, double b, double sigma);

}  // namespace Pricing

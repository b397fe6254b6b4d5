// The Cox-Ross-Rubinstein lattice that every tree of the library rolls back on.
#pragma once

#include <vector>

namespace Pricing {

struct CrrLattice {
    double logStep;   // sigma * sqrt(dt): node prices are S * exp(m * logStep)
    double p;         // probability of the up move
    double discount;  // one step's discount factor
    // Whether the tree's p is sound: (e^((r - q) dt) - d) / (u - d) lies in [0, 1] (it leaves it when
    // sigma sqrt(dt) < |r - q| dt and is not a number when u = d), and where p falls back to 0.5, r is 0.
    bool probabilityInRange;
};

// Lattice of a tree without dividends: p = 0.5 when the up and down moves (nearly) coincide.
CrrLattice PlainLattice(double r, double sigma, double dt);

// Lattice of a tree with a continuous yield q; p has no fallback (sigma is at least 0.02 there).
CrrLattice YieldLattice(double r, double q, double sigma, double dt);

// `steps` when its lattice has its probability in [0, 1], else the fewest more steps, up to maxSteps, for
// which it has; 0 when none has. A low volatility against the carry r - q needs T (r - q)^2 / sigma^2 steps.
int StepsWithProbabilityInRange(double r, double q, double sigma, double T, int steps, int maxSteps);

double ExerciseValue(bool isCall, double price, double X);

// Prices of the nodes S * exp(m * logStep) for m = -steps..steps, each from its own exponent so no
// power of u or d can overflow or underflow on the way; the node of step i, level j sits at 2j - i + steps.
std::vector<double> NodePrices(double S, double logStep, int steps);

// Rolls the values of the nodes of step `steps` back to the root with early exercise at every node.
// `prices` comes from NodePrices for the same steps.
double RollBack(bool isCall, double X, const CrrLattice& lattice, const std::vector<double>& prices,
                std::vector<double>& values, int steps);

// American value on a tree of `steps` steps (at least 1) without dividends.
double AmericanTree(bool isCall, int steps, double S, double X, const CrrLattice& lattice);

}  // namespace Pricing

#include "pricing/CrrTrees.h"

#include <algorithm>

#include "pricing/CrrDriftDominated.h"
#include "pricing/CrrLattice.h"
#include "pricing/FiniteGuard.h"

namespace Pricing {

namespace {

enum class Carry { RateOnly, Yield };

double TreeValue(Carry carry, bool isCall, int steps, double S, double X, double T, double r, double q,
                 double sigma) {
    if (!AllFinite(S, X, T, r, q, sigma))
        return 0.0;
    S = std::max(S, 0.0);
    if (steps <= 0 || T <= 0.0)
        return ExerciseValue(isCall, S, X);
    steps = std::min(steps, kMaxTreeSteps);
    const auto lattice = [&](int n) {
        return carry == Carry::Yield ? YieldLattice(r, q, sigma, T / n) : PlainLattice(r, sigma, T / n);
    };
    CrrLattice chosen = lattice(steps);
    if (!chosen.probabilityInRange) {
        // Too little volatility for the carry at this step count: take more steps, or the closed form the
        // tree tends to when no count within the limit will do.
        steps = StepsWithProbabilityInRange(r, q, sigma, T, steps, kMaxTreeSteps);
        if (steps > 0)
            chosen = lattice(steps);
        if (steps == 0 || !chosen.probabilityInRange)
            return FiniteOrZero(DriftDominatedValue(isCall, S, X, T, r, q, sigma, {}));
    }
    return FiniteOrZero(AmericanTree(isCall, steps, S, X, chosen));
}

}  // namespace

double CrrCallTree(int steps, double r, double S, double X, double sigma, double T) {
    return TreeValue(Carry::RateOnly, true, steps, S, X, T, r, 0.0, sigma);
}

double CrrPutTree(int steps, double r, double S, double X, double sigma, double T) {
    return TreeValue(Carry::RateOnly, false, steps, S, X, T, r, 0.0, sigma);
}

double CrrYieldCallTree(int steps, double T, double S, double X, double r, double q, double sigma) {
    return TreeValue(Carry::Yield, true, steps, S, X, T, r, q, sigma);
}

double CrrYieldPutTree(int steps, double T, double S, double X, double r, double q, double sigma) {
    return TreeValue(Carry::Yield, false, steps, S, X, T, r, q, sigma);
}

double CrrYieldTree(char type, int steps, double S, double X, double T, double r, double b, double sigma) {
    if (type == 'c')
        return CrrYieldCallTree(steps, T, S, X, r, r - b, sigma);
    if (type == 'p')
        return CrrYieldPutTree(steps, T, S, X, r, r - b, sigma);
    return 0.0;
}

}  // namespace Pricing

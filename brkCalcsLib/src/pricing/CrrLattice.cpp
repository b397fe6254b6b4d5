#include "pricing/CrrLattice.h"

#include <algorithm>
#include <cmath>

namespace Pricing {

namespace {

template <bool IsCall>
double Payoff(double price, double X) {
    const double value = IsCall ? price - X : X - price;
    return value > 0.0 ? value : 0.0;
}

template <bool IsCall>
double RollBackAs(double X, const CrrLattice& lattice, const std::vector<double>& prices, std::vector<double>& values,
                  int steps) {
    const double up = lattice.p;
    const double down = 1.0 - lattice.p;
    const double discount = lattice.discount;
    double* value = values.data();
    for (int i = steps - 1; i >= 0; --i) {
        const double* nodePrice = prices.data() + steps - i;
        for (int j = 0; j <= i; ++j) {
            const double hold = discount * (up * value[j + 1] + down * value[j]);
            const double exercise = Payoff<IsCall>(nodePrice[2 * j], X);
            // A hold value that is not a number loses to exercising.
            value[j] = hold > exercise ? hold : exercise;
        }
    }
    return value[0];
}

bool InUnitInterval(double p) { return p >= 0.0 && p <= 1.0; }

}  // namespace

CrrLattice PlainLattice(double r, double sigma, double dt) {
    const double growth = std::exp(r * dt);
    const double up = std::exp(sigma * std::sqrt(dt));
    const double down = 1.0 / up;
    const double p = (growth - down) / (up - down);
    // Even odds stand in for p only where the moves (nearly) coincide; they ignore the rate, so a tree on
    // them is right only without one.
    if (std::fabs(up - down) < 0.0001)
        return {sigma * std::sqrt(dt), 0.5, 1.0 / growth, InUnitInterval(p) && r == 0.0};
    return {sigma * std::sqrt(dt), p, 1.0 / growth, InUnitInterval(p)};
}

CrrLattice YieldLattice(double r, double q, double sigma, double dt) {
    const double up = std::exp(sigma * std::sqrt(dt));
    const double down = 1.0 / up;
    const double p = (std::exp((r - q) * dt) - down) / (up - down);
    return {sigma * std::sqrt(dt), p, std::exp(-r * dt), InUnitInterval(p)};
}

int StepsWithProbabilityInRange(double r, double q, double sigma, double T, int steps, int maxSteps) {
    if (YieldLattice(r, q, sigma, T / steps).probabilityInRange)
        return steps;
    const double needed = std::ceil(T * (r - q) * (r - q) / (sigma * sigma));
    if (!(needed <= maxSteps))
        return 0;
    // Rounding can leave the bound itself a hair outside; a step or two more always settles it.
    const int first = std::max(steps, static_cast<int>(needed));
    for (int n = first; n <= maxSteps && n <= first + 2; ++n)
        if (YieldLattice(r, q, sigma, T / n).probabilityInRange)
            return n;
    return 0;
}

double ExerciseValue(bool isCall, double price, double X) {
    return isCall ? Payoff<true>(price, X) : Payoff<false>(price, X);
}

std::vector<double> NodePrices(double S, double logStep, int steps) {
    std::vector<double> prices(2 * static_cast<std::size_t>(steps) + 1);
    for (int m = -steps; m <= steps; ++m)
        prices[m + steps] = S * std::exp(m * logStep);
    return prices;
}

double RollBack(bool isCall, double X, const CrrLattice& lattice, const std::vector<double>& prices,
                std::vector<double>& values, int steps) {
    return isCall ? RollBackAs<true>(X, lattice, prices, values, steps)
                  : RollBackAs<false>(X, lattice, prices, values, steps);
}

double AmericanTree(bool isCall, int steps, double S, double X, const CrrLattice& lattice) {
    const std::vector<double> prices = NodePrices(S, lattice.logStep, steps);
    std::vector<double> values(steps + 1);
    for (int j = 0; j <= steps; ++j)
        values[j] = ExerciseValue(isCall, prices[2 * j], X);
    return RollBack(isCall, X, lattice, prices, values, steps);
}

}  // namespace Pricing

#include "pricing/CrrLattice.h"

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

}  // namespace

CrrLattice PlainLattice(double r, double sigma, double dt) {
    const double growth = std::exp(r * dt);
    const double up = std::exp(sigma * std::sqrt(dt));
    const double down = 1.0 / up;
    const double p = std::fabs(up - down) < 0.0001 ? 0.5 : (growth - down) / (up - down);
    return {sigma * std::sqrt(dt), p, 1.0 / growth};
}

CrrLattice YieldLattice(double r, double q, double sigma, double dt) {
    const double up = std::exp(sigma * std::sqrt(dt));
    const double down = 1.0 / up;
    return {sigma * std::sqrt(dt), (std::exp((r - q) * dt) - down) / (up - down), std::exp(-r * dt)};
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

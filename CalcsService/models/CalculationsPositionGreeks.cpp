// The library's greeks of one option position.
#include <cstdint>

#include "models/Calculations.h"

models::PositionGreeks Calculations::positionGreeks(const VO::OptionPosition& p, bool index, double S, double T,
                                                    double sigma, const std::vector<double>& amounts,
                                                    const std::vector<double>& times) {
    models::PositionGreeks g;
    const double X = p.strike, r = p.interestRate, b = p.costOfCarry;
    m_dll.CalcGreeks(index ? 'e' : 'a', static_cast<std::int8_t>(p.deliveryMode), p.isPut ? 'p' : 'c', &S, &r, &b,
                     &T, &sigma, &X, static_cast<int>(p.pricingModel), &amounts, &times, &g.vega, &g.theta, &g.rho,
                     &g.delta, &g.gamma);
    return g;
}

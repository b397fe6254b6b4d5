// The MaxBSBJ model: the larger of a European value and the Bjerksund-Stensland American value.
#pragma once

#include <vector>

namespace Pricing {

// Both parts at a volatility of at least 0.02. The European part of a call is Black-Scholes with carry,
// that of a put ForwardEuropean on the dividend schedule (0 when it is not a number).
double MaxBSBJPrice(char type, const std::vector<double>& times, const std::vector<double>& amounts, double S,
                    double X, double T, double r, double b, double sigma);

}  // namespace Pricing

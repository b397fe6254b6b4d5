// European value on a forward reduced by the cash dividends paid before expiry.
#pragma once

#include <vector>

namespace Pricing {

// (Sum of the amounts paid at times t with 0 < t < T) / S; 0 when S is not positive.
double DividendYieldSum(const std::vector<double>& times, const std::vector<double>& amounts, double S, double T);

// Black-76 on F = S * exp(rT - DividendYieldSum), with the series form of N. 0 for a type other than
// 'c' or 'p', S or X not positive, or a value that is not finite (sigma or T of 0 at the money).
double ForwardEuropean(const std::vector<double>& amounts, const std::vector<double>& times, char type, double S,
                       double T, double X, double r, double sigma);

}  // namespace Pricing

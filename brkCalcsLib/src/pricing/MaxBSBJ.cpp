#include "pricing/MaxBSBJ.h"

#include <algorithm>

#include "pricing/BjerksundStensland.h"
#include "pricing/BlackScholes.h"
#include "pricing/ForwardEuropean.h"

namespace Pricing {

double MaxBSBJPrice(char type, const std::vector<double>& times, const std::vector<double>& amounts, double S,
                    double X, double T, double r, double b, double sigma) {
    const double floored = std::max(sigma, 0.02);
    // ForwardEuropean already gives 0 where its value is not a number.
    const double european = type == 'p' ? ForwardEuropean(amounts, times, type, S, T, X, r, floored)
                                        : BlackScholesCarry(S, X, T, r, b, floored, type);
    return std::max(european, BjerksundStensland(type, S, X, T, r, b, floored));
}

}  // namespace Pricing

#include "pricing/ForwardEuropean.h"

#include <cmath>

#include "pricing/DividendSchedule.h"
#include "pricing/FiniteGuard.h"
#include "pricing/NormalDistribution.h"

namespace Pricing {

double DividendYieldSum(const std::vector<double>& times, const std::vector<double>& amounts, double S, double T) {
    if (!(S > 0.0))
        return 0.0;
    double sum = 0.0;
    const std::size_t count = DividendCount(times, amounts);
    for (std::size_t i = 0; i < count; ++i)
        if (times[i] > 0.0 && times[i] < T)
            sum += amounts[i];
    return sum / S;
}

double ForwardEuropean(const std::vector<double>& amounts, const std::vector<double>& times, char type, double S,
                       double T, double X, double r, double sigma) {
    if (!(S > 0.0) || !(X > 0.0) || (type != 'c' && type != 'p'))
        return 0.0;
    const double F = S * std::exp(r * T - DividendYieldSum(times, amounts, S, T));
    const double sigmaSqrtT = sigma * std::sqrt(T);
    const double d1 = (std::log(F / X) + sigma * sigma * T / 2.0) / sigmaSqrtT;
    const double d2 = d1 - sigmaSqrtT;
    const double discount = std::exp(-r * T);
    if (type == 'c')
        return FiniteOrZero(discount * (F * NormalCdfSeries(d1) - X * NormalCdfSeries(d2)));
    return FiniteOrZero(discount * (X * NormalCdfSeries(-d2) - F * NormalCdfSeries(-d1)));
}

}  // namespace Pricing

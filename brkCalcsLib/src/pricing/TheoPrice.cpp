#include "pricing/TheoPrice.h"

#include <algorithm>

#include "pricing/BjerksundStensland.h"
#include "pricing/BlackScholes.h"
#include "pricing/DividendSchedule.h"
#include "pricing/FiniteGuard.h"
#include "pricing/MaxBSBJ.h"
#include "pricing/PricingModel.h"
#include "pricing/RollGeskeWhaley.h"

namespace Pricing {

namespace {

double ModelPrice(double b, double r, double T, double X, int model, char type, double S, double sigma,
                  const std::vector<double>& amounts, const std::vector<double>& times) {
    switch (model) {
    case BS:
        return BlackScholesCarry(S, X, T, r, b, sigma, type);
    case BJ:
        return BjerksundStensland(type, S, X, T, r, b, sigma);
    case RGW: {
        if (type != 'c')
            return 0.0;
        const bool hasDividend = DividendCount(times, amounts) > 0;
        return RollGeskeWhaleyCall(S, X, r, sigma == 0.0 ? 0.0001 : sigma, T, hasDividend ? amounts[0] : 0.0,
                                   hasDividend ? times[0] : 0.0);
    }
    case MaxBSBJ:
        return MaxBSBJPrice(type, times, amounts, S, X, T, r, b, sigma);
    default:
        return 0.0;
    }
}

double IntrinsicValue(char type, double S, double X) {
    if (type == 'c')
        return std::max(S - X, 0.0);
    if (type == 'p')
        return std::max(X - S, 0.0);
    return 0.0;
}

}  // namespace

double CalcTheoPrice(double b, double r, double T, double X, bool european, int deliveryMode, int model, char type,
                     double S, double sigma, const std::vector<double>& amounts, const std::vector<double>& times) {
    double price = ModelPrice(b, r, T, X, model, type, S, sigma, amounts, times);
    if (!european && deliveryMode != 1)
        price = std::max(price, IntrinsicValue(type, S, X));
    return FiniteOrZero(std::max(price, 0.0));
}

}  // namespace Pricing

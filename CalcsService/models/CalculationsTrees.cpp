// The option calculator's choice of binomial tree.
#include <stdexcept>
#include <string>

#include "models/BinomialTrees.h"
#include "models/Calculations.h"

double Calculations::calcOptionPrice(short methodType, short optionType, double S, double K, double r, double sigma,
                                     double T, std::uint32_t steps, const std::vector<double>& amounts,
                                     const std::vector<double>& times, short method) {
    using namespace models;
    if (methodType == 1) {
        refuseStepCount(steps, MAX_TREE_STEPS);
        return binomialPrice(S, K, T, sigma, r, static_cast<int>(steps), optionType, method);
    }
    if (methodType != 0)
        throw std::invalid_argument("Invalid methodType " + std::to_string(methodType));
    if (optionType != AMERICAN_CALL && optionType != AMERICAN_PUT)
        throw std::invalid_argument("Invalid pair methodType, optionType " + std::to_string(methodType) + ", " +
                                    std::to_string(optionType));
    refuseStepCount(steps, amounts.empty() ? MAX_TREE_STEPS : MAX_DIVIDEND_TREE_STEPS);
    const int n = static_cast<int>(steps);
    const bool put = optionType == AMERICAN_PUT;
    if (amounts.empty())
        return put ? crrAmericanPut(S, K, r, sigma, T, n) : crrAmericanCall(S, K, r, sigma, T, n);
    return put ? crrAmericanPutWithDividends(S, K, r, sigma, T, n, times, amounts)
               : crrAmericanCallWithDividends(S, K, r, sigma, T, n, times, amounts);
}

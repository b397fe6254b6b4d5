// Discrete cash dividends as the pricers receive them: two parallel vectors (times in years, amounts
// per share). Vectors of unequal length are read up to the shorter one.
#pragma once

#include <cstddef>
#include <vector>

namespace Pricing {

struct CashDividend {
    double time;
    double amount;
};

// Number of dividends the two vectors describe together.
inline std::size_t DividendCount(const std::vector<double>& times, const std::vector<double>& amounts) {
    return times.size() < amounts.size() ? times.size() : amounts.size();
}

// The schedule in ascending time order with negative times moved to 0. Returns false (and an empty
// schedule) when a time or an amount is not a number, which no tree can price.
bool SortedDividends(const std::vector<double>& times, const std::vector<double>& amounts,
                     std::vector<CashDividend>& schedule);

}  // namespace Pricing

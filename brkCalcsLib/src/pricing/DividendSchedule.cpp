#include "pricing/DividendSchedule.h"

#include <algorithm>
#include <cmath>

namespace Pricing {

bool SortedDividends(const std::vector<double>& times, const std::vector<double>& amounts,
                     std::vector<CashDividend>& schedule) {
    const std::size_t count = DividendCount(times, amounts);
    schedule.clear();
    schedule.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (std::isnan(times[i]) || std::isnan(amounts[i])) {
            schedule.clear();
            return false;
        }
        schedule.push_back({std::max(times[i], 0.0), amounts[i]});
    }
    // Stable, so dividends on one date keep the caller's order.
    std::stable_sort(schedule.begin(), schedule.end(),
                     [](const CashDividend& a, const CashDividend& b) { return a.time < b.time; });
    return true;
}

}  // namespace Pricing

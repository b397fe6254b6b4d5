// The option calculator's dividend schedule: dividend days from the request's first date and
// interval, and the cash amounts that go with them.
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "models/Calculations.h"
#include "models/DividendSchedule.h"

namespace models {

namespace {

constexpr double kMsPerDay = 86400000.0;

// Whole days from `from` to `to`, truncated toward zero. The result is stepped in 64 bits, yet a
// client's date must still be a date: offsets outside the 32-bit day range are refused.
std::int64_t wholeDaysBetween(double from, double to) {
    const double days = std::trunc((to - from) / kMsPerDay);
    constexpr double limit = std::numeric_limits<std::int32_t>::max();
    if (!(std::fabs(days) <= limit))
        throw std::invalid_argument("dividend date out of range");
    return static_cast<std::int64_t>(days);
}

}  // namespace

void buildDividendTimes(std::vector<double>& times, double end, double first, double valuation, int interval,
                        int second) {
    const std::int64_t lastDay = wholeDaysBetween(valuation, end);
    std::int64_t day = wholeDaysBetween(valuation, first);
    if (interval == -1)
        interval = second;
    if (day > lastDay)
        return;
    if (interval < 1) {
        if (day >= 0)
            times.push_back(static_cast<double>(day) / 365.0);
        return;
    }
    // Days before the valuation date are skipped: jump to the first one on or after it.
    if (day < 0)
        day += (-day + interval - 1) / interval * interval;
    if (day > lastDay)
        return;
    const std::int64_t count = (lastDay - day) / interval + 1;
    if (count > static_cast<std::int64_t>(kMaxDividendDates))
        throw std::invalid_argument("dividend schedule of " + std::to_string(count) + " dates refused, at most " +
                                    std::to_string(kMaxDividendDates));
    for (; day <= lastDay; day += interval)
        times.push_back(static_cast<double>(day) / 365.0);
}

}  // namespace models

double Calculations::buildDividendSchedule(const Packets::Incoming::OptionCalculatorPacket& request,
                                           std::vector<double>& amounts, std::vector<double>& times, double& sum) {
    const std::size_t before = times.size();
    if (request.dividendAmount > 0 && request.firstDividendDate <= request.expirationDate)
        models::buildDividendTimes(times, request.expirationDate, request.firstDividendDate, request.valuationDate,
                                   request.dividendInterval, request.secondDividendInterval);
    sum = 0;
    for (std::size_t i = before; i < times.size(); ++i) {
        sum += request.dividendAmount;
        amounts.push_back(request.dividendAmount);
    }
    // The dividends are taken off at face value, not discounted.
    return sum > 0 ? request.underlyingPrice - sum : request.underlyingPrice;
}

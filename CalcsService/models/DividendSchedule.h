// The option calculator's discrete dividends: a first date and a spacing in days, turned into times
// in years from the valuation date, up to and including the expiration day.
#pragma once

#include <cstddef>
#include <vector>

namespace models {

// A schedule longer than this is refused: an interval of one day up to a far expiry would otherwise
// append billions of entries.
constexpr std::size_t kMaxDividendDates = 10000;

// Appends day / 365 for every dividend day from `first` every `interval` days (-1: every `second`
// days; below 1: the first date only) up to and including the expiration day `end`, skipping days
// before `valuation`. Dates are ms since 1970. Throws std::invalid_argument when a day offset is not
// a finite number within 32-bit range, or when the schedule would exceed kMaxDividendDates.
void buildDividendTimes(std::vector<double>& times, double end, double first, double valuation, int interval,
                        int second);

}  // namespace models

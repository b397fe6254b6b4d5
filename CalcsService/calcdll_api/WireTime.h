// Turns the client's wire times (ms since 1970-01-01 UTC) into the local calendar fields and dates the
// library takes, refusing what the platform's conversion cannot represent.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "brkCalcsLib.h"

namespace Bridge {

// A wire time split into whole seconds and the local calendar fields of those seconds.
struct LocalMoment {
    std::int64_t seconds = 0;
    std::tm fields{};
};

// None for a time that is not finite or lies outside 1970-01-01 00:00:00 to 3000-12-31 23:59:59 UTC,
// the range the library's own time exports accept.
std::optional<LocalMoment> localMomentOf(double ms);

// The local calendar date of a wire time; none as for localMomentOf.
std::optional<DllDate> localDateOf(double ms);

// The local calendar date of the fields (year four digits, month 1 to 12).
DllDate dllDateOf(const std::tm& fields);

// The local time hh:mm:ss on the date as ms since 1970, daylight saving left to the platform; none
// when the platform cannot compose it.
std::optional<double> localMsAt(const DllDate& date, int hour, int minute, int second);

}  // namespace Bridge

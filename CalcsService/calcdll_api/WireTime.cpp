#include "calcdll_api/WireTime.h"

#include <cmath>

namespace Bridge {

namespace {

// 3000-12-31 23:59:59 UTC.
constexpr double kLatestSeconds = 32535215999.0;

}  // namespace

std::optional<LocalMoment> localMomentOf(double ms) {
    // The milliseconds below the second must not be negative: they become the HHMMSSmmm of a message.
    if (!std::isfinite(ms) || ms < 0.0)
        return std::nullopt;
    const double seconds = std::trunc(ms / 1000.0);
    if (seconds > kLatestSeconds)
        return std::nullopt;
    LocalMoment moment;
    moment.seconds = static_cast<std::int64_t>(seconds);
    const std::time_t t = static_cast<std::time_t>(moment.seconds);
    if (!localtime_r(&t, &moment.fields))
        return std::nullopt;
    return moment;
}

std::optional<DllDate> localDateOf(double ms) {
    const auto moment = localMomentOf(ms);
    if (!moment)
        return std::nullopt;
    return dllDateOf(moment->fields);
}

DllDate dllDateOf(const std::tm& fields) {
    return DllDate{static_cast<uint16_t>(fields.tm_year + 1900), static_cast<uint8_t>(fields.tm_mon + 1),
                   static_cast<uint8_t>(fields.tm_mday)};
}

std::optional<double> localMsAt(const DllDate& date, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = date.year - 1900;
    fields.tm_mon = date.month - 1;
    fields.tm_mday = date.day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&fields);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<double>(seconds) * 1000.0;
}

}  // namespace Bridge

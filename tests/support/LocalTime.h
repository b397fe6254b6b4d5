// Local calendar times as the client sends them: ms since 1970-01-01 UTC.
#pragma once

#include <ctime>

namespace testsupport {

inline double localMs(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return static_cast<double>(std::mktime(&fields)) * 1000.0 + ms;
}

}  // namespace testsupport

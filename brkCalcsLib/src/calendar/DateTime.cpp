#include "calendar/DateTime.h"

#include <cstdio>
#include <tuple>

#include "calendar/CivilDate.h"

namespace {

// Copies: the fields of a packed record cannot be bound to references.
auto DateFields(const DllDate& d) { return std::make_tuple(int{d.year}, int{d.month}, int{d.day}); }

}  // namespace

DllDateTime TimestampAt(const DllDate& date, int hour, int minute) {
    DllDateTime timestamp;
    timestamp.year = date.year;
    timestamp.month = date.month;
    timestamp.day = date.day;
    timestamp.hour = hour;
    timestamp.minute = minute;
    return timestamp;
}

DllDateTime TimestampFromTm(const std::tm& fields) {
    DllDateTime timestamp;
    timestamp.year = fields.tm_year + 1900;
    timestamp.month = fields.tm_mon + 1;
    timestamp.day = fields.tm_mday;
    timestamp.hour = fields.tm_hour;
    timestamp.minute = fields.tm_min;
    timestamp.second = fields.tm_sec;
    return timestamp;
}

DllDate DateOf(const DllDateTime& timestamp) {
    DllDate date;
    date.year = static_cast<uint16_t>(timestamp.year);
    date.month = static_cast<uint8_t>(timestamp.month);
    date.day = static_cast<uint8_t>(timestamp.day);
    return date;
}

std::optional<double> TimestampToSeconds(DllDateTime& timestamp) {
    if (timestamp.seconds != 0.0)
        return timestamp.seconds;
    if (timestamp.year < 1400 || timestamp.year > 9999 ||
        !IsCalendarDate(timestamp.year, timestamp.month, timestamp.day))
        return std::nullopt;
    const int64_t days = DaysFromCivil(timestamp.year, timestamp.month, timestamp.day);
    timestamp.seconds = static_cast<double>(days * 86400 + timestamp.hour * 3600 + timestamp.minute * 60 + timestamp.second);
    return timestamp.seconds;
}

std::optional<double> CalcCalendarTime(DllDateTime& start, DllDateTime& end) {
    const auto from = TimestampToSeconds(start);
    const auto to = TimestampToSeconds(end);
    if (!from || !to)
        return std::nullopt;
    return (*to - *from) / 86400.0 / 365.0;
}

bool CompareTimestamps(const DllDateTime& a, const DllDateTime& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second, a.millisecond) >
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second, b.millisecond);
}

bool IsDateEqual(const DllDate& a, const DllDate& b) { return DateFields(a) == DateFields(b); }
bool IsDateBefore(const DllDate& a, const DllDate& b) { return DateFields(a) < DateFields(b); }
bool IsDateNotAfter(const DllDate& a, const DllDate& b) { return DateFields(a) <= DateFields(b); }

bool IsValidDate(const DllDateTime& t) {
    // Any year's February may have 29 days here.
    const int length = t.month == 2 ? 29 : DaysInMonth(t.year, t.month);
    return t.year >= 1900 && t.year <= 2099 && t.day >= 1 && t.day <= length;
}

bool IsValidDateTime(const DllDateTime& t) {
    return IsValidDate(t) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
           t.second <= 59 && t.millisecond >= 0 && t.millisecond <= 999;
}

std::string FormatDate(const DllDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d", date.year, date.month, date.day);
    return text;
}

// One packed entry per day from 2010-01-01 through 2099-12-31, in date order, with the weekday
// and the week of the month, and the classification of expiry dates that uses them.
//
// Entry bits: 0-3 year - 2010 (low four bits), 4-7 month, 8-12 day, 13-15 weekday (0 = Sunday),
// 16-23 earlier days with the same weekday in the month (2 for a third Friday), 24-31 the higher
// bits of year - 2010 (zero through 2025, so the entries of 2010-2022 keep their original values).
#pragma once

#include <cstdint>
#include <optional>

#include "calendar/ExpiryCode.h"
#include "container/SegmentedArray.h"

struct SCalendarDay {
    int year;
    int month;
    int day;
    int weekday;
    int weekdayOrdinal;  // earlier days with the same weekday in the month
};

SCalendarDay DecodeCalendarDay(uint32_t entry);

class CCalendarTable {
public:
    static constexpr int kFirstYear = 2010;
    static constexpr int kLastYear = 2099;

    static const CCalendarTable& Instance();

    CCalendarTable();

    // The entry at index, or none past the end or below 0.
    std::optional<uint32_t> GetCalendarDay(int index) const;
    // Binary search on year * 10000 + month * 100 + day; -1 when absent.
    int FindCalendarDayIndex(int year, int month, int day) const;
    // An EExpiryCode; eExpiryNone for dates outside the table.
    int ClassifyExpiry(int day, int month, int year) const;
    // 0 = Sunday ... 6 = Saturday; 0 as well for dates outside the table.
    int Weekday(int year, int month, int day) const;

    int Size() const { return static_cast<int>(m_days.Size()); }

private:
    std::optional<SCalendarDay> DayAt(int index) const;

    CSegmentedArray<uint32_t> m_days;
};

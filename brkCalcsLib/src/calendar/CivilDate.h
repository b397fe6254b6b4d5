// Proleptic Gregorian arithmetic on plain year, month and day numbers, valid for any year.
#pragma once

#include <cstdint>

// Month length; February has 29 days when the year is divisible by 400, or by 4 and not by 100.
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// True for a date that exists: month 1..12 and day 1..DaysInMonth.
bool IsCalendarDate(int year, int month, int day);

// Days from 1970-01-01 to the date (negative before it). The date must exist.
int64_t DaysFromCivil(int year, int month, int day);

struct SCivilDate {
    int year;
    int month;
    int day;
};

SCivilDate CivilFromDays(int64_t days);

// 0 = Sunday ... 6 = Saturday. The date must exist.
int WeekdayOf(int year, int month, int day);

// Day of the month of the month's third Friday: the first Friday plus 14; -1 for a month outside 1..12.
int ThirdFriday(int year, int month);

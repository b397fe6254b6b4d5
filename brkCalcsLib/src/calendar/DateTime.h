// The library's date-time record and the arithmetic on it.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "brkCalcsLib.h"

struct DllDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    double seconds = 0.0;  // cached seconds since 1970-01-01; 0 = not computed yet
};

// The date at the given clock time, milliseconds 0.
DllDateTime TimestampAt(const DllDate& date, int hour, int minute);
// Calendar fields of a struct tm (as from localtime), milliseconds 0.
DllDateTime TimestampFromTm(const std::tm& fields);
DllDate DateOf(const DllDateTime& timestamp);

// Seconds since 1970-01-01 00:00:00 of the date, hour, minute and second (milliseconds ignored),
// cached in the record. None for an impossible date (year outside 1400-9999, month outside 1-12,
// day outside the month): callers skip the calculation that needed it.
std::optional<double> TimestampToSeconds(DllDateTime& timestamp);

// (seconds(end) - seconds(start)) / 86400 / 365: years, negative when end is earlier.
std::optional<double> CalcCalendarTime(DllDateTime& start, DllDateTime& end);

// True when a is later than b, to the millisecond.
bool CompareTimestamps(const DllDateTime& a, const DllDateTime& b);

bool IsDateEqual(const DllDate& a, const DllDate& b);
bool IsDateBefore(const DllDate& a, const DllDate& b);
bool IsDateNotAfter(const DllDate& a, const DllDate& b);

// The records' plausibility tests: year 1900-2099, month 1-12, day 1 to the month's length with
// February allowed 29 days in any year; the clock test adds hour 0-23, minute and second 0-59,
// millisecond 0-999.
bool IsValidDate(const DllDateTime& timestamp);
bool IsValidDateTime(const DllDateTime& timestamp);

// "yyyy-mm-dd".
std::string FormatDate(const DllDate& date);

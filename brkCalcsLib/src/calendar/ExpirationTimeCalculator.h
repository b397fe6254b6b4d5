// The exchange calendar with day-kind weights: holidays, early closes, the weights of a regular
// weekday, a weekend day, a holiday and an early-close day, and the half-hour weights of a day.
// The weights are normalised so that the weighted year 2012 has 365 days. No time to expiration
// uses them (time to expiration is calendar time).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "calendar/DateTime.h"

struct SDayKindValues {
    double regular = 0.0;
    double weekend = 0.0;
    double holiday = 0.0;
    double earlyClose = 0.0;
};

class CExpirationTimeCalculator {
public:
    static constexpr std::size_t kMaxHolidays = 1024;
    static constexpr std::size_t kMaxEarlyCloses = 512;
    static constexpr int kMaxDays = 5000;

    static CExpirationTimeCalculator& Instance();

    // Empty lists, the half-hour weights, then the day weights 1, 0.5, 0.5, 0.75.
    CExpirationTimeCalculator();

    // Replaces both lists by the exchange's days, then sets the host's weights. Runs at library
    // initialisation, before any processing thread.
    void LoadHolidays(double regular, double weekend, double holiday, double earlyClose);
    void SetDayWeights(double regular, double weekend, double holiday, double earlyClose);

    // Counts the days from start to end by kind, the first and last day by their weighted share of
    // the day. -1 (nothing counted) unless both stamps are valid and start is not after end; else 0.
    int CalcDayKindFractions(const DllDateTime& start, const DllDateTime& end, SDayKindValues& fractions) const;
    // Weighted share of a whole day between two clock times given in seconds of the day.
    double CalcIntradayFraction(int fromSecond, int toSecond) const;

    const SDayKindValues& DayWeights() const { return m_dayWeights; }
    double IntradayNormaliser() const { return m_intradayNormaliser; }
    std::size_t HolidayCount() const { return m_holidays.size(); }
    std::size_t EarlyCloseCount() const { return m_earlyCloses.size(); }

private:
    static constexpr int kSlots = 48;

    std::vector<uint32_t> m_holidays;  // yyyymmdd
    std::vector<uint32_t> m_earlyCloses;
    std::array<double, kSlots> m_intradayWeights;
    double m_intradayNormaliser = 1.0;
    SDayKindValues m_dayWeights;
};

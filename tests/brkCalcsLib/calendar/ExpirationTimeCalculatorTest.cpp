#include "calendar/ExpirationTimeCalculator.h"

#include <boost/date_time/gregorian/gregorian.hpp>
#include <gtest/gtest.h>

#include "support/Dates.h"

namespace {

namespace greg = boost::gregorian;

// Saturdays and Sundays of 2012 by boost::gregorian; 2012 has 366 days.
int WeekendDays2012() {
    int weekend = 0;
    for (greg::date d(2012, 1, 1); d.year() == 2012; d += greg::days(1))
        weekend += d.day_of_week() == greg::Saturday || d.day_of_week() == greg::Sunday;
    return weekend;
}

double WeightedYear(const SDayKindValues& days, const SDayKindValues& w) {
    return days.regular * w.regular + days.weekend * w.weekend + days.holiday * w.holiday + days.earlyClose * w.earlyClose;
}

TEST(ExpirationTimeCalculator, CountsTheDaysOf2012ByKindAndWeighsThemTo365) {
    CExpirationTimeCalculator calculator;
    const int weekend = WeekendDays2012();
    SDayKindValues days;
    ASSERT_EQ(calculator.CalcDayKindFractions(Stamp(2012, 1, 1), Stamp(2013, 1, 1), days), 0);
    EXPECT_DOUBLE_EQ(days.weekend, weekend);
    EXPECT_DOUBLE_EQ(days.regular, 366 - weekend);  // no holiday list before LoadHolidays
    EXPECT_NEAR(WeightedYear(days, calculator.DayWeights()), 365.0, 1e-9);
    EXPECT_DOUBLE_EQ(calculator.DayWeights().weekend / calculator.DayWeights().regular, 0.5);

    calculator.LoadHolidays(1.0, 0.2, 0.1, 0.6);
    SDayKindValues loaded;
    calculator.CalcDayKindFractions(Stamp(2012, 1, 1), Stamp(2013, 1, 1), loaded);
    // Nine weekday holidays and the day after Thanksgiving closing early.
    EXPECT_DOUBLE_EQ(loaded.holiday, 9);
    EXPECT_DOUBLE_EQ(loaded.earlyClose, 1);
    EXPECT_DOUBLE_EQ(loaded.regular, 366 - weekend - 10);
    EXPECT_NEAR(WeightedYear(loaded, calculator.DayWeights()), 365.0, 1e-9);
    EXPECT_DOUBLE_EQ(calculator.DayWeights().holiday / calculator.DayWeights().regular, 0.1);

    calculator.SetDayWeights(0.0, 0.0, 0.0, 0.0);  // no weighted day at all: kept, not divided by zero
    EXPECT_EQ(calculator.DayWeights().regular, 0.0);
}

TEST(ExpirationTimeCalculator, LoadingAgainDoesNotGrowTheLists) {
    CExpirationTimeCalculator calculator;
    EXPECT_EQ(calculator.HolidayCount(), 0u);
    for (int i = 0; i < 10; ++i)
        calculator.LoadHolidays(1.0, 1.0, 1.0, 1.0);
    EXPECT_EQ(calculator.HolidayCount(), 192u);
    EXPECT_EQ(calculator.EarlyCloseCount(), 36u);
}

TEST(ExpirationTimeCalculator, IntradayWeightsByHalfHour) {
    CExpirationTimeCalculator calculator;
    // The half-hour weights add up to 47; the normaliser makes a whole day count 1.
    EXPECT_DOUBLE_EQ(calculator.IntradayNormaliser(), 48.0 / 47.0);
    EXPECT_DOUBLE_EQ(calculator.CalcIntradayFraction(0, 86400), 1.0);
    EXPECT_DOUBLE_EQ(calculator.CalcIntradayFraction(57600, 86400), 0.0);       // from 16:00
    EXPECT_DOUBLE_EQ(calculator.CalcIntradayFraction(34200, 36000), 2.75 / 47);  // 09:30-10:00
    EXPECT_DOUBLE_EQ(calculator.CalcIntradayFraction(55800, 56700), 1.5 / 47);   // half of 15:30-16:00

    SDayKindValues day;  // Friday 2014-11-21 from 09:30 to 16:00
    ASSERT_EQ(calculator.CalcDayKindFractions(Stamp(2014, 11, 21, 9, 30), Stamp(2014, 11, 21, 16), day), 0);
    EXPECT_DOUBLE_EQ(day.regular, 28.0 / 47);
}

TEST(ExpirationTimeCalculator, RefusesInvalidStampsAndCapsTheWalk) {
    CExpirationTimeCalculator calculator;
    SDayKindValues days;
    EXPECT_EQ(calculator.CalcDayKindFractions(Stamp(2014, 2, 1), Stamp(2014, 1, 1), days), -1);
    EXPECT_EQ(calculator.CalcDayKindFractions(Stamp(2014, 1, 32), Stamp(2014, 2, 1), days), -1);
    EXPECT_EQ(calculator.CalcDayKindFractions(Stamp(1899, 1, 1), Stamp(2014, 2, 1), days), -1);
    EXPECT_EQ(days.regular + days.weekend + days.holiday + days.earlyClose, 0.0);

    ASSERT_EQ(calculator.CalcDayKindFractions(Stamp(1900, 1, 1), Stamp(2099, 12, 31), days), 0);
    EXPECT_DOUBLE_EQ(days.regular + days.weekend + days.holiday + days.earlyClose, 5000.0);
}

}  // namespace

#include "calendar/CivilDate.h"
#include "calendar/DateTime.h"

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <gtest/gtest.h>

#include "support/Dates.h"

namespace {

namespace greg = boost::gregorian;
namespace pt = boost::posix_time;

TEST(CivilDate, AgreesWithBoostGregorianFrom1400To9999) {
    const greg::date epoch(1970, 1, 1);
    for (greg::date d(1400, 1, 1); d <= greg::date(9999, 12, 31); d += greg::days(13)) {
        const int y = d.year(), m = d.month(), day = d.day();
        ASSERT_EQ(DaysFromCivil(y, m, day), (d - epoch).days()) << d;
        ASSERT_EQ(WeekdayOf(y, m, day), d.day_of_week().as_number()) << d;
        const SCivilDate back = CivilFromDays((d - epoch).days());
        ASSERT_TRUE(back.year == y && back.month == m && back.day == day) << d;
        ASSERT_EQ(DaysInMonth(y, m), greg::gregorian_calendar::end_of_month_day(y, m)) << d;
    }
    EXPECT_EQ(DaysInMonth(2014, 0), 0);
    EXPECT_EQ(DaysInMonth(2014, 13), 0);
}

TEST(CivilDate, ThirdFridayAgreesWithBoostGregorian) {
    using Nth = greg::nth_day_of_the_week_in_month;
    for (int year = 1990; year <= 2110; ++year)
        for (int month = 1; month <= 12; ++month)
            ASSERT_EQ(ThirdFriday(year, month), Nth(Nth::third, greg::Friday, month).get_date(year).day())
                << year << "-" << month;
    EXPECT_EQ(ThirdFriday(2014, 0), -1);
    EXPECT_EQ(ThirdFriday(2014, 13), -1);
}

TEST(TimestampToSeconds, WholeSecondsSince1970CachedInTheRecord) {
    const pt::ptime epoch(greg::date(1970, 1, 1));
    DllDateTime t = Stamp(2014, 11, 21, 16, 15, 30, 999);
    const auto seconds = TimestampToSeconds(t);
    ASSERT_TRUE(seconds);
    EXPECT_EQ(*seconds, (pt::ptime(greg::date(2014, 11, 21), pt::time_duration(16, 15, 30)) - epoch).total_seconds());
    EXPECT_EQ(t.seconds, *seconds);
    t.hour = 0;  // the cache stands until the record is reset
    EXPECT_EQ(*TimestampToSeconds(t), *seconds);

    DllDateTime early = Stamp(1969, 12, 31, 23, 59, 59);
    EXPECT_EQ(*TimestampToSeconds(early), -1.0);
}

TEST(TimestampToSeconds, ImpossibleDatesGiveNoValueInsteadOfThrowing) {
    for (DllDateTime t : {Stamp(2015, 2, 29), Stamp(2015, 4, 31), Stamp(2015, 13, 1), Stamp(2015, 0, 1),
                          Stamp(2015, 1, 0), Stamp(1399, 12, 31), Stamp(0, 0, 0)}) {
        EXPECT_FALSE(TimestampToSeconds(t)) << t.year << "-" << t.month << "-" << t.day;
        EXPECT_EQ(t.seconds, 0.0);
    }
    DllDateTime leap = Stamp(2016, 2, 29);
    EXPECT_TRUE(TimestampToSeconds(leap));
}

TEST(CalcCalendarTime, YearsOf365DaysSignedAndNoneForImpossibleDates) {
    DllDateTime a = Stamp(2014, 1, 1, 16);
    DllDateTime b = Stamp(2015, 1, 1, 16);
    EXPECT_DOUBLE_EQ(*CalcCalendarTime(a, b), 1.0);
    EXPECT_DOUBLE_EQ(*CalcCalendarTime(b, a), -1.0);
    DllDateTime c = Stamp(2014, 1, 2, 4);
    EXPECT_DOUBLE_EQ(*CalcCalendarTime(a, c), 0.5 / 365);
    DllDateTime bad = Stamp(2015, 2, 29);
    EXPECT_FALSE(CalcCalendarTime(a, bad));
    EXPECT_FALSE(CalcCalendarTime(bad, a));
}

TEST(DateOrder, TimestampsToTheMillisecondDatesByDayAndTheRecordsPlausibilityTest) {
    EXPECT_TRUE(CompareTimestamps(Stamp(2014, 1, 1, 9, 30, 0, 1), Stamp(2014, 1, 1, 9, 30)));
    EXPECT_FALSE(CompareTimestamps(Stamp(2014, 1, 1, 9, 30), Stamp(2014, 1, 1, 9, 30)));
    EXPECT_TRUE(IsDateBefore(Date(2013, 12, 31), Date(2014, 1, 1)));
    EXPECT_FALSE(IsDateBefore(Date(2014, 1, 1), Date(2014, 1, 1)));
    EXPECT_TRUE(IsDateNotAfter(Date(2014, 1, 1), Date(2014, 1, 1)));
    EXPECT_FALSE(IsDateNotAfter(Date(2014, 2, 1), Date(2014, 1, 31)));

    EXPECT_TRUE(IsValidDate(Stamp(2015, 2, 29)));  // any year's February may have 29 days
    EXPECT_FALSE(IsValidDate(Stamp(2015, 4, 31)));
    EXPECT_FALSE(IsValidDate(Stamp(1899, 12, 31)));
    EXPECT_FALSE(IsValidDate(Stamp(2100, 1, 1)));
    EXPECT_TRUE(IsValidDateTime(Stamp(2099, 12, 31, 23, 59, 59, 999)));
    EXPECT_FALSE(IsValidDateTime(Stamp(2014, 1, 1, 24)));
    EXPECT_FALSE(IsValidDateTime(Stamp(2014, 1, 1, 0, 0, 0, 1000)));
    EXPECT_EQ(FormatDate(Date(2014, 3, 5)), "2014-03-05");
}

}  // namespace

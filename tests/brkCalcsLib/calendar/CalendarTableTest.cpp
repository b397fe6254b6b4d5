#include "calendar/CalendarTable.h"

#include <boost/date_time/gregorian/gregorian.hpp>
#include <gtest/gtest.h>

namespace {

namespace greg = boost::gregorian;

const CCalendarTable& Table() { return CCalendarTable::Instance(); }

TEST(CalendarTable, OneEntryPerDayFrom2010Through2099) {
    // 90 years of 365 days and the 22 leap days 2012..2096.
    EXPECT_EQ(Table().Size(), 32872);
    // 2010-01-01, a Friday, the first of its weekday in the month.
    EXPECT_EQ(*Table().GetCalendarDay(0), (5u << 13) | (1u << 8) | (1u << 4));
    // The thirteen years 2010-2022 are the first 4,748 entries.
    EXPECT_EQ(Table().FindCalendarDayIndex(2023, 1, 1), 4748);
    EXPECT_FALSE(Table().GetCalendarDay(32872));
    EXPECT_FALSE(Table().GetCalendarDay(-1));
}

TEST(CalendarTable, EveryEntryAgreesWithBoostGregorian) {
    int index = 0;
    for (greg::date d(2010, 1, 1); d <= greg::date(2099, 12, 31); d += greg::days(1), ++index) {
        const auto entry = Table().GetCalendarDay(index);
        ASSERT_TRUE(entry);
        const SCalendarDay day = DecodeCalendarDay(*entry);
        ASSERT_EQ(day.year, d.year());
        ASSERT_EQ(day.month, d.month());
        ASSERT_EQ(day.day, d.day());
        ASSERT_EQ(day.weekday, d.day_of_week().as_number()) << d;
        ASSERT_EQ(day.weekdayOrdinal, (d.day() - 1) / 7) << d;
        if (d.year() <= 2022) {
            ASSERT_EQ(*entry >> 24, 0u) << "the entries of 2010-2022 keep their original bits";
        }
    }
}

TEST(CalendarTable, FindsDatesByBinarySearch) {
    EXPECT_EQ(Table().FindCalendarDayIndex(2010, 1, 1), 0);
    EXPECT_EQ(Table().FindCalendarDayIndex(2099, 12, 31), 32871);
    EXPECT_EQ(Table().FindCalendarDayIndex(2014, 11, 21), (greg::date(2014, 11, 21) - greg::date(2010, 1, 1)).days());
    EXPECT_EQ(Table().FindCalendarDayIndex(2009, 12, 31), -1);
    EXPECT_EQ(Table().FindCalendarDayIndex(2100, 1, 1), -1);
    EXPECT_EQ(Table().FindCalendarDayIndex(2015, 2, 29), -1);
    EXPECT_EQ(Table().Weekday(2014, 11, 22), 6);
    EXPECT_EQ(Table().Weekday(2009, 11, 21), 0);  // outside the table: taken as Sunday
}

TEST(ClassifyExpiry, StandardWeeklyQuarterlyAndNone) {
    EXPECT_EQ(Table().ClassifyExpiry(21, 11, 2014), eExpiryNone);      // the third Friday itself
    EXPECT_EQ(Table().ClassifyExpiry(22, 11, 2014), eExpiryStandard);  // the Saturday after it
    EXPECT_EQ(Table().ClassifyExpiry(19, 11, 2014), eExpiryStandard);  // the Wednesday before it
    EXPECT_EQ(Table().ClassifyExpiry(28, 11, 2014), eExpiryWeekly);    // another Friday
    EXPECT_EQ(Table().ClassifyExpiry(29, 12, 2014), eExpiryQuarterly); // Monday, 31 - 29 < 4
    EXPECT_EQ(Table().ClassifyExpiry(28, 12, 2014), eExpiryQuarterly); // Sunday, 31 - 28 < 4
    EXPECT_EQ(Table().ClassifyExpiry(27, 12, 2014), eExpiryNone);      // Saturday, 31 - 27 is not below 4
    EXPECT_EQ(Table().ClassifyExpiry(27, 11, 2014), eExpiryNone);      // late November is no quarter end
    EXPECT_EQ(Table().ClassifyExpiry(1, 1, 2010), eExpiryWeekly);      // first entry, no day before
    EXPECT_EQ(Table().ClassifyExpiry(20, 11, 2009), eExpiryNone);      // outside the table
    EXPECT_EQ(Table().ClassifyExpiry(29, 2, 2015), eExpiryNone);

    // Past the original end of the table, by the same rules: January 2026's third Friday is the 16th.
    EXPECT_EQ(Table().ClassifyExpiry(16, 1, 2026), eExpiryNone);
    EXPECT_EQ(Table().ClassifyExpiry(17, 1, 2026), eExpiryStandard);
    EXPECT_EQ(Table().ClassifyExpiry(14, 1, 2026), eExpiryStandard);
    EXPECT_EQ(Table().ClassifyExpiry(23, 1, 2026), eExpiryWeekly);
    EXPECT_EQ(Table().ClassifyExpiry(30, 3, 2026), eExpiryQuarterly);
}

TEST(ClassifyExpiry, AroundEveryThirdFridayOfTheTable) {
    using Nth = greg::nth_day_of_the_week_in_month;
    for (int year = 2010; year <= 2099; ++year)
        for (int month = 1; month <= 12; ++month) {
            const greg::date friday = Nth(Nth::third, greg::Friday, month).get_date(year);
            const greg::date saturday = friday + greg::days(1);
            const greg::date wednesday = friday - greg::days(2);
            const greg::date nextFriday = friday + greg::days(7);
            ASSERT_EQ(Table().ClassifyExpiry(saturday.day(), saturday.month(), saturday.year()), eExpiryStandard) << saturday;
            ASSERT_EQ(Table().ClassifyExpiry(wednesday.day(), wednesday.month(), wednesday.year()), eExpiryStandard)
                << wednesday;
            ASSERT_NE(Table().ClassifyExpiry(friday.day(), friday.month(), friday.year()), eExpiryWeekly) << friday;
            ASSERT_EQ(Table().ClassifyExpiry(nextFriday.day(), nextFriday.month(), nextFriday.year()), eExpiryWeekly)
                << nextFriday;
        }
}

}  // namespace

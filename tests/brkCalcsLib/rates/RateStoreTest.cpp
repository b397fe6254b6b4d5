#include "rates/RateStore.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "support/Dates.h"

namespace {

YieldCurvePoint Point(const DllDate& date, double rate, double second = 0.0) {
    YieldCurvePoint p{};
    p.dRate = rate;
    p.dRate2 = second;
    p.date = date;
    return p;
}

int Load(CRateStore& store, const char* symbol, const std::vector<YieldCurvePoint>& points) {
    return store.SetYieldCurve(symbol, points.data(), static_cast<int>(points.size()));
}

TEST(DefaultCurve, MonthlySlotsFromTheFirstPointsDate) {
    CRateStore store;
    // Base 2014-03-10: slot 0 is March 2014, slot 1 April 2014, slot 119 February 2024.
    ASSERT_EQ(Load(store, nullptr, {Point(Date(2014, 3, 10), 0.01, 0.5), Point(Date(2014, 4, 1), 0.02, 0.6),
                                    Point(Date(2024, 2, 1), 0.05, 0.9)}),
              3);
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 3, 1)), 0.01);   // before the base date
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 4, 15)), 0.02);  // slot 1
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2024, 3, 1)), 0.05);   // index 120 reads slot 119
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2090, 1, 1)), 0.05);
    EXPECT_DOUBLE_EQ(store.GetSecondRateSlot(Date(2014, 4, 30)), 0.6);
    EXPECT_DOUBLE_EQ(store.GetSecondRateSlot(Date(2000, 1, 1)), 0.5);
    // Without a named curve the symbol reads the default curve.
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 4, 15)), 0.02);
    EXPECT_DOUBLE_EQ(store.GetCurveSecondRate(nullptr, Date(2024, 2, 1)), 0.9);
}

TEST(DefaultCurve, PointsOutsideTheSlotsAreRefused) {
    CRateStore store;
    ASSERT_EQ(Load(store, nullptr, {Point(Date(2014, 3, 10), 0.01), Point(Date(2014, 3, 1), 0.07),
                                    Point(Date(2024, 3, 1), 0.09), Point(Date(2014, 13, 1), 0.08),
                                    Point(Date(2014, 0, 1), 0.08)}),
              3);  // the two impossible months are skipped
    for (const DllDate& d : {Date(2014, 3, 1), Date(2019, 1, 1), Date(2024, 3, 1)})
        EXPECT_DOUBLE_EQ(store.GetRateSlot(d), 0.01);
}

TEST(DefaultCurve, EmptyMonthsAreFilledFromTheirNeighbours) {
    CRateStore store;
    Load(store, nullptr, {Point(Date(2014, 1, 1), 0.01), Point(Date(2014, 4, 1), 0.04)});
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 2, 1)), 0.02);  // (0.01 * 1 + 0.04 * 0.5) / 1.5
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 3, 1)), 0.03);  // (0.02 * 1 + 0.04 * 1) / 2
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2020, 1, 1)), 0.04);  // only a set slot before

    // A zero rate at the base date is empty: it takes the first set slot after it.
    Load(store, nullptr, {Point(Date(2014, 1, 1), 0.0), Point(Date(2014, 3, 1), 0.03)});
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 1, 1)), 0.03);
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 2, 1)), 0.03);
}

TEST(NamedCurve, StepFunctionOverItsPoints) {
    CRateStore store;
    Load(store, nullptr, {Point(Date(2014, 1, 1), 0.09)});
    ASSERT_EQ(Load(store, "IBM", {Point(Date(2014, 6, 1), 0.01, 0.1), Point(Date(2014, 12, 1), 0.02, 0.2)}), 2);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 9, 15)), 0.01);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 12, 1)), 0.02);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2015, 1, 1)), 0.02);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 1, 1)), 0.01);  // every point later: the first
    EXPECT_DOUBLE_EQ(store.GetCurveSecondRate("IBM", Date(2014, 11, 30)), 0.1);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("MSFT", Date(2014, 9, 15)), 0.09);
    EXPECT_DOUBLE_EQ(store.GetCurveRate(nullptr, Date(2014, 9, 15)), 0.09);

    // Each load replaces the whole curve; points come in any order, and of two on one date the later counts.
    Load(store, "IBM",
         {Point(Date(2015, 3, 1), 0.05, 0.5), Point(Date(2015, 1, 1), 0.03), Point(Date(2015, 3, 1), 0.06, 0.6)});
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 9, 15)), 0.03);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2015, 2, 28)), 0.03);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2015, 3, 1)), 0.06);
    EXPECT_DOUBLE_EQ(store.GetCurveSecondRate("IBM", Date(2016, 1, 1)), 0.6);
}

TEST(SetYieldCurve, NothingToLoadChangesNothing) {
    CRateStore store;
    const std::vector<YieldCurvePoint> curve = {Point(Date(2014, 1, 1), 0.01)};
    Load(store, nullptr, curve);
    Load(store, "IBM", curve);
    const std::vector<YieldCurvePoint> other = {Point(Date(2014, 1, 1), 0.05)};
    EXPECT_EQ(store.SetYieldCurve(nullptr, other.data(), 0), 0);
    EXPECT_EQ(store.SetYieldCurve(nullptr, other.data(), -3), 0);
    EXPECT_EQ(store.SetYieldCurve(nullptr, nullptr, 4), 0);
    EXPECT_EQ(store.SetYieldCurve("IBM", other.data(), -1), 0);
    EXPECT_EQ(Load(store, "IBM", {Point(Date(2014, 14, 1), 0.05)}), 0);
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 1, 1)), 0.01);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 1, 1)), 0.01);
}

TEST(SetYieldCurve, PointsThatAreNotNumbersAreRefused) {
    CRateStore store;
    const double nan = std::nan(""), inf = INFINITY;
    // On the default curve the refused points leave their months to the gap filling.
    EXPECT_EQ(Load(store, nullptr,
                   {Point(Date(2014, 1, 1), 0.01), Point(Date(2014, 2, 1), nan), Point(Date(2014, 3, 1), inf),
                    Point(Date(2014, 4, 1), 0.04, -inf)}),
              1);
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 2, 1)), 0.01);
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 4, 1)), 0.01);
    // A named curve keeps only its finite points; one with none keeps the curve it had.
    EXPECT_EQ(Load(store, "IBM", {Point(Date(2014, 6, 1), 0.02), Point(Date(2014, 7, 1), nan, 0.03)}), 1);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 8, 1)), 0.02);
    EXPECT_EQ(Load(store, "IBM", {Point(Date(2014, 6, 1), -inf), Point(Date(2014, 7, 1), 0.02, nan)}), 0);
    EXPECT_DOUBLE_EQ(store.GetCurveRate("IBM", Date(2014, 8, 1)), 0.02);
    // The first usable point sets the base date, not a refused one before it.
    EXPECT_EQ(Load(store, nullptr, {Point(Date(2014, 1, 1), nan), Point(Date(2014, 5, 1), 0.05)}), 1);
    EXPECT_DOUBLE_EQ(store.GetRateSlot(Date(2014, 5, 20)), 0.05);
    EXPECT_TRUE(std::isfinite(store.GetRateSlot(Date(2014, 1, 1))));
}

}  // namespace

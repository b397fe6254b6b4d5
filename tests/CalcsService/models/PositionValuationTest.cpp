#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "models/Calculations.h"
#include "support/FakeCalcsBinding.h"

namespace {

constexpr double NOW_MS = 1700000000000.0;

// The textbook option: K = 100, one year, r = b = 5%, sigma = 20%, Black-Scholes (model 0).
VO::OptionPosition position(bool put, float strike, float quantity, float tradePrice, double timeToExpiry) {
    VO::OptionPosition p;
    p.isPut = put ? 1 : 0;
    p.strike = strike;
    p.quantity = quantity;
    p.tradePrice = tradePrice;
    p.timeToExpiry = timeToExpiry;
    p.volatility = 20.0f;
    p.interestRate = 0.05f;
    p.costOfCarry = 0.05f;
    return p;
}

// Value of the positions at price S, exercise decided at X, at the reference time itself (their stored
// times apply).
double valueNow(Calculations& calc, const models::PositionList& positions, double X, double S,
                const char* symbol = "SPY") {
    models::ValuationNotes notes;
    return calc.calcPositionsValue(symbol, X, S, NOW_MS, NOW_MS, positions, 0, 1.0, 1.0, notes);
}

TEST(PositionValuation, ExpiredOptionsAreExercisedAtXAndDeliveredAtS) {
    CBrkCalcDll unbound(std::chrono::milliseconds(0));  // any library call would throw
    Calculations calc{unbound};

    EXPECT_DOUBLE_EQ(valueNow(calc, {position(false, 95, 1, 2, 0)}, 110, 110), 1300);
    EXPECT_DOUBLE_EQ(valueNow(calc, {position(true, 105, 2, 1.5f, 0)}, 90, 90), 2700);
    // A strangle whose call and put are both exercised: no net shares, but 2000 of strike difference.
    const models::PositionList strangle{position(false, 90, 1, 0, 0), position(true, 110, 1, 0, 0)};
    EXPECT_DOUBLE_EQ(valueNow(calc, strangle, 100, 100), 2000);
    EXPECT_DOUBLE_EQ(valueNow(calc, strangle, 100, 105), 2000);
    // Exercise is decided at X, strictly, and valued at S.
    EXPECT_DOUBLE_EQ(valueNow(calc, {position(false, 95, 1, 0, 0)}, 100, 120), 2500);
    EXPECT_DOUBLE_EQ(valueNow(calc, {position(false, 110, 1, 2, 0)}, 110, 130), -200);
    EXPECT_DOUBLE_EQ(valueNow(calc, {position(false, 95, 0, 5, 0)}, 110, 110), 0);
}

// What the fake library last priced.
double g_pricedS = 0;
int g_pricedEuropean = -1;
double g_weightedTime = 0.25;
double g_theo = 0;

double recordingTheo(int, int european, int, int, const double* S, const double*, const double*, const double*,
                     const double*, const double*, const std::vector<double>*, const std::vector<double>*) {
    g_pricedS = *S;
    g_pricedEuropean = european;
    return g_theo;
}

double fixedWeightedTime(int64_t, const double*) {
    return g_weightedTime;
}

TEST(PositionValuation, IndexOptionsMoveWithTheirForwardAndBadPricesCountAsZero) {
    FakeCalcsHooksScope fake;
    fake.hooks.calcTheoPrice = &recordingTheo;
    fake.hooks.weightedTime = &fixedWeightedTime;
    Calculations calc{FakeCalcsDll()};
    models::ValuationNotes notes;
    g_theo = 4;

    // Forward 105 against a current price of 100 (X / ratio), half of the stored half year left.
    VO::OptionPosition index = position(false, 100, 1, 1, 0.5);
    index.indexForward = 105;
    const double value = calc.calcPositionsValue("^SPX", 120, 90, NOW_MS, NOW_MS - 1, {index}, 1, 1.0, 1.2, notes);
    EXPECT_DOUBLE_EQ(g_pricedS, 92.5);
    EXPECT_EQ(g_pricedEuropean, 1);
    EXPECT_DOUBLE_EQ(value, 300);
    // Without a stored time there is nothing to scale the gap by: the price stays.
    index.timeToExpiry = 0;
    calc.calcPositionsValue("^SPX", 120, 90, NOW_MS, NOW_MS - 1, {index}, 1, 1.0, 1.2, notes);
    EXPECT_DOUBLE_EQ(g_pricedS, 90);
    EXPECT_FALSE(notes.nonFiniteTheo);

    g_theo = std::numeric_limits<double>::quiet_NaN();
    EXPECT_DOUBLE_EQ(calc.calcPositionsValue("SPY", 100, 100, NOW_MS, NOW_MS, {position(false, 100, 2, 1, 0.5)}, 0,
                                             1.0, 1.0, notes),
                     -200);
    EXPECT_EQ(g_pricedEuropean, 0);
    EXPECT_TRUE(notes.nonFiniteTheo);
}

TEST(PositionValuation, MarksToTheBlackScholesValuesOfTheLibrary) {
    CBrkCalcDll library(std::chrono::milliseconds(0));
    library.SetThreadCount(1);
    ASSERT_TRUE(library.Load("brkcalcslib.dll"));
    Calculations calc{library};
    models::PositionList positions{position(false, 100, 1, 0, 1), position(true, 100, -2, 0, 1)};
    models::ValuationNotes notes;

    calc.markPositionsToTheo(positions, "SPY", 100, notes);
    // Hull's textbook values for S = K = 100, r = 5%, sigma = 20%, T = 1.
    EXPECT_NEAR(positions[0].tradePrice, 10.4506, 1e-4);
    EXPECT_NEAR(positions[1].tradePrice, 5.5735, 1e-4);
    // Marked positions are worth what they cost, at the price they were marked at.
    EXPECT_NEAR(valueNow(calc, positions, 100, 100), 0.0, 1e-3);
    EXPECT_NEAR(valueNow(calc, positions, 100, 101) - valueNow(calc, positions, 100, 99), 2 * 100 * (0.6368 - 2 * -0.3632),
                0.5);
    library.Unload();
}

TEST(PositionOrder, SortsAndUnifiesTimesWithNaNsLast) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    models::PositionList positions;
    const double expirations[] = {2, nan, 1, 2, nan, 2};
    const float strikes[] = {110, 100, 100, 90, 100, 100};
    const double times[] = {0.5, nan, 0.9, 0.4, 0.3, nan};
    for (int i = 0; i < 6; ++i) {
        VO::OptionPosition p;
        p.expiration = expirations[i];
        p.strike = strikes[i];
        p.timeToExpiry = times[i];
        positions.push_back(p);
    }
    std::sort(positions.begin(), positions.end(), models::lessByExpiryThenStrike);
    models::unifyTimesByExpiration(positions);

    const double sortedExpirations[] = {1, 2, 2, 2};
    const float sortedStrikes[] = {100, 90, 100, 110};
    const double unified[] = {0.9, 0.4, 0.4, 0.4};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(positions[i].expiration, sortedExpirations[i]) << i;
        EXPECT_EQ(positions[i].strike, sortedStrikes[i]) << i;
        EXPECT_EQ(positions[i].timeToExpiry, unified[i]) << i;
    }
    // The NaN expirations form one group, and a number beats a NaN time.
    EXPECT_TRUE(std::isnan(positions[4].expiration) && std::isnan(positions[5].expiration));
    EXPECT_EQ(positions[4].timeToExpiry, 0.3);
    EXPECT_EQ(positions[5].timeToExpiry, 0.3);
}

}  // namespace

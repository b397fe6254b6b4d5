#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "models/BinomialTrees.h"
#include "brkCalcsLib/pricing/ReferenceFormulas.h"
#include "models/Calculations.h"
#include "models/DividendSchedule.h"
#include "support/FakeCalcsBinding.h"

namespace {

using Packets::Incoming::OptionCalculatorPacket;
using Packets::Outgoing::OptionCalculatorResult;

constexpr double DAY = 86400000.0;
constexpr double VALUATION = 1.4e12;

std::vector<double> years(std::vector<int> days) {
    std::vector<double> out;
    for (int d : days)
        out.push_back(d / 365.0);
    return out;
}

std::vector<double> dividendTimes(int first, int last, int interval, int second = 0) {
    std::vector<double> times;
    models::buildDividendTimes(times, VALUATION + last * DAY, VALUATION + first * DAY, VALUATION, interval, second);
    return times;
}

TEST(DividendSchedule, EveryIntervalUpToAndIncludingTheExpiryDay) {
    EXPECT_EQ(dividendTimes(10, 100, 30), years({10, 40, 70, 100}));
    EXPECT_EQ(dividendTimes(10, 100, -1, 45), years({10, 55, 100}));
    EXPECT_EQ(dividendTimes(10, 100, 0), years({10}));
    EXPECT_EQ(dividendTimes(10, 100, -1, 0), years({10}));
    // Days before the valuation date are skipped, later ones kept.
    EXPECT_EQ(dividendTimes(-20, 100, 30), years({10, 40, 70, 100}));
    EXPECT_EQ(dividendTimes(-20, 100, 0), years({}));
    EXPECT_EQ(dividendTimes(101, 100, 30), years({}));
}

TEST(DividendSchedule, RefusesOverlongSchedulesAndDatesOutOfRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // A daily dividend to an expiry 30 years out would be about 11,000 dates.
    EXPECT_THROW(dividendTimes(0, 11000, 1), std::invalid_argument);
    EXPECT_EQ(dividendTimes(0, 9999, 1).size(), models::kMaxDividendDates);
    // A first date far in the past is stepped over at once, not one interval at a time.
    EXPECT_EQ(dividendTimes(-2000000000, 5, 1).size(), 6u);
    std::vector<double> times;
    EXPECT_THROW(models::buildDividendTimes(times, 1e300, VALUATION, VALUATION, 30, 0), std::invalid_argument);
    EXPECT_THROW(models::buildDividendTimes(times, VALUATION, VALUATION, nan, 30, 0), std::invalid_argument);
    EXPECT_TRUE(times.empty());
}

OptionCalculatorPacket request(std::int16_t style, std::uint32_t days, std::uint32_t steps) {
    OptionCalculatorPacket p;
    p.exerciseStyle = style;
    p.daysToExpiration = days;
    p.treeSteps = steps;
    p.valuationDate = VALUATION;
    p.expirationDate = VALUATION + days * DAY;
    p.strike = 100;
    p.underlyingPrice = 100;
    p.volatility = 20;
    p.interestRate = 0.05;
    p.costOfCarry = 0.05;
    return p;
}

// What the greeks export was last asked, per side, and fixed answers that tell the sides apart.
struct GreeksCall {
    int style = 0;
    double S = 0;
    std::vector<double> amounts, times;
};
GreeksCall g_greeks[2];

void recordGreeks(int style, int, int type, const double* S, const double*, const double*, const double*,
                  const double*, const double*, int, const std::vector<double>* amounts,
                  const std::vector<double>* times, double* vega, double* theta, double* rho, double* delta,
                  double* gamma) {
    const bool put = type == 'p';
    g_greeks[put] = GreeksCall{style, *S, *amounts, *times};
    *vega = put ? 0.2 : 0.1;
    *gamma = put ? 0.04 : 0.03;
    *theta = put ? -2.0 : -1.0;
    *rho = put ? -4.0 : 3.0;
    *delta = put ? 0.45 : 0.55;
}

struct OptionCalculator : ::testing::Test {
    FakeCalcsHooksScope fake;
    Calculations calculations{FakeCalcsDll()};
    OptionCalculatorResult result;
    void SetUp() override { fake.hooks.calcGreeks = &recordGreeks; }
    double call(std::size_t row) const { return result.rows.at(row).call; }
    double put(std::size_t row) const { return result.rows.at(row).put; }
};

TEST_F(OptionCalculator, EuropeanTreeAndTheLibrarysGreeksInSixRows) {
    calculations.calcOptionCalculator(request(1, 365, 1001), result);
    ASSERT_EQ(result.rows.size(), 6u);
    EXPECT_NEAR(call(0), 10.448584, 5e-7);
    EXPECT_NEAR(put(0), 5.571527, 5e-7);
    // Gamma and vega show the put's value on both sides.
    const std::vector<OptionCalculatorResult::Row> greeks = {
        {"Delta", 0.55, 0.45}, {"Gamma", 0.04, 0.04}, {"Theta", -1.0, -2.0}, {"Vega", 0.2, 0.2}, {"Rho", 3.0, -4.0}};
    EXPECT_EQ(result.rows[0].label, "Theoretical Value");
    for (std::size_t i = 0; i < greeks.size(); ++i) {
        EXPECT_EQ(result.rows[i + 1].label, greeks[i].label);
        EXPECT_EQ(call(i + 1), greeks[i].call);
        EXPECT_EQ(put(i + 1), greeks[i].put);
    }
    EXPECT_EQ(g_greeks[0].style, 'e');
    EXPECT_EQ(g_greeks[1].style, 'e');
}

// Through the real library, which scales delta and gamma by 100 and keeps a put's delta positive:
// Black-Scholes with d1 = 0.35, d2 = 0.15 gives N(d1) = 0.636831, n(d1) = 0.375240, N(d2) = 0.559618.
TEST(OptionCalculatorLibrary, GreeksOfTheLibraryMatchBlackScholes) {
    CBrkCalcDll dll(std::chrono::milliseconds(0));
    ASSERT_TRUE(dll.Load("brkcalcslib.dll"));
    Calculations calculations{dll};
    OptionCalculatorResult result;
    calculations.calcOptionCalculator(request(1, 365, 1001), result);
    dll.Unload();
    ASSERT_EQ(result.rows.size(), 6u);
    EXPECT_NEAR(result.rows[1].call, 63.6831, 1e-4);
    EXPECT_NEAR(result.rows[1].put, 36.3169, 1e-4);
    EXPECT_NEAR(result.rows[2].put, 1.87620, 1e-5);  // n(d1) / (S σ √T)
    EXPECT_NEAR(result.rows[4].put, 37.5240, 1e-4);  // S √T n(d1)
    EXPECT_NEAR(result.rows[5].call, 53.2325, 1e-4); // X T e^(−rT) N(d2)
}

TEST_F(OptionCalculator, AmericanWithOneDividendTreesTheUnadjustedPriceAndGreeksTheAdjusted) {
    OptionCalculatorPacket p = request(0, 365, 100);
    p.dividendAmount = 2;
    p.firstDividendDate = VALUATION + 182 * DAY;
    p.dividendInterval = 0;
    calculations.calcOptionCalculator(p, result);
    const std::vector<double> times = years({182}), amounts{2.0};
    EXPECT_EQ(call(0), models::crrAmericanCallWithDividends(100, 100, 0.05, 0.2, 1.0, 100, times, amounts));
    EXPECT_EQ(put(0), models::crrAmericanPutWithDividends(100, 100, 0.05, 0.2, 1.0, 100, times, amounts));
    for (const GreeksCall& g : g_greeks) {
        EXPECT_EQ(g.style, 'a');
        EXPECT_EQ(g.S, 98.0);
        EXPECT_EQ(g.amounts, amounts);
        EXPECT_EQ(g.times, times);
    }
}

TEST_F(OptionCalculator, AmericanWithTwoDividendsFallsBackToTheEuropeanTreeOnTheAdjustedPrice) {
    OptionCalculatorPacket p = request(0, 365, 101);
    p.dividendAmount = 1;
    p.firstDividendDate = VALUATION + 100 * DAY;
    p.dividendInterval = 200;
    calculations.calcOptionCalculator(p, result);
    EXPECT_EQ(call(0), models::binomialPrice(98, 100, 1.0, 0.2, 0.05, 101, models::EUROPEAN_CALL,
                                             models::COX_ROSS_RUBINSTEIN));
    EXPECT_EQ(put(0), models::binomialPrice(98, 100, 1.0, 0.2, 0.05, 101, models::EUROPEAN_PUT,
                                            models::COX_ROSS_RUBINSTEIN));
    EXPECT_EQ(g_greeks[0].style, 'e');
    EXPECT_EQ(g_greeks[0].S, 98.0);
    EXPECT_EQ(g_greeks[0].times, years({100, 300}));
}

TEST_F(OptionCalculator, TheoreticalValuesAtTheEdgesAreBlackScholesOrItsLimit) {
    // A rate of 50 % against a volatility of 2 % takes the tree's probability out of [0, 1]; no time or no
    // volatility makes it 0 / 0. S = 110, K = 100.
    struct Case {
        std::int16_t style;
        std::uint32_t days;
        double volatility;  // percent
        double rate;
    };
    const Case cases[] = {{0, 365, 2, 0.5}, {1, 365, 2, 0.5}, {1, 0, 20, 0.05}, {1, 365, 0, 0.05}, {0, 365, 0, 0.05}};
    for (const Case& c : cases) {
        OptionCalculatorPacket p = request(c.style, c.days, 100);
        p.underlyingPrice = 110;
        p.volatility = c.volatility;
        p.interestRate = c.rate;
        OptionCalculatorResult priced;
        calculations.calcOptionCalculator(p, priced);
        ASSERT_EQ(priced.rows.size(), 6u);
        const double T = c.days / 365.0;
        const double sigma = c.volatility / 100;
        const double S = p.underlyingPrice, K = p.strike;
        const double strike = K * std::exp(-c.rate * T);
        // No time: the intrinsic value; no volatility: the discounted forward payoff (early exercise of a call
        // without dividends never pays, and of the put here neither, it is out of the money).
        const double call = T == 0 ? std::max(S - K, 0.0)
                            : sigma == 0 ? std::max(S - strike, 0.0)
                                         : PricingReference::BlackScholes(true, S, K, T, c.rate, c.rate, sigma);
        const double put = T == 0 ? std::max(K - S, 0.0)
                           : sigma == 0 ? std::max(strike - S, 0.0)
                                        : PricingReference::BlackScholes(false, S, K, T, c.rate, c.rate, sigma);
        SCOPED_TRACE(testing::Message() << "style " << c.style << " days " << c.days << " volatility "
                                        << c.volatility << " rate " << c.rate);
        EXPECT_NEAR(priced.rows[0].call, call, 2e-3);
        EXPECT_NEAR(priced.rows[0].put, put, 2e-3);
    }
}

TEST_F(OptionCalculator, StepCountsOutsideTheTreesLimitsAreRefused) {
    OptionCalculatorPacket withDividend = request(0, 365, models::MAX_DIVIDEND_TREE_STEPS + 1);
    withDividend.dividendAmount = 1;
    withDividend.firstDividendDate = VALUATION + 100 * DAY;
    for (const OptionCalculatorPacket& p :
         {request(1, 365, 0), request(0, 365, 0), request(1, 365, models::MAX_TREE_STEPS + 1),
          request(0, 365, models::MAX_TREE_STEPS + 1), request(1, 365, 0xFFFFFFFFu), withDividend}) {
        OptionCalculatorResult refused;
        EXPECT_ANY_THROW(calculations.calcOptionCalculator(p, refused));
        EXPECT_TRUE(refused.rows.empty());
    }
}

// The implied-volatility export's inputs per side, and its scripted answers.
struct IvSide {
    int status = 0;
    double volatility = 0;
    double price = -1;
    double S = 0;
    int calls = 0;
};
IvSide g_iv[2];

int scriptedIv(double* volatility, int type, const std::vector<double>*, const std::vector<double>*, double S,
               double, double, double, double, double price, int, double, int, int) {
    IvSide& side = g_iv[type == 'p'];
    side.price = price;
    side.S = S;
    ++side.calls;
    *volatility = side.volatility;
    return side.status;
}

struct ImpliedVolatility : ::testing::Test {
    FakeCalcsHooksScope fake;
    Calculations calculations{FakeCalcsDll()};
    OptionCalculatorPacket p = request(0, 365, 100);
    void SetUp() override {
        fake.hooks.globalCalcIV = &scriptedIv;
        g_iv[0] = IvSide{0, 0.25};
        g_iv[1] = IvSide{0, 0.35};
    }
    double solve() {
        double out = 0;
        calculations.calcImpliedVolatility(p, out);
        return out;
    }
};

TEST_F(ImpliedVolatility, SolvesForHalfOfEachPriceInCentsOnTheAdjustedPrice) {
    p.callPrice = 2.005;
    p.putPrice = 1.001;
    p.dividendAmount = 1.5;
    p.firstDividendDate = VALUATION + 30 * DAY;
    EXPECT_DOUBLE_EQ(solve(), 30.0);
    EXPECT_EQ(g_iv[0].price, 1.00);
    EXPECT_EQ(g_iv[1].price, 0.50);
    EXPECT_EQ(g_iv[0].S, 98.5);
}

TEST_F(ImpliedVolatility, NoTimeLeftAnswersMinusOneHundredWithoutSolving) {
    p.daysToExpiration = 0;
    EXPECT_EQ(solve(), -100.0);
    p.daysToExpiration = static_cast<std::uint32_t>(-5);
    EXPECT_EQ(solve(), -100.0);
    EXPECT_EQ(g_iv[0].calls + g_iv[1].calls, 0);
}

TEST_F(ImpliedVolatility, AFailedSideIsLeftOutOfTheMean) {
    g_iv[1].status = 3;  // failed to bracket
    EXPECT_DOUBLE_EQ(solve(), 25.0);
    g_iv[0].status = 2;
    EXPECT_EQ(solve(), 0.0);
    g_iv[0].status = 0;
    g_iv[1].status = 0;
    EXPECT_DOUBLE_EQ(solve(), 30.0);
}

}  // namespace

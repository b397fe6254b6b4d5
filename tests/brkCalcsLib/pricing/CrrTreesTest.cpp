#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "ReferenceFormulas.h"
#include "pricing/CrrDividendTrees.h"
#include "pricing/CrrTrees.h"

using namespace Pricing;

namespace {
const std::vector<double> kNone;
constexpr double kHullT = 5.0 / 12.0;  // Hull's American put: S = X = 50, r 10 %, sigma 40 %, 5 months
}  // namespace

TEST(CrrTrees, HullAmericanPut) {
    EXPECT_NEAR(CrrPutTree(5, 0.10, 50, 50, 0.40, kHullT), 4.4885, 5e-5);
    EXPECT_NEAR(CrrPutTree(100, 0.10, 50, 50, 0.40, kHullT), 4.2781, 5e-5);
    // The yield tree with q = 0 is the same lattice.
    EXPECT_NEAR(CrrYieldPutTree(100, kHullT, 50, 50, 0.10, 0.0, 0.40), 4.2781, 5e-5);
    EXPECT_NEAR(CrrYieldTree('p', 100, 50, 50, kHullT, 0.10, 0.10, 0.40), 4.2781, 5e-5);
}

TEST(CrrTrees, CallWithoutDividendsConvergesToBlackScholes) {
    // Early exercise of a call never pays without dividends (r >= 0).
    EXPECT_NEAR(CrrCallTree(1000, 0.05, 100, 95, 0.3, 1.0),
                PricingReference::BlackScholes(true, 100, 95, 1.0, 0.05, 0.05, 0.3), 0.01);
}

TEST(CrrTrees, YieldTreesKeepPutCallSymmetry) {
    // McDonald-Schroder: C(S, X, r, q) = P(X, S, q, r), node for node on the same lattice.
    EXPECT_NEAR(CrrYieldCallTree(100, 0.75, 42, 40, 0.04, 0.08, 0.35),
                CrrYieldPutTree(100, 0.75, 40, 42, 0.08, 0.04, 0.35), 1e-12);
    EXPECT_EQ(CrrYieldTree('c', 100, 42, 40, 0.75, 0.04, -0.04, 0.35),
              CrrYieldCallTree(100, 0.75, 42, 40, 0.04, 0.08, 0.35));
    EXPECT_EQ(CrrYieldTree('x', 100, 42, 40, 0.75, 0.04, -0.04, 0.35), 0.0);
}

TEST(CrrTrees, DegenerateTreesAreWorthThePayoff) {
    EXPECT_EQ(CrrPutTree(0, 0.1, 45, 50, 0.4, 1), 5.0);
    EXPECT_EQ(CrrPutTree(-3, 0.1, 45, 50, 0.4, 1), 5.0);
    EXPECT_EQ(CrrCallTree(100, 0.1, 55, 50, 0.4, 0), 5.0);
    EXPECT_EQ(CrrYieldCallTree(100, -1, 55, 50, 0.1, 0.02, 0.4), 5.0);
    EXPECT_EQ(CrrYieldPutTree(0, 1, 55, 50, 0.1, 0.02, 0.4), 0.0);
    // Stock prices never go below 0.
    EXPECT_EQ(CrrPutTree(50, 0.1, -5, 50, 0.4, 1), 50.0);
    EXPECT_EQ(CrrCallTree(50, 0.1, -5, 50, 0.4, 1), 0.0);
}

TEST(CrrTrees, LowVolatilityAgainstTheCarryStaysWithinNoArbitrageBounds) {
    // Where sigma sqrt(dt) < |r - q| dt the up-move probability leaves [0, 1] and the trees explode.
    struct Case {
        const char* name;
        double S, X, T, r, q, sigma;
        int steps;
    };
    const Case cases[] = {
        {"rate 50 %", 100, 100, 1, 0.5, 0, 0.02, 100},
        {"rate 200 % for 10 years", 100, 150, 10, 2.0, 0, 0.02, 100},
        {"5 steps at 1 % volatility", 100, 100, 1, 0.05, 0, 0.01, 5},
        {"5 steps, probability 1.25", 100, 100, 1, 0.1, 0, 0.03, 5},
        {"no volatility", 50, 40, 1, 0.05, 0, 0, 100},
        // More steps bring p back only where the moves nearly coincide and even odds stand in for it.
        {"0.1 % volatility at 4 %", 100, 100, 1, 0.04, 0, 0.001, 100},
        {"0.5 % volatility, in the money", 55, 50, 1, 0.05, 0, 0.005, 100},
        {"yield 30 %", 100, 100, 1, 0, 0.3, 0.02, 100},
        {"yield 40 % against a rate of 10 %, 20 steps", 100, 110, 2, 0.1, 0.4, 0.05, 20},
    };
    const std::vector<double> dividend{2.0};
    for (const Case& c : cases) {
        for (bool call : {true, false}) {
            std::vector<double> values{call ? CrrYieldCallTree(c.steps, c.T, c.S, c.X, c.r, c.q, c.sigma)
                                            : CrrYieldPutTree(c.steps, c.T, c.S, c.X, c.r, c.q, c.sigma)};
            if (c.q == 0.0)
                values.push_back(call ? CrrCallTree(c.steps, c.r, c.S, c.X, c.sigma, c.T)
                                      : CrrPutTree(c.steps, c.r, c.S, c.X, c.sigma, c.T));
            const double european = PricingReference::BlackScholes(call, c.S, c.X, c.T, c.r, c.r - c.q, c.sigma);
            const PricingReference::Bounds bounds = PricingReference::AmericanBounds(call, c.S, c.X, c.T, c.r, c.q);
            for (double value : values) {
                SCOPED_TRACE(testing::Message() << c.name << (call ? " call " : " put ") << value);
                EXPECT_GE(value, bounds.lower - 1e-9);
                EXPECT_LE(value, bounds.upper);
                EXPECT_GE(value, european - 2e-3);
                // Without a yield early exercise of a call never pays: it is the European call.
                if (call && c.q == 0.0) {
                    EXPECT_NEAR(value, european, 2e-3);
                }
            }
            if (c.q != 0.0)
                continue;
            const std::vector<double> halfway{c.T / 2};
            const double pvDividend = dividend[0] * std::exp(-c.r * halfway[0]);
            const double withDividend =
                call ? CrrDividendCallTree(c.S, c.X, c.r, c.sigma, c.T, c.steps, halfway, dividend)
                     : CrrDividendPutTree(c.S, c.X, c.r, c.sigma, c.T, c.steps, halfway, dividend);
            const PricingReference::Bounds dividendBounds =
                PricingReference::AmericanBounds(call, c.S, c.X, c.T, c.r, 0.0, pvDividend);
            SCOPED_TRACE(testing::Message() << c.name << (call ? " call " : " put ") << withDividend << " dividend");
            // The dividend falls on the step at or before its date, so the tree may run up to one step short of
            // expiry: at a rate of 50 % that is worth a few cents.
            EXPECT_GE(withDividend, dividendBounds.lower - 0.05);
            EXPECT_LE(withDividend, dividendBounds.upper);
        }
    }
}

TEST(CrrTrees, WithoutVolatilityACallOnAYieldingStockIsExercisedAtTheBestMomentOfItsPath) {
    // At 0.5 % volatility against a carry of 20 % no tree of at most 2000 steps keeps p in [0, 1]; the value
    // is then the zero-volatility one: the stock grows as S e^((r - q) t), and exercising at t is worth
    // S e^(-q t) - X e^(-r t) today. With r X > q S that rises until q S(t) = r X, t* = ln(r X / (q S)) / (r - q),
    // here ln(5/3) / 0.2 = 2.554 years, before expiry at 5 years: 18.59, where waiting to expiry is worth 14.10.
    const double S = 100, X = 100, r = 0.5, q = 0.3, T = 5;
    const double best = std::log(r * X / (q * S)) / (r - q);
    const double atBest = S * std::exp(-q * best) - X * std::exp(-r * best);
    ASSERT_GT(atBest, S * std::exp(-q * T) - X * std::exp(-r * T) + 4.0);
    EXPECT_NEAR(CrrYieldCallTree(100, T, S, X, r, q, 0.005), atBest, 1e-9);
}

TEST(CrrTrees, StepsAreBounded) {
    EXPECT_EQ(CrrPutTree(kMaxTreeSteps + 5000, 0.1, 50, 50, 0.4, kHullT),
              CrrPutTree(kMaxTreeSteps, 0.1, 50, 50, 0.4, kHullT));
    EXPECT_EQ(CrrYieldCallTree(std::numeric_limits<int>::max(), 1, 50, 50, 0.05, 0.08, 0.3),
              CrrYieldCallTree(kMaxTreeSteps, 1, 50, 50, 0.05, 0.08, 0.3));
}

TEST(CrrTrees, NodePricesDoNotOverflow) {
    // 2000 steps at sigma 3 over 10 years reach S e^424; as d^n u^2j the top node overflowed.
    EXPECT_NEAR(CrrCallTree(2000, 0.05, 100, 100, 3.0, 10),
                PricingReference::BlackScholes(true, 100, 100, 10, 0.05, 0.05, 3.0), 0.01);
    // Beyond the range of a double the price is 0, never infinite.
    EXPECT_EQ(CrrCallTree(2000, 0.05, 100, 100, 40.0, 10), 0.0);
    EXPECT_EQ(CrrPutTree(100, NAN, 100, 100, 0.3, 1), 0.0);
}

TEST(CrrDividendTrees, WithoutDividendsAreThePlainTrees) {
    EXPECT_EQ(CrrDividendPutTree(50, 50, 0.1, 0.4, kHullT, 100, kNone, kNone),
              CrrPutTree(100, 0.1, 50, 50, 0.4, kHullT));
    EXPECT_EQ(CrrDividendTree(kNone, kNone, 'c', 100, 55, 50, 1, 0.05, 0.3), CrrCallTree(100, 0.05, 55, 50, 0.3, 1));
    // A call does not care about a dividend paid at or after expiry.
    EXPECT_EQ(CrrDividendCallTree(55, 50, 0.05, 0.3, 1, 100, {1.0}, {3.0}), CrrCallTree(100, 0.05, 55, 50, 0.3, 1));
    // Below 0.01 volatility the intrinsic value.
    EXPECT_EQ(CrrDividendPutTree(45, 50, 0.05, 0.005, 1, 100, {0.5}, {1.0}), 5.0);
}

TEST(CrrDividendTrees, DividendsMoveCallsDownAndPutsUp) {
    const std::vector<double> times{0.25, 0.75}, amounts{1.0, 1.0};
    EXPECT_LT(CrrDividendCallTree(50, 50, 0.05, 0.3, 1, 100, times, amounts), CrrCallTree(100, 0.05, 50, 50, 0.3, 1));
    EXPECT_GT(CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, times, amounts), CrrPutTree(100, 0.05, 50, 50, 0.3, 1));
}

TEST(CrrDividendTrees, DividendNowComparesExerciseWithTheTreeAfterIt) {
    // Paid at the valuation time (or at a negative time): max(exercise now, tree from S - D).
    const double expected = std::max(50.0 - 48.0, CrrPutTree(100, 0.05, 48 - 3, 50, 0.3, 1));
    EXPECT_EQ(CrrDividendPutTree(48, 50, 0.05, 0.3, 1, 100, {0.0}, {3.0}), expected);
    EXPECT_EQ(CrrDividendPutTree(48, 50, 0.05, 0.3, 1, 100, {-0.2}, {3.0}), expected);
}

TEST(CrrDividendTrees, ScheduleIsNormalised) {
    const double sorted = CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.2, 0.6}, {1.0, 2.0});
    EXPECT_EQ(CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.6, 0.2}, {2.0, 1.0}), sorted);
    // Vectors of unequal length are read up to the shorter one.
    EXPECT_EQ(CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.2, 0.6, 0.8}, {1.0, 2.0}), sorted);
    EXPECT_EQ(CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.2, 0.6}, {1.0, 2.0, 7.0}), sorted);
    EXPECT_EQ(CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.2, NAN}, {1.0, 2.0}), 0.0);
}

TEST(CrrDividendTrees, StockNeverGoesBelowZero) {
    // A dividend above every node price at its ex-date (step 50 of 100) leaves the stock at 0: the put
    // is then worth X, and the call is a call on the 50 steps before the dividend.
    const double put = CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.5}, {1000.0});
    EXPECT_NEAR(put, 50 * std::exp(-0.05 * 0.5), 1e-9);
    EXPECT_NEAR(CrrDividendCallTree(50, 40, 0.05, 0.3, 1, 100, {0.5}, {1000.0}),
                CrrCallTree(50, 0.05, 50, 40, 0.3, 0.5), 1e-12);
}

TEST(CrrDividendTrees, DegenerateAndInvalidInputs) {
    EXPECT_EQ(CrrDividendPutTree(45, 50, 0.05, 0.3, 1, 0, {0.5}, {1.0}), 5.0);
    EXPECT_EQ(CrrDividendCallTree(55, 50, 0.05, 0.3, 0, 100, {0.5}, {1.0}), 5.0);
    EXPECT_EQ(CrrDividendTree({1.0}, {0.5}, 'p', 100, 0, 50, 1, 0.05, 0.3), 0.0);
    EXPECT_EQ(CrrDividendTree({1.0}, {0.5}, 'p', 100, 50, 0, 1, 0.05, 0.3), 0.0);
    EXPECT_EQ(CrrDividendTree({1.0}, {0.5}, 'x', 100, 50, 50, 1, 0.05, 0.3), 0.0);
    EXPECT_EQ(CrrDividendTree({1.0}, {0.5}, 'c', 100, 50, 50, NAN, 0.05, 0.3), 0.0);
}

TEST(CrrDividendTrees, WorkIsBounded) {
    const std::vector<double> two{0.25, 0.5}, twoAmounts{1.0, 1.0};
    // The solver's 100 steps with up to two dividends are never cut.
    EXPECT_EQ(BoundedDividendTreeSteps(100, 1, two, twoAmounts), 100);
    EXPECT_EQ(BoundedDividendTreeSteps(5000, 1, kNone, kNone), kMaxTreeSteps);
    // Two dividends grow like steps^4: 2000 steps would take minutes.
    const int bounded = BoundedDividendTreeSteps(2000, 1, two, twoAmounts);
    EXPECT_LT(bounded, 1000);
    EXPECT_GT(bounded, 100);
    EXPECT_EQ(CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 2000, two, twoAmounts),
              CrrDividendPutTree(50, 50, 0.05, 0.3, 1, bounded, two, twoAmounts));
    // Twelve monthly dividends grow like steps^14.
    std::vector<double> monthly, monthlyAmounts;
    for (int i = 1; i <= 12; ++i) {
        monthly.push_back(i / 13.0);
        monthlyAmounts.push_back(0.2);
    }
    EXPECT_LT(BoundedDividendTreeSteps(100, 1, monthly, monthlyAmounts), 100);
    // Dividends on the first step of their sub-tree are walked, not recursed: a long schedule of them
    // neither exhausts the stack nor the budget.
    std::vector<double> crowded, crowdedAmounts;
    for (int i = 0; i < 100000; ++i) {
        crowded.push_back(i * 1e-7);
        crowdedAmounts.push_back(1e-5);
    }
    const double put = CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, crowded, crowdedAmounts);
    EXPECT_GT(put, CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.0}, {0.5}));
    EXPECT_LT(put, CrrDividendPutTree(50, 50, 0.05, 0.3, 1, 100, {0.0}, {1.5}));
}

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "ReferenceFormulas.h"
#include "pricing/BjerksundStensland.h"
#include "pricing/BlackScholes.h"
#include "pricing/ForwardEuropean.h"
#include "pricing/MaxBSBJ.h"
#include "pricing/PricingModel.h"
#include "pricing/RollGeskeWhaley.h"
#include "pricing/TheoPrice.h"

using namespace Pricing;

namespace {
const std::vector<double> kNone;
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST(BlackScholesCarry, HullStockOption) {
    EXPECT_NEAR(BlackScholesCarry(42, 40, 0.5, 0.10, 0.10, 0.20, 'c'), 4.7594, 5e-5);
    EXPECT_NEAR(BlackScholesCarry(42, 40, 0.5, 0.10, 0.10, 0.20, 'p'), 0.8086, 5e-5);
}

TEST(BlackScholesCarry, MatchesGeneralisedFormulaWithCarry) {
    for (double b : {-0.04, 0.0, 0.03, 0.08})
        for (char type : {'c', 'p'})
            EXPECT_NEAR(BlackScholesCarry(100, 95, 0.75, 0.05, b, 0.35, type),
                        PricingReference::BlackScholes(type == 'c', 100, 95, 0.75, 0.05, b, 0.35), 1e-12);
}

TEST(BlackScholesCarry, InvalidInputsPriceZero) {
    EXPECT_EQ(BlackScholesCarry(50, 40, 0.5, 0.05, 0.05, 0.0, 'c'), 0.0);    // in the money, sigma 0
    EXPECT_EQ(BlackScholesCarry(50, 40, 1e-13, 0.05, 0.05, 0.3, 'c'), 0.0);  // T below 1e-12
    EXPECT_EQ(BlackScholesCarry(0, 40, 0.5, 0.05, 0.05, 0.3, 'p'), 0.0);
    EXPECT_EQ(BlackScholesCarry(50, -1, 0.5, 0.05, 0.05, 0.3, 'c'), 0.0);
    EXPECT_EQ(BlackScholesCarry(50, 40, 0.5, 0.05, 0.05, 0.3, 'x'), 0.0);
    EXPECT_EQ(BlackScholesCarry(NAN, 40, 0.5, 0.05, 0.05, 0.3, 'c'), 0.0);
    EXPECT_EQ(BlackScholesCarry(kInf, 40, 0.5, 0.05, 0.05, 0.3, 'c'), 0.0);
    EXPECT_EQ(BlackScholesCarry(50, 40, -0.5, 0.05, 0.05, 0.3, 'p'), 0.0);
}

TEST(CalcD1D2, HullValuesAndFailure) {
    double d1 = 1.0, d2 = 1.0;
    const double sqrtT = std::sqrt(0.5);
    EXPECT_EQ(CalcD1D2(42, 40, sqrtT, 0.5, 0.2, 0.1, 0.2 * sqrtT, 1 / (0.2 * sqrtT), d1, d2), 0);
    EXPECT_NEAR(d1, 0.7693, 1e-4);
    EXPECT_NEAR(d2, 0.6278, 1e-4);
    EXPECT_EQ(CalcD1D2(42, 40, 1e-7, 1e-14, 0.2, 0.1, 2e-8, 5e7, d1, d2), -1);
    EXPECT_EQ(d1, 0.0);
    EXPECT_EQ(d2, 0.0);
}

TEST(BlackScholesTheta, IsTheDailyTimeDecayOfTheFormula) {
    // Theta per calendar day is -dV/dT / 365, checked by a central difference of the textbook formula.
    const double S = 49, X = 50, T = 0.3846, r = 0.05, sigma = 0.2, h = 1e-5;
    for (double b : {0.05, 0.01})
        for (char type : {'c', 'p'}) {
            const double sqrtT = std::sqrt(T);
            double d1 = 0, d2 = 0;
            CalcD1D2(S, X, sqrtT, T, sigma, b, sigma * sqrtT, 1 / (sigma * sqrtT), d1, d2);
            const double nd1 = std::exp(-d1 * d1 / 2) / std::sqrt(2 * M_PI);
            const double theta = BlackScholesTheta(type, S, X, 1 / sqrtT, T, r, b, sigma, std::exp((b - r) * T), nd1,
                                                   PricingReference::NormalCdf(d1), PricingReference::NormalCdf(d2),
                                                   PricingReference::NormalCdf(-d1), PricingReference::NormalCdf(-d2));
            const bool call = type == 'c';
            const double dVdT = (PricingReference::BlackScholes(call, S, X, T + h, r, b, sigma) -
                                 PricingReference::BlackScholes(call, S, X, T - h, r, b, sigma)) /
                                (2 * h);
            EXPECT_NEAR(theta, -dVdT / 365, 1e-8) << type << " b " << b;
        }
    EXPECT_EQ(BlackScholesTheta('x', 49, 50, 1, 1, 0.05, 0.05, 0.2, 1, 0.4, 0.5, 0.5, 0.5, 0.5), 0.0);
}

TEST(BjerksundStensland, HaugReferenceValues) {
    EXPECT_NEAR(BjerksundStensland('c', 42, 40, 0.75, 0.04, -0.04, 0.35), 5.2704, 5e-5);
    EXPECT_NEAR(BjerksundStensland('p', 36, 40, 1.0, 0.06, 0.06, 0.20), 4.4531, 5e-5);
}

TEST(BjerksundStensland, CallWithoutEarlyExerciseIsBlackScholes) {
    EXPECT_EQ(BjerksundStensland('c', 42, 40, 0.75, 0.04, 0.04, 0.35),
              BlackScholesCarry(42, 40, 0.75, 0.04, 0.04, 0.35, 'c'));
    EXPECT_EQ(BjerksundStensland('c', 42, 40, 0.75, 0.04, -0.04, 0.01),
              BlackScholesCarry(42, 40, 0.75, 0.04, -0.04, 0.01, 'c'));
}

TEST(BjerksundStensland, AmericanBoundsAndInvalidInputs) {
    // Never below the European value nor the intrinsic value; deep in the money exercise at once.
    for (double S : {30.0, 40.0, 50.0}) {
        const double put = BjerksundStensland('p', S, 40, 1.0, 0.08, 0.08, 0.25);
        EXPECT_GE(put, BlackScholesCarry(S, 40, 1.0, 0.08, 0.08, 0.25, 'p') - 1e-12);
        EXPECT_GE(put, std::max(40 - S, 0.0));
    }
    EXPECT_EQ(BjerksundStensland('p', 10, 40, 1.0, 0.08, 0.08, 0.25), 30.0);
    EXPECT_EQ(BjerksundStensland('x', 36, 40, 1.0, 0.06, 0.06, 0.2), 0.0);
    EXPECT_EQ(BjerksundStensland('c', 0, 40, 1.0, 0.06, 0.0, 0.2), 0.0);
    EXPECT_EQ(BjerksundStensland('p', 36, 40, NAN, 0.06, 0.06, 0.2), 0.0);
}

TEST(RollGeskeWhaley, HaugReferenceValue) {
    // Haug's 4.3860 uses an exact bivariate normal (4.38603); Drezner's four-point quadrature, good to
    // about 1e-5, lands at 4.38605.
    EXPECT_NEAR(RollGeskeWhaleyCall(80, 82, 0.06, 0.30, 1.0 / 3.0, 4, 0.25), 4.3860, 1e-4);
}

TEST(RollGeskeWhaley, WithoutDividendIsBlackScholes) {
    const double bs = BlackScholesCarry(80, 82, 1.0 / 3.0, 0.06, 0.06, 0.3, 'c');
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 0, 0.25), bs);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 0, 0), bs);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, -1, 0.25), bs);
    // With r below 0 the early-exercise test lets D = 0 through to the formula, which divided by 0.
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, -0.01, 0.3, 1.0 / 3.0, 0, 0),
              BlackScholesCarry(80, 82, 1.0 / 3.0, -0.01, -0.01, 0.3, 'c'));
}

TEST(RollGeskeWhaley, DividendOutsideTheLifeHasItsLimit) {
    // Paid at or after expiry: the dividend does not matter.
    const double bs = BlackScholesCarry(80, 82, 1.0 / 3.0, 0.06, 0.06, 0.3, 'c');
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, 1.0 / 3.0), bs);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, 0.5), bs);
    // Paid now: exercise now or hold the stock less the dividend; the formula tends to it.
    const double limit = std::max(80.0 - 82.0, BlackScholesCarry(76, 82, 1.0 / 3.0, 0.06, 0.06, 0.3, 'c'));
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, 0), limit);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, -0.1), limit);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, 1e-9), limit);
    EXPECT_NEAR(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, 1e-4), limit, 1e-4);
    EXPECT_EQ(RollGeskeWhaleyCall(100, 50, 0.06, 0.3, 1, 4, 0), 50.0);
    // Just before expiry the formula still gives a finite price.
    EXPECT_TRUE(std::isfinite(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, 1.0 / 3.0 - 1e-12)));
}

TEST(RollGeskeWhaley, InvalidInputsPriceZero) {
    EXPECT_EQ(RollGeskeWhaleyCall(0, 82, 0.06, 0.3, 1.0 / 3.0, 4, 0.25), 0.0);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 0, 0.06, 0.3, 1.0 / 3.0, 4, 0.25), 0.0);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, NAN, 0.25), 0.0);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, NAN), 0.0);
    EXPECT_EQ(RollGeskeWhaleyCall(80, 82, 0.06, 0.3, kInf, 4, 0.25), 0.0);
}

TEST(ForwardEuropean, IsBlack76OnTheDividendReducedForward) {
    // Without dividends the forward is S e^(rT): Black-Scholes with b = r. With dividends inside the
    // life the forward drops by exp(-sum / S), that is b = r - sum / (S T).
    for (char type : {'c', 'p'}) {
        EXPECT_NEAR(ForwardEuropean(kNone, kNone, type, 100, 0.75, 95, 0.05, 0.3),
                    PricingReference::BlackScholes(type == 'c', 100, 95, 0.75, 0.05, 0.05, 0.3), 1e-12);
        const std::vector<double> amounts{1.5, 2.0, 9.0}, times{0.25, 0.5, 0.9};  // the last after expiry
        const double b = 0.05 - 3.5 / (100 * 0.75);
        EXPECT_NEAR(ForwardEuropean(amounts, times, type, 100, 0.75, 95, 0.05, 0.3),
                    PricingReference::BlackScholes(type == 'c', 100, 95, 0.75, 0.05, b, 0.3), 1e-12);
    }
    EXPECT_DOUBLE_EQ(DividendYieldSum({0.0, 0.25, 0.5, 0.75}, {1, 2, 3, 4}, 50, 0.75), 0.1);
}

TEST(ForwardEuropean, DeepInTheMoneyPutIsItsForwardValue) {
    // d2 near -14: the 100-term series alone prices this put far below its value of X - F.
    EXPECT_NEAR(ForwardEuropean(kNone, kNone, 'p', 100, 1.0, 200, 0.0, 0.05), 100.0, 1e-9);
    EXPECT_NEAR(ForwardEuropean(kNone, kNone, 'c', 200, 1.0, 100, 0.0, 0.05), 100.0, 1e-9);
}

TEST(ForwardEuropean, InvalidInputsPriceZero) {
    EXPECT_EQ(ForwardEuropean(kNone, kNone, 'p', 100, 0.0, 100, 0.05, 0.3), 0.0);  // 0/0 at the money
    EXPECT_EQ(ForwardEuropean(kNone, kNone, 'x', 100, 1.0, 100, 0.05, 0.3), 0.0);
    EXPECT_EQ(ForwardEuropean(kNone, kNone, 'p', 0, 1.0, 100, 0.05, 0.3), 0.0);
}

TEST(MaxBSBJPrice, LargerOfEuropeanAndAmerican) {
    // A large dividend before expiry makes the European put on the lowered forward worth more than the
    // Bjerksund-Stensland put, which sees only the carry.
    const std::vector<double> amounts{5.0}, times{0.5};
    const double european = ForwardEuropean(amounts, times, 'p', 100, 1, 100, 0.05, 0.3);
    const double american = BjerksundStensland('p', 100, 100, 1, 0.05, 0.05, 0.3);
    ASSERT_GT(european, american);
    EXPECT_EQ(MaxBSBJPrice('p', times, amounts, 100, 100, 1, 0.05, 0.05, 0.3), european);
    EXPECT_EQ(MaxBSBJPrice('p', kNone, kNone, 100, 100, 1, 0.05, 0.05, 0.3), american);
    // Calls take the Black-Scholes value as their European part; volatility is floored at 0.02.
    EXPECT_EQ(MaxBSBJPrice('c', kNone, kNone, 42, 40, 0.75, 0.04, -0.04, 0.35),
              BjerksundStensland('c', 42, 40, 0.75, 0.04, -0.04, 0.35));
    EXPECT_EQ(MaxBSBJPrice('c', kNone, kNone, 42, 40, 0.75, 0.04, 0.04, 0.0),
              BlackScholesCarry(42, 40, 0.75, 0.04, 0.04, 0.02, 'c'));
}

TEST(CalcTheoPrice, DispatchesByModel) {
    const std::vector<double> amounts{4.0}, times{0.25};
    EXPECT_EQ(CalcTheoPrice(0.1, 0.1, 0.5, 40, true, 0, BS, 'c', 42, 0.2, kNone, kNone),
              BlackScholesCarry(42, 40, 0.5, 0.1, 0.1, 0.2, 'c'));
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1, 40, false, 0, BJ, 'p', 36, 0.2, kNone, kNone),
              BjerksundStensland('p', 36, 40, 1, 0.06, 0.06, 0.2));
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1.0 / 3.0, 82, false, 0, RGW, 'c', 80, 0.3, amounts, times),
              RollGeskeWhaleyCall(80, 82, 0.06, 0.3, 1.0 / 3.0, 4, 0.25));
    EXPECT_EQ(CalcTheoPrice(0.05, 0.05, 1, 100, false, 0, MaxBSBJ, 'p', 100, 0.3, {5.0}, {0.5}),
              MaxBSBJPrice('p', {0.5}, {5.0}, 100, 100, 1, 0.05, 0.05, 0.3));
    // RGW takes a sigma of 0 as 0.0001 and an empty schedule as no dividend.
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1.0 / 3.0, 82, true, 0, RGW, 'c', 80, 0.0, amounts, times),
              RollGeskeWhaleyCall(80, 82, 0.06, 0.0001, 1.0 / 3.0, 4, 0.25));
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1.0 / 3.0, 82, true, 0, RGW, 'c', 80, 0.3, {4.0}, kNone),
              BlackScholesCarry(80, 82, 1.0 / 3.0, 0.06, 0.06, 0.3, 'c'));
}

TEST(CalcTheoPrice, IntrinsicFloorUnlessEuropeanOrDelivery) {
    // A deep in-the-money European put with a high rate is worth less than its intrinsic value.
    const double european = BlackScholesCarry(50, 100, 1, 0.2, 0.2, 0.2, 'p');
    ASSERT_LT(european, 50.0);
    EXPECT_EQ(CalcTheoPrice(0.2, 0.2, 1, 100, false, 0, BS, 'p', 50, 0.2, kNone, kNone), 50.0);
    EXPECT_EQ(CalcTheoPrice(0.2, 0.2, 1, 100, true, 0, BS, 'p', 50, 0.2, kNone, kNone), european);
    EXPECT_EQ(CalcTheoPrice(0.2, 0.2, 1, 100, false, 1, BS, 'p', 50, 0.2, kNone, kNone), european);
    // Models that price 0 here: RGW puts, the tree and unknown models.
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1, 40, false, 0, RGW, 'p', 36, 0.2, kNone, kNone), 4.0);
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1, 40, true, 0, RGW, 'p', 36, 0.2, kNone, kNone), 0.0);
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1, 40, false, 0, CRR, 'p', 36, 0.2, kNone, kNone), 4.0);
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1, 40, true, 0, 7, 'c', 36, 0.2, kNone, kNone), 0.0);
    EXPECT_EQ(CalcTheoPrice(0.06, 0.06, 1, 40, false, 0, BS, 'c', kInf, 0.2, kNone, kNone), 0.0);
}

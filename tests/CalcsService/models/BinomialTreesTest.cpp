#include "models/BinomialTrees.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brkCalcsLib/pricing/ReferenceFormulas.h"
#include "models/Calculations.h"
#include "packets/RequestRefused.h"

namespace {

using namespace models;

// The textbook option: S = K = 100, r = 5%, sigma = 20%, one year.
constexpr double S = 100, K = 100, r = 0.05, sigma = 0.2, T = 1;
const std::vector<double> none;

// What a call throws, by kind ("" when nothing).
template <class Call>
std::string refusalOf(Call call) {
    try {
        call();
    } catch (const std::invalid_argument& e) {
        return std::string("invalid argument: ") + e.what();
    } catch (const Packets::RequestRefused& e) {
        return std::string("refused: ") + e.what();
    }
    return std::string();
}

TEST(BinomialTrees, EuropeanTreesMatchPublishedValues) {
    // One step (two levels): p = (e^0.05 − e^−0.2) / (e^0.2 − e^−0.2).
    EXPECT_NEAR(binomialPrice(S, K, T, sigma, r, 2, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN), 12.162285, 1e-6);
    EXPECT_NEAR(binomialPrice(S, K, T, sigma, r, 2, EUROPEAN_PUT, COX_ROSS_RUBINSTEIN), 7.285227, 1e-6);
    // 1,000 steps, close to Black-Scholes' 10.450584 / 5.573526.
    EXPECT_NEAR(binomialPrice(S, K, T, sigma, r, 1001, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN), 10.448584, 1e-6);
    EXPECT_NEAR(binomialPrice(S, K, T, sigma, r, 1001, EUROPEAN_PUT, COX_ROSS_RUBINSTEIN), 5.571527, 1e-6);
    // Jarrow-Rudd converges to the same values with its own parameters.
    EXPECT_EQ(binomialTreeParameters(T, sigma, r, JARROW_RUDD, 11).p, 0.5);
    EXPECT_NEAR(binomialPrice(S, K, T, sigma, r, 1001, EUROPEAN_CALL, JARROW_RUDD), 10.450584, 5e-3);
    EXPECT_NEAR(binomialPrice(S, K, T, sigma, r, 1001, EUROPEAN_PUT, JARROW_RUDD), 5.573526, 5e-3);
    // One level is no step: the intrinsic value at S.
    EXPECT_EQ(binomialPrice(90, K, T, sigma, r, 1, EUROPEAN_PUT, COX_ROSS_RUBINSTEIN), 10.0);
}

TEST(BinomialTrees, AmericanTreesMatchPublishedValuesAndTheEuropeanTree) {
    EXPECT_NEAR(crrAmericanPut(S, K, r, sigma, T, 100), 6.082354, 1e-6);
    // Without dividends early exercise is worth nothing for the call: the European tree's value.
    EXPECT_NEAR(crrAmericanCall(S, K, r, sigma, T, 100),
                binomialPrice(S, K, T, sigma, r, 101, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN), 1e-9);
    EXPECT_NEAR(binomialPrice(S, K, T, sigma, r, 101, AMERICAN_PUT, COX_ROSS_RUBINSTEIN),
                crrAmericanPut(S, K, r, sigma, T, 100), 1e-9);
    // No steps: the intrinsic value.
    EXPECT_EQ(crrAmericanCall(110, K, r, sigma, T, 0), 10.0);
    EXPECT_EQ(crrAmericanPut(110, K, r, sigma, T, 0), 0.0);
    // A tiny sigma·√dt without a rate takes even odds.
    EXPECT_LT(crrAmericanCall(S, K, 0.0, 1e-9, T, 1), 1e-6);
}

TEST(BinomialTrees, LowVolatilityAgainstTheRateStaysWithinNoArbitrageBounds) {
    // Where sigma·√dt < r·dt the up-move probability leaves [0, 1] and the trees explode.
    struct Case {
        const char* name;
        double S, K, T, r, sigma;
        int steps;
    };
    const Case cases[] = {
        {"rate 50 %", 100, 100, 1, 0.5, 0.02, 100},
        {"rate 200 % for 10 years", 100, 150, 10, 2.0, 0.02, 100},
        {"5 steps at 1 % volatility", 100, 100, 1, 0.05, 0.01, 5},
        {"5 steps, probability 1.25", 100, 100, 1, 0.1, 0.03, 5},
        {"one step at a volatility of 1e-9", 100, 100, 1, 0.05, 1e-9, 1},
        // More steps bring p back only where the moves nearly coincide and even odds stand in for it.
        {"0.1 % volatility at 4 %", 100, 100, 1, 0.04, 0.001, 100},
    };
    for (const Case& c : cases) {
        const double pvDividend = 2.0 * std::exp(-c.r * c.T / 2);
        const std::vector<double> times{c.T / 2}, amounts{2.0};
        for (bool call : {true, false}) {
            const double european = PricingReference::BlackScholes(call, c.S, c.K, c.T, c.r, c.r, c.sigma);
            const PricingReference::Bounds europeanBounds = PricingReference::EuropeanBounds(call, c.S, c.K, c.T, c.r);
            const PricingReference::Bounds americanBounds = PricingReference::AmericanBounds(call, c.S, c.K, c.T, c.r);
            const PricingReference::Bounds dividendBounds =
                PricingReference::AmericanBounds(call, c.S, c.K, c.T, c.r, 0.0, pvDividend);
            const double tree = call ? crrAmericanCall(c.S, c.K, c.r, c.sigma, c.T, c.steps)
                                     : crrAmericanPut(c.S, c.K, c.r, c.sigma, c.T, c.steps);
            const double levels = binomialPrice(c.S, c.K, c.T, c.sigma, c.r, c.steps + 1,
                                                call ? AMERICAN_CALL : AMERICAN_PUT, COX_ROSS_RUBINSTEIN);
            const double europeanTree = binomialPrice(c.S, c.K, c.T, c.sigma, c.r, c.steps + 1,
                                                      call ? EUROPEAN_CALL : EUROPEAN_PUT, COX_ROSS_RUBINSTEIN);
            const double withDividend =
                call ? crrAmericanCallWithDividends(c.S, c.K, c.r, c.sigma, c.T, c.steps, times, amounts)
                     : crrAmericanPutWithDividends(c.S, c.K, c.r, c.sigma, c.T, c.steps, times, amounts);
            SCOPED_TRACE(testing::Message() << c.name << (call ? " call: " : " put: ") << tree << ", " << levels
                                            << ", European " << europeanTree << ", with a dividend " << withDividend);
            for (double american : {tree, levels}) {
                EXPECT_GE(american, americanBounds.lower - 1e-9);
                EXPECT_LE(american, americanBounds.upper);
                EXPECT_GE(american, european - 2e-3);
            }
            EXPECT_GE(europeanTree, europeanBounds.lower - 1e-9);
            EXPECT_LE(europeanTree, europeanBounds.upper);
            EXPECT_NEAR(europeanTree, european, 2e-3);
            // Without dividends early exercise of a call never pays: it is the European call.
            if (call) {
                EXPECT_NEAR(tree, european, 2e-3);
            }
            // The dividend falls on the step at or before its date, so the tree may run up to one step short
            // of expiry: at a rate of 50 % that is worth a few cents.
            EXPECT_GE(withDividend, dividendBounds.lower - 0.05);
            EXPECT_LE(withDividend, dividendBounds.upper);
        }
    }
}

TEST(BinomialTrees, EuropeanTreeWithoutTimeOrVolatilityIsItsLimit) {
    // u = d = 1 makes the probability 0 / 0; u − d just above 0 makes it huge.
    struct Case {
        double S, K, T, r, sigma;
    };
    const Case cases[] = {
        {110, 100, 0, 0.05, 0.2}, {90, 100, 0, 0.05, 0.2},   {100, 100, 1, 0.05, 0},
        {95, 100, 1, 0.05, 0},    {100, 100, 1, -0.02, 0},   {100, 100, 1, 0.05, 1e-7},
    };
    for (const Case& c : cases) {
        // No time: the intrinsic value; no volatility: the discounted forward payoff.
        const double strike = c.K * std::exp(-c.r * c.T);
        const double call = std::max(c.S - strike, 0.0);
        const double put = std::max(strike - c.S, 0.0);
        for (int levels : {2, 100}) {
            SCOPED_TRACE(testing::Message() << "S " << c.S << " T " << c.T << " r " << c.r << " sigma " << c.sigma
                                            << " levels " << levels);
            EXPECT_NEAR(binomialPrice(c.S, c.K, c.T, c.sigma, c.r, levels, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN), call,
                        1e-9);
            EXPECT_NEAR(binomialPrice(c.S, c.K, c.T, c.sigma, c.r, levels, EUROPEAN_PUT, COX_ROSS_RUBINSTEIN), put,
                        1e-9);
        }
    }
}

TEST(BinomialTrees, DividendNeverTakesTheStockBelowZero) {
    // A dividend above every node price at its date leaves a stock worth 0: a put is then exercised for K
    // at once, and before the dividend (the node prices stay well above K·(1 − e^(−r·t0))) it is held.
    struct Case {
        double S, K, r, sigma, T, t0, D;
    };
    const Case cases[] = {
        {50, 50, 0.05, 0.3, 1, 0.5, 1000},
        {100, 120, 0.03, 0.25, 2, 1, 1e4},
        {10, 10, 0.0, 2.0, 1, 0.5, 1e9},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(crrAmericanPutWithDividends(c.S, c.K, c.r, c.sigma, c.T, 100, {c.t0}, {c.D}),
                    c.K * std::exp(-c.r * c.t0), 1e-9)
            << c.S << " " << c.D;
}

TEST(BinomialTrees, DividendTreesMatchPublishedValuesAndTheirLimits) {
    const std::vector<double> half{0.5}, two{2.0};
    EXPECT_NEAR(crrAmericanCallWithDividends(S, K, r, sigma, T, 100, half, two), 9.338447, 1e-6);
    EXPECT_NEAR(crrAmericanPutWithDividends(S, K, r, sigma, T, 100, half, two), 6.939022, 1e-6);
    EXPECT_EQ(crrAmericanPutWithDividends(S, K, r, sigma, T, 100, none, none), crrAmericanPut(S, K, r, sigma, T, 100));

    // Paid now: the whole tree starts from S − D (exercise at S is worth nothing here).
    EXPECT_NEAR(crrAmericanCallWithDividends(S, K, r, sigma, T, 100, {0.0}, two),
                crrAmericanCall(S - 2, K, r, sigma, T, 100), 1e-12);
    // Paid at expiry, or within a millionth of a year of it: the call keeps its value, the put gains.
    EXPECT_NEAR(crrAmericanCallWithDividends(S, K, r, sigma, T, 100, {T}, two), crrAmericanCall(S, K, r, sigma, T, 100),
                1e-12);
    EXPECT_EQ(crrAmericanPutWithDividends(S, K, r, sigma, T, 100, {T - 5e-7}, two),
              crrAmericanPutWithDividends(S, K, r, sigma, T, 100, {T}, two));
    // A second dividend at expiry leads into a tree without time.
    EXPECT_TRUE(std::isfinite(crrAmericanPutWithDividends(S, K, r, sigma, T, 100, {0.5, T}, {2.0, 1.0})));
    // Without time left (0 / 0 steps before the dividend), the intrinsic value at S.
    EXPECT_EQ(crrAmericanPutWithDividends(90, K, r, sigma, 0.0, 100, half, two), 10.0);
    EXPECT_EQ(crrAmericanCallWithDividends(110, K, r, sigma, -1.0, 100, half, two), 10.0);
}

TEST(BinomialTrees, TheDispatcherRefusesWhatItCannotPriceAtOnce) {
    const std::vector<double> half{0.5}, two{2.0};
    const auto price = [&](short method, short type, std::uint32_t steps, const std::vector<double>& amounts) {
        return [=, &amounts] { Calculations::calcOptionPrice(method, type, S, K, r, sigma, T, steps, amounts, half, 0); };
    };
    EXPECT_EQ(Calculations::calcOptionPrice(0, AMERICAN_PUT, S, K, r, sigma, T, 100, none, none, 0),
              crrAmericanPut(S, K, r, sigma, T, 100));
    EXPECT_EQ(Calculations::calcOptionPrice(0, AMERICAN_CALL, S, K, r, sigma, T, 100, two, half, 0),
              crrAmericanCallWithDividends(S, K, r, sigma, T, 100, half, two));
    EXPECT_EQ(Calculations::calcOptionPrice(1, EUROPEAN_PUT, S, K, r, sigma, T, 2, two, half, 0),
              binomialPrice(S, K, T, sigma, r, 2, EUROPEAN_PUT, COX_ROSS_RUBINSTEIN));

    EXPECT_EQ(refusalOf(price(2, AMERICAN_CALL, 100, none)), "invalid argument: Invalid methodType 2");
    EXPECT_EQ(refusalOf(price(0, EUROPEAN_CALL, 100, none)),
              "invalid argument: Invalid pair methodType, optionType 0, 0");
    // Step counts that would take minutes or gigabytes are refused before any work, naming the count.
    for (std::uint32_t steps : {0u, 10001u, 4294967295u}) {
        const std::string refused = "refused: tree steps " + std::to_string(steps) + " outside 1 to 10000";
        EXPECT_EQ(refusalOf(price(0, AMERICAN_PUT, steps, none)), refused);
        EXPECT_EQ(refusalOf(price(1, EUROPEAN_PUT, steps, none)), refused);
    }
    EXPECT_EQ(refusalOf(price(0, AMERICAN_PUT, 2001, two)), "refused: tree steps 2001 outside 1 to 2000");
    EXPECT_EQ(refusalOf([] { binomialPrice(S, K, T, sigma, r, 0, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN); }),
              "refused: tree steps 0 outside 1 to 10000");
    EXPECT_EQ(refusalOf([] { binomialPrice(S, K, T, sigma, r, -3, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN); }),
              "refused: tree steps -3 outside 1 to 10000");
}

TEST(BinomialTreesDeathTest, ProgrammingErrorsEndTheProcess) {
    EXPECT_EXIT(binomialPrice(S, K, T, sigma, r, 10, 4, COX_ROSS_RUBINSTEIN), testing::ExitedWithCode(1),
                "ERROR: invalid option type");
    EXPECT_EXIT(binomialTreeParameters(T, sigma, r, 2, 10), testing::ExitedWithCode(1),
                "ERROR: invalid method specified");
}

}  // namespace

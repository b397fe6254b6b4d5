#include "models/BinomialTrees.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "models/Calculations.h"

namespace {

using namespace models;

// The textbook option: S = K = 100, r = 5%, sigma = 20%, one year.
constexpr double S = 100, K = 100, r = 0.05, sigma = 0.2, T = 1;
const std::vector<double> none;

// The C string a call throws ("" when none).
template <class Call>
std::string refusalOf(Call call) {
    try {
        call();
    } catch (const char* text) {
        return text;
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
    // A tiny sigma·√dt takes even odds; the probability formula would give millions here.
    EXPECT_LT(crrAmericanCall(S, K, r, 1e-9, T, 1), 1e-6);
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

    EXPECT_EQ(refusalOf(price(2, AMERICAN_CALL, 100, none)), "Invalid methodType");
    EXPECT_EQ(refusalOf(price(0, EUROPEAN_CALL, 100, none)), "Invalid pair methodType, optionType");
    // Step counts that would take minutes or gigabytes are refused before any work.
    for (std::uint32_t steps : {0u, 10001u, 4294967295u}) {
        EXPECT_EQ(refusalOf(price(0, AMERICAN_PUT, steps, none)), INVALID_STEP_COUNT) << steps;
        EXPECT_EQ(refusalOf(price(1, EUROPEAN_PUT, steps, none)), INVALID_STEP_COUNT) << steps;
    }
    EXPECT_EQ(refusalOf(price(0, AMERICAN_PUT, 2001, two)), INVALID_STEP_COUNT);
    EXPECT_EQ(refusalOf([] { binomialPrice(S, K, T, sigma, r, 0, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN); }),
              INVALID_STEP_COUNT);
    EXPECT_EQ(refusalOf([] { binomialPrice(S, K, T, sigma, r, -3, EUROPEAN_CALL, COX_ROSS_RUBINSTEIN); }),
              INVALID_STEP_COUNT);
}

TEST(BinomialTreesDeathTest, ProgrammingErrorsEndTheProcess) {
    EXPECT_EXIT(binomialPrice(S, K, T, sigma, r, 10, 4, COX_ROSS_RUBINSTEIN), testing::ExitedWithCode(1),
                "ERROR: invalid option type");
    EXPECT_EXIT(binomialTreeParameters(T, sigma, r, 2, 10), testing::ExitedWithCode(1),
                "ERROR: invalid method specified");
}

}  // namespace

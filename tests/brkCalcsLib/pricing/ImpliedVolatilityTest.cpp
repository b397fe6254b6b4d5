#include "pricing/ImpliedVolatility.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReferenceFormulas.h"
#include "pricing/BjerksundStensland.h"
#include "pricing/BlackScholes.h"
#include "pricing/CrrDividendTrees.h"
#include "pricing/CrrTrees.h"
#include "pricing/MaxBSBJ.h"
#include "pricing/PricingModel.h"
#include "pricing/RollGeskeWhaley.h"

using namespace Pricing;

namespace {

const std::vector<double> kNone;
constexpr double kTrueSigma = 0.3;

struct Solve {
    int code;
    double volatility;
    std::string trace;
};

// Hull's stock option unless told otherwise: S 42, X 40, r = b = 10 %, T 0.5.
Solve SolveTraced(double price, int model = BS, char type = 'c', double guess = -1.0, double S = 42, double X = 40,
                  double T = 0.5, double r = 0.1, double b = 0.1, const std::vector<double>& times = kNone,
                  const std::vector<double>& amounts = kNone, int steps = 100) {
    Solve result{-1, -123.0, {}};
    testing::internal::CaptureStdout();
    result.code = CalcIV(result.volatility, type, times, model, steps, true, S, X, T, r, b, price, guess, amounts);
    result.trace = testing::internal::GetCapturedStdout();
    return result;
}

std::string BracketLine(const char* outcome, char type, double price, double lower, double upper, double sigmaLower,
                        double sigmaUpper) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "CalcIV: %s type(%c) price(%0.4lf) optionValueLower(%0.4lf) optionValueUpper(%0.4lf) "
                  "sigmaLower(%0.6lf) sigmaUpper(%0.6lf) S(42.0000) X(40.0000) T(0.5000) \n",
                  outcome, type, price, lower, upper, sigmaLower, sigmaUpper);
    return line;
}

double HullCall(double sigma) { return PricingReference::BlackScholes(true, 42, 40, 0.5, 0.1, 0.1, sigma); }

struct RoundTrip {
    const char* name;
    int model;
    char type;
    double S, X, T, r, b;
    std::vector<double> times, amounts;
    std::function<double(double)> price;  // the model's value at a volatility, to make the target price
};

}  // namespace

TEST(CalcIV, HullStockOption) {
    const Solve solve = SolveTraced(4.7594);
    EXPECT_EQ(solve.code, eCalcIVSuccess);
    EXPECT_NEAR(solve.volatility, 0.20, 1e-4);
    const char* const line = R"(CalcIV: success\(true\) type\(c\) iterCount\([0-9]+\) iv\(0\.(1999|2000)[0-9]{2}\) )"
                             R"(price\(4\.7594\) optionValueGuess\(4\.759[0-9]\) S\(42\.0000\) X\(40\.0000\) )"
                             "T\\(0\\.5000\\) \n";
    EXPECT_THAT(solve.trace, testing::MatchesRegex(line));
}

TEST(CalcIV, RoundTripsEveryModel) {
    const std::vector<double> one{0.25}, oneAmount{1.5};
    const std::vector<double> two{0.2, 0.6}, twoAmounts{1.0, 1.2};
    const std::vector<double> three{0.2, 0.5, 0.8}, threeAmounts{0.5, 0.5, 0.5};
    const double laterTwo = 1.2 * std::exp(-0.05 * 0.6);  // RGW: the dividends after the first, discounted
    const std::vector<RoundTrip> cases = {
        {"BS call", BS, 'c', 100, 95, 0.75, 0.05, 0.02, {}, {},
         [](double s) { return BlackScholesCarry(100, 95, 0.75, 0.05, 0.02, s, 'c'); }},
        {"BS put", BS, 'p', 100, 95, 0.75, 0.05, 0.02, {}, {},
         [](double s) { return BlackScholesCarry(100, 95, 0.75, 0.05, 0.02, s, 'p'); }},
        {"CRR put", CRR, 'p', 50, 52, 1, 0.05, 0.05, {}, {},
         [](double s) { return CrrPutTree(100, 0.05, 50, 52, s, 1); }},
        {"CRR put, one dividend", CRR, 'p', 50, 52, 1, 0.05, 0.05, one, oneAmount,
         [&](double s) { return CrrDividendPutTree(50, 52, 0.05, s, 1, 100, one, oneAmount); }},
        {"CRR call, two dividends", CRR, 'c', 50, 48, 1, 0.05, 0.05, two, twoAmounts,
         [&](double s) { return CrrDividendCallTree(50, 48, 0.05, s, 1, 100, two, twoAmounts); }},
        {"CRR put, three dividends on the yield tree", CRR, 'p', 50, 52, 1, 0.05, 0.02, three, threeAmounts,
         [](double s) { return CrrYieldPutTree(100, 1, 50, 52, 0.05, 0.03, s); }},
        {"BJ call", BJ, 'c', 42, 40, 0.75, 0.04, -0.04, {}, {},
         [](double s) { return BjerksundStensland('c', 42, 40, 0.75, 0.04, -0.04, s); }},
        {"BJ put", BJ, 'p', 36, 40, 1, 0.06, 0.06, {}, {},
         [](double s) { return BjerksundStensland('p', 36, 40, 1, 0.06, 0.06, s); }},
        {"RGW call, no dividend", RGW, 'c', 80, 82, 1.0 / 3.0, 0.06, 0.06, {}, {},
         [](double s) { return RollGeskeWhaleyCall(80, 82, 0.06, s, 1.0 / 3.0, 0, 0); }},
        {"RGW call, one dividend", RGW, 'c', 80, 82, 1.0 / 3.0, 0.06, 0.06, {0.25}, {4.0},
         [](double s) { return RollGeskeWhaleyCall(80, 82, 0.06, s, 1.0 / 3.0, 4, 0.25); }},
        {"RGW call, two dividends", RGW, 'c', 50, 48, 1, 0.05, 0.05, two, twoAmounts,
         [&](double s) { return RollGeskeWhaleyCall(50 - laterTwo, 48, 0.05, s, 1, 1.0, 0.2); }},
        {"RGW put is Black-Scholes", RGW, 'p', 80, 82, 1.0 / 3.0, 0.06, 0.03, {0.25}, {4.0},
         [](double s) { return BlackScholesCarry(80, 82, 1.0 / 3.0, 0.06, 0.03, s, 'p'); }},
        {"MaxBSBJ call", MaxBSBJ, 'c', 42, 40, 0.75, 0.04, -0.04, {}, {},
         [](double s) { return MaxBSBJPrice('c', kNone, kNone, 42, 40, 0.75, 0.04, -0.04, s); }},
        {"MaxBSBJ put, one dividend", MaxBSBJ, 'p', 100, 100, 1, 0.05, 0.05, {0.5}, {5.0},
         [](double s) { return MaxBSBJPrice('p', {0.5}, {5.0}, 100, 100, 1, 0.05, 0.05, s); }},
    };
    for (const RoundTrip& c : cases) {
        const double price = c.price(kTrueSigma);
        for (double guess : {-1.0, 0.25}) {
            double volatility = -1;
            const int code = CalcIV(volatility, c.type, c.times, c.model, 100, false, c.S, c.X, c.T, c.r, c.b, price,
                                    guess, c.amounts);
            EXPECT_EQ(code, eCalcIVSuccess) << c.name;
            // The search stops on a price within 1e-4 or a bracket narrower than 1e-4 around the root.
            EXPECT_NEAR(volatility, kTrueSigma, 1e-4) << c.name;
        }
    }
}

TEST(CalcIV, TreeModelSolvesAtHighRates) {
    // At sigma 0.02, the first volatility tried, a 100-step tree at these rates has its probability
    // outside [0, 1]. At 100 % the call is nearly S - X e^-rT: its price moves by about 0.08 per unit of
    // volatility, so the solver's price tolerance of 1e-4 leaves about 1e-3 of volatility.
    for (double r : {0.3, 0.5, 1.0}) {
        const auto tree = [r](double sigma) { return CrrDividendTree(kNone, kNone, 'c', 100, 100, 100, 1, r, sigma); };
        const double price = tree(kTrueSigma);
        double volatility = -1;
        EXPECT_EQ(CalcIV(volatility, 'c', kNone, CRR, 100, false, 100, 100, 1, r, r, price, -1.0, kNone),
                  eCalcIVSuccess)
            << r;
        EXPECT_NEAR(volatility, kTrueSigma, r < 1.0 ? 1e-4 : 1e-3) << r;
        EXPECT_NEAR(tree(volatility), price, 1e-4) << r;
    }
}

TEST(CalcIV, PutWithRgwModelIsSolvedWithBlackScholes) {
    const double price = BlackScholesCarry(42, 40, 0.5, 0.1, 0.06, 0.27, 'p');
    double viaRgw = -1, viaBs = -2;
    EXPECT_EQ(CalcIV(viaRgw, 'p', {0.25}, RGW, 100, false, 42, 40, 0.5, 0.1, 0.06, price, -1, {1.0}), eCalcIVSuccess);
    EXPECT_EQ(CalcIV(viaBs, 'p', {0.25}, BS, 100, false, 42, 40, 0.5, 0.1, 0.06, price, -1, {1.0}), eCalcIVSuccess);
    EXPECT_EQ(viaRgw, viaBs);
}

TEST(CalcIV, PriceAtTheLowestVolatilityIsPresolved) {
    const double lower = HullCall(0.02);
    const Solve solve = SolveTraced(lower + 0.00005);
    EXPECT_EQ(solve.code, eCalcIVSuccess);
    EXPECT_EQ(solve.volatility, 0.02);
    EXPECT_EQ(solve.trace,
              BracketLine("(presolved to sigmaLower)", 'c', lower + 0.00005, lower, HullCall(2.02), 0.02, 2.02));
}

TEST(CalcIV, PriceAtTheUpperEndIsPresolved) {
    const double upper = HullCall(2.02);
    const Solve solve = SolveTraced(upper);
    EXPECT_EQ(solve.code, eCalcIVSuccess);
    EXPECT_EQ(solve.volatility, 2.02);
    EXPECT_EQ(solve.trace, BracketLine("(presolved to sigmaUpper)", 'c', upper, HullCall(0.02), upper, 0.02, 2.02));
}

TEST(CalcIV, PriceBelowTheLowestVolatilityIsUnderwater) {
    // The call is worth S - X e^(-rT) = 3.9508 even at sigma 0.02.
    for (int model : {BS, CRR, RGW, MaxBSBJ}) {
        const Solve solve = SolveTraced(3.0, model);
        EXPECT_EQ(solve.code, eCalcIVBidUnderwater) << model;
        EXPECT_EQ(solve.volatility, 0.0);
    }
    EXPECT_EQ(SolveTraced(3.0, BS).trace,
              BracketLine("eCalcIVBidUnderwater", 'c', 3.0, HullCall(0.02), HullCall(2.02), 0.02, 2.02));
    const Solve bj = SolveTraced(3.0, BJ);
    EXPECT_EQ(bj.code, eCalcIVFailedToBracket);
    EXPECT_EQ(bj.volatility, 0.0);
    EXPECT_EQ(bj.trace,
              BracketLine("model BJ eCalcIVFailedToBracket", 'c', 3.0, HullCall(0.02), HullCall(2.02), 0.02, 2.02));
}

TEST(CalcIV, PriceBeyondTheLastIntervalFailsToBracket) {
    // A call never exceeds the stock: no volatility up to 40.02 reaches 50.
    const Solve solve = SolveTraced(50.0);
    EXPECT_EQ(solve.code, eCalcIVFailedToBracket);
    EXPECT_EQ(solve.volatility, 0.0);
    EXPECT_EQ(solve.trace,
              "CalcIV: eCalcIVFailedToBracket type(c) price(50.0000) optionValueLower(42.0000) "
              "optionValueUpper(42.0000) sigmaLower(38.020000) sigmaUpper(40.020000) S(42.0000) "
              "X(40.0000) T(0.5000) \n");
}

TEST(CalcIV, SolvesSharingTheFirstBracketMatchSolvesAlone) {
    // One option's bid, ask and mid as an option record solves them, plus prices that end at the
    // bracket's ends, below it and beyond the first interval.
    for (int model : {BS, BJ, MaxBSBJ}) {
        for (char type : {'c', 'p'}) {
            auto value = [&](double sigma) { return MaxBSBJPrice(type, kNone, kNone, 42, 40, 0.5, 0.1, 0.05, sigma); };
            auto solve = [&](double price, double& volatility, SFirstBracket* shared) {
                return CalcIV(volatility, type, kNone, model, 100, false, 42, 40, 0.5, 0.1, 0.05, price, 0.25, kNone,
                              shared);
            };
            SFirstBracket shared;
            for (double sigma : {0.29, 0.31, 0.3, 0.02, 2.02, 0.01, 3.5}) {
                const double price = value(sigma);
                double alone = -1.0, together = -2.0;
                const int aloneCode = solve(price, alone, nullptr);
                const int togetherCode = solve(price, together, &shared);
                EXPECT_EQ(aloneCode, togetherCode) << model << type << price;
                EXPECT_EQ(alone, together) << model << type << price;
            }
            EXPECT_TRUE(shared.known);
        }
    }
}

TEST(CalcIV, GuessOutsideTheBracketIsIgnored) {
    // The same search, evaluation for evaluation, as without a guess.
    const std::string secant = SolveTraced(4.7594).trace;
    for (double guess : {0.02, 2.02, 3.0, -5.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(SolveTraced(4.7594, BS, 'c', guess).trace, secant) << guess;
    const Solve inside = SolveTraced(4.7594, BS, 'c', 0.2);
    EXPECT_EQ(inside.code, eCalcIVSuccess);
    EXPECT_NEAR(inside.volatility, 0.2, 1e-4);
}

TEST(CalcIV, TinyTimeToExpirySolvesToZeroSilently) {
    const Solve solve = SolveTraced(10.0, BS, 'c', -1, 50, 40, 0.5e-6);
    EXPECT_EQ(solve.code, eCalcIVSuccess);
    EXPECT_EQ(solve.volatility, 0.0);
    EXPECT_EQ(solve.trace, "");
}

TEST(CalcIV, BadInputIsRejectedSilently) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Solve cases[] = {
        SolveTraced(4.0, BS, 'c', -1, 0),
        SolveTraced(4.0, BS, 'c', -1, 42, -40),
        SolveTraced(4.0, BS, 'c', -1, nan),
        SolveTraced(4.0, BS, 'c', -1, 42, inf),
        SolveTraced(4.0, BS, 'c', -1, 42, 40, nan),
        SolveTraced(4.0, BS, 'c', -1, 42, 40, 0.5, inf),
        SolveTraced(4.0, BS, 'c', -1, 42, 40, 0.5, 0.1, nan),
        SolveTraced(nan),
        SolveTraced(inf),
    };
    for (const Solve& solve : cases) {
        EXPECT_EQ(solve.code, eCalcIVBadInput);
        EXPECT_EQ(solve.volatility, 0.0);
        EXPECT_EQ(solve.trace, "");
    }
}

#include "pricing/Greeks.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "ReferenceFormulas.h"
#include "pricing/PricingModel.h"
#include "pricing/TheoPrice.h"

using namespace Pricing;

namespace {

const std::vector<double> kNone;

struct Greeks {
    double vega = -1, theta = -1, rho = -1, delta = -1, gamma = -1;
};

Greeks Calc(char type, double S, double r, double b, double T, double sigma, double X, int model = BS,
            bool european = true, const std::vector<double>& amounts = kNone,
            const std::vector<double>& times = kNone) {
    Greeks g;
    CalcGreeks(european, 0, type, S, r, b, T, sigma, X, model, amounts, times, g.vega, g.theta, g.rho, g.delta,
               g.gamma);
    return g;
}

}  // namespace

TEST(CalcGreeks, HullStockOptionExample) {
    // Hull: S 49, X 50, r 5 %, sigma 20 %, 20 weeks: delta 0.522, gamma 0.066, vega 12.1, theta -4.31
    // per year, rho 8.91.
    const Greeks g = Calc('c', 49, 0.05, 0.05, 0.3846, 0.20, 50);
    EXPECT_NEAR(g.delta, 52.2, 0.05);
    EXPECT_NEAR(g.gamma, 6.6, 0.05);
    EXPECT_NEAR(g.vega, 12.1, 0.05);
    EXPECT_NEAR(g.theta * 365 / 100, -4.31, 0.005);
    EXPECT_NEAR(g.rho, 8.91, 0.005);
}

TEST(CalcGreeks, AreTheDerivativesOfTheCarryModel) {
    const double S = 100, X = 95, T = 0.75, r = 0.05, b = 0.02, sigma = 0.3, h = 1e-4;
    for (char type : {'c', 'p'}) {
        const bool call = type == 'c';
        const auto V = [&](double s, double rate, double carry, double t, double vol) {
            return PricingReference::BlackScholes(call, s, X, t, rate, carry, vol);
        };
        const Greeks g = Calc(type, S, r, b, T, sigma, X);
        EXPECT_NEAR(g.delta, std::fabs(V(S + h, r, b, T, sigma) - V(S - h, r, b, T, sigma)) / (2 * h) * 100, 1e-6);
        EXPECT_NEAR(g.gamma,
                    (V(S + h, r, b, T, sigma) - 2 * V(S, r, b, T, sigma) + V(S - h, r, b, T, sigma)) / (h * h) * 100,
                    1e-3);
        EXPECT_NEAR(g.vega, (V(S, r, b, T, sigma + h) - V(S, r, b, T, sigma - h)) / (2 * h), 1e-6);
        EXPECT_NEAR(g.theta, -(V(S, r, b, T + h, sigma) - V(S, r, b, T - h, sigma)) / (2 * h) / 365 * 100, 1e-6);
        // Rho moves the discounting of the strike only (the carry stays as given).
        const double dVdr = (V(S, r + h, b + h, T, sigma) - V(S, r - h, b - h, T, sigma)) / (2 * h);
        EXPECT_NEAR(g.rho, dVdr, 1e-5) << type;
    }
}

TEST(CalcGreeks, PutDeltaIsPositive) {
    const Greeks deep = Calc('p', 10, 0.05, 0.05, 0.5, 0.2, 100);
    EXPECT_EQ(deep.delta, 100.0);
    const Greeks atm = Calc('p', 100, 0.05, 0.05, 0.5, 0.2, 100);
    EXPECT_GT(atm.delta, 30.0);
    EXPECT_LT(atm.delta, 50.0);
}

TEST(CalcGreeks, ThetaIsNeverPositive) {
    // A deep in-the-money European put at a high rate gains value with time; its theta shows 0.
    const double S = 40, X = 100, T = 1, r = 0.2, sigma = 0.2, h = 1e-4;
    ASSERT_GT(PricingReference::BlackScholes(false, S, X, T - h, r, r, sigma),
              PricingReference::BlackScholes(false, S, X, T + h, r, r, sigma));
    EXPECT_EQ(Calc('p', S, r, r, T, sigma, X).theta, 0.0);
}

TEST(CalcGreeks, ExpiryLimitsWhenD1CannotBeFormed) {
    for (double T : {0.0, -0.01}) {
        const Greeks itm = Calc('c', 55, 0.05, 0.05, T, 0.3, 50);
        EXPECT_EQ(itm.delta, 100.0);
        EXPECT_EQ(itm.gamma, 0.0);
        EXPECT_EQ(itm.vega, 0.0);
        EXPECT_EQ(itm.theta, 0.0);
        EXPECT_EQ(itm.rho, 0.0);
        EXPECT_EQ(Calc('c', 45, 0.05, 0.05, T, 0.3, 50).delta, 0.0);
        EXPECT_EQ(Calc('p', 45, 0.05, 0.05, T, 0.3, 50).delta, 100.0);
        EXPECT_EQ(Calc('p', 50, 0.05, 0.05, T, 0.3, 50).delta, 0.0);
    }
    const Greeks noVolatility = Calc('p', 45, 0.05, 0.05, 0.5, 0.0, 50);
    EXPECT_EQ(noVolatility.delta, 100.0);
    EXPECT_EQ(noVolatility.gamma, 0.0);
    EXPECT_EQ(Calc('c', NAN, 0.05, 0.05, 0.5, 0.3, 50).delta, 0.0);
}

TEST(CalcGreeks, ShortExpiryCapsThetaByTimeValue) {
    // 0.005 years (under two days): an out-of-the-money call's theta is at most 100 x its time value.
    const double S = 90, X = 100, T = 0.005, r = 0.05, sigma = 0.6;
    const Greeks g = Calc('c', S, r, r, T, sigma, X, BS, false);
    const double timeValue = CalcTheoPrice(r, r, T, X, false, 0, BS, 'c', S, sigma, kNone, kNone) -
                             CalcTheoPrice(r, r, T, X, false, 0, BS, 'c', S, 0.0001, kNone, kNone);
    const double sqrtT = std::sqrt(T);
    const double d1 = (std::log(S / X) + (r + sigma * sigma / 2) * T) / (sigma * sqrtT);
    const double uncapped = -S * std::exp(-d1 * d1 / 2) / std::sqrt(2 * M_PI) * sigma / (2 * sqrtT) -
                            r * X * std::exp(-r * T) * PricingReference::NormalCdf(d1 - sigma * sqrtT);
    ASSERT_GT(std::fabs(uncapped / 365 * 100), 100 * timeValue);
    EXPECT_NEAR(g.theta, -100 * timeValue, 1e-12);
    // Gamma is capped by 100 - delta.
    const Greeks atm = Calc('c', 100, r, r, 0.0001, 0.1, 100);
    EXPECT_GT(atm.delta, 40.0);
    EXPECT_NEAR(atm.gamma, 100 - atm.delta, 1e-12);
}

TEST(CalcGreeks, ShortExpiryTimeValueComesFromTheOptionsModel) {
    // The CRR model prices nothing through CalcTheoPrice, so an American tree option has no time value.
    const Greeks tree = Calc('p', 100, 0.05, 0.05, 0.005, 0.3, 100, CRR, false);
    EXPECT_EQ(tree.theta, 0.0);
    const Greeks bs = Calc('p', 100, 0.05, 0.05, 0.005, 0.3, 100, BS, false);
    EXPECT_LT(bs.theta, 0.0);
}

TEST(CalcGreeks, InfinitiesAreCleanedLikeNaN) {
    // A carry factor e^1000 makes delta, vega and gamma infinite: all become 0, delta too (not 100).
    const Greeks g = Calc('c', 100, -1000, 0, 1, 0.3, 100);
    EXPECT_EQ(g.delta, 0.0);
    EXPECT_EQ(g.vega, 0.0);
    EXPECT_EQ(g.gamma, 0.0);
    EXPECT_TRUE(std::isfinite(g.theta));
    EXPECT_TRUE(std::isfinite(g.rho));
}

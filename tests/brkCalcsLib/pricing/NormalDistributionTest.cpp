#include "pricing/NormalDistribution.h"

#include <cmath>

#include <gtest/gtest.h>

#include "ReferenceFormulas.h"

using namespace Pricing;

TEST(NormalCdf, MatchesErfcToDoublePrecision) {
    for (double x = -37.0; x <= 37.0; x += 0.01) {
        const double expected = PricingReference::NormalCdf(x);
        // Absolute agreement in the body, relative agreement in the far lower tail.
        EXPECT_NEAR(NormalCdf(x), expected, 1e-15 + 1e-13 * expected) << "x = " << x;
    }
}

TEST(NormalCdf, CentreAndTails) {
    EXPECT_EQ(NormalCdf(0.0), 0.5);
    EXPECT_EQ(NormalCdf(40.0), 1.0);
    EXPECT_EQ(NormalCdf(-40.0), 0.0);
}

TEST(NormalCdfAS, SevenDigitApproximation) {
    for (double x = -6.0; x <= 6.0; x += 0.01)
        EXPECT_NEAR(NormalCdfAS(x), PricingReference::NormalCdf(x), 2e-7) << "x = " << x;
    EXPECT_EQ(NormalCdfAS(6.5), 1.0);
    EXPECT_EQ(NormalCdfAS(-6.5), 0.0);
}

TEST(NormalCdfSeries, AgreesWithHartInsideEightAndUsesItBeyond) {
    for (double x = -8.0; x <= 8.0; x += 0.01)
        EXPECT_NEAR(NormalCdfSeries(x), NormalCdf(x), 1e-15) << "x = " << x;
    // Far out the 100-term series is useless (it gives 0.98 at 13, 3e-4 at -12).
    for (double x : {-13.0, -12.0, -11.0, 11.0, 12.0, 13.0, 40.0})
        EXPECT_EQ(NormalCdfSeries(x), NormalCdf(x)) << "x = " << x;
}

// The series summed term by term, all 100 terms.
double FullSeries(double x) {
    const double x2 = x * x;
    double term = x, sum = x;
    for (int i = 1; i <= 100; ++i) {
        term *= x2 / (2.0 * i + 1.0);
        sum += term;
    }
    return 0.5 + sum * std::exp(-x2 / 2.0) * 0.3989422804014328;
}

TEST(NormalCdfSeries, AgreesWithTheFullSeriesInsideEight) {
    for (double x = -8.0; x <= 8.0; x += 0.0001)
        ASSERT_NEAR(NormalCdfSeries(x), FullSeries(x), 1e-14) << "x = " << x;
    for (double x : {0.0, -0.0, 1e-300, -1e-12, 3.0e-8, 7.999999999, -7.999999999, 8.0, -8.0})
        EXPECT_NEAR(NormalCdfSeries(x), FullSeries(x), 1e-14) << "x = " << x;
    EXPECT_EQ(NormalCdfSeries(0.0), 0.5);
    EXPECT_TRUE(std::isnan(NormalCdfSeries(NAN)));
}

TEST(BivariateNormal, MatchesClosedForms) {
    // M(0, 0; rho) = 1/4 + asin(rho) / (2 pi); M(a, b; 0) = N(a) N(b). Drezner's four-point
    // quadrature is good to about 1e-5.
    for (double rho : {-0.9, -0.5, 0.0, 0.3, 0.8})
        EXPECT_NEAR(BivariateNormal(0.0, 0.0, rho), 0.25 + std::asin(rho) / (2.0 * M_PI), 1e-5) << rho;
    for (double a : {-2.0, -0.5, 0.7, 1.9})
        for (double b : {-1.5, 0.0, 0.4, 2.5})
            EXPECT_NEAR(BivariateNormal(a, b, 0.0), PricingReference::NormalCdf(a) * PricingReference::NormalCdf(b),
                        1e-5)
                << a << ", " << b;
}

TEST(BivariateNormal, MarginalsAddUp) {
    // M(a, b; rho) + M(a, -b; -rho) = N(a), through every branch of the method.
    for (double a : {-1.2, 0.0, 0.9})
        for (double b : {-0.8, 0.6})
            for (double rho : {-0.6, 0.4})
                EXPECT_NEAR(BivariateNormal(a, b, rho) + BivariateNormal(a, -b, -rho), PricingReference::NormalCdf(a),
                            2e-5);
}

TEST(BivariateNormal, NotANumberGivesSentinel) {
    EXPECT_EQ(BivariateNormal(NAN, 0.5, 0.2), -99.9);
    EXPECT_EQ(BivariateNormal(0.5, 0.5, NAN), -99.9);
}

// The skew spline: its values between and beyond the knots, and what degenerate knots do to the
// volatilities it gives the positions.
#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

#include "models/RiskChart/CubicSpline.h"
#include "models/RiskChart/FittedSkew.h"

namespace {

using namespace models::RiskChart;

const SkewStrikes STRIKES = {90, 95, 100, 105, 110};
const SkewVolatilities VOLS = {0.30, 0.27, 0.25, 0.24, 0.245};

// Worked by hand in fractions: second derivatives c0 = 0 (natural at the first knot), the three inner
// rows 5 c(i-1) + 20 c(i) + 5 c(i+1) = 6 (slope right - slope left), and at the last knot the last inner
// row's 5 c3 + 20 c4 = its right side; that gives c = (0, 273, 162, 333, 387) / 522500. Beyond the ends
// the first and the last intervals' polynomials carry on: 85 gives 0.33, 120 gives 13089 / 41800.
TEST(CubicSpline, ThroughASkew) {
    CubicSpline spline;
    buildSpline(spline, STRIKES.data(), VOLS.data(), 5);
    EXPECT_NEAR(evalSpline(spline, 92.5), 95031.0 / 334400, 1e-12);
    EXPECT_NEAR(evalSpline(spline, 97.5), 86509.0 / 334400, 1e-12);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_NEAR(evalSpline(spline, STRIKES[i]), VOLS[i], 1e-12) << i;
    EXPECT_NEAR(evalSpline(spline, 85.0), 0.33, 1e-12);
    EXPECT_NEAR(evalSpline(spline, 120.0), 13089.0 / 41800, 1e-12);

    // Rebuilt, the old knots go.
    const double line[] = {1.0, 3.0};
    buildSpline(spline, STRIKES.data(), line, 2);
    EXPECT_EQ(spline.knots.size(), 2u);
    EXPECT_DOUBLE_EQ(evalSpline(spline, 92.5), 2.0);
}

TEST(CubicSpline, FewerThanTwoKnotsEvaluateToNaN) {
    CubicSpline spline;
    EXPECT_TRUE(std::isnan(evalSpline(spline, 100.0)));
    buildSpline(spline, STRIKES.data(), VOLS.data(), 1);
    EXPECT_TRUE(spline.knots.empty());
    EXPECT_TRUE(std::isnan(evalSpline(spline, 100.0)));
}

VO::OptionPosition position(float strike, double expiration, bool put = false) {
    VO::OptionPosition p;
    p.strike = strike;
    p.expiration = expiration;
    p.isPut = put ? 1 : 0;
    p.volatility = 33.0f;
    return p;
}

TEST(SkewSpline, SetsEachPositionOfTheExpiration) {
    CubicSpline spline;
    buildSpline(spline, STRIKES.data(), VOLS.data(), 5);
    std::vector<VO::OptionPosition> positions = {position(85, 1.0), position(92.5f, 1.0, true), position(110, 1.0),
                                                 position(97.5f, 2.0)};
    std::ostringstream notes;
    applySkewSpline(positions, 1.0, STRIKES, VOLS, spline, notes);
    EXPECT_FLOAT_EQ(positions[0].volatility, 30.0f);
    EXPECT_FLOAT_EQ(positions[1].volatility, 28.418361f);
    EXPECT_FLOAT_EQ(positions[2].volatility, 24.5f);
    EXPECT_FLOAT_EQ(positions[3].volatility, 33.0f);  // another expiration
    EXPECT_EQ(notes.str(), "\n85 c => 33 -> 30\n92.5 p => 33 -> 28.4184\n110 c => 33 -> 24.5");
}

// Equal strikes divide by zero in the fit: between the ends nothing usable comes out, and the
// positions there keep their volatilities.
TEST(SkewSpline, EqualStrikesLeaveVolatilitiesAlone) {
    const SkewStrikes equal = {90, 100, 100, 100, 110};
    CubicSpline spline;
    buildSpline(spline, equal.data(), VOLS.data(), 5);
    std::vector<VO::OptionPosition> positions = {position(90, 1.0), position(95, 1.0), position(105, 1.0)};
    std::ostringstream notes;
    applySkewSpline(positions, 1.0, equal, VOLS, spline, notes);
    EXPECT_FLOAT_EQ(positions[0].volatility, 30.0f);
    EXPECT_FLOAT_EQ(positions[1].volatility, 33.0f);
    EXPECT_FLOAT_EQ(positions[2].volatility, 33.0f);
    for (const auto& p : positions)
        EXPECT_FALSE(std::isnan(p.volatility));
}

}  // namespace

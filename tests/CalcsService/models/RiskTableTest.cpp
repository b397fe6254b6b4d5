#include <atomic>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brkCalcsLib/pricing/ReferenceFormulas.h"
#include "models/Calculations.h"
#include "models/RequestStop.h"
#include "support/FakeCalcsBinding.h"

namespace {

using Packets::Incoming::GreeksByExpirationPacket;
using Packets::Incoming::RiskTablePacket;
using Packets::Outgoing::GreeksByExpirationResult;
using Packets::Outgoing::RiskTableResult;

constexpr double EVAL = 1.4e12;

VO::OptionPosition position(float strike, double expiration, float quantity, bool put, double timeToExpiry = 0.5) {
    VO::OptionPosition p;
    p.foreignId = 7;
    p.strike = strike;
    p.expiration = expiration;
    p.volatility = 20;
    p.quantity = quantity;
    p.isPut = put ? 1 : 0;
    p.interestRate = 0.05f;
    p.costOfCarry = 0.05f;
    p.timeToExpiry = timeToExpiry;
    p.tradePrice = 1.0f;
    return p;
}

// The greeks export's answers: vega is sigma, so the three volatility columns tell apart.
struct Seen {
    int greeks = 0;
    int times = 0;
    double S = 0;
    double T = 0;
    int style = 0;
    int european = -1;
    double pricedS = 0;
};
Seen g_seen;

void scriptedGreeks(int style, int, int, const double* S, const double*, const double*, const double* T,
                    const double* sigma, const double*, int, const std::vector<double>*, const std::vector<double>*,
                    double* vega, double* theta, double* rho, double* delta, double* gamma) {
    ++g_seen.greeks;
    g_seen.style = style;
    g_seen.S = *S;
    g_seen.T = *T;
    *vega = *sigma;
    *theta = -0.03;
    *rho = 0.04;
    *delta = 0.5;
    *gamma = 0.02;
}

// The price export: what it was asked, and the fake's usual answer of 1.5.
double recordedTheo(int, int european, int, int, const double* S, const double*, const double*, const double*,
                    const double*, const double*, const std::vector<double>*, const std::vector<double>*) {
    g_seen.european = european;
    g_seen.pricedS = *S;
    return 1.5;
}

// The price export as the generalised Black-Scholes formula (the positions here carry no dividend).
double blackScholesTheo(int, int, int, int type, const double* S, const double* X, const double* T, const double* r,
                        const double* b, const double* sigma, const std::vector<double>*, const std::vector<double>*) {
    return PricingReference::BlackScholes(type == 'c', *S, *X, *T, *r, *b, *sigma);
}

double countedTime(int64_t, const double*) {
    ++g_seen.times;
    return 0.25;
}

struct PortfolioTest : ::testing::Test {
    FakeCalcsHooksScope fake;
    Calculations calculations{FakeCalcsDll()};
    void SetUp() override {
        g_seen = Seen{};
        fake.hooks.calcGreeks = &scriptedGreeks;
        fake.hooks.weightedTime = &countedTime;
    }
};

auto fields(const VO::RiskTableCell& c) { return std::make_tuple(c.delta, c.vega, c.gamma, c.theta, c.rho, c.value); }

struct RiskTable : PortfolioTest {
    RiskTablePacket request;
    RiskTableResult result;
    RiskTable() {
        request.symbol = "IBM";
        request.evaluationTime = EVAL;
        request.referenceTime = EVAL;
        request.currentPrice = 100;
        request.basePrice = 100;
        request.keepTradePrices = 1;
        request.slidePrices = {90, 100, 110};
    }
};

TEST_F(RiskTable, SlidesPriceInCentsExceptTheExactMiddleWithoutABasePrice) {
    request.currentPrice = 0;
    request.stockQuantity = 1;  // each value is then the slide price the table used
    request.slidePrices = {12.125f, 12.12f, 100.005f};
    calculations.calcRiskTable(request, result);
    ASSERT_EQ(result.atVolatility.size(), 3u);
    EXPECT_DOUBLE_EQ(result.atVolatility[0].value, 12.13);
    EXPECT_DOUBLE_EQ(result.atVolatility[1].value, 12.12);
    EXPECT_DOUBLE_EQ(result.atVolatility[2].value, 100.00);
    EXPECT_EQ(result.middlePrice, 12.12f);

    request.basePrice = 0;
    request.slidePrices = {12.125f, 12.125f};
    calculations.calcRiskTable(request, result);
    EXPECT_DOUBLE_EQ(result.atVolatility[0].value, 12.13);
    EXPECT_EQ(result.atVolatility[1].value, 12.125);
    EXPECT_EQ(result.volatilityUp[1].delta, 1.0);

    request.slidePrices.clear();
    calculations.calcRiskTable(request, result);
    EXPECT_TRUE(result.volatilityDown.empty());
    EXPECT_EQ(result.middlePrice, 0.0f);
}

TEST_F(RiskTable, GreeksAtTheShiftedVolatilitiesAndCopiesOfColumnAWithoutAShift) {
    request.positions = {position(100, 30, 2, true), position(95, 60, 1, false)};
    request.volatilityShift = 0.1f;
    calculations.calcRiskTable(request, result);
    EXPECT_EQ(g_seen.greeks, 3 * 2 * 3);
    const VO::RiskTableCell& a = result.atVolatility[1];
    EXPECT_DOUBLE_EQ(a.delta, 2 * 0.5 * -1 + 0.5);
    EXPECT_DOUBLE_EQ(a.vega, 3 * 0.2);
    EXPECT_DOUBLE_EQ(a.theta, 3 * -0.03);
    EXPECT_DOUBLE_EQ(a.gamma, 3 * 0.02);
    EXPECT_DOUBLE_EQ(a.rho, 3 * 0.04);
    EXPECT_NEAR(result.volatilityDown[1].vega, 3 * 0.2 * (1.0 - 0.1f), 1e-12);
    EXPECT_NEAR(result.volatilityUp[1].vega, 3 * 0.2 * (1.0 + 0.1f), 1e-12);

    g_seen.greeks = 0;
    request.volatilityShift = 0;
    calculations.calcRiskTable(request, result);
    EXPECT_EQ(g_seen.greeks, 3 * 2);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(fields(result.volatilityDown[i]), fields(result.atVolatility[i]));
        EXPECT_EQ(fields(result.volatilityUp[i]), fields(result.atVolatility[i]));
    }
}

// Each column's value is the portfolio's profit at its own volatility plus the stock's at the slide:
// A at the positions' 20%, B (down) at 20% x (1 - 0.25), C (up) at 20% x (1 + 0.25).
TEST_F(RiskTable, EachColumnIsValuedAtItsOwnVolatility) {
    fake.hooks.calcTheoPrice = &blackScholesTheo;
    request.volatilityShift = 0.25f;
    request.stockQuantity = 30;
    // Half a year left at the reference time, r = b = 5% (as f32), traded at 1.
    request.positions = {position(100, 30, 2, false), position(95, 30, -1, true)};
    calculations.calcRiskTable(request, result);

    const double r = 0.05f, T = 0.5;
    struct Column {
        const char* name;
        const std::vector<VO::RiskTableCell>& cells;
        double sigma;
    };
    const Column columns[] = {
        {"A", result.atVolatility, 0.20}, {"B (down)", result.volatilityDown, 0.15}, {"C (up)", result.volatilityUp, 0.25}};
    for (const Column& column : columns) {
        ASSERT_EQ(column.cells.size(), request.slidePrices.size()) << column.name;
        for (std::size_t i = 0; i < column.cells.size(); ++i) {
            const double S = request.slidePrices[i];
            const double call = PricingReference::BlackScholes(true, S, 100, T, r, r, column.sigma);
            const double put = PricingReference::BlackScholes(false, S, 95, T, r, r, column.sigma);
            const double expected = 100 * (2 * (call - 1) - (put - 1)) + 30 * (S - 100);
            EXPECT_NEAR(column.cells[i].value, expected, 1e-9) << column.name << " at slide " << S;
        }
    }
}

TEST_F(RiskTable, AnExpiredOptionInTheMoneyAtTheBaseAddsOnlyItsShares) {
    request.volatilityShift = 0.1f;
    // In the money at the base price (100) counts, at the slide price does not; at the strike no exercise.
    request.positions = {position(95, 30, 2, false, 0), position(105, 30, 1, false, 0), position(100, 30, 1, true, 0),
                         position(105, 30, 3, true, 0)};
    calculations.calcRiskTable(request, result);
    EXPECT_EQ(g_seen.greeks, 0);
    for (const auto* column : {&result.atVolatility, &result.volatilityDown, &result.volatilityUp})
        EXPECT_EQ(fields(column->front()), fields(VO::RiskTableCell{200.0 - 300.0, 0, 0, 0, 0, column->front().value}));
}

TEST_F(RiskTable, AsksTheTimesOncePerPositionAndNotAtTheReferenceTime) {
    request.positions = {position(100, 30, 1, false, 0.5), position(100, 60, 1, false, 0.7)};
    request.slidePrices.assign(9, 100.0f);
    calculations.calcRiskTable(request, result);
    EXPECT_EQ(g_seen.times, 0);
    EXPECT_EQ(g_seen.T, 0.7);

    request.referenceTime = EVAL - 1;
    calculations.calcRiskTable(request, result);
    EXPECT_EQ(g_seen.times, 2);
    EXPECT_EQ(g_seen.T, 0.25);
}

TEST_F(RiskTable, AnIndexMovesWithItsForwardOnlyWhenItHasTimeLeft) {
    request.symbol = "^SPX";
    request.referenceTime = EVAL - 1;  // the library's time: 0.25 years
    request.slidePrices = {110};
    VO::OptionPosition p = position(100, 30, 1, false, 0.5);
    p.indexForward = 104;
    request.positions = {p};
    calculations.calcRiskTable(request, result);
    EXPECT_DOUBLE_EQ(g_seen.S, 110 + (104 - 100) / 0.5 * 0.25);

    request.positions[0].timeToExpiry = 0;
    calculations.calcRiskTable(request, result);
    EXPECT_EQ(g_seen.S, 110.0);
}

TEST_F(RiskTable, RefusesMoreThanTenThousandSlides) {
    request.positions = {position(100, 30, 1, false)};
    request.slidePrices.assign(Calculations::MAX_RISK_TABLE_SLIDES, 100.0f);
    calculations.calcRiskTable(request, result);
    request.slidePrices.push_back(100.0f);
    g_seen.greeks = 0;
    EXPECT_THROW(calculations.calcRiskTable(request, result), std::invalid_argument);
    EXPECT_EQ(g_seen.greeks, 0);
}

// Slides times positions, three times with a volatility shift, make at most 3,000,000 valuations.
TEST_F(RiskTable, RefusesMoreThanThreeMillionPositionValuations) {
    request.slidePrices.assign(Calculations::MAX_RISK_TABLE_SLIDES, 100.0f);
    request.positions.assign(300, position(100, 30, 0, false));  // quantity 0: no time, nothing asked
    EXPECT_NO_THROW(calculations.calcRiskTable(request, result));
    request.positions.push_back(position(100, 30, 0, false));
    EXPECT_THROW(calculations.calcRiskTable(request, result), std::invalid_argument);
    request.volatilityShift = 0.1f;
    request.positions.resize(100);
    EXPECT_NO_THROW(calculations.calcRiskTable(request, result));
    request.positions.resize(101);
    EXPECT_THROW(calculations.calcRiskTable(request, result), std::invalid_argument);
}

// The session's stop flag, set by the library's third greeks call as a stop arriving mid-table would.
std::atomic<int> g_stopping{0};
void greeksThenStop(int style, int model, int european, const double* S, const double* X, const double* r,
                    const double* T, const double* sigma, const double* b, int delivery,
                    const std::vector<double>* amounts, const std::vector<double>* times, double* vega, double* theta,
                    double* rho, double* delta, double* gamma) {
    scriptedGreeks(style, model, european, S, X, r, T, sigma, b, delivery, amounts, times, vega, theta, rho, delta,
                   gamma);
    if (g_seen.greeks == 3)
        g_stopping = 1;
}

// A table gives way at the next position once its session stops, and at once when it had stopped
// before the table began.
TEST_F(RiskTable, GivesWayOnceItsSessionStops) {
    request.positions = {position(100, 30, 1, false), position(110, 30, 1, false)};
    request.slidePrices.assign(100, 100.0f);
    fake.hooks.calcGreeks = &greeksThenStop;
    g_stopping = 0;
    const models::StopScope scope(&g_stopping);
    EXPECT_THROW(calculations.calcRiskTable(request, result), models::RequestStopped);
    EXPECT_EQ(g_seen.greeks, 3);

    g_seen.greeks = 0;
    EXPECT_THROW(calculations.calcRiskTable(request, result), models::RequestStopped);
    EXPECT_EQ(g_seen.greeks, 0);
}

struct GreeksByExpiration : PortfolioTest {
    GreeksByExpirationPacket request;
    GreeksByExpirationResult result;
    GreeksByExpiration() {
        request.symbol = "IBM";
        request.evaluationTime = EVAL;
        request.referenceTime = EVAL;
        request.currentPrice = 100;
        request.basePrice = 102;
    }
    std::vector<double> expirations() const {
        std::vector<double> out;
        for (const auto& e : result.entries)
            out.push_back(e.expiration);
        return out;
    }
};

TEST_F(GreeksByExpiration, OneRecordPerExpirationAfterZeroInAscendingOrder) {
    request.positions = {position(100, 60, 1, false), position(100, 30, 2, false), position(100, 0, 5, false),
                         position(110, 30, 1, true)};
    calculations.calcGreeksByExpiration(request, result);
    ASSERT_EQ(expirations(), (std::vector<double>{30, 60}));
    const auto& e30 = result.entries[0];
    EXPECT_DOUBLE_EQ(e30.delta, 2 * 0.5 - 1 * 0.5);
    EXPECT_DOUBLE_EQ(e30.dollarDelta, e30.delta * 102);
    EXPECT_DOUBLE_EQ(e30.vega, 3 * 0.2);
    EXPECT_EQ(e30.callQuantity, 2.0);
    EXPECT_EQ(e30.putQuantity, 1.0);
    // The fake's price is 1.5: the call below the base and the put above it count beyond intrinsic.
    EXPECT_DOUBLE_EQ(e30.timeValue, 100 * (2 * (1.5 - 102 + 100) + (1.5 - 110 + 102)));
    EXPECT_DOUBLE_EQ(result.entries[1].timeValue, 100 * (1.5 - 102 + 100));
}

TEST_F(GreeksByExpiration, ANaNExpirationNeitherSplitsAGroupNorIsSent) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    request.positions = {position(100, 30, 1, false), position(100, nan, 1, false), position(100, 60, 1, false),
                         position(100, 30, 1, false)};
    calculations.calcGreeksByExpiration(request, result);
    ASSERT_EQ(expirations(), (std::vector<double>{30, 60}));
    EXPECT_EQ(result.entries[0].callQuantity, 2.0);
}

TEST_F(GreeksByExpiration, AnExpiredOptionAddsOnlyItsSharesWhenInTheMoneyAtTheBase) {
    // The smallest time of an expiration is everyone's: the last call expires with the others.
    request.positions = {position(100, 30, 2, false, 0), position(105, 30, 1, true, 0), position(110, 30, 1, false, 0),
                         position(101, 30, 4, false, 0.5)};
    calculations.calcGreeksByExpiration(request, result);
    ASSERT_EQ(result.entries.size(), 1u);
    const auto& e = result.entries[0];
    EXPECT_EQ(e.delta, 200 - 100 + 400);
    EXPECT_EQ(e.dollarDelta, 500 * 102);
    EXPECT_EQ(e.callQuantity + e.putQuantity + e.vega + e.gamma + e.theta + e.rho + e.timeValue, 0.0);
    EXPECT_EQ(g_seen.greeks, 0);
}

// An index option is priced European (flag 1, greeks style 'e') at the base price moved by its
// forward's gap to the current price, scaled by the share of its stored time left: base 102, current
// 100, forward 104, 0.5 years stored and 0.25 left (the fake's time) give 102 + 4 / 0.5 x 0.25 = 104;
// forward 94 gives 99. Its call at 100 is in the money at the base (whatever the moved price): the time
// value is the price 1.5 less the intrinsic value at the moved price. The dollar delta stays at the
// base: 0.5 x 102.
TEST_F(GreeksByExpiration, IndexOptionsArePricedEuropeanAtTheirForward) {
    fake.hooks.calcTheoPrice = &recordedTheo;
    struct Case {
        const char* symbol;
        float forward;
        double storedTime;
        int european;
        char style;
        double S;
    };
    const Case cases[] = {
        {"IBM", 104, 0.5, 0, 'a', 102},
        {"^SPX", 104, 0.5, 1, 'e', 104},
        {"^SPX", 94, 0.5, 1, 'e', 99},
        {"^SPX", 104, 0.0, 1, 'e', 102},  // no stored time to scale the gap by
    };
    request.referenceTime = EVAL - 1;
    for (const Case& c : cases) {
        VO::OptionPosition p = position(100, 30, 1, false, c.storedTime);
        p.indexForward = c.forward;
        request.symbol = c.symbol;
        request.positions = {p};
        g_seen = Seen{};
        GreeksByExpirationResult fresh;
        calculations.calcGreeksByExpiration(request, fresh);
        ASSERT_EQ(fresh.entries.size(), 1u) << c.symbol;
        const auto& e = fresh.entries[0];
        EXPECT_EQ(g_seen.times, 1) << c.symbol;
        EXPECT_EQ(g_seen.european, c.european) << c.symbol;
        EXPECT_EQ(g_seen.style, c.style) << c.symbol;
        EXPECT_DOUBLE_EQ(g_seen.pricedS, c.S) << c.symbol << " priced";
        EXPECT_DOUBLE_EQ(g_seen.S, c.S) << c.symbol << " greeks";
        EXPECT_DOUBLE_EQ(e.timeValue, 100 * (1.5 - (c.S - 100))) << c.symbol << ", stored " << c.storedTime;
        EXPECT_DOUBLE_EQ(e.dollarDelta, 0.5 * 102) << c.symbol;
    }
}

}  // namespace

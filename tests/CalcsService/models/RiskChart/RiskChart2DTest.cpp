// The risk chart against a scripted fake library: the price axis, expired and exercised options,
// the greeks pass (its counts, signs and dividends), volatility shifts and strike tables, the fitted
// skew, and volatility mode 1 with both passes running.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "models/RiskChart/ChartPass.h"
#include "models/RiskChart/FittedSkew.h"
#include "models/RiskChart/GreeksPass.h"
#include "models/RiskChart/RiskChart2D.h"
#include "support/FakeCalcsBinding.h"

namespace {

using namespace models::RiskChart;
using namespace Packets::Outgoing;
using Packets::Incoming::RiskChart2DInputsPacket;
using VO::RiskChart::PerStockInfo;

constexpr double NOW_MS = 1700000000000.0;

// The process's binding, which the chart uses, bound to the fake library.
FakeCalcsHooks& fakeLibrary() {
    [[maybe_unused]] static const bool loaded = CBrkCalcDll::Instance().Load("fakecalcscomplete.dll");
    return FakeCalcsCalled().hooks;
}

// Prices are 100 x sigma; greeks report sigma as vega and 0.5 as delta.
double theoOfSigma(int, int, int, int, const double*, const double*, const double*, const double*, const double*,
                   const double* sigma, const std::vector<double>*, const std::vector<double>*) {
    return 100.0 * *sigma;
}
void greeksOfSigma(int, int, int, const double*, const double*, const double*, const double*, const double* sigma,
                   const double*, int, const std::vector<double>*, const std::vector<double>*, double* vega,
                   double* theta, double* rho, double* delta, double* gamma) {
    *vega = *sigma;
    *theta = -1.0;
    *rho = 2.0;
    *delta = 0.5;
    *gamma = 0.25;
}
double unknownOption(int64_t, const double*) { return 0.0; }
double halfAYear(int64_t, const double*) { return 0.5; }

VO::OptionPosition position(bool put, float strike, float quantity, float tradePrice, double timeToExpiry,
                            double expiration = 45000.0) {
    VO::OptionPosition p;
    p.isPut = put ? 1 : 0;
    p.strike = strike;
    p.quantity = quantity;
    p.tradePrice = tradePrice;
    p.timeToExpiry = timeToExpiry;
    p.expiration = expiration;
    p.volatility = 20.0f;
    return p;
}

std::shared_ptr<PerStockInfo> stock(const std::string& symbol, std::int32_t shares,
                                    std::vector<VO::OptionPosition> positions) {
    auto s = std::make_shared<PerStockInfo>();
    s->symbol = symbol;
    s->currentPrice = 100.0;
    s->stockQty = shares;
    s->keepTradePrices = 1;
    s->positions = std::move(positions);
    return s;
}

RiskChart2DInputsPacket request(std::uint32_t steps, std::vector<std::shared_ptr<PerStockInfo>> stocks) {
    RiskChart2DInputsPacket inputs;
    inputs.steps = steps;
    inputs.evalTime = inputs.refTime = NOW_MS;
    inputs.stocks = std::move(stocks);
    inputs.volShifts[0.0] = 0.0;
    return inputs;
}

TEST(RiskChartAxis, SpacedByTwicePctPerStepAndClampedAtZero) {
    PerStockInfo s;
    EXPECT_EQ(priceAxis(s, 100.0, 10, 11), (std::vector<double>{90, 92, 94, 96, 98, 100, 102, 104, 106, 108, 110}));
    s.pctPerStep = 20.0;
    const std::vector<double> wide = priceAxis(s, 100.0, 10, 11);
    const std::vector<double> expected = {0, 0, 0, 20, 60, 100, 140, 180, 220, 260, 300};
    ASSERT_EQ(wide.size(), expected.size());
    for (std::size_t i = 0; i < wide.size(); ++i)
        EXPECT_NEAR(wide[i], expected[i], 1e-9) << i;
    EXPECT_EQ(priceAxis(s, 100.0, 0, 1), std::vector<double>{100.0});
    s.prices = {120.0, 80.0};
    EXPECT_EQ(priceAxis(s, 100.0, 10, 11), (std::vector<double>{120.0, 80.0}));
}

// Expired options are exercised when in the money at the base price and valued as shares at each
// point; a point at 0.0 holds only the stock's terms.
TEST(RiskChart2D, ExpiredOptionsBecomeSharesAtTheirStrikes) {
    FakeCalcsHooksScope scope;
    fakeLibrary().weightedTime = &unknownOption;
    auto single = stock("A", 10, {position(false, 95, 1, 2, 0)});
    single->prices = {120.0, 0.0};
    // Both exercised: no net shares, but 2000 of strike difference.
    auto strangle = stock("B", 0, {position(false, 90, 1, 0, 0), position(true, 110, 1, 0, 0)});
    strangle->prices = {120.0, 0.0};
    RiskChart2DInputsPacket inputs = request(2, {single, strangle});
    inputs.evalTime = NOW_MS + 86400000.0;  // the library does not know the options: expired there too
    RiskChart2DResult result;
    calcRiskChart2D(inputs, result);

    ASSERT_EQ(result.stockCurves.size(), 2u);
    EXPECT_EQ(result.stockCurves[0].curves[0], (std::vector<double>{2300 + 200, -1000, 0}));
    EXPECT_EQ(result.stockCurves[1].curves[0], (std::vector<double>{2000, 0, 0}));
    EXPECT_EQ(result.curves[nowValue], (std::vector<double>{4500, -1000, 0}));
    EXPECT_EQ(result.curves[nowDelta], (std::vector<double>{100 + 10, 10, 0}));
    EXPECT_EQ(result.curves[evalDelta], result.curves[nowDelta]);

    // The greeks pass: shares 10 with the exercised call's 100; the strangle's deltas cancel.
    EXPECT_EQ(result.greeks.at(GREEKS_TOTAL_KEY).delta, 110.0);
    EXPECT_EQ(result.greeks.at(GREEKS_STOCK_KEY).delta, 10.0);
    EXPECT_EQ(result.greeks.at(45000.0).delta, 100.0);
    EXPECT_EQ(result.greeks.at(45000.0).contracts, 0.0);

    ASSERT_EQ(result.strikeLists.size(), 2u);
    EXPECT_EQ(result.strikeLists[1].strikes, (StrikeSet{90.0, 110.0}));
    ASSERT_EQ(result.strikeTables[0].rows.size(), 1u);
    EXPECT_EQ(result.strikeTables[0].rows[0][nowValue], -200 + (95 * 100 - 9500) + (95 - 100) * 10);
    // Each strike's row holds that strike alone: the strangle's 2000 at both, never carried over.
    ASSERT_EQ(result.strikeTables[1].rows.size(), 2u);
    for (const StrikeRow& row : result.strikeTables[1].rows) {
        EXPECT_EQ(row[nowValue], 2000.0);
        EXPECT_EQ(row[evalValue], 2000.0);
        EXPECT_EQ(row[nowDelta], 0.0);
    }
}

// An option alive today and expired by the evaluation date: today it is valued as an option, at the
// evaluation date (in the totals and in its underlying's own curve) as the shares it was exercised into.
TEST(RiskChart2D, OptionExpiringBeforeTheEvaluationDateIsExercisedThereOnly) {
    FakeCalcsHooksScope scope;
    fakeLibrary().weightedTime = &unknownOption;  // 0 years left at the evaluation date
    fakeLibrary().calcTheoPrice = &theoOfSigma;   // 20 at the position's 20%
    fakeLibrary().calcGreeks = &greeksOfSigma;
    auto call = stock("C", 0, {position(false, 90, 1, 2, 0.5)});
    call->prices = {120.0};
    RiskChart2DInputsPacket inputs = request(0, {call});
    inputs.evalTime = NOW_MS + 86400000.0;
    RiskChart2DResult result;
    calcRiskChart2D(inputs, result);

    EXPECT_EQ(result.curves[nowValue], std::vector<double>{(20 - 2) * 100.0});
    const double exercised = 120 * 100 - 90 * 100 - 2 * 100;  // shares at 120 bought at 90, less the premium
    EXPECT_EQ(result.curves[evalValue], std::vector<double>{exercised});
    ASSERT_EQ(result.stockCurves.size(), 1u);
    EXPECT_EQ(result.stockCurves[0].curves[0], std::vector<double>{exercised});
    EXPECT_EQ(result.curves[evalDelta], std::vector<double>{100.0});
}

TEST(RiskChart2D, WithoutUnderlyingsEverythingIsZero) {
    RiskChart2DInputsPacket inputs = request(10, {});
    RiskChart2DResult result;
    calcRiskChart2D(inputs, result);
    for (const auto& curve : result.curves)
        EXPECT_EQ(curve, std::vector<double>(11, 0.0));
    ASSERT_EQ(result.greeks.size(), 1u);
    EXPECT_EQ(result.greeks.at(GREEKS_TOTAL_KEY).callContracts, 0);
    EXPECT_EQ(result.greeks.at(GREEKS_TOTAL_KEY).delta, 0.0);
    EXPECT_TRUE(result.stockCurves.empty() && result.strikeLists.empty() && result.strikeTables.empty());
    std::vector<std::uint8_t> reply;
    serializeRiskChart2DResult(result, reply, std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(reply.size(), 28u + 4 + 192 * 11 + 4 + 80 + 12);
}

TEST(RiskChartGreeks, StockAndContractCounts) {
    FakeCalcsHooksScope scope;
    fakeLibrary().weightedTime = &halfAYear;
    fakeLibrary().calcGreeks = &greeksOfSigma;
    fakeLibrary().calcTheoPrice = &theoOfSigma;
    const float huge = 3e9f;
    auto s = stock("A", 150, {position(false, 100, 2.7f, 0, 0.5), position(true, 100, -2.7f, 0, 0.5),
                              position(false, 100, huge, 0, 0.5, 47000.0), position(false, 100, huge, 0, 0.5, 47000.0),
                              position(false, 100, 1, 0, 0.5, std::numeric_limits<double>::quiet_NaN())});
    GreeksByExpiration greeks;
    greeksStock(*s, NOW_MS, 0.0, greeks);

    const GREEKS_BY_EXP& shares = greeks.at(GREEKS_STOCK_KEY);
    EXPECT_EQ(shares.delta, 150.0);
    EXPECT_EQ(shares.dollarDelta, 15000.0);
    EXPECT_EQ(shares.callContracts, 1);
    EXPECT_EQ(shares.putContracts, -1);

    const GREEKS_BY_EXP& options = greeks.at(45000.0);
    EXPECT_EQ(options.callContracts, 2);
    EXPECT_EQ(options.putContracts, -2);
    EXPECT_FLOAT_EQ(options.contracts, 0.0);
    EXPECT_DOUBLE_EQ(options.delta, 2.7f * 0.5 + 2.7f * 0.5);   // the short put's delta counts positive
    EXPECT_DOUBLE_EQ(options.vega, 0.0);
    // At the money: all of theo 20 is time value.
    EXPECT_DOUBLE_EQ(options.timeValue, 0.0);
    EXPECT_EQ(greeks.at(47000.0).callContracts, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(greeks.size(), 3u);  // the NaN expiration is left out

    GREEKS_BY_EXP total;
    sumGreeksByExpiration(greeks.begin(), greeks.end(), total);
    EXPECT_EQ(total.callContracts, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(total.putContracts, -3);
    EXPECT_DOUBLE_EQ(total.delta, shares.delta + options.delta + greeks.at(47000.0).delta);

    GreeksByExpiration unknown;
    greeksPosition(position(false, 100, std::numeric_limits<float>::quiet_NaN(), 0, 0.5), NOW_MS, 100.0, false, 1.0,
                   unknown);
    EXPECT_EQ(unknown.at(45000.0).callContracts, 0);
}

// What the greeks pass gave the library as the dividend, for the price and for the greeks.
struct PassedDividend {
    std::vector<double> amounts, times;
};
PassedDividend g_pricedDividend, g_greeksDividend;
double g_timeLeft = 0.0;

double scriptedTimeLeft(int64_t, const double*) { return g_timeLeft; }
double theoSeeingDividend(int, int, int, int, const double*, const double*, const double*, const double*,
                          const double*, const double*, const std::vector<double>* amounts,
                          const std::vector<double>* times) {
    g_pricedDividend = {*amounts, *times};
    return 1.0;
}
// Delta 0.6 as a size, as the library gives it, whatever the type.
void greeksSeeingDividend(int, int, int, const double*, const double*, const double*, const double*, const double*,
                          const double*, int, const std::vector<double>* amounts, const std::vector<double>* times,
                          double* vega, double* theta, double* rho, double* delta, double* gamma) {
    g_greeksDividend = {*amounts, *times};
    *vega = *theta = *rho = *gamma = 0.0;
    *delta = 0.6;
}

// Per position at the base price 100, strike 90, priced 1.0: delta and dollar delta take the
// position's sign (a put's is negative); the time value is the price less the intrinsic value for a
// call in the money at the base, the whole price otherwise; the dividend is passed at its time moved
// to the evaluation date, that is earlier by the stored time less the time left there, and one paid by
// then (or without a time) is not passed. An index call with forward 64 is priced at
// 100 + (64 - 100) / 0.75 x 0.25 = 88: in the money at the base, its intrinsic value 88 - 90 is taken
// at that price; its dollar delta stays at the base.
TEST(RiskChartGreeks, SignsTimeValueAndTheDividendAtTheEvaluationDate) {
    FakeCalcsHooksScope scope;
    fakeLibrary().weightedTime = &scriptedTimeLeft;
    fakeLibrary().calcTheoPrice = &theoSeeingDividend;
    fakeLibrary().calcGreeks = &greeksSeeingDividend;
    struct Case {
        const char* name;
        bool put, isIndex;
        float quantity;
        double storedTime, timeLeft, dividendTime;
        std::vector<double> passedTimes;
        double delta;  // sign x quantity x 0.6; the dollar delta is 100 times it
        double timeValue;
    };
    const Case cases[] = {
        {"long call, dividend ahead", false, false, 2, 0.75, 0.25, 0.625, {0.125}, 1.2, 100 * 2 * (1.0 - 10)},
        {"long put, dividend paid", true, false, 2, 0.75, 0.25, 0.375, {}, -1.2, 100 * 2 * 1.0},
        {"short put, dividend on the date", true, false, -3, 0.75, 0.25, 0.5, {}, 1.8, 100 * -3 * 1.0},
        {"short call, later date", false, false, -1, 0.25, 0.5, 0.125, {0.375}, -0.6, 100 * -1 * (1.0 - 10)},
        {"short call, no dividend time", false, false, -1, 0.25, 0.5, 0.0, {}, -0.6, 100 * -1 * (1.0 - 10)},
        {"index call, forward 64", false, true, 2, 0.75, 0.25, 0.625, {0.125}, 1.2, 100 * 2 * (1.0 - (88 - 90))},
    };
    for (const Case& c : cases) {
        VO::OptionPosition p = position(c.put, 90, c.quantity, 0, c.storedTime);
        p.dividendAmount = 1.25f;
        p.dividendTime = c.dividendTime;
        p.indexForward = 64;
        g_timeLeft = c.timeLeft;
        GreeksByExpiration greeks;
        ASSERT_TRUE(greeksPosition(p, NOW_MS, 100.0, c.isIndex, 1.0, greeks)) << c.name;
        const GREEKS_BY_EXP& entry = greeks.at(p.expiration);
        EXPECT_DOUBLE_EQ(entry.delta, c.delta) << c.name;
        EXPECT_DOUBLE_EQ(entry.dollarDelta, 100 * c.delta) << c.name;
        EXPECT_DOUBLE_EQ(entry.timeValue, c.timeValue) << c.name;
        const std::vector<double> amounts(c.passedTimes.size(), 1.25);
        EXPECT_EQ(g_pricedDividend.times, c.passedTimes) << c.name;
        EXPECT_EQ(g_pricedDividend.amounts, amounts) << c.name;
        EXPECT_EQ(g_greeksDividend.times, c.passedTimes) << c.name;
        EXPECT_EQ(g_greeksDividend.amounts, amounts) << c.name;
    }
}

// With shifts stored as 0 (useVolShifts 0) the up and down values equal eval in the strike tables
// and are zeroed in the main curves; a shift moves the up and down values and greeks.
TEST(RiskChart2D, VolatilityShiftsAndStrikeTables) {
    FakeCalcsHooksScope scope;
    fakeLibrary().calcGreeks = &greeksOfSigma;
    fakeLibrary().calcTheoPrice = &theoOfSigma;
    auto makeInputs = [](double shift, std::uint8_t useVolShifts) {
        RiskChart2DInputsPacket inputs = request(0, {stock("A", 0, {position(false, 100, 2, 15, 0.5)})});
        inputs.volShifts[45000.0] = shift;
        inputs.useVolShifts = useVolShifts;
        return inputs;
    };
    RiskChart2DInputsPacket unshifted = makeInputs(0.0, 0);
    RiskChart2DResult plain;
    calcRiskChart2D(unshifted, plain);
    EXPECT_EQ(plain.curves[evalValue], std::vector<double>{1000.0});  // 2 x (20 - 15) x 100
    EXPECT_EQ(plain.curves[upValue], std::vector<double>{0.0});
    EXPECT_EQ(plain.curves[upVega], std::vector<double>{0.0});
    ASSERT_EQ(plain.strikeTables.size(), 1u);
    const StrikeRow& row = plain.strikeTables[0].rows.at(0);
    EXPECT_EQ(row[upValue], row[evalValue]);
    EXPECT_EQ(row[downValue], 1000.0);

    RiskChart2DInputsPacket shifted = makeInputs(0.5, 1);
    RiskChart2DResult moved;
    calcRiskChart2D(shifted, moved);
    EXPECT_DOUBLE_EQ(moved.curves[upValue][0], 2 * (30 - 15) * 100.0);
    EXPECT_DOUBLE_EQ(moved.curves[downValue][0], 2 * (10 - 15) * 100.0);
    EXPECT_DOUBLE_EQ(moved.curves[upVega][0], 2 * 0.3);
    EXPECT_DOUBLE_EQ(moved.curves[downVega][0], 2 * 0.1);
    EXPECT_DOUBLE_EQ(moved.curves[evalVega][0], 2 * 0.2);
    EXPECT_DOUBLE_EQ(moved.curves[nowDelta][0], 2 * 0.5);
}

// What the fitted skew asked the library's implied volatility solver, point by point.
struct IvRequest {
    int type, model;
    double S, X, T, r, b, price, guess;
    int steps;
    std::vector<double> amounts, times;
};
std::vector<IvRequest> g_ivRequests;

// Solves to 0.30 - 0.005 per strike above 90, except at 90, where it finds nothing and leaves the
// volatility as it was given.
int solveExceptAt90(double* volatility, int type, const std::vector<double>* amounts, const std::vector<double>* times,
                    double S, double X, double T, double r, double b, double price, int model, double guess, int steps,
                    int) {
    g_ivRequests.push_back({type, model, S, X, T, r, b, price, guess, steps, *amounts, *times});
    if (X == 90.0)
        return -1;
    *volatility = 0.30 - 0.005 * (X - 90.0);
    return 0;
}

// The five points around the middle strike 100: at or below it a point is solved as a put from its
// put prices' mean with the library's MaxBSBJ model (4), above it as a call from its call prices' mean
// with the representative's model; every solve takes the underlying's price and the representative's
// time, rates and one dividend. A solve that finds nothing counts as 2%: the positions at or below the
// first strike get 2.00%, those at or above the last 100 x 0.20, one at the middle knot 100 x 0.25.
TEST(FittedSkew, PutsUpToTheMiddleStrikeAndTwoPercentWhereNothingIsFound) {
    FakeCalcsHooksScope scope;
    fakeLibrary().globalCalcIV = &solveExceptAt90;
    g_ivRequests.clear();
    struct Point {
        double strike, call1, call2, put1, put2;
        int type, model;
        double price;
    };
    const Point points[] = {
        {90, 11.0, 11.5, 0.5, 0.75, 'p', 4, 0.625},
        {95, 7.0, 7.5, 1.0, 1.5, 'p', 4, 1.25},
        {100, 3.0, 3.5, 2.0, 2.25, 'p', 4, 2.125},
        {105, 1.0, 1.25, 5.0, 5.5, 'c', 2, 1.125},
        {110, 0.25, 0.5, 9.0, 9.5, 'c', 2, 0.375},
    };
    VO::OptionPosition rep = position(false, 85, 1, 0, 0.4, 45000.0);
    rep.pricingModel = 2;
    rep.interestRate = 0.03f;
    rep.costOfCarry = 0.01f;
    rep.dividendAmount = 0.5f;
    rep.dividendTime = 0.2;
    auto s = stock("A", 0, {rep, position(true, 90, 1, 0, 0.4), position(true, 100, 1, 0, 0.4),
                            position(false, 112, 1, 0, 0.4)});
    s->currentPrice = 101.0;
    for (std::size_t i = 0; i < 5; ++i)
        s->curves[45000.0][i] = {points[i].call1, points[i].call2, points[i].strike, points[i].put1, points[i].put2};
    calcFittedSkewSpline(*s);

    ASSERT_EQ(g_ivRequests.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const IvRequest& asked = g_ivRequests[i];
        const Point& expected = points[i];
        EXPECT_EQ(asked.X, expected.strike) << i;
        EXPECT_EQ(asked.type, expected.type) << "strike " << expected.strike;
        EXPECT_EQ(asked.model, expected.model) << "strike " << expected.strike;
        EXPECT_EQ(asked.price, expected.price) << "strike " << expected.strike;
        EXPECT_EQ(asked.S, 101.0) << i;
        EXPECT_EQ(asked.T, 0.4) << i;
        EXPECT_EQ(asked.r, double{0.03f}) << i;
        EXPECT_EQ(asked.b, double{0.01f}) << i;
        EXPECT_EQ(asked.guess, 0.0) << i;
        EXPECT_EQ(asked.steps, 100) << i;
        EXPECT_EQ(asked.amounts, std::vector<double>{0.5}) << i;
        EXPECT_EQ(asked.times, std::vector<double>{0.2}) << i;
    }
    const float fitted[] = {2.0f, 2.0f, 25.0f, 20.0f};
    ASSERT_EQ(s->positions.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(s->positions[i].volatility, fitted[i]) << "strike " << s->positions[i].strike;
}

// Skew strikes 90 ... 110 solve to 0.30 - 0.005 per strike above 90: a straight line, so a position
// at 97.5 is fitted to 26.25%.
int linearSkew(double* volatility, int, const std::vector<double>*, const std::vector<double>*, double, double X,
               double, double, double, double, int, double, int, int) {
    *volatility = 0.30 - 0.005 * (X - 90.0);
    return 0;
}
void midOfThree(int64_t, float*, double*, double*, char*, double*, double*, double*, double*, int*, double* mid) {
    *mid = 3.25;
}

TEST(RiskChart2D, FittedVolatilitiesReachBothPasses) {
    FakeCalcsHooksScope scope;
    fakeLibrary().calcGreeks = &greeksOfSigma;
    fakeLibrary().calcTheoPrice = &theoOfSigma;
    fakeLibrary().globalCalcIV = &linearSkew;
    fakeLibrary().getOptionInputs = &midOfThree;
    fakeLibrary().weightedTime = &halfAYear;

    GreeksByExpiration first;
    for (int run = 0; run < 20; ++run) {
        std::vector<VO::OptionPosition> positions;
        for (int k = 0; k < 40; ++k)
            positions.push_back(position(k % 2 != 0, 90.0f + 0.5f * static_cast<float>(k % 41), 1, 0, 0.5,
                                         45000.0 + (k % 3)));
        positions.push_back(position(false, 97.5f, 1, 0, 0.5, 50000.0));
        auto s = stock("A", 0, positions);
        for (double expiration : {45000.0, 45001.0, 45002.0, 50000.0})
            for (std::size_t i = 0; i < 5; ++i)
                s->curves[expiration][i].strike = 90.0 + 5.0 * static_cast<double>(i);
        RiskChart2DInputsPacket inputs = request(20, {s});
        inputs.volMode = 1;
        RiskChart2DResult result;
        calcRiskChart2D(inputs, result);

        EXPECT_DOUBLE_EQ(result.greeks.at(50000.0).vega, 0.2625);
        for (const VO::OptionPosition& p : s->positions)
            ASSERT_EQ(p.tradePrice, 3.25f);  // marked to the mid, although trade prices were to be kept
        if (run == 0) {
            first = result.greeks;
            continue;
        }
        ASSERT_EQ(result.greeks.size(), first.size());
        for (const auto& [key, g] : first) {
            EXPECT_EQ(result.greeks.at(key).vega, g.vega) << key;
            EXPECT_EQ(result.greeks.at(key).timeValue, g.timeValue) << key;
        }
    }
}

}  // namespace

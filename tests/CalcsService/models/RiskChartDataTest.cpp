#include <atomic>
#include <cmath>
#include <chrono>
#include <mutex>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "models/Calculations.h"
#include "support/FakeCalcsBinding.h"
#include "support/LogMessages.h"

namespace {

constexpr double NOW_MS = 1700000000000.0;
constexpr double SECONDS_PER_DAY = 86400.0;

// The fake library: a price that shows S and T, a weighted time of 0.5 years, and the moments asked.
std::atomic<int> g_weightedTimeCalls{0};
std::mutex g_momentsMutex;
std::set<double> g_moments;

double theoOfSAndT(int, int, int, int, const double* S, const double*, const double* T, const double*, const double*,
                   const double*, const std::vector<double>*, const std::vector<double>*) {
    return *S / 10 + *T;
}

double notANumber(int, int, int, int, const double*, const double*, const double*, const double*, const double*,
                  const double*, const std::vector<double>*, const std::vector<double>*) {
    return std::nan("");
}

double halfYear(int64_t, const double* seconds) {
    ++g_weightedTimeCalls;
    std::lock_guard<std::mutex> lock(g_momentsMutex);
    g_moments.insert(*seconds);
    return 0.5;
}

struct RiskChartData : testing::Test {
    FakeCalcsHooksScope fake;
    Calculations calc{FakeCalcsDll()};
    Packets::Incoming::RiskChartDataPacket packet;
    VO::ChartDataPoints reply;

    RiskChartData() {
        fake.hooks.calcTheoPrice = &theoOfSAndT;
        fake.hooks.weightedTime = &halfYear;
        g_weightedTimeCalls = 0;
        g_moments.clear();
        packet.symbol = "SPY";
        packet.priceStep = 0.05;
        packet.dayStep = 30;  // the last column is 210 days on
        packet.currentPrice = 100;
        packet.referenceTime = packet.evaluationTime = NOW_MS;
        packet.stockQuantity1 = 50;
        packet.stockQuantity2 = -20;
        packet.keepTradePrices = 1;
        packet.positions1 = {live(false, 2, 2, 11), live(true, 0, 7, 12)};  // the second is never valued
        packet.positions2 = {live(true, -1, 3, 21)};
    }

    static VO::OptionPosition live(bool put, float quantity, float tradePrice, std::int64_t id) {
        VO::OptionPosition p;
        p.foreignId = id;
        p.isPut = put ? 1 : 0;
        p.strike = 100;
        p.quantity = quantity;
        p.tradePrice = tradePrice;
        p.timeToExpiry = 1.0;
        return p;
    }

    std::set<double> columnMoments(double dayStep, int firstColumn) const {
        std::set<double> moments;
        for (int k = firstColumn; k < 8; ++k)
            moments.insert(NOW_MS / 1000 + dayStep * k * SECONDS_PER_DAY);
        return moments;
    }
};

TEST_F(RiskChartData, FillsRowsOfPricesAndColumnsOfDays) {
    calc.calcRiskChartData(packet, reply);

    EXPECT_EQ(reply.type, 32u);
    EXPECT_EQ(reply.stockQuantity2, -20);
    const struct {
        const VO::ChartTable& table;
        double quantity, tradePrice, stock;
    } lists[] = {{reply.table1, 2, 2, 50}, {reply.table2, -1, 3, -20}};
    for (const auto& list : lists) {
        // Rows from half to one and a half times the base price, in 5% steps.
        EXPECT_DOUBLE_EQ(list.table[0][0], 50);
        EXPECT_DOUBLE_EQ(list.table[0][1], -50);
        EXPECT_DOUBLE_EQ(list.table[10][0], 100);
        EXPECT_DOUBLE_EQ(list.table[10][1], 0);
        EXPECT_DOUBLE_EQ(list.table[20][0], 150);
        EXPECT_DOUBLE_EQ(list.table[20][1], 50);
        for (const VO::ChartRow& row : list.table) {
            const double price = row[0];
            const double stockPL = (price - 100) * list.stock;
            // The first column at the reference time itself: the stored year; later ones half a year.
            EXPECT_NEAR(row[2], list.quantity * 100 * (price / 10 + 1.0 - list.tradePrice) + stockPL, 1e-9);
            for (int k = 1; k < 8; ++k)
                EXPECT_NEAR(row[2 + k], list.quantity * 100 * (price / 10 + 0.5 - list.tradePrice) + stockPL, 1e-9);
        }
    }
    // One weighted time per valued position and later column, not per cell; none for the first column.
    EXPECT_EQ(g_weightedTimeCalls, 2 * 7);
    EXPECT_EQ(g_moments, columnMoments(30, 1));
}

TEST_F(RiskChartData, AsksForTimesOfEveryColumnWhenTheEvaluationTimeDiffers) {
    packet.referenceTime = NOW_MS - 1;
    packet.dayStep = 4000000000u;  // bounded: the columns stay within the library's years
    calc.calcRiskChartData(packet, reply);
    EXPECT_EQ(g_weightedTimeCalls, 2 * 8);
    EXPECT_EQ(g_moments, columnMoments(Calculations::MAX_CHART_DAY_STEP, 0));
    EXPECT_NEAR(reply.table1[10][2], 2 * 100 * (10 + 0.5 - 2), 1e-9);
}

TEST_F(RiskChartData, MarksTradePricesToTheoUnlessAskedToKeepThem) {
    packet.keepTradePrices = 0;
    calc.calcRiskChartData(packet, reply);
    // Marked at the current price and the stored time: 100 / 10 + 1.
    EXPECT_EQ(packet.positions1[0].tradePrice, 11.0f);
    EXPECT_EQ(packet.positions2[0].tradePrice, 11.0f);
    EXPECT_NEAR(reply.table1[10][2], 0.0, 1e-9);
    EXPECT_NEAR(reply.table2[10][2], 0.0, 1e-9);
}

TEST_F(RiskChartData, NonFinitePricesCountAsZeroWithOneWarningPerRequest) {
    testsupport::LogMessages::instance().take();
    fake.hooks.calcTheoPrice = &notANumber;
    calc.calcRiskChartData(packet, reply);
    // Only the trade prices and the stock remain.
    EXPECT_NEAR(reply.table1[20][9], 2 * 100 * -2.0 + 50 * 50, 1e-9);
    EXPECT_NEAR(reply.table2[0][2], -1 * 100 * -3.0 + -50 * -20, 1e-9);
    EXPECT_EQ(testsupport::LogMessages::instance().take(),
              std::vector<std::string>{"warning: non-finite theoretical price counted as 0, symbol: SPY"});
}

TEST(RiskChartDataFailure, AFailedLibrarySendsZeroTables) {
    testsupport::LogMessages::instance().take();
    CBrkCalcDll unbound(std::chrono::milliseconds(0));
    Calculations calc{unbound};
    Packets::Incoming::RiskChartDataPacket packet;
    packet.currentPrice = 100;
    packet.stockQuantity2 = 7;
    packet.positions1.resize(1);
    packet.positions1[0].quantity = 1;
    packet.positions2 = packet.positions1;
    VO::ChartDataPoints reply;

    EXPECT_NO_THROW(calc.calcRiskChartData(packet, reply));
    const VO::ChartTable zeros{};
    EXPECT_EQ(reply.table1, zeros);
    EXPECT_EQ(reply.table2, zeros);
    EXPECT_EQ(reply.stockQuantity2, 7);
    const std::vector<std::string> failures(2, "error: exception: m_pfCalcTheoPrice is null");
    EXPECT_EQ(testsupport::LogMessages::instance().take(), failures);
}

}  // namespace

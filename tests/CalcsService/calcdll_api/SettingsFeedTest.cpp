#include "calcdll_api/SettingsFeed.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeTestSupport.h"
#include "models/Calculations.h"

namespace {

using bridgetest::localMs;

Calculations& Model() { return CalculationsSingleton::get_mutable_instance(); }

void Give(Packets::Incoming::StockSettingsPacket request) {
    ASSERT_FALSE(Model().settings().applySettings(std::move(request)));
}

// Settings with one expiration per day from 2015-01-02 on, rates 0.01 and 0.02.
void GiveExpirations(const std::string& symbol, int n, bool userRates, std::uint32_t ratesSource) {
    Packets::Incoming::StockSettingsPacket request;
    request.symbol = symbol;
    request.time = localMs(2015, 1, 1);
    request.useUserInputs = userRates ? 1 : 0;
    request.ratesSource = ratesSource;
    for (int i = 0; i < n; ++i) {
        request.expirations.push_back(localMs(2015, 1, 2 + i, 16));
        request.rates1.push_back(0.01f);
        request.rates2.push_back(0.02f);
    }
    Give(std::move(request));
}

void GiveDividends(const std::string& symbol, const std::vector<double>& dates) {
    Packets::Incoming::StockSettingsPacket request;
    request.symbol = symbol;
    for (std::size_t i = 0; i < dates.size(); ++i) {
        request.dividendDates.push_back(dates[i]);
        request.dividendAmounts.push_back(0.25f + static_cast<float>(i));
        request.dividendTypes.push_back(static_cast<std::int32_t>(i));
    }
    Give(std::move(request));
}

struct CurveCall {
    std::string symbol;
    std::vector<YieldCurvePoint> points;
};
std::vector<CurveCall> g_curves;
std::vector<std::pair<std::string, int>> g_userRates;
std::vector<std::string> g_refreshed;

int RecordCurve(const char* symbol, const YieldCurvePoint* points, int count) {
    g_curves.push_back({symbol, std::vector<YieldCurvePoint>(points, points + count)});
    return 0;
}
void RecordUserRates(const char* symbol, int flag) { g_userRates.emplace_back(symbol, flag); }
void RecordRefresh(const char* symbol) { g_refreshed.emplace_back(symbol); }

using SettingsFeed = bridgetest::BridgeWithFake;

TEST_F(SettingsFeed, TheCallbackWritesAtMostCapacityWhileSetSettingsHandsEveryExpiration) {
    GiveExpirations("YC130", 130, true, 1);
    std::vector<YieldCurvePoint> buffer(120);
    const DllDate noDate{};
    ASSERT_EQ(brkCalcDllYieldCurveCallback("YC130", &noDate, buffer.data(), 120), 120);
    EXPECT_EQ(buffer[0].dRate, static_cast<double>(0.01f));
    EXPECT_EQ(buffer[0].dRate2, static_cast<double>(0.02f));  // user rates from the second source
    EXPECT_EQ(buffer[0].date.year, 2015);
    EXPECT_EQ(buffer[0].date.month, 1);
    EXPECT_EQ(buffer[0].date.day, 2);
    EXPECT_EQ(buffer[119].date.month, 5);  // 2 January + 119 days
    EXPECT_EQ(buffer[119].date.day, 1);

    g_curves.clear();
    g_userRates.clear();
    g_refreshed.clear();
    fake().hooks.setYieldCurve = &RecordCurve;
    fake().hooks.useUserRates = &RecordUserRates;
    fake().hooks.refreshDividends = &RecordRefresh;
    setSettings("YC130", *Model().findSettings("YC130"));
    ASSERT_EQ(g_curves.size(), 1u);
    EXPECT_EQ(g_curves[0].symbol, "YC130");
    EXPECT_EQ(g_curves[0].points.size(), 130u);
    EXPECT_EQ(g_userRates, (std::vector<std::pair<std::string, int>>{{"YC130", 1}}));
    EXPECT_EQ(g_refreshed, std::vector<std::string>{"YC130"});
}

TEST_F(SettingsFeed, WithoutUserRatesBothRatesAreTheFirst) {
    GiveExpirations("YCRATE1", 2, false, 1);
    YieldCurvePoint buffer[2]{};
    ASSERT_EQ(brkCalcDllYieldCurveCallback("YCRATE1", nullptr, buffer, 2), 2);
    EXPECT_EQ(buffer[1].dRate2, static_cast<double>(0.01f));
}

TEST_F(SettingsFeed, TheDefaultCurveAndExpirationsWithoutALocalDateGiveNoPoints) {
    YieldCurvePoint buffer[3]{};
    EXPECT_EQ(brkCalcDllYieldCurveCallback(nullptr, nullptr, buffer, 3), 0);
    EXPECT_EQ(brkCalcDllYieldCurveCallback("YCUNKNOWN", nullptr, buffer, 3), 0);
    // Asked for every underlying the library creates: a symbol without settings gets no record.
    const DllDate start{2015, 1, 5};
    const DllDate end{2015, 1, 16};
    DividendEntry dividends[3]{};
    EXPECT_EQ(brkCalcDllDividendCallback("YCUNKNOWN", &start, &end, dividends, 3), 0);
    EXPECT_EQ(Model().findSettings("YCUNKNOWN"), nullptr);

    Packets::Incoming::StockSettingsPacket request;
    request.symbol = "YCRANGE";
    request.expirations = {-1.0, 3.3e16, localMs(2016, 3, 18, 16)};
    request.rates1 = {0.01f, 0.01f, 0.03f};
    request.rates2 = request.rates1;
    Give(std::move(request));
    ASSERT_EQ(brkCalcDllYieldCurveCallback("YCRANGE", nullptr, buffer, 3), 1);
    EXPECT_EQ(buffer[0].date.year, 2016);
    EXPECT_EQ(buffer[0].dRate, static_cast<double>(0.03f));
}

TEST_F(SettingsFeed, DividendsAreTakenFromCloseToCloseOfTheWindow) {
    GiveDividends("DIVWIN", {localMs(2015, 1, 5, 16, 14, 59), localMs(2015, 1, 5, 16, 15, 0),
                             localMs(2015, 1, 16, 16, 15, 0), localMs(2015, 1, 16, 16, 15, 1)});
    const DllDate start{2015, 1, 5};
    const DllDate end{2015, 1, 16};
    DividendEntry buffer[100]{};
    ASSERT_EQ(brkCalcDllDividendCallback("DIVWIN", &start, &end, buffer, 100), 2);
    EXPECT_EQ(buffer[0].nKind, 1);
    EXPECT_EQ(buffer[0].dAmount, 1.25);
    EXPECT_EQ(buffer[0].date.day, 5);
    EXPECT_EQ(buffer[1].nKind, 2);
    EXPECT_EQ(buffer[1].date.day, 16);
    EXPECT_EQ(buffer[1].date.month, 1);
    EXPECT_EQ(buffer[1].date.year, 2015);
}

TEST_F(SettingsFeed, EveryDividendIsExaminedAndCapacityBoundsWhatIsTaken) {
    // 100 dividends before the window, then 50 in it: all 50 are found.
    std::vector<double> dates(100, localMs(2014, 6, 2, 12));
    for (int i = 0; i < 50; ++i)
        dates.push_back(localMs(2015, 1, 6 + i % 5, 12));
    GiveDividends("DIV150", dates);
    const DllDate start{2015, 1, 5};
    const DllDate end{2015, 1, 16};
    std::vector<DividendEntry> buffer(100);
    ASSERT_EQ(brkCalcDllDividendCallback("DIV150", &start, &end, buffer.data(), 100), 50);
    EXPECT_EQ(buffer[0].nKind, 100);

    // A full buffer stops the scan: the first in list order are kept.
    ASSERT_EQ(brkCalcDllDividendCallback("DIV150", &start, &end, buffer.data(), 20), 20);
    EXPECT_EQ(buffer[19].nKind, 119);
}

// A settings request replaces the record while the library asks for the symbol's curve: the callback
// sees the old expirations or the new ones, never a vector in the middle of its replacement.
TEST_F(SettingsFeed, ASettingsRequestDuringACallbackDoesNotTearTheRecord) {
    GiveExpirations("YCRACE", 3, false, 0);
    std::atomic<bool> done{false};
    std::thread writer([&done] {
        for (int i = 0; i < 200; ++i)
            GiveExpirations("YCRACE", i % 2 ? 3 : 130, i % 2 == 0, 1);
        done = true;
    });
    std::vector<YieldCurvePoint> buffer(120);
    while (!done) {
        const int n = brkCalcDllYieldCurveCallback("YCRACE", nullptr, buffer.data(), 120);
        ASSERT_TRUE(n == 3 || n == 120) << n;
        // A torn record would pair the new expirations with the old rate maps and read rates of 0.
        for (int k = 0; k < n; ++k)
            ASSERT_FLOAT_EQ(static_cast<float>(buffer[k].dRate), 0.01f) << k;
    }
    writer.join();
}

}  // namespace

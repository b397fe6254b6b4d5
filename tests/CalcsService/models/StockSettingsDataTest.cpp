#include "models/StockSettingsData.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/WireWriter.h"

namespace {

using models::StockSettingsData;
using Packets::Incoming::StockSettingsPacket;

constexpr double DAY = 86400000.0;
constexpr double NOW = 1.4e12;

StockSettingsPacket request(std::vector<double> expirations, std::vector<double> dividendDates,
                            std::vector<std::int32_t> kinds = {}) {
    StockSettingsPacket p;
    p.time = NOW;
    p.symbol = "IBM";
    p.expirations = std::move(expirations);
    for (std::size_t i = 0; i < p.expirations.size(); ++i) {
        p.rates1.push_back(0.05f);
        p.rates2.push_back(0.07f);
    }
    kinds.resize(dividendDates.size(), 0);
    for (std::size_t i = 0; i < dividendDates.size(); ++i)
        p.dividendAmounts.push_back(1.0f);
    p.dividendDates = std::move(dividendDates);
    p.dividendTypes = std::move(kinds);
    return p;
}

// The figures of expiration e; a failure when it has none.
const models::ExpirationFigures& at(const StockSettingsData& s, double e) {
    static const models::ExpirationFigures none;
    const models::ExpirationFigures* found = s.figuresAt(e);
    EXPECT_NE(found, nullptr) << e;
    return found ? *found : none;
}

TEST(StockSettingsData, CashDividendForwardAtTheExpiration) {
    StockSettingsData s;
    const double e = NOW + 300 * DAY;
    const double d = e - 265 * DAY;
    s.applySettings(request({e}, {d}));

    // 1 × exp(265/365 × 0.05), the rate as the client's f32.
    EXPECT_NEAR(at(s, e).firstCashDividendForward, 1.0369683, 5e-8);
    EXPECT_NEAR(at(s, e).cashDividendForwardSum, 1.0369683, 5e-8);
    EXPECT_EQ(at(s, e).firstCashDividendDate, d);
    EXPECT_EQ(at(s, e).dividendCount, 1);
    EXPECT_EQ(at(s, e).cashDividendCount, 1);
    EXPECT_EQ(at(s, e).rate1, static_cast<double>(0.05f));
    EXPECT_EQ(at(s, e).rate2, static_cast<double>(0.07f));
    EXPECT_TRUE(s.isStock);
}

TEST(StockSettingsData, DividendsCountOnlyStrictlyBetweenNowAndTheExpiration) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    StockSettingsData s;
    const double e = NOW + 100 * DAY;
    s.applySettings(request({e}, {NOW, e, nan, NOW - DAY, e + DAY}));
    EXPECT_EQ(at(s, e).dividendCount, 0);
    EXPECT_EQ(at(s, e).cashDividendCount, 0);
    EXPECT_EQ(at(s, e).cashDividendForwardSum, 0.0);
    EXPECT_EQ(at(s, e).firstCashDividendDate, 0.0);
}

TEST(StockSettingsData, KindsElevenAndNinetyNineCountButAreNotCash) {
    StockSettingsData s;
    const double e = NOW + 100 * DAY;
    s.applySettings(request({e}, {NOW + DAY, NOW + 2 * DAY, NOW + 3 * DAY}, {11, 99, 42}));
    EXPECT_EQ(at(s, e).dividendCount, 3);
    EXPECT_EQ(at(s, e).cashDividendCount, 1);
    EXPECT_EQ(at(s, e).firstCashDividendDate, NOW + 3 * DAY);
    EXPECT_NEAR(at(s, e).cashDividendForwardSum, std::exp(97.0 / 365 * 0.05f), 1e-12);
}

TEST(StockSettingsData, FirstCashDividendIsTheFirstInTheRequestNotTheEarliest) {
    StockSettingsData s;
    const double e = NOW + 100 * DAY;
    const double later = NOW + 50 * DAY;
    const double earlier = NOW + 10 * DAY;
    s.applySettings(request({e}, {later, earlier}));
    EXPECT_EQ(at(s, e).firstCashDividendDate, later);
    EXPECT_NEAR(at(s, e).firstCashDividendForward, std::exp(50.0 / 365 * 0.05f), 1e-12);
    EXPECT_NEAR(at(s, e).cashDividendForwardSum, std::exp(50.0 / 365 * 0.05f) + std::exp(90.0 / 365 * 0.05f), 1e-12);
}

TEST(StockSettingsData, EqualExpirationsShareOneKeyWithTheLaterRates) {
    StockSettingsData s;
    StockSettingsPacket p = request({NOW + DAY, NOW + 2 * DAY, NOW + DAY}, {});
    p.rates1 = {0.01f, 0.02f, 0.03f};
    s.applySettings(p);
    EXPECT_EQ(s.expirations.size(), 3u);
    EXPECT_EQ(s.figures.size(), 2u);
    EXPECT_EQ(at(s, NOW + DAY).rate1, static_cast<double>(0.03f));
    EXPECT_EQ(at(s, NOW + 2 * DAY).rate1, static_cast<double>(0.02f));
    EXPECT_EQ(s.figures.front().expiration, NOW + DAY);
}

TEST(StockSettingsData, RequestWithoutExpirationsKeepsTheEarlierMaps) {
    StockSettingsData s;
    const double e = NOW + 100 * DAY;
    s.applySettings(request({e}, {NOW + DAY}));
    StockSettingsPacket index = request({}, {NOW + 2 * DAY, NOW + 3 * DAY});
    index.symbol = "^SPX";
    s.applySettings(index);

    EXPECT_TRUE(s.expirations.empty());
    EXPECT_TRUE(s.rates1.empty());
    EXPECT_EQ(s.dividendDates.size(), 2u);
    EXPECT_FALSE(s.isStock);
    EXPECT_EQ(s.figures.size(), 1u);
    EXPECT_EQ(at(s, e).dividendCount, 1);
}

TEST(StockSettingsData, TruncatedRequestIsAppliedWithParallelVectors) {
    wiretest::WireWriter w;
    w.f64(NOW).str("IBM").u8(1).u32(3).f64(NOW + DAY).f64(NOW + 2 * DAY).f64(NOW + 3 * DAY);
    w.u32(1).f32(0.01f).f32(0.02f).f32(0.03f).f32(0.04f).f32(0.05f);
    Packets::RequestStream in(w.data());
    StockSettingsPacket p;
    Packets::Incoming::parseStockSettingsPacket(in, p);

    StockSettingsData s;
    s.applySettings(std::move(p));
    EXPECT_EQ(s.expirations, std::vector<double>({NOW + DAY, NOW + 2 * DAY}));
    EXPECT_EQ(s.rates1, std::vector<float>({0.01f, 0.03f}));
    EXPECT_EQ(s.rates2, std::vector<float>({0.02f, 0.04f}));
    EXPECT_TRUE(s.useUserInputs);
    EXPECT_EQ(s.ratesSource, 1u);
    EXPECT_EQ(s.figures.size(), 2u);
    EXPECT_EQ(at(s, NOW + 2 * DAY).rate2, static_cast<double>(0.04f));
}

TEST(StockSettingsData, NaNExpirationWrittenDirectlyIsOrderedLast) {
    StockSettingsData s;
    s.expirations = {std::numeric_limits<double>::quiet_NaN(), NOW + DAY, std::numeric_limits<double>::quiet_NaN()};
    s.rates1 = {0.01f, 0.02f, 0.03f};
    s.rates2 = s.rates1;
    s.updateDividendForwards(NOW);
    ASSERT_EQ(s.figures.size(), 2u);
    EXPECT_EQ(s.figures.front().expiration, NOW + DAY);
    EXPECT_TRUE(std::isnan(s.figures.back().expiration));
    EXPECT_EQ(s.figures.back().rate1, static_cast<double>(0.03f));
    EXPECT_EQ(at(s, std::numeric_limits<double>::quiet_NaN()).rate1, static_cast<double>(0.03f));
    EXPECT_EQ(s.figuresAt(NOW), nullptr);
}

// The figures of one expiration straight from their definition, dividend by dividend in list order.
struct DirectFigures {
    double firstForward = 0.0, sum = 0.0, firstDate = 0.0;
    int dividends = 0, cash = 0;
};

DirectFigures directFigures(const StockSettingsPacket& p, double e, double rate) {
    DirectFigures f;
    for (std::size_t j = 0; j < p.dividendDates.size(); ++j) {
        const double d = p.dividendDates[j];
        if (!(d < e && p.time < d))
            continue;
        ++f.dividends;
        if (p.dividendTypes[j] == 11 || p.dividendTypes[j] == 99)
            continue;
        ++f.cash;
        const double forward = p.dividendAmounts[j] * std::exp((e - d) / DAY / 365 * rate);
        if (f.firstDate == 0.0) {
            f.firstForward = forward;
            f.firstDate = d;
        }
        f.sum += forward;
    }
    return f;
}

// 160000 expirations and as many dividends (5 MB on the wire) in no order, every expiration with a rate
// of its own, some of them far from usual rates: applied at once, with the figures of the definition.
TEST(StockSettingsData, LargeRequestIsAppliedQuicklyWithTheSameFigures) {
    constexpr std::size_t kCount = 160000;
    StockSettingsPacket p = request({}, {});
    for (std::size_t i = 0; i < kCount; ++i) {
        p.expirations.push_back(NOW + static_cast<double>((i * 7919) % kCount) * DAY / 16);
        p.rates1.push_back(i % 3 ? 0.15f - 0.2f * static_cast<float>(i % 1000) / 1000 : 4.0f + 0.1f * (i % 10));
        p.rates2.push_back(0.07f);
        p.dividendDates.push_back(NOW + (static_cast<double>((i * 104729) % kCount) - 500.0) * DAY / 16);
        p.dividendAmounts.push_back(0.25f + static_cast<float>(i % 5));
        p.dividendTypes.push_back(i % 7 == 0 ? 11 : 0);
    }
    StockSettingsData s;
    s.applySettings(p);

    ASSERT_EQ(s.figures.size(), kCount);
    for (std::size_t i = 0; i < kCount; i += 1601) {
        const double e = p.expirations[i];
        const DirectFigures f = directFigures(p, e, at(s, e).rate1);
        SCOPED_TRACE(i);
        EXPECT_EQ(at(s, e).dividendCount, f.dividends);
        EXPECT_EQ(at(s, e).cashDividendCount, f.cash);
        EXPECT_EQ(at(s, e).firstCashDividendDate, f.firstDate);
        EXPECT_EQ(at(s, e).firstCashDividendForward, f.firstForward);
        EXPECT_NEAR(at(s, e).cashDividendForwardSum, f.sum, 1e-12 * std::abs(f.sum));
    }
}

TEST(StockSettingsData, DeliveryFormulasAreReplacedPerFormulaAndCopiesShareTheLock) {
    StockSettingsData s;
    s.setDeliveryValue("F1", 100);
    s.setDeliveryValue("F1", 150);
    s.setDeliveryValue("F2", 100);
    s.setDeliveryComponents("F1", {{"XYZ", 100}});
    s.setDeliveryComponents("F1", {{"ABC", 50}, {"DEF", 25}});
    EXPECT_EQ(s.deliveryValues, (std::map<std::string, std::uint32_t>{{"F1", 150}, {"F2", 100}}));
    ASSERT_EQ(s.deliveryComponents.size(), 1u);
    EXPECT_EQ(s.deliveryComponents.at("F1"), Packets::Incoming::DeliveryComponentList({{"ABC", 50}, {"DEF", 25}}));

    const StockSettingsData copy = s;
    EXPECT_EQ(copy.settingsMutex, s.settingsMutex);
    EXPECT_NE(StockSettingsData().settingsMutex, s.settingsMutex);
}

namespace caps {

using models::StockSettingsMap;

// Settings of `symbol` with `expirations` expirations and `dividends` dividends.
StockSettingsPacket sized(const std::string& symbol, std::size_t expirations, std::size_t dividends) {
    std::vector<double> e, d;
    for (std::size_t i = 0; i < expirations; ++i)
        e.push_back(NOW + static_cast<double>(i + 1) * DAY);
    for (std::size_t i = 0; i < dividends; ++i)
        d.push_back(NOW + static_cast<double>(i) * DAY + 1.0);
    StockSettingsPacket p = request(std::move(e), std::move(d));
    p.symbol = symbol;
    return p;
}

// Past the symbol cap a new symbol is refused and nothing of it kept; known symbols still update.
TEST(StockSettingsMap, ANewSymbolPastTheSymbolCapIsRefusedWhole) {
    StockSettingsMap map({2, 100, 10, 100});
    EXPECT_FALSE(map.applySettings(sized("A", 1, 1)));
    EXPECT_FALSE(map.setDeliveryFormula("B", "B1", 100, {{"X", 1.0}}));

    const auto refused = map.applySettings(sized("C", 1, 0));
    ASSERT_TRUE(refused);
    EXPECT_STREQ(refused->what, "symbols");
    EXPECT_EQ(refused->held, 2u);
    EXPECT_EQ(refused->cap, 2u);
    EXPECT_TRUE(map.setDeliveryFormula("D", "D1", 100, {}));
    EXPECT_EQ(map.find("C"), nullptr);
    EXPECT_EQ(map.find("D"), nullptr);
    EXPECT_EQ(map.symbols(), 2u);

    EXPECT_FALSE(map.applySettings(sized("B", 3, 2)));
    ASSERT_NE(map.find("B"), nullptr);
    EXPECT_EQ(map.find("B")->expirations.size(), 3u);
    EXPECT_EQ(map.find("B")->deliveryValues.at("B1"), 100u);
    EXPECT_EQ(map.entries(), 2u + 5u);
}

// Expirations and dividends count together; a request that would pass the cap changes nothing, one
// that needs no more room than its symbol holds is taken, and a request without expirations still
// counts the figures it keeps.
TEST(StockSettingsMap, ExpirationsAndDividendsOverAllSymbolsAreCapped) {
    StockSettingsMap map({10, 10, 10, 100});
    EXPECT_FALSE(map.applySettings(sized("A", 4, 2)));
    EXPECT_FALSE(map.applySettings(sized("B", 2, 2)));
    EXPECT_EQ(map.entries(), 10u);

    const auto refused = map.applySettings(sized("A", 5, 2));
    ASSERT_TRUE(refused);
    EXPECT_STREQ(refused->what, "expirations and dividends");
    EXPECT_EQ(refused->held, 10u);
    EXPECT_EQ(refused->asked, 11u);
    EXPECT_EQ(refused->cap, 10u);
    EXPECT_EQ(map.find("A")->expirations.size(), 4u);
    EXPECT_TRUE(map.applySettings(sized("C", 0, 1)));
    EXPECT_EQ(map.find("C"), nullptr);

    EXPECT_FALSE(map.applySettings(sized("A", 2, 4)));  // as much room as before
    EXPECT_FALSE(map.applySettings(sized("A", 0, 1)));  // keeps the figures of its 2 expirations
    EXPECT_EQ(map.find("A")->figures.size(), 2u);
    EXPECT_EQ(map.entries(), 2u + 1u + 4u);
    EXPECT_TRUE(map.applySettings(sized("A", 0, 6)));
    EXPECT_FALSE(map.applySettings(sized("A", 0, 4)));
    EXPECT_EQ(map.entries(), 10u);
}

// Formulas and their components over all symbols are capped; a known formula is replaced in place.
TEST(StockSettingsMap, DeliveryFormulasAndTheirComponentsAreCapped) {
    StockSettingsMap map({10, 10, 2, 3});
    const Packets::Incoming::DeliveryComponentList two{{"X", 1.0}, {"Y", 2.0}};
    EXPECT_FALSE(map.setDeliveryFormula("A", "A1", 100, two));
    const auto components = map.setDeliveryFormula("B", "B1", 100, two);
    ASSERT_TRUE(components);
    EXPECT_STREQ(components->what, "delivery components");
    EXPECT_EQ(components->asked, 4u);
    EXPECT_EQ(map.find("B"), nullptr);

    EXPECT_FALSE(map.setDeliveryFormula("B", "B1", 100, {{"Z", 1.0}}));
    const auto formulas = map.setDeliveryFormula("A", "A2", 100, {});
    ASSERT_TRUE(formulas);
    EXPECT_STREQ(formulas->what, "delivery formulas");
    EXPECT_EQ(map.find("A")->deliveryValues.count("A2"), 0u);

    EXPECT_FALSE(map.setDeliveryFormula("A", "A1", 150, {{"Z", 3.0}, {"W", 4.0}}));
    EXPECT_EQ(map.find("A")->deliveryValues.at("A1"), 150u);
    EXPECT_EQ(map.find("A")->deliveryComponents.at("A1").size(), 2u);
    EXPECT_EQ(map.formulas(), 2u);
    EXPECT_EQ(map.components(), 3u);
}

}  // namespace caps

}  // namespace

#include <cmath>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "packets/DeliveryFormulaPacket.h"
#include "packets/GreeksByExpirationPacket.h"
#include "packets/OptionCalculatorPacket.h"
#include "packets/OptionPosition.h"
#include "packets/ProxyInfoPacket.h"
#include "packets/RiskChartDataPacket.h"
#include "packets/RiskTablePacket.h"
#include "packets/SetAutoUpdateParamsPacket.h"
#include "packets/StockSettingsPacket.h"
#include "support/LogMessages.h"
#include "support/WireWriter.h"

namespace {

using namespace Packets::Incoming;
using Packets::RequestStream;
using wiretest::placeAt;
using wiretest::WireWriter;
using Bytes = std::vector<std::uint8_t>;

// A position with a distinct value in every field, placed at its documented wire offsets.
Bytes positionRecord(std::int64_t id) {
    Bytes b(74, 0xEE);
    placeAt<std::int64_t>(b, 0, id);
    placeAt<float>(b, 8, 42.5f);
    placeAt<double>(b, 12, 1.4e12);
    placeAt<float>(b, 20, 31.5f);
    placeAt<float>(b, 24, -3.0f);
    placeAt<std::uint8_t>(b, 28, 1);
    placeAt<float>(b, 29, 0.25f);
    placeAt<double>(b, 33, 0.125);
    placeAt<float>(b, 41, 0.05f);
    placeAt<float>(b, 45, 0.02f);
    placeAt<std::uint32_t>(b, 49, 4);
    placeAt<double>(b, 53, 0.75);
    placeAt<float>(b, 61, 2.5f);
    placeAt<std::uint8_t>(b, 65, 7);
    placeAt<float>(b, 66, 123.0f);
    placeAt<float>(b, 70, 99.5f);
    return b;
}

void expectPosition(const VO::OptionPosition& p, std::int64_t id) {
    EXPECT_EQ(p.foreignId, id);
    EXPECT_EQ(p.strike, 42.5f);
    EXPECT_EQ(p.expiration, 1.4e12);
    EXPECT_EQ(p.volatility, 31.5f);
    EXPECT_EQ(p.quantity, -3.0f);
    EXPECT_EQ(p.isPut, 1);
    EXPECT_EQ(p.dividendAmount, 0.25f);
    EXPECT_EQ(p.dividendTime, 0.125);
    EXPECT_EQ(p.interestRate, 0.05f);
    EXPECT_EQ(p.costOfCarry, 0.02f);
    EXPECT_EQ(p.pricingModel, 4u);
    EXPECT_EQ(p.timeToExpiry, 0.75);
    EXPECT_EQ(p.tradePrice, 2.5f);
    EXPECT_EQ(p.deliveryMode, 7);
    EXPECT_EQ(p.spare, 123.0f);
    EXPECT_EQ(p.indexForward, 99.5f);
}

TEST(OptionPosition, FieldsComeFromTheirWireOffsets) {
    const Bytes record = positionRecord(-5);
    RequestStream in(record);
    VO::OptionPosition position;
    EXPECT_TRUE(parseOptionPosition(in, position));
    EXPECT_EQ(in.remaining(), 0u);
    expectPosition(position, -5);
}

TEST(OptionCalculatorPacket, FixedBodyFillsEveryFieldAndIgnoresTrailingBytes) {
    Bytes body(OPTION_CALCULATOR_BODY_SIZE + 3, 0xAB);
    placeAt<std::int16_t>(body, 0, 1);
    placeAt<double>(body, 2, 1.5e12);
    placeAt<std::uint32_t>(body, 10, 30);
    placeAt<double>(body, 14, 100.0);
    placeAt<double>(body, 22, 101.5);
    placeAt<double>(body, 30, 25.0);
    placeAt<double>(body, 38, 0.05);
    placeAt<double>(body, 46, 0.03);
    placeAt<double>(body, 54, 0.4);
    placeAt<double>(body, 62, 1.45e12);
    placeAt<std::int32_t>(body, 70, -1);
    placeAt<std::int32_t>(body, 74, 91);
    placeAt<std::uint32_t>(body, 78, 200);
    placeAt<double>(body, 82, 1.4e12);
    placeAt<double>(body, 90, 3.25);
    placeAt<double>(body, 98, 4.75);

    RequestStream in(body);
    OptionCalculatorPacket p;
    EXPECT_TRUE(parseOptionCalculatorPacket(in, p));
    EXPECT_EQ(in.remaining(), 3u);
    EXPECT_EQ(p.exerciseStyle, 1);
    EXPECT_EQ(p.expirationDate, 1.5e12);
    EXPECT_EQ(p.daysToExpiration, 30u);
    EXPECT_EQ(p.strike, 100.0);
    EXPECT_EQ(p.underlyingPrice, 101.5);
    EXPECT_EQ(p.volatility, 25.0);
    EXPECT_EQ(p.interestRate, 0.05);
    EXPECT_EQ(p.costOfCarry, 0.03);
    EXPECT_EQ(p.dividendAmount, 0.4);
    EXPECT_EQ(p.firstDividendDate, 1.45e12);
    EXPECT_EQ(p.dividendInterval, -1);
    EXPECT_EQ(p.secondDividendInterval, 91);
    EXPECT_EQ(p.treeSteps, 200u);
    EXPECT_EQ(p.valuationDate, 1.4e12);
    EXPECT_EQ(p.putPrice, 3.25);
    EXPECT_EQ(p.callPrice, 4.75);
}

TEST(RiskChartDataPacket, ScalarsThenTwoPositionLists) {
    WireWriter w;
    w.str("^SPX").u8(1).u8(2).f64(0.05).u32(7).f64(-1).f64(0).f64(2001.5).f64(1.4e12).f64(1.41e12).f64(100).f64(-50).u8(1);
    w.u32(2).append(positionRecord(11)).append(positionRecord(12));
    w.u32(1).append(positionRecord(13));
    RequestStream in(w.data());
    RiskChartDataPacket p;
    p.positions1.resize(5);

    EXPECT_TRUE(parseRiskChartDataPacket(in, p));
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(p.symbol, "^SPX");
    EXPECT_EQ(p.flag1, 1);
    EXPECT_EQ(p.flag2, 2);
    EXPECT_EQ(p.priceStep, 0.05);
    EXPECT_EQ(p.dayStep, 7u);
    EXPECT_EQ(p.unused, -1);
    EXPECT_EQ(p.basePrice, 0);
    EXPECT_EQ(p.currentPrice, 2001.5);
    EXPECT_EQ(p.referenceTime, 1.4e12);
    EXPECT_EQ(p.evaluationTime, 1.41e12);
    EXPECT_EQ(p.stockQuantity1, 100);
    EXPECT_EQ(p.stockQuantity2, -50);
    EXPECT_EQ(p.keepTradePrices, 1);
    ASSERT_EQ(p.positions1.size(), 2u);
    ASSERT_EQ(p.positions2.size(), 1u);
    expectPosition(p.positions1[0], 11);
    expectPosition(p.positions1[1], 12);
    expectPosition(p.positions2[0], 13);
}

TEST(RiskTablePacket, CurrentPriceComesBeforeBaseAndStockQuantity) {
    WireWriter w;
    w.str("IBM").u8(5).f32(0.1f).f64(1.41e12).f64(1.4e12).f32(150.5f).f32(149.0f).f32(300.0f).u8(0);
    w.u32(3).f32(140).f32(150).f32(160);
    w.u32(1).append(positionRecord(21));
    RequestStream in(w.data());
    RiskTablePacket p;

    EXPECT_TRUE(parseRiskTablePacket(in, p));
    EXPECT_EQ(p.symbol, "IBM");
    EXPECT_EQ(p.unused, 5);
    EXPECT_EQ(p.volatilityShift, 0.1f);
    EXPECT_EQ(p.evaluationTime, 1.41e12);
    EXPECT_EQ(p.referenceTime, 1.4e12);
    EXPECT_EQ(p.currentPrice, 150.5f);
    EXPECT_EQ(p.basePrice, 149.0f);
    EXPECT_EQ(p.stockQuantity, 300.0f);
    EXPECT_EQ(p.keepTradePrices, 0);
    EXPECT_EQ(p.slidePrices, std::vector<float>({140, 150, 160}));
    ASSERT_EQ(p.positions.size(), 1u);
    expectPosition(p.positions[0], 21);
}

TEST(GreeksByExpirationPacket, PositiveCountReadsPositionsNegativeMeansNone) {
    WireWriter head;
    head.str("MSFT").f64(1.41e12).f64(1.4e12).f32(30.5f).f32(0).u32(77);

    const Bytes two = WireWriter(head).i32(2).append(positionRecord(1)).append(positionRecord(2)).data();
    RequestStream in(two);
    GreeksByExpirationPacket p;
    EXPECT_TRUE(parseGreeksByExpirationPacket(in, p));
    EXPECT_EQ(p.symbol, "MSFT");
    EXPECT_EQ(p.evaluationTime, 1.41e12);
    EXPECT_EQ(p.referenceTime, 1.4e12);
    EXPECT_EQ(p.currentPrice, 30.5f);
    EXPECT_EQ(p.basePrice, 0.0f);
    EXPECT_EQ(p.unused, 77u);
    ASSERT_EQ(p.positions.size(), 2u);
    expectPosition(p.positions[1], 2);

    const Bytes negative = WireWriter(head).i32(-1).append(positionRecord(1)).data();
    RequestStream none(negative);
    GreeksByExpirationPacket q;
    EXPECT_TRUE(parseGreeksByExpirationPacket(none, q));
    EXPECT_TRUE(q.positions.empty());
}

TEST(ServicePackets, ProxyAndAutoUpdateFieldsInWireOrder) {
    const WireWriter proxy = WireWriter().u8(1).str("10.0.0.1").u32(3128);
    RequestStream proxyIn(proxy.data());
    ProxyInfoPacket p;
    EXPECT_TRUE(parseProxyInfoPacket(proxyIn, p));
    EXPECT_EQ(p.useProxy, 1);
    EXPECT_EQ(p.proxyAddress, "10.0.0.1");
    EXPECT_EQ(p.proxyPort, 3128u);

    const WireWriter update = WireWriter().str("updates.example").str("/check").str("/download");
    RequestStream updateIn(update.data());
    SetAutoUpdateParamsPacket u;
    EXPECT_TRUE(parseSetAutoUpdateParamsPacket(updateIn, u));
    EXPECT_EQ(u.updateServer, "updates.example");
    EXPECT_EQ(u.checkVersionPath, "/check");
    EXPECT_EQ(u.downloadVersionPath, "/download");
}

TEST(DeliveryFormulaPacket, FormulaValueDefaultsTo100WhenTheBodyEndsBeforeIt) {
    WireWriter w;
    w.str("XYZ").str("100 XYZ + 50 ABC").f64(12.5).u32(2).str("XYZ").f64(100).str("ABC").f64(50);

    RequestStream without(w.data());
    DeliveryFormulaPacket p;
    EXPECT_TRUE(parseDeliveryFormulaPacket(without, p));
    EXPECT_FALSE(without.failed());
    EXPECT_EQ(p.symbol, "XYZ");
    EXPECT_EQ(p.formula, "100 XYZ + 50 ABC");
    EXPECT_EQ(p.cashAmount, 12.5);
    EXPECT_EQ(p.components, DeliveryComponentList({{"XYZ", 100}, {"ABC", 50}}));
    EXPECT_EQ(p.formulaValue, 100u);

    const Bytes withValue = WireWriter(w).u32(150).data();
    RequestStream with(withValue);
    DeliveryFormulaPacket q;
    EXPECT_TRUE(parseDeliveryFormulaPacket(with, q));
    EXPECT_EQ(q.formulaValue, 150u);
}

WireWriter settingsHead(const std::string& symbol) {
    WireWriter w;
    w.f64(1.4e12).str(symbol).u8(1);
    return w;
}

TEST(StockSettingsPacket, ExpirationsRatesAndDividendsInParallel) {
    WireWriter w = settingsHead("IBM");
    w.u32(2).f64(1.41e12).f64(1.42e12).u32(1).f32(0.01f).f32(0.02f).f32(0.03f).f32(0.04f);
    w.u32(2).f64(1.405e12).f32(0.5f).i32(0).f64(1.415e12).f32(0.6f).i32(11);
    RequestStream in(w.data());
    StockSettingsPacket p;

    EXPECT_TRUE(parseStockSettingsPacket(in, p));
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(p.time, 1.4e12);
    EXPECT_EQ(p.symbol, "IBM");
    EXPECT_EQ(p.useUserInputs, 1);
    EXPECT_EQ(p.ratesSource, 1u);
    EXPECT_EQ(p.expirations, std::vector<double>({1.41e12, 1.42e12}));
    EXPECT_EQ(p.rates1, std::vector<float>({0.01f, 0.03f}));
    EXPECT_EQ(p.rates2, std::vector<float>({0.02f, 0.04f}));
    EXPECT_EQ(p.dividendDates, std::vector<double>({1.405e12, 1.415e12}));
    EXPECT_EQ(p.dividendAmounts, std::vector<float>({0.5f, 0.6f}));
    EXPECT_EQ(p.dividendTypes, std::vector<std::int32_t>({0, 11}));
}

TEST(StockSettingsPacket, NaNExpirationIsSkippedWithItsRatesAndAWarning) {
    testsupport::LogMessages::instance().take();
    WireWriter w = settingsHead("IBM");
    w.u32(3).f64(1.41e12).f64(std::numeric_limits<double>::quiet_NaN()).f64(1.43e12);
    w.u32(0).f32(0.01f).f32(0.02f).f32(0.03f).f32(0.04f).f32(0.05f).f32(0.06f).u32(0);
    RequestStream in(w.data());
    StockSettingsPacket p;

    EXPECT_TRUE(parseStockSettingsPacket(in, p));
    EXPECT_EQ(p.expirations, std::vector<double>({1.41e12, 1.43e12}));
    EXPECT_EQ(p.rates1, std::vector<float>({0.01f, 0.05f}));
    EXPECT_EQ(p.rates2, std::vector<float>({0.02f, 0.06f}));
    EXPECT_THAT(testsupport::LogMessages::instance().take(),
                testing::ElementsAre("warning: settings for IBM: expiration 1 is not a number, skipped"));
}

}  // namespace

// The reply serialisers: sizes, the echoed id and the wire order of each body.
#include "packets/Replies.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "CalcsService/calcdll_api/BridgeTestSupport.h"
#include "HandlerTestSupport.h"

namespace {

using bridgetest::valueAt;
using handlertest::Bytes;
using handlertest::expectReplyHeader;
using handlertest::requestId;
namespace Outgoing = Packets::Outgoing;

VO::RiskTableCell cell(double base) {
    // Member order: delta, vega, gamma, theta, rho, value.
    return {base + 1, base + 2, base + 3, base + 4, base + 5, base + 6};
}

TEST(Replies, ChartDataPointsAreBothTablesRowByRowThenTheTrailingValue) {
    VO::ChartDataPoints chart;
    chart.table1[0][0] = 1.5;
    chart.table1[20][9] = 2.5;
    chart.table2[0][1] = 3.5;
    chart.stockQuantity2 = 7.0;
    Bytes reply;
    Outgoing::serializeChartDataPoints(chart, reply, requestId());
    ASSERT_EQ(reply.size(), 3396u);
    expectReplyHeader(reply, 32);
    EXPECT_EQ(valueAt<double>(reply, 28), 1.5);
    EXPECT_EQ(valueAt<double>(reply, 28 + 1680 - 8), 2.5);
    EXPECT_EQ(valueAt<double>(reply, 28 + 1680 + 8), 3.5);
    EXPECT_EQ(valueAt<double>(reply, 3388), 7.0);
}

TEST(Replies, RiskTableRowsGoOutAsValueDeltaGammaRhoThetaVegaOfEachVolatility) {
    Outgoing::RiskTableResult table;
    table.middlePrice = 101.25f;
    for (int i = 0; i < 2; ++i) {
        table.atVolatility.push_back(cell(100 * i + 10));
        table.volatilityDown.push_back(cell(100 * i + 20));
        table.volatilityUp.push_back(cell(100 * i + 30));
    }
    Bytes reply;
    Outgoing::serializeRiskTableResult(table, reply, requestId());
    ASSERT_EQ(reply.size(), 36u + 144 * 2);
    expectReplyHeader(reply, 512);
    EXPECT_EQ(valueAt<float>(reply, 28), 101.25f);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 32), 2u);
    // value, delta, gamma, rho, theta, vega as member offsets 6, 1, 3, 5, 4, 2.
    const double order[] = {6, 1, 3, 5, 4, 2};
    for (int row = 0; row < 2; ++row)
        for (int q = 0; q < 6; ++q)
            for (int v = 0; v < 3; ++v)
                EXPECT_EQ(valueAt<double>(reply, 36 + 144 * row + 8 * (3 * q + v)), 100 * row + 10 * (v + 1) + order[q])
                    << "row " << row << " quantity " << q << " column " << v;

    Outgoing::RiskTableResult empty;
    Outgoing::serializeRiskTableResult(empty, reply, requestId());
    EXPECT_EQ(reply.size(), 36u);
}

TEST(Replies, ARiskTableWithRowsOfUnequalLengthsIsNotSent) {
    Outgoing::RiskTableResult table;
    table.atVolatility.resize(3);
    table.volatilityDown.resize(3);
    table.volatilityUp.resize(2);
    Bytes reply;
    EXPECT_THROW(Outgoing::serializeRiskTableResult(table, reply, requestId()), std::length_error);
}

TEST(Replies, GreeksByExpirationStartWithTheExpirationAndDollarDelta) {
    Outgoing::GreeksByExpirationResult greeks;
    // Member order: vega, theta, rho, delta, gamma, timeValue, dollarDelta, calls, puts, expiration.
    for (int i = 0; i < 3; ++i)
        greeks.entries.push_back({1.0 + i, 2, 3, 4, 5, 6, 7, 8, 9, 10.0 + i});
    Bytes reply;
    Outgoing::serializeGreeksByExpirationResult(greeks, reply, requestId());
    ASSERT_EQ(reply.size(), 272u);
    expectReplyHeader(reply, 513);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 28), 3u);
    const double wire[] = {11, 7, 4, 5, 2, 2, 3, 6, 8, 9};  // the second entry, in wire order
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(valueAt<double>(reply, 32 + 80 + 8 * k), wire[k]) << "field " << k;

    Outgoing::serializeGreeksByExpirationResult({}, reply, requestId());
    EXPECT_EQ(reply.size(), 32u);
}

TEST(Replies, OptionCalculatorRowsAreLabelThenCallThenPut) {
    Outgoing::OptionCalculatorResult result;
    for (const char* label : {"Theoretical Value", "Delta", "Gamma", "Theta", "Vega", "Rho"})
        result.rows.push_back({label, 1.25, -2.5});
    Bytes reply;
    Outgoing::serializeOptionCalculatorResult(result, reply, requestId());
    ASSERT_EQ(reply.size(), 191u);
    expectReplyHeader(reply, 1025);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 28), 6u);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 32), 17u);
    EXPECT_EQ(std::string(reply.begin() + 36, reply.begin() + 53), "Theoretical Value");
    EXPECT_EQ(valueAt<double>(reply, 53), 1.25);
    EXPECT_EQ(valueAt<double>(reply, 61), -2.5);
    EXPECT_EQ(std::string(reply.end() - 19, reply.end() - 16), "Rho");
}

TEST(Replies, ImpliedVolatilityAndServiceInformation) {
    Bytes reply;
    Outgoing::serializeImpliedVolatilityResult(23.5, reply, requestId());
    ASSERT_EQ(reply.size(), 36u);
    expectReplyHeader(reply, 1027);
    EXPECT_EQ(valueAt<double>(reply, 28), 23.5);

    Outgoing::serializeServiceInfoResult({"3.7.3.0", "", 8}, reply, requestId());
    ASSERT_EQ(reply.size(), 40u + 7);
    expectReplyHeader(reply, 1536);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 28), 7u);
    EXPECT_EQ(std::string(reply.begin() + 32, reply.begin() + 39), "3.7.3.0");
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 39), 0u);
    EXPECT_EQ(Bytes(reply.end() - 4, reply.end()), (Bytes{8, 0, 0, 0}));
}

TEST(Replies, AnIdOfTheWrongLengthIsRefusedRatherThanSentUnderAWrongSize) {
    Bytes reply;
    EXPECT_THROW(Outgoing::serializeImpliedVolatilityResult(1.0, reply, Bytes(15, 0)), std::logic_error);
    EXPECT_TRUE(reply.empty());
}

}  // namespace

// RISK_2D: the request parsed from bodies a client writes, the refusal of bodies that end early or
// ask for too large an axis, and the reply's layout read back field by field.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "packets/RiskChart2DPacket.h"
#include "packets/RiskChart2DResult.h"
#include "support/WireWriter.h"

namespace {

using namespace Packets::Incoming;
using namespace Packets::Outgoing;
using Packets::RequestStream;
using wiretest::valueAt;
using wiretest::WireWriter;
using Bytes = std::vector<std::uint8_t>;

const double NaN = std::numeric_limits<double>::quiet_NaN();

WireWriter header(std::uint32_t steps, std::uint8_t useVolShifts, std::int32_t stockCount) {
    WireWriter w;
    w.u32(1).u32(0).u32(steps).f64(100.0).f64(2000.0).f64(1000.0).u8(useVolShifts).i32(stockCount);
    return w;
}

// One skew point whose five values are base, base + 1, ... base + 4.
void point(WireWriter& w, double base) {
    for (int i = 0; i < 5; ++i)
        w.f64(base + i);
}

// An underlying with two prices, one position and the expiration blocks `curves` writes.
template <class Curves>
void stock(WireWriter& w, const std::string& symbol, Curves curves) {
    w.str(symbol).str("text").f64(2.5).f64(101.0).i32(-300).u8(1);
    w.u32(2).f64(95.0).f64(105.0);
    w.u32(1).i64(77).f32(100.0f).f64(45000.0).f32(20.0f).f32(3.0f).u8(1).f32(0.5f).f64(0.1).f32(0.05f)
        .f32(0.04f).u32(2).f64(0.25).f32(1.75f).u8(0).f32(0.0f).f32(4100.0f);
    curves(w);
    w.f64(0.0);
}

bool parse(const Bytes& body, RiskChart2DInputsPacket& packet) {
    RequestStream in(body);
    return static_cast<bool>(parseRiskChart2DInputsPacket(in, packet));
}

TEST(RiskChart2DRequest, NoUnderlyingsAndTheClosingPairOnly) {
    WireWriter w = header(10, 1, 0);
    w.f64(0.0).f64(0.0);
    RiskChart2DInputsPacket packet;
    ASSERT_TRUE(parse(w.data(), packet));
    EXPECT_TRUE(packet.stocks.empty());
    EXPECT_EQ(packet.volShifts, (std::map<double, double>{{0.0, 0.0}}));
    EXPECT_EQ(packet.steps, 10u);
    EXPECT_EQ(packet.basePrice, 100.0);
    EXPECT_EQ(packet.evalTime, 2000.0);
    EXPECT_EQ(packet.refTime, 1000.0);
}

TEST(RiskChart2DRequest, ReadsEveryFieldOfAnUnderlying) {
    WireWriter w = header(10, 1, 1);
    stock(w, "^SPX", [](WireWriter& c) {
        c.f64(45000.0).u8(3);  // three points: the last two stay zero
        point(c, 10.0);
        point(c, 20.0);
        point(c, 30.0);
        c.f64(46000.0).u8(1);  // replaced whole by the next block with this key
        point(c, 1.0);
        c.f64(46000.0).u8(0);
        c.f64(NaN).u8(1);      // not stored, and does not end the list
        point(c, 5.0);
        c.f64(47000.0).u8(6);  // the sixth point is read and dropped
        for (int i = 0; i < 6; ++i)
            point(c, 100.0 * i);
        c.f64(48000.0).u8(255);
        for (int i = 0; i < 255; ++i)
            point(c, i);
    });
    w.f64(45000.0).f64(0.1).f64(NaN).f64(0.3).f64(45000.0).f64(0.2).f64(0.0).f64(0.05);
    RiskChart2DInputsPacket packet;
    ASSERT_TRUE(parse(w.data(), packet));
    ASSERT_EQ(packet.stocks.size(), 1u);
    const auto& s = *packet.stocks[0];
    EXPECT_EQ(s.symbol, "^SPX");
    EXPECT_EQ(s.text2, "text");
    EXPECT_EQ(s.pctPerStep, 2.5);
    EXPECT_EQ(s.currentPrice, 101.0);
    EXPECT_EQ(s.stockQty, -300);
    EXPECT_EQ(s.keepTradePrices, 1);
    EXPECT_EQ(s.prices, (std::vector<double>{95.0, 105.0}));
    ASSERT_EQ(s.positions.size(), 1u);
    EXPECT_EQ(s.positions[0].foreignId, 77);
    EXPECT_EQ(s.positions[0].indexForward, 4100.0f);

    ASSERT_EQ(s.curves.size(), 4u);
    const auto& first = s.curves.at(45000.0);
    EXPECT_EQ(first[2].strike, 32.0);
    EXPECT_EQ(first[2].putPrice2, 34.0);
    EXPECT_EQ(first[3].strike, 0.0);
    EXPECT_EQ(first[4].putPrice2, 0.0);
    EXPECT_EQ(s.curves.at(46000.0)[0].callPrice1, 0.0);
    EXPECT_EQ(s.curves.at(47000.0)[4].callPrice1, 400.0);
    EXPECT_EQ(s.curves.at(48000.0)[4].putPrice2, 8.0);

    EXPECT_EQ(packet.volShifts, (std::map<double, double>{{0.0, 0.05}, {45000.0, 0.2}}));
}

TEST(RiskChart2DRequest, ShiftsAreZeroWithoutUseVolShifts) {
    WireWriter w = header(10, 0, 0);
    w.f64(45000.0).f64(0.1).f64(0.0).f64(0.05);
    RiskChart2DInputsPacket packet;
    ASSERT_TRUE(parse(w.data(), packet));
    EXPECT_EQ(packet.volShifts, (std::map<double, double>{{0.0, 0.0}, {45000.0, 0.0}}));
}

TEST(RiskChart2DRequest, BoundsTheAxisAndCutsLongPriceLists) {
    RiskChart2DInputsPacket packet;
    WireWriter largest = header(9999, 0, 0);
    EXPECT_TRUE(parse(largest.f64(0.0).f64(0.0).data(), packet));
    for (std::uint32_t steps : {10000u, 0xFFFFFFFFu}) {
        WireWriter w = header(steps, 0, 0);
        EXPECT_FALSE(parse(w.f64(0.0).f64(0.0).data(), packet)) << steps;
    }

    WireWriter w = header(10, 0, 1);
    w.str("X").str("").f64(1.0).f64(100.0).i32(0).u8(0).u32(50);
    for (int i = 0; i < 50; ++i)
        w.f64(i);
    w.u32(0).f64(0.0).f64(0.0).f64(0.0);
    ASSERT_TRUE(parse(w.data(), packet));
    ASSERT_EQ(packet.stocks.size(), 1u);
    EXPECT_EQ(packet.stocks[0]->prices.size(), 11u);
    EXPECT_EQ(packet.stocks[0]->prices.back(), 10.0);
}

// `count` underlyings named S000, S001, ..., each with one position when `withPosition`.
void sameStocks(WireWriter& w, int count, bool withPosition) {
    for (int i = 0; i < count; ++i) {
        const std::string digits = std::to_string(1000 + i).substr(1);
        w.str("S" + digits).str("").f64(1.0).f64(100.0).i32(0).u8(1).u32(0).u32(withPosition ? 1 : 0);
        if (withPosition)
            w.i64(i + 1).f32(100.0f).f64(45000.0).f32(20.0f).f32(1.0f).u8(0).f32(0.0f).f64(0.0).f32(0.05f)
                .f32(0.05f).u32(0).f64(0.25).f32(2.0f).u8(0).f32(0.0f).f32(0.0f);
        w.f64(0.0);
    }
}

// The reply's strike list and strike table of an underlying, counted as if each position had a
// strike and an expiration of its own, are what a request may ask for beside its curves. Over
// 10,000 points one underlying of a 4-byte symbol and one position may send its curve (4 + 4 + 8n),
// its strike list (8 + 4 + 8), its strike table (8 + 4 + 192) and one greeks record (80): 80,312 bytes.
// Beside them go the header and the main curves (28 + 4 + 192n), the greeks count and the records of
// the stocks and the total (4 + 160) and the three list counts (12): 1,920,208 bytes. 299 such
// underlyings (2,990,299 valuations, within the 3,000,000 a request may ask for) take 24,013,288
// bytes; underlyings without positions 80,032 each. Within 32 MiB that leaves room for 95 of those,
// not 96.
TEST(RiskChart2DRequest, RefusesARequestWhoseReplyCouldExceedTheLargestReply) {
    for (const auto& [count, accepted] : {std::pair{95, true}, std::pair{96, false}}) {
        WireWriter w;
        w.u32(0).u32(0).u32(9999).f64(0.0).f64(2000.0).f64(1000.0).u8(0).i32(299 + count);
        sameStocks(w, 299, true);
        sameStocks(w, count, false);
        w.f64(0.0).f64(0.0);
        RiskChart2DInputsPacket packet;
        EXPECT_EQ(parse(w.data(), packet), accepted) << count;
    }
}

// Cut at every offset, the body never reaches its closing key: each parse ends, refused.
TEST(RiskChart2DRequest, ATruncatedBodyIsRefusedAtEveryOffset) {
    WireWriter w = header(10, 1, 2);
    for (const char* symbol : {"AAA", "BBB"})
        stock(w, symbol, [](WireWriter& c) {
            c.f64(45000.0).u8(6);
            for (int i = 0; i < 6; ++i)
                point(c, i);
        });
    w.f64(45000.0).f64(0.1).f64(0.0).f64(0.0);
    const Bytes& body = w.data();
    RiskChart2DInputsPacket whole;
    ASSERT_TRUE(parse(body, whole));
    ASSERT_EQ(whole.stocks.size(), 2u);
    EXPECT_EQ(whole.stocks[1]->curves.at(45000.0)[4].putPrice2, 8.0);
    for (std::size_t cut = 0; cut < body.size(); ++cut) {
        RiskChart2DInputsPacket packet;
        EXPECT_FALSE(parse(Bytes(body.begin(), body.begin() + cut), packet)) << cut;
    }
}

// A result with n points, curve k of the main curves and of the strike rows filled with k.
RiskChart2DResult filledResult(std::size_t n) {
    RiskChart2DResult result;
    for (std::size_t k = 0; k < RISK_CURVE_COUNT; ++k)
        result.curves[k].assign(n, static_cast<double>(k));
    result.greeks[GREEKS_TOTAL_KEY] = GREEKS_BY_EXP{1.5, 2.5, 3, -4, 5.5, 6.5, 7.5, 8.5, 9.5, 10.5};
    result.greeks[45000.0] = GREEKS_BY_EXP{};
    result.stockCurves.push_back({"AB", {std::vector<double>(n, 7.0)}});
    result.strikeLists.push_back({"AB", {110.0, 90.0}});
    StrikeRow row;
    for (std::size_t k = 0; k < RISK_CURVE_COUNT; ++k)
        row[k] = static_cast<double>(k);
    result.strikeTables.push_back({"AB", {row, row}});
    return result;
}

TEST(RiskChart2DReply, HeaderSizeAndLayoutAgree) {
    const std::size_t n = 3;
    const RiskChart2DResult result = filledResult(n);
    const Bytes id = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    Bytes reply;
    serializeRiskChart2DResult(result, reply, id);

    const std::size_t expected = 28 + 4 + 192 * n + 4 + 80 * 2 + 4 + (4 + 2 + 8 * n) + 4 + (8 + 2 + 16) + 4 +
                                 (8 + 2 + 192 * 2);
    EXPECT_EQ(reply.size(), expected);
    EXPECT_EQ(riskChart2DReplySize(result), expected);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 0), 1872u);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 4), 0u);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 8), expected);
    EXPECT_EQ(Bytes(reply.begin() + 12, reply.begin() + 28), id);

    const std::vector<double> replyOrder = {0, 1, 2, 3, 5, 4, 18, 19, 20, 21, 23, 22,
                                            6, 12, 7, 13, 8, 14, 9, 15, 11, 17, 10, 16};
    std::size_t offset = 28;
    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset), n);
    offset += 4;
    for (double k : replyOrder)
        for (std::size_t i = 0; i < n; ++i, offset += 8)
            ASSERT_EQ(valueAt<double>(reply, offset), k) << offset;

    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset), 2u);
    offset += 4;
    // The total first: key, dollarDelta, delta, gamma, timeValue, rho, theta, contracts, the counts, vega.
    const std::vector<double> total = {-1.0, 10.5, 6.5, 5.5, 1.5, 9.5, 7.5, 2.5};
    for (std::size_t i = 0; i < total.size(); ++i)
        EXPECT_EQ(valueAt<double>(reply, offset + 8 * i), total[i]) << i;
    EXPECT_EQ(valueAt<std::int32_t>(reply, offset + 64), 3);
    EXPECT_EQ(valueAt<std::int32_t>(reply, offset + 68), -4);
    EXPECT_EQ(valueAt<double>(reply, offset + 72), 8.5);
    EXPECT_EQ(valueAt<double>(reply, offset + 80), 45000.0);
    offset += 160;

    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset), 1u);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset + 4), 2u);
    EXPECT_EQ(std::string(reply.begin() + offset + 8, reply.begin() + offset + 10), "AB");
    EXPECT_EQ(valueAt<double>(reply, offset + 10 + 8 * (n - 1)), 7.0);
    offset += 10 + 8 * n;

    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset), 1u);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset + 10), 2u);
    EXPECT_EQ(valueAt<double>(reply, offset + 14), 90.0);
    EXPECT_EQ(valueAt<double>(reply, offset + 22), 110.0);
    offset += 30;

    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset), 1u);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, offset + 10), 2u);
    offset += 14;
    for (int row = 0; row < 2; ++row)
        for (double k : replyOrder)
            ASSERT_EQ(valueAt<double>(reply, (offset += 8) - 8), k);
    EXPECT_EQ(offset, reply.size());
}

TEST(RiskChart2DReply, OfARequestWithoutUnderlyings) {
    RiskChart2DResult result;
    for (auto& curve : result.curves)
        curve.assign(11, 0.0);
    result.greeks[GREEKS_TOTAL_KEY] = GREEKS_BY_EXP{};
    Bytes reply;
    serializeRiskChart2DResult(result, reply, Bytes(16, 0));
    EXPECT_EQ(reply.size(), 28u + 4 + 192 * 11 + 4 + 80 + 12);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 8), reply.size());
}

}  // namespace

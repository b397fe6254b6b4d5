// The handlers that answer with a computed reply, and the table of all handlers.
#include "handlers/ModelHandlers.h"

#include <atomic>

#include <gtest/gtest.h>

#include "HandlerFixture.h"
#include "HandlerTestSupport.h"
#include "handlers/HandlerRegistry.h"
#include "models/RequestStop.h"
#include "packets/RiskChart2DPacket.h"
#include "support/WireWriter.h"

namespace {

using bridgetest::localMs;
using bridgetest::valueAt;
using handlertest::anyContains;
using handlertest::run;
using wiretest::WireWriter;

using ModelHandlers = handlertest::HandlersWithFake;

// A risk table of a stock position alone at `slides` prices around 100.
std::vector<std::uint8_t> riskTableBody(std::uint32_t slides) {
    WireWriter w;
    w.str("RT").u8(0).f32(0.1f).f64(localMs(2024, 1, 2)).f64(localMs(2024, 1, 2));
    w.f32(100.0f).f32(0.0f).f32(10.0f).u8(1).u32(slides);
    for (std::uint32_t i = 0; i < slides; ++i)
        w.f32(90.0f + static_cast<float>(i));
    w.u32(0);
    return w.data();
}

TEST_F(ModelHandlers, TheRiskTableAnswersOneRowPerSlidePrice) {
    Handlers::RiskTableHandler handler;
    const auto reply = run(handler, riskTableBody(3));
    ASSERT_EQ(reply.size(), 36u + 144 * 3);
    handlertest::expectReplyHeader(reply, 512);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 32), 3u);
    EXPECT_EQ(valueAt<double>(reply, 36), 10.0 * (90.0 - 100.0));  // the stock's profit at the first slide
    EXPECT_EQ(valueAt<double>(reply, 36 + 24), 10.0);               // its delta
}

TEST_F(ModelHandlers, ARiskTableTheModelRefusesIsLoggedAndNotAnswered) {
    Handlers::RiskTableHandler handler;
    EXPECT_TRUE(run(handler, riskTableBody(10001)).empty());
    EXPECT_TRUE(anyContains(logged(), "error: RiskTableHandler::handlerisk table of 10001 slides refused"));
}

TEST_F(ModelHandlers, RiskChartDataAnswersBothTables) {
    Handlers::RiskChartDataHandler handler;
    WireWriter w;
    w.str("RC").u8(0).u8(0).f64(0.01).u32(1).f64(0).f64(0).f64(100).f64(localMs(2024, 1, 2));
    w.f64(localMs(2024, 1, 2)).f64(5).f64(7).u8(1).u32(0).u32(0);
    const auto reply = run(handler, w.data());
    ASSERT_EQ(reply.size(), 3396u);
    handlertest::expectReplyHeader(reply, 32);
    EXPECT_EQ(valueAt<double>(reply, 28 + 80 * 10), 100.0);  // the middle row's price
    EXPECT_EQ(valueAt<double>(reply, 3388), 7.0);
}

TEST_F(ModelHandlers, ARisk2DRequestCutShortIsNotAnswered) {
    Handlers::RiskChart2DHandler handler;
    WireWriter w;
    w.u32(0).u32(0).f64(0);
    EXPECT_TRUE(run(handler, w.data()).empty());
}

// Over 10,000 points, with neither positions nor strike tables, each underlying of a 4-byte symbol
// adds its value curve to the reply: 4 + 4 + 8 x 10,000 = 80,008 bytes. The rest is the header and
// the 24 main curves (28 + 4 + 192 x 10,000), the greeks count with the stocks' and the total's
// records (4 + 160) and the three list counts (12): 1,920,208 bytes. A reply may take 32 MiB: 395
// underlyings fit (33,523,368 bytes), 396 would not (33,603,376).
TEST_F(ModelHandlers, ARisk2DRequestWhoseReplyWouldBeTooLargeIsRefusedBeforeItIsComputed) {
    Handlers::RiskChart2DHandler handler;
    const auto body = [](int stocks) {
        WireWriter w;
        w.u32(1).u32(0).u32(9999).f64(0.0).f64(localMs(2024, 1, 2)).f64(localMs(2024, 1, 2)).u8(0).i32(stocks);
        for (int i = 0; i < stocks; ++i)
            w.str("S" + std::to_string(1000 + i).substr(1)).str("").f64(1.0).f64(100.0).i32(0).u8(0).u32(0).u32(0)
                .f64(0.0);
        return w.f64(0.0).f64(0.0).data();
    };
    const auto largest = run(handler, body(395));
    ASSERT_EQ(largest.size(), 33523368u);
    handlertest::expectReplyHeader(largest, 1872);
    logged();

    EXPECT_TRUE(run(handler, body(396)).empty());
    EXPECT_TRUE(anyContains(logged(), "error: RISK_2D request of 396 underlyings, 10000 points and 0 positions: a "
                                      "reply of up to 33603376 bytes, more than 33554432, refused"));
}

// One position on the wire: an American call on 100 with `timeToExpiry` years left, traded at 1.
void writePosition(WireWriter& w, double timeToExpiry) {
    w.i64(7).f32(100.0f).f64(localMs(2024, 7, 2)).f32(20.0f).f32(1.0f).u8(0).f32(0.0f).f64(0.0).f32(0.05f);
    w.f32(0.05f).u32(1).f64(timeToExpiry).f32(1.0f).u8(0).u32(0).f32(0.0f);
}

// One underlying of `positions` expired positions over steps + 1 points, with or without its strike
// table.
std::vector<std::uint8_t> risk2DBody(int positions, std::uint32_t steps, bool tables) {
    WireWriter w;
    w.u32(tables ? 0 : 1).u32(0).u32(steps).f64(0.0).f64(localMs(2024, 1, 2)).f64(localMs(2024, 1, 2)).u8(0).i32(1);
    w.str("S").str("").f64(1.0).f64(100.0).i32(0).u8(1).u32(0).u32(static_cast<std::uint32_t>(positions));
    for (int i = 0; i < positions; ++i)
        writePosition(w, 0.0);
    return w.f64(0.0).f64(0.0).f64(0.0).data();
}

bool risk2DAccepted(const std::vector<std::uint8_t>& body) {
    Packets::RequestStream request(body);
    Packets::Incoming::RiskChart2DInputsPacket packet;
    return static_cast<bool>(Packets::Incoming::parseRiskChart2DInputsPacket(request, packet));
}

// A chart values each underlying's positions at every point and, with its strike table, at each of
// their strikes (one per position at most): 3,000,000 valuations are the most a request may ask for.
TEST_F(ModelHandlers, ARisk2DRequestOfTooManyValuationsIsRefusedBeforeItIsComputed) {
    EXPECT_TRUE(risk2DAccepted(risk2DBody(300, 9999, false)));
    EXPECT_FALSE(risk2DAccepted(risk2DBody(301, 9999, false)));
    EXPECT_TRUE(risk2DAccepted(risk2DBody(300, 9699, true)));  // 300 x (9,700 + 300)
    EXPECT_FALSE(risk2DAccepted(risk2DBody(300, 9700, true)));
    logged();

    Handlers::RiskChart2DHandler handler;
    EXPECT_TRUE(run(handler, risk2DBody(301, 9999, false)).empty());
    const auto lines = logged();
    EXPECT_TRUE(anyContains(lines, "error: RISK_2D request of 1 underlyings, 10000 points and 301 positions: up to "
                                   "3010000 position valuations, more than 3000000, refused"));
    EXPECT_FALSE(anyContains(lines, "RiskChart::chart"));
}

// The library's prices, counted; the session's stop flag is set by the tenth, as a stop arriving
// mid-request would be.
std::atomic<int> g_prices{0};
std::atomic<int> g_stopping{0};
double priceThenStop(int, int, int, int, const double*, const double*, const double*, const double*, const double*,
                     const double*, const std::vector<double>*, const std::vector<double>*) {
    if (++g_prices == 10)
        g_stopping = 1;
    return 2.0;
}

// Each position of either list fills 21 rows by 8 days: 17,858 positions make 3,000,144 valuations.
TEST_F(ModelHandlers, RiskChartDataOfTooManyValuationsIsRefusedBeforeItIsComputed) {
    fake().hooks.calcTheoPrice = &priceThenStop;
    g_prices = 0;
    WireWriter w;
    w.str("RC").u8(0).u8(0).f64(0.01).u32(1).f64(0).f64(0).f64(100).f64(localMs(2024, 1, 2));
    w.f64(localMs(2024, 1, 2)).f64(5).f64(7).u8(1).u32(17857);
    for (int i = 0; i < 17857; ++i)
        writePosition(w, 0.5);
    w.u32(1);
    writePosition(w, 0.5);
    Handlers::RiskChartDataHandler handler;
    EXPECT_TRUE(run(handler, w.data()).empty());
    EXPECT_TRUE(anyContains(logged(), "error: CALC_RISK_CHART_DATA request of 17857 and 1 positions: 3000144 "
                                      "position valuations, more than 3000000, refused"));
    EXPECT_EQ(g_prices.load(), 0);
}

// Once its session stops, a chart gives way at the next position of either pass and is not answered.
TEST_F(ModelHandlers, ARisk2DRequestGivesWayOnceItsSessionStops) {
    fake().hooks.calcTheoPrice = &priceThenStop;
    WireWriter w;
    w.u32(0).u32(0).u32(999).f64(0.0).f64(localMs(2024, 1, 2)).f64(localMs(2024, 1, 2)).u8(0).i32(1);
    w.str("S").str("").f64(1.0).f64(100.0).i32(0).u8(1).u32(0).u32(100);
    for (int i = 0; i < 100; ++i)
        writePosition(w, 0.5);
    w.f64(0.0).f64(0.0).f64(0.0);
    g_prices = 0;
    g_stopping = 0;
    Handlers::RiskChart2DHandler handler;
    {
        const models::StopScope scope(&g_stopping);
        EXPECT_TRUE(run(handler, w.data()).empty());
    }
    // The position being priced when the flag was set finishes its point: two prices at most.
    EXPECT_LE(g_prices.load(), 12);
    EXPECT_TRUE(anyContains(logged(), "info: RiskChart2DHandler: the session is stopping: request dropped"));
}

TEST(HandlerRegistry, ServesEveryRequestTypeOfTheService) {
    std::vector<int> types;
    for (const auto& [type, handler] : Handlers::calculationHandlers()) {
        types.push_back(type);
        EXPECT_NE(handler, nullptr);
    }
    EXPECT_EQ(types, (std::vector<int>{16, 257, 265, 278, 279, 280, 281, 512, 513, 1024, 1026, 1536, 1792, 1793,
                                       1794, 1795, 1872, 1888, 2048, 2049}));
}

}  // namespace

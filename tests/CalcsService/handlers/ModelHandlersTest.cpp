// The handlers that answer with a computed reply, and the table of all handlers.
#include "handlers/ModelHandlers.h"

#include <gtest/gtest.h>

#include "HandlerFixture.h"
#include "HandlerTestSupport.h"
#include "handlers/HandlerRegistry.h"
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

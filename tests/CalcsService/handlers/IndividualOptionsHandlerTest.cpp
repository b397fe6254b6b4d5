// The individual-option requests: what is parsed reaches the library, a time without a local date
// stops the request with the bridge's error line.
#include "handlers/IndividualOptionsHandler.h"

#include <limits>

#include <gtest/gtest.h>

#include "HandlerFixture.h"
#include "HandlerTestSupport.h"
#include "support/WireWriter.h"

namespace {

using bridgetest::localMs;
using handlertest::anyContains;
using handlertest::run;
using wiretest::WireWriter;

std::vector<std::int64_t> g_fed;  // the foreign ids of the messages, 0 for an underlying's

void RecordMessage(const FeedMessage*, int, std::int64_t foreignId) { g_fed.push_back(foreignId); }

class IndividualOptions : public handlertest::HandlersWithFake {
protected:
    void SetUp() override {
        HandlersWithFake::SetUp();
        g_fed.clear();
        fake().hooks.processMessage = &RecordMessage;
    }
};

// One underlying with one expiration of one v3 option, then a block with a bad symbol length.
WireWriter v3Body(double time) {
    WireWriter w;
    w.f64(time).str("IOA").str("IOA").f32(100).f32(99.5f).f32(100.5f).f32(99);
    w.f64(localMs(2030, 1, 18, 16)).u32(1).i64(41).f32(100).u8(0).f32(25).f32(5.5f).f32(5.0f).f64(0.0);
    w.u32(17);
    return w;
}

TEST_F(IndividualOptions, WhatWasParsedBeforeABadBlockIsFed) {
    Handlers::v3::CalculateIndividualTheoasAndGreeksHandler handler;
    EXPECT_TRUE(run(handler, v3Body(localMs(2024, 5, 6, 10)).data()).empty());
    EXPECT_EQ(g_fed.size(), 2u);  // the underlying's quote, then the option's
    EXPECT_EQ(g_fed.back(), 41);
}

TEST_F(IndividualOptions, ATimeWithoutALocalDateFeedsNothing) {
    Handlers::v3::CalculateIndividualTheoasAndGreeksHandler handler;
    run(handler, v3Body(std::numeric_limits<double>::infinity()).data());
    EXPECT_TRUE(g_fed.empty());
    EXPECT_TRUE(anyContains(logged(), "error: CalculateIndividualTheoasAndGreeksHandler exception : can't recognize "
                                      "datetime in CalculateIndividualOptionTheosAndGreeksPacket"));
}

}  // namespace

#include "calcdll_api/IndividualOptionsFeed.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeTestSupport.h"
#include "calcdll_api/AsyncResults.h"
#include "calcdll_api/UserVolatilityCache.h"

namespace {

using bridgetest::localMs;
using bridgetest::optionQuote;
using Packets::Incoming::ExpiryBlock;
using Packets::Incoming::IndividualOptionsSnapshot;
using Packets::Incoming::UnderlyingBlock;

struct Sent {
    FeedMessage message;
    int id32;
    std::int64_t foreignId;
    double userVolatility;  // what the library's callback gave while the quote was taken
};
std::vector<Sent> g_sent;
std::vector<std::string> g_calls;

void RecordMessage(const FeedMessage* message, int id32, std::int64_t foreignId) {
    double volatility = 0.0;
    getUserVolatilityCallback(foreignId, &volatility);
    g_sent.push_back({*message, id32, foreignId, volatility});
}
int16_t RecordDate(int year, uint8_t month, uint8_t day) {
    g_calls.push_back("date " + std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day));
    return static_cast<int16_t>(year);
}
void RecordPurge() { g_calls.push_back("purge"); }
void RecordCleanUp() { g_calls.push_back("clean up"); }

class IndividualOptionsFeed : public bridgetest::BridgeWithFake {
protected:
    void SetUp() override {
        BridgeWithFake::SetUp();
        g_sent.clear();
        g_calls.clear();
        fake().hooks.processMessage = &RecordMessage;
        fake().hooks.setGlobalDate = &RecordDate;
    }
};

TEST_F(IndividualOptionsFeed, TimesWithoutALocalDateThrowAndCallNothing) {
    for (const double bad : {std::nan(""), 3.3e16, -1.0}) {
        try {
            setGlobalDate(bad);
            ADD_FAILURE() << bad << " was taken";
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), "can't recognize datetime in CalculateIndividualOptionTheosAndGreeksPacket");
        }
        IndividualOptionsSnapshot packet;
        packet.time = bad;
        packet.blocks[{"SPY", "SPY"}] = UnderlyingBlock{};
        EXPECT_THROW(feedIndividualOptions(packet), std::logic_error);
    }
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(g_sent.empty());
}

TEST_F(IndividualOptionsFeed, EachUnderlyingGoesBeforeItsOptions) {
    IndividualOptionsSnapshot packet;
    packet.time = localMs(2015, 1, 12, 9, 30, 5, 250);
    UnderlyingBlock spy;
    spy.price = 45.0f;
    spy.last = 45.0f;  // price equals last: a trade
    spy.bid = 44.9f;
    spy.ask = 45.1f;
    ExpiryBlock january;
    january.expiration = localMs(2015, 1, 16, 16);
    january.options = {optionQuote(1001, 42.5f, false, 25.0, 2.6f, 2.8f), optionQuote(1002, 42.5f, true, 0.0, 0.1f, 0.2f)};
    spy.expirations = {january};
    packet.blocks[{"SPY", "SPY"}] = spy;
    UnderlyingBlock spx;
    spx.price = 2000.0f;
    spx.last = 2001.0f;  // a quote
    spx.bid = 1999.5f;
    spx.ask = 2000.5f;
    packet.blocks[{"^SPX", "SPX"}] = spx;

    feedIndividualOptions(packet);
    EXPECT_EQ(g_calls, std::vector<std::string>{"date 2015-1-12"});
    ASSERT_EQ(g_sent.size(), 4u);
    const std::uint32_t time = 93005250;

    // In map order: 'S' sorts before '^'.
    const FeedMessage& trade = g_sent[0].message;
    EXPECT_EQ(trade.type, 0x41);
    EXPECT_EQ(trade.flag, 1);
    EXPECT_EQ(trade.time, time);
    EXPECT_STREQ(trade.key, "SPY");
    EXPECT_EQ(trade.last, 45.0f);
    EXPECT_EQ(trade.bid, 0.0f);
    EXPECT_EQ(trade.ask, 0.0f);
    EXPECT_EQ(g_sent[0].id32, -1);
    EXPECT_EQ(g_sent[0].foreignId, -1);

    const FeedMessage& call = g_sent[1].message;
    EXPECT_EQ(call.type, 0x82);
    EXPECT_EQ(call.unused2, 0xFE);
    EXPECT_EQ(call.time, time);
    const unsigned char callKey[12] = {'S', 'P', 'Y', 0, 0, 15, 'A', 16, 0x04, 0xA6, 0, 0};
    EXPECT_EQ(std::memcmp(call.key, callKey, 12), 0);
    EXPECT_EQ(call.bid, 2.6f);
    EXPECT_EQ(call.ask, 2.8f);
    EXPECT_EQ(call.last, 0.0f);
    EXPECT_EQ(g_sent[1].foreignId, 1001);
    EXPECT_EQ(g_sent[1].userVolatility, 0.25);  // a fraction, while the quote is taken
    EXPECT_EQ(g_sent[2].message.key[6], 'M');
    EXPECT_EQ(g_sent[2].userVolatility, 0.0);

    const FeedMessage& quote = g_sent[3].message;
    EXPECT_EQ(quote.type, 0xE2);
    EXPECT_STREQ(quote.key, "^SPX");
    EXPECT_EQ(quote.last, 0.0f);
    EXPECT_EQ(quote.bid, 1999.5f);
    EXPECT_EQ(quote.ask, 2000.5f);
}

TEST_F(IndividualOptionsFeed, WhatTheLibraryCannotTakeIsLeftOutNotCut) {
    IndividualOptionsSnapshot packet;
    packet.time = localMs(2015, 1, 12, 10);
    UnderlyingBlock block;
    block.price = 1.0f;
    block.last = 1.0f;
    ExpiryBlock far;
    far.expiration = 3.3e16;  // no local date: its options are skipped
    far.options = {optionQuote(1, 10.0f, false, 0.0, 1.0f, 1.1f)};
    ExpiryBlock near;
    near.expiration = localMs(2015, 2, 20, 16);
    near.options = {optionQuote(2, std::nanf(""), false, 0.0, 1.0f, 1.1f), optionQuote(3, 10.0f, false, 0.0, 1.0f, 1.1f)};
    block.expirations = {far, near};
    packet.blocks[{"ABCDEFGHIJKLMNO", "ABC"}] = block;   // 15 characters: fits
    packet.blocks[{"ABCDEFGHIJKLMNOP", "ABC"}] = block;  // 16: refused with its options

    feedIndividualOptions(packet);
    ASSERT_EQ(g_sent.size(), 2u);
    EXPECT_STREQ(g_sent[0].message.key, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(g_sent[1].foreignId, 3);
}

TEST_F(IndividualOptionsFeed, ResetPurgesReleasesAndForgetsTheClient) {
    IndividualOptionsSnapshot packet;
    packet.time = localMs(2015, 1, 12, 10);
    UnderlyingBlock block;
    ExpiryBlock expiry;
    expiry.expiration = localMs(2015, 2, 20, 16);
    expiry.options = {optionQuote(5, 10.0f, false, 30.0, 1.0f, 1.1f)};
    block.expirations = {expiry};
    packet.blocks[{"XYZ", "XYZ"}] = block;
    feedIndividualOptions(packet);
    double volatility = 0.0;
    ASSERT_TRUE(getUserVolatilityCallback(5, &volatility));
    EXPECT_DOUBLE_EQ(volatility, 0.3);

    const OptionResult result{};
    calcDllMessageCallback(&result, eResultOption, 1, 5, 0);

    g_calls.clear();
    fake().hooks.purgeProcessingQueues = &RecordPurge;
    fake().hooks.cleanUpRecords = &RecordCleanUp;
    Bridge::Reset();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"purge", "clean up"}));
    volatility = -1.0;
    EXPECT_FALSE(getUserVolatilityCallback(5, &volatility));
    EXPECT_EQ(volatility, -1.0);
    std::vector<std::vector<std::uint8_t>> packets;
    takeAsyncResults(packets);  // the client's results went with it
    EXPECT_TRUE(packets.empty());
}

}  // namespace

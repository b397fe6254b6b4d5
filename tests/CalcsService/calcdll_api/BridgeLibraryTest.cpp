// The bridge with the real calculation library: an option tree registered, quotes fed, results
// collected from the library's processing threads.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeTestSupport.h"
#include "calcdll_api/DllBridge.h"
#include "calcdll_api/IndividualOptionsFeed.h"
#include "calcdll_api/OptionKeys.h"
#include "calcdll_api/SettingsFeed.h"
#include "models/Calculations.h"

namespace {

using bridgetest::localMs;
using bridgetest::optionQuote;
using bridgetest::valueAt;
using Packets::Incoming::ExpiryBlock;
using Packets::Incoming::IndividualOptionsSnapshot;
using Packets::Incoming::UnderlyingBlock;

class BridgeLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitCalcDLL("brkcalcslib.dll", (logs.str() + "/bridge%Y.log").c_str())); }
    static void TearDownTestSuite() { ExternalCalculations::ReleaseCalcDll(); }
    static testsupport::TempDir logs;
};
testsupport::TempDir BridgeLibrary::logs;

// Result entries by foreign id, collected until every wanted id has arrived or 20 s have passed.
std::map<std::int64_t, std::vector<std::uint8_t>> CollectResults(const std::vector<std::int64_t>& wanted) {
    std::map<std::int64_t, std::vector<std::uint8_t>> entries;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto complete = [&] {
        for (const std::int64_t id : wanted)
            if (!entries.count(id))
                return false;
        return true;
    };
    while (!complete() && std::chrono::steady_clock::now() < deadline) {
        std::vector<std::vector<std::uint8_t>> packets;
        takeAsyncResults(packets);
        for (const auto& packet : packets) {
            const auto n = valueAt<std::uint32_t>(packet, 28);
            for (std::uint32_t i = 0; i < n; ++i) {
                const auto* at = packet.data() + 32 + 81 * i;
                entries[valueAt<std::int64_t>(packet, 32 + 81 * i)] = std::vector<std::uint8_t>(at, at + 81);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return entries;
}

// SPY at 45 on 12 January 2015, the 16 January 42.5 call and put of ids 1001 and 1002.
IndividualOptionsSnapshot SpyQuotes(float callBid, float callAsk) {
    IndividualOptionsSnapshot packet;
    packet.time = localMs(2015, 1, 12, 10, 0, 0);
    UnderlyingBlock spy;
    spy.price = 45.0f;
    spy.last = 45.0f;
    ExpiryBlock january;
    january.expiration = localMs(2015, 1, 16, 16);
    january.options = {optionQuote(1001, 42.5f, false, 0.0, callBid, callAsk), optionQuote(1002, 42.5f, true, 0.0, 0.05f, 0.1f)};
    spy.expirations = {january};
    packet.blocks[{"SPY", "SPY"}] = spy;
    return packet;
}

void RegisterSpyTree() {
    setGlobalDate(localMs(2015, 1, 12, 10));
    registerOptionPair("SPY", OptionTreeStrike{2015, 0, 16, 42.5f, 0, 1001, 1002});
}

TEST_F(BridgeLibrary, AFedOptionTreeComesBackAsResults) {
    RegisterSpyTree();
    feedIndividualOptions(SpyQuotes(2.5f, 2.7f));

    const auto entries = CollectResults({1001, 1002});
    ASSERT_TRUE(entries.count(1001));
    ASSERT_TRUE(entries.count(1002));
    const auto& call = entries.at(1001);
    EXPECT_EQ(valueAt<float>(call, 69), 45.0f);  // underlying price used: the trade
    // Priced at the implied volatility of the mid, the theoretical value is the mid.
    EXPECT_NEAR(valueAt<float>(call, 40), 2.6f, 0.01f);
    const float years = valueAt<float>(call, 73);
    EXPECT_GT(years, 3.0f / 365.0f);
    EXPECT_LT(years, 5.0f / 365.0f);
    EXPECT_GT(valueAt<float>(call, 8), 50.0f);  // delta x100 of a call deep in the money

    Bridge::Reset();
}

// 200 strikes of SPY's 16 January 2015 expiration, call and put each: ids 2000 and up.
void RegisterWideTree() {
    setGlobalDate(localMs(2015, 1, 12, 10));
    for (int i = 0; i < 200; ++i)
        registerOptionPair("SPY", OptionTreeStrike{2015, 0, 16, 30.0f + 0.5f * static_cast<float>(i), 0, 2000 + 2 * i,
                                                   2001 + 2 * i});
}

IndividualOptionsSnapshot WideQuotes(float shift) {
    IndividualOptionsSnapshot packet = SpyQuotes(2.5f, 2.7f);
    auto& options = packet.blocks.begin()->second.expirations[0].options;
    for (int i = 0; i < 200; ++i) {
        const float strike = 30.0f + 0.5f * static_cast<float>(i);
        const float call = std::max(45.0f - strike, 0.05f) + shift;
        const float put = std::max(strike - 45.0f, 0.05f) + shift;
        options.push_back(optionQuote(2000 + 2 * i, strike, false, 0.0, call, call + 0.2f));
        options.push_back(optionQuote(2001 + 2 * i, strike, true, 0.0, put, put + 0.2f));
    }
    return packet;
}

// The client's reset while the library still has quotes queued and in processing.
TEST_F(BridgeLibrary, ResetDuringAFeedLeavesTheLibraryUsable) {
    for (int round = 0; round < 20; ++round) {
        RegisterWideTree();
        for (int i = 0; i < 5; ++i)
            feedIndividualOptions(WideQuotes(0.01f * static_cast<float>(i)));
        Bridge::Reset();
    }
    std::vector<std::vector<std::uint8_t>> packets;
    takeAsyncResults(packets);  // whatever arrived after the last reset

    RegisterSpyTree();
    feedIndividualOptions(SpyQuotes(2.5f, 2.7f));
    EXPECT_EQ(CollectResults({1001}).count(1001), 1u);
    Bridge::Reset();
}

}  // namespace

#include "calcdll_api/AsyncResults.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeTestSupport.h"

namespace {

using bridgetest::valueAt;
using Packets = std::vector<std::vector<std::uint8_t>>;

// The fake's inputs: derived from the internal id, so an entry shows whose inputs it carries.
int InputsOfInternalId(int64_t id, OptionCalcInputs* inputs) {
    inputs->timeToExpiration = 0.25;
    inputs->rate = 0.01;
    inputs->carry = 0.02;
    inputs->underlyingPrice = 100.0 + static_cast<double>(id);
    inputs->volatility = 0.3;
    inputs->model = 2;
    inputs->midIV = 0.31;
    inputs->dividendAmount = 0.5;
    inputs->dividendTime = 0.1;
    return static_cast<int>(id);
}

int UnknownId(int64_t, OptionCalcInputs*) { return -1; }

int Throwing(int64_t, OptionCalcInputs*) { throw std::runtime_error("library failure"); }

OptionResult ResultWithTheo(double theo) {
    OptionResult r{};
    r.bidIV = 0.25;
    r.askIV = 0.35;
    r.midIV = 0.3;
    r.theo = theo;
    r.probabilityITM = 55.0;
    r.delta = 51.0;
    r.gamma = 2.0;
    r.theta = -1.5;
    r.vega = 0.2;
    r.rho = 0.1;
    return r;
}

void Publish(std::int64_t foreignId, const OptionResult& result, int internalId = 1) {
    calcDllMessageCallback(&result, eResultOption, internalId, static_cast<int>(foreignId & 0xFFFFFFFF),
                           static_cast<int>(foreignId >> 32));
}

std::vector<std::int64_t> IdsOf(const std::vector<std::uint8_t>& packet) {
    std::vector<std::int64_t> ids;
    const auto n = valueAt<std::uint32_t>(packet, 28);
    for (std::uint32_t i = 0; i < n; ++i)
        ids.push_back(valueAt<std::int64_t>(packet, 32 + 81 * i));
    return ids;
}

using AsyncResults = bridgetest::BridgeWithFake;

TEST_F(AsyncResults, ThreeResultsMakeOnePacketInIdOrder) {
    fake().hooks.requestOptionCalcInputs = &InputsOfInternalId;
    Publish(7, ResultWithTheo(7.0), 70);
    Publish(-5, ResultWithTheo(-5.0), 50);
    Publish(3, ResultWithTheo(3.0), 30);

    Packets packets;
    takeAsyncResults(packets);
    ASSERT_EQ(packets.size(), 1u);
    const auto& p = packets[0];
    ASSERT_EQ(p.size(), 275u);
    EXPECT_EQ(valueAt<std::uint32_t>(p, 0), 261u);
    EXPECT_EQ(valueAt<std::uint32_t>(p, 4), 0u);
    EXPECT_EQ(valueAt<std::uint32_t>(p, 8), 275u);
    for (std::size_t i = 12; i < 28; ++i)
        EXPECT_EQ(p[i], 0) << "request id byte " << i;
    EXPECT_EQ(IdsOf(p), (std::vector<std::int64_t>{-5, 3, 7}));

    // The first entry, field by field.
    const std::size_t e = 32;
    EXPECT_EQ(valueAt<float>(p, e + 8), 51.0f);    // delta
    EXPECT_EQ(valueAt<float>(p, e + 12), 2.0f);    // gamma
    EXPECT_EQ(valueAt<float>(p, e + 16), 0.1f);    // rho
    EXPECT_EQ(valueAt<float>(p, e + 20), 0.2f);    // vega
    EXPECT_EQ(valueAt<float>(p, e + 24), -1.5f);   // theta
    EXPECT_EQ(valueAt<float>(p, e + 28), 35.0f);   // ask IV %
    EXPECT_EQ(valueAt<float>(p, e + 32), 25.0f);   // bid IV %
    EXPECT_EQ(valueAt<float>(p, e + 36), 30.0f);   // mid IV %
    EXPECT_EQ(valueAt<float>(p, e + 40), -5.0f);   // theo
    EXPECT_EQ(valueAt<float>(p, e + 44), 55.0f);   // probability ITM
    EXPECT_EQ(valueAt<float>(p, e + 48), 0.02f);   // carry
    EXPECT_EQ(valueAt<float>(p, e + 52), 0.5f);    // first dividend
    EXPECT_EQ(valueAt<float>(p, e + 56), 0.1f);    // its time
    EXPECT_EQ(p[e + 60], 2);                       // model
    EXPECT_EQ(valueAt<float>(p, e + 61), 0.31f);   // mid IV, fraction
    EXPECT_EQ(valueAt<float>(p, e + 65), 0.01f);   // rate
    EXPECT_EQ(valueAt<float>(p, e + 69), 150.0f);  // underlying price: internal id 50's inputs
    EXPECT_EQ(valueAt<float>(p, e + 73), 0.25f);   // time to expiration
    EXPECT_EQ(valueAt<float>(p, e + 77), 30.0f);   // volatility %

    // Each result goes out once.
    packets.clear();
    takeAsyncResults(packets);
    EXPECT_TRUE(packets.empty());
}

TEST_F(AsyncResults, TheNewestResultOfAnOptionWinsAndOtherKindsAreDropped) {
    fake().hooks.requestOptionCalcInputs = &UnknownId;
    Publish(0x123456789LL, ResultWithTheo(1.0));
    Publish(0x123456789LL, ResultWithTheo(2.0));
    const OptionResult other = ResultWithTheo(9.0);
    calcDllMessageCallback(&other, eResultUnderlying, 1, 8, 0);
    calcDllMessageCallback(&other, eResultExpirySummary, 1, 9, 0);
    calcDllMessageCallback(nullptr, eResultOption, 1, 10, 0);

    Packets packets;
    takeAsyncResults(packets);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(IdsOf(packets[0]), (std::vector<std::int64_t>{0x123456789LL}));
    EXPECT_EQ(valueAt<float>(packets[0], 32 + 40), 2.0f);
    // An option the library no longer knows: its inputs are zero.
    EXPECT_EQ(valueAt<float>(packets[0], 32 + 69), 0.0f);
    EXPECT_EQ(packets[0][32 + 60], 0);
}

TEST_F(AsyncResults, ALibraryFailureInsideTheCallbackStaysThere) {
    fake().hooks.requestOptionCalcInputs = &Throwing;
    EXPECT_NO_THROW(Publish(4, ResultWithTheo(1.0)));
    Packets packets;
    takeAsyncResults(packets);
    EXPECT_TRUE(packets.empty());
}

TEST_F(AsyncResults, ResultsBeyondOnePacketGoOutInSeveralInIdOrder) {
    fake().hooks.requestOptionCalcInputs = &UnknownId;
    const std::int64_t n = static_cast<std::int64_t>(Bridge::MAX_RESULTS_PER_PACKET) + 1;
    for (std::int64_t id = n; id >= 1; --id)
        Publish(id, ResultWithTheo(1.0));

    Packets packets;
    takeAsyncResults(packets);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].size(), 32u + 81u * 64726u);
    EXPECT_LE(packets[0].size(), 5u * 1024u * 1024u);
    EXPECT_EQ(valueAt<std::uint32_t>(packets[0], 8), packets[0].size());
    EXPECT_EQ(valueAt<std::int64_t>(packets[0], 32), 1);
    EXPECT_EQ(IdsOf(packets[1]), (std::vector<std::int64_t>{n}));
}

// The library publishes from several processing threads while the session collects.
TEST_F(AsyncResults, ConcurrentPublishersAndCollectorSendEachResultOnce) {
    fake().hooks.requestOptionCalcInputs = &InputsOfInternalId;
    constexpr int kThreads = 4;
    constexpr int kPerThread = 10000;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> publishers;
    for (int t = 0; t < kThreads; ++t)
        publishers.emplace_back([t, &running] {
            for (int i = 0; i < kPerThread; ++i)
                Publish(static_cast<std::int64_t>(t) * kPerThread + i, ResultWithTheo(1.0), i);
            --running;
        });

    std::multiset<std::int64_t> sent;
    auto collect = [&sent] {
        Packets packets;
        takeAsyncResults(packets);
        for (const auto& packet : packets) {
            const auto ids = IdsOf(packet);
            sent.insert(ids.begin(), ids.end());
        }
    };
    while (running > 0)
        collect();
    for (auto& publisher : publishers)
        publisher.join();
    collect();

    ASSERT_EQ(sent.size(), static_cast<std::size_t>(kThreads * kPerThread));
    for (std::int64_t id = 0; id < kThreads * kPerThread; ++id)
        ASSERT_EQ(sent.count(id), 1u) << id;
}

}  // namespace

// Feeding an individual-option request through the library bridge into the real library: the
// bridge's keys, user-volatility cache and messages, and the library's intake of each quote.
#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>

#include "calcdll_api/DllBridge.h"
#include "calcdll_api/IndividualOptionsFeed.h"
#include "support/LocalTime.h"
#include "support/TempDir.h"

namespace {

using Packets::Incoming::ExpiryBlock;
using Packets::Incoming::IndividualOption;
using Packets::Incoming::IndividualOptionsSnapshot;
using Packets::Incoming::UnderlyingBlock;

constexpr int kExpirations = 40;
constexpr int kOptionsPerExpiration = 5000;  // the most one expiration of a request may hold

// 200,000 options of one underlying: 40 weekly expirations of 2,500 strikes, call and put each.
IndividualOptionsSnapshot Request() {
    IndividualOptionsSnapshot packet;
    packet.time = testsupport::localMs(2015, 1, 12, 10);
    UnderlyingBlock spy;
    spy.price = 200.0f;
    spy.last = 200.0f;
    std::int64_t id = 1;
    for (int e = 0; e < kExpirations; ++e) {
        ExpiryBlock expiry;
        expiry.expiration = testsupport::localMs(2015, 1, 16 + 7 * e, 16);
        for (int i = 0; i < kOptionsPerExpiration; ++i) {
            IndividualOption option;
            option.foreignId = id++;
            option.strike = 50.0f + 0.125f * static_cast<float>(i / 2);
            option.isPut = static_cast<std::uint8_t>(i % 2);
            option.userVolatility = 20.0;
            option.bid = 1.0f;
            option.ask = 1.1f;
            expiry.options.push_back(option);
        }
        spy.expirations.push_back(std::move(expiry));
    }
    packet.blocks[{"SPY", "SPY"}] = std::move(spy);
    return packet;
}

void BM_FeedIndividualOptions(benchmark::State& state) {
    const IndividualOptionsSnapshot packet = Request();
    const auto options = static_cast<double>(kExpirations * kOptionsPerExpiration);
    for (auto _ : state)
        feedIndividualOptions(packet);
    // Seconds per option, printed with an SI prefix ("85n" is 85 ns).
    state.counters["per_option"] = benchmark::Counter(
        options * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FeedIndividualOptions)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    const testsupport::TempDir logs;
    if (!InitCalcDLL("brkcalcslib.dll", (logs.path() / "bench%Y.log").string().c_str()))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ExternalCalculations::ReleaseCalcDll();
    return 0;
}

// The calculations server over loopback: round trip of a small request, a burst of requests, and a
// 5 MiB packet from its first byte to its handler.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "LoopbackServer.h"
#include "support/ProtocolClient.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::Bytes;
using testsupport::makePacket;

constexpr std::uint32_t kEcho = 9001;
constexpr std::uint32_t kArrival = 9002;

// When the arrival handler last ran.
struct Arrival {
    std::mutex mutex;
    std::condition_variable cv;
    bool arrived = false;
    Clock::time_point at;
} g_arrival;

class EchoHandler : public Handlers::BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override {
        Bytes body(request.remaining());
        request.read(body.data(), body.size());
        reply = makePacket(7001, 0, body);
        std::copy(requestId.begin(), requestId.end(), reply.begin() + 12);
    }
};

class ArrivalHandler : public Handlers::BaseHandler {
public:
    void handle(Packets::RequestStream&, std::vector<std::uint8_t>&, const std::vector<std::uint8_t>&) override {
        {
            std::lock_guard<std::mutex> lock(g_arrival.mutex);
            g_arrival.arrived = true;
            g_arrival.at = Clock::now();
        }
        g_arrival.cv.notify_all();
    }
};

Packets::PacketProcessor::HandlerTable benchHandlers() {
    Packets::PacketProcessor::HandlerTable handlers;
    handlers[kEcho] = std::make_shared<EchoHandler>();
    handlers[kArrival] = std::make_shared<ArrivalHandler>();
    return handlers;
}

void BM_RoundTripSmallRequest(benchmark::State& state) {
    benchsupport::LoopbackServer running(benchHandlers);
    testsupport::ProtocolClient client(running.port());
    const Bytes request = makePacket(kEcho, 8, Bytes(16, 1));
    std::vector<double> micros;
    for (auto _ : state) {
        const auto started = Clock::now();
        client.send(request);
        if (!client.readPacket()) {
            state.SkipWithError("no reply");
            break;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - started).count());
    }
    benchsupport::reportPercentiles(state, micros);
}
BENCHMARK(BM_RoundTripSmallRequest)->Iterations(20000)->Unit(benchmark::kMicrosecond);

void BM_Burst10000Requests(benchmark::State& state) {
    benchsupport::LoopbackServer running(benchHandlers);
    testsupport::ProtocolClient client(running.port());
    constexpr int kRequests = 10000;
    Bytes burst;
    for (int i = 0; i < kRequests; ++i) {
        const Bytes packet = makePacket(kEcho, 8, Bytes(16, 1));
        burst.insert(burst.end(), packet.begin(), packet.end());
    }
    for (auto _ : state) {
        std::thread writer([&] { client.send(burst); });
        for (int i = 0; i < kRequests; ++i)
            if (!client.readPacket()) {
                state.SkipWithError("no reply");
                break;
            }
        writer.join();
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
}
BENCHMARK(BM_Burst10000Requests)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LargePacketToHandler(benchmark::State& state) {
    benchsupport::LoopbackServer running(benchHandlers);
    testsupport::ProtocolClient client(running.port());
    const Bytes packet = makePacket(kArrival, 8, Bytes(0x500000 - 28, 2));
    for (auto _ : state) {
        {
            std::lock_guard<std::mutex> lock(g_arrival.mutex);
            g_arrival.arrived = false;
        }
        const auto started = Clock::now();
        client.send(packet);
        std::unique_lock<std::mutex> lock(g_arrival.mutex);
        g_arrival.cv.wait(lock, [] { return g_arrival.arrived; });
        state.SetIterationTime(std::chrono::duration<double>(g_arrival.at - started).count());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(packet.size()));
}
BENCHMARK(BM_LargePacketToHandler)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

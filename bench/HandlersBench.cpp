// Round trips of the calculation requests over loopback, through the service's handlers and the real
// calculation library: p50 and p99 per request type.
#include <chrono>
#include <vector>

#include <benchmark/benchmark.h>

#include "LoopbackServer.h"
#include "support/WireWriter.h"
#include "Logging/Log.h"
#include "calcdll_api/DllBridge.h"
#include "handlers/HandlerRegistry.h"
#include "service/ModuleInfo.h"
#include "support/ProtocolClient.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::Bytes;
using wiretest::WireWriter;

constexpr double kNowMs = 1.7e12;  // 2023-11-14
constexpr double kDayMs = 86400000.0;

// The real library, loaded for the whole run and logging into a folder of its own.
class Library {
public:
    Library() {
        g_strModuleDir = m_dir.str();
        Logging::initLogging(m_dir.str() + "/Logs/Bench%Y-%b-%d.log");
        InitCalcDLL("brkcalcslib.dll", (m_dir.str() + "/Logs/Bench%Y-%b-%d.log").c_str());
    }
    ~Library() { ExternalCalculations::ReleaseCalcDll(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

private:
    testsupport::TempDir m_dir;
};

// The service's server with its handlers and the real library; the library outlives the server.
class Service {
public:
    unsigned short port() const { return m_server.port(); }

private:
    Library m_library;
    benchsupport::LoopbackServer m_server{Handlers::calculationHandlers};
};

// The running service; main() starts it before the benchmarks and stops it after them, while the
// library is still whole (not from a static destructor at exit).
Service* g_service = nullptr;

Service& service() { return *g_service; }

// Sends `request` and waits for the reply; a request without one is preceded by RESET_DATA and followed
// by a service-information request whose reply marks its end.
void roundTrips(benchmark::State& state, std::uint32_t type, const Bytes& body, bool replied = true) {
    testsupport::ProtocolClient client(service().port());
    Bytes packet = testsupport::makePacket(type, 8, body, 1);
    if (!replied) {
        // A reset first, so that each round registers afresh, and a marker after it.
        const Bytes reset = testsupport::makePacket(2048, 8, {}, 2);
        const Bytes marker = testsupport::makePacket(1536, 8, {}, 3);
        packet.insert(packet.begin(), reset.begin(), reset.end());
        packet.insert(packet.end(), marker.begin(), marker.end());
    }
    std::vector<double> micros;
    for (auto _ : state) {
        const auto started = Clock::now();
        client.send(packet);
        const auto reply = client.readPacket(std::chrono::seconds(30));
        if (!reply || testsupport::dwordAt(*reply, 0) == 0) {
            state.SkipWithError("no reply");
            break;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - started).count());
    }
    benchsupport::reportPercentiles(state, micros);
}

// One option position, its time to expiry stored (the requests' reference and evaluation times agree).
void position(WireWriter& w, std::int64_t id, float strike, double expiration, double years, bool put) {
    w.i64(id).f32(strike).f64(expiration).f32(25.0f).f32(put ? -2.0f : 3.0f).u8(put ? 1 : 0).f32(0).f64(0);
    w.f32(0.05f).f32(0.05f).u32(0).f64(years).f32(5.0f).u8(0).f32(0).f32(0);
}

// 200 positions over four expirations, strikes 60 to 140.
void positions(WireWriter& w) {
    for (int i = 0; i < 200; ++i) {
        const int expiry = i % 4;
        position(w, 1000 + i, 60.0f + static_cast<float>((i / 2) % 81), kNowMs + (30 + 60 * expiry) * kDayMs,
                 (30 + 60 * expiry) / 365.0, i % 2 == 1);
    }
}

Bytes calculatorBody(std::uint32_t steps) {
    WireWriter w;
    w.i16(1).f64(0).u32(365).f64(100).f64(100).f64(20).f64(0.05).f64(0.05).f64(0).f64(0).i32(0).i32(0);
    w.u32(steps).f64(kNowMs).f64(2 * 5.5735).f64(2 * 10.4506);
    return w.data();
}

void BM_OptionCalculator100Steps(benchmark::State& state) { roundTrips(state, 1024, calculatorBody(100)); }
BENCHMARK(BM_OptionCalculator100Steps)->Iterations(5000)->Unit(benchmark::kMicrosecond);

void BM_ImpliedVolatility(benchmark::State& state) { roundTrips(state, 1026, calculatorBody(100)); }
BENCHMARK(BM_ImpliedVolatility)->Iterations(5000)->Unit(benchmark::kMicrosecond);

void BM_RiskTable41x200(benchmark::State& state) {
    WireWriter w;
    w.str("BNCH").u8(0).f32(0.1f).f64(kNowMs).f64(kNowMs).f32(100).f32(0).f32(50).u8(1).u32(41);
    for (int i = 0; i < 41; ++i)
        w.f32(80.0f + static_cast<float>(i));
    w.u32(200);
    positions(w);
    roundTrips(state, 512, w.data());
}
BENCHMARK(BM_RiskTable41x200)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_GreeksByExpiration200(benchmark::State& state) {
    WireWriter w;
    w.str("BNCH").f64(kNowMs).f64(kNowMs).f32(100).f32(0).u32(0).i32(200);
    positions(w);
    roundTrips(state, 513, w.data());
}
BENCHMARK(BM_GreeksByExpiration200)->Iterations(1000)->Unit(benchmark::kMicrosecond);

void BM_Risk2D200Positions101Points(benchmark::State& state) {
    WireWriter w;
    w.u32(1).u32(0).u32(100).f64(0).f64(kNowMs).f64(kNowMs).u8(0).i32(1);
    w.str("BNCH").str("").f64(1.0).f64(100).i32(100).u8(1).u32(0).u32(200);
    positions(w);
    w.f64(0.0);  // no skew points
    w.f64(0.0).f64(0.0);  // the closing volatility shift
    roundTrips(state, 1872, w.data());
}
BENCHMARK(BM_Risk2D200Positions101Points)->Iterations(100)->Unit(benchmark::kMillisecond);

// 50 expirations of 1,000 strikes: the library keeps at most 1,000 strikes in one expiration.
void BM_BuildOptionTree50000Strikes(benchmark::State& state) {
    WireWriter w;
    w.f64(kNowMs).str("BNCH").str("BNCH").i32(50);
    for (int e = 0; e < 50; ++e) {
        w.u16(static_cast<std::uint16_t>(2030 + e / 12)).u8(static_cast<std::uint8_t>(e % 12)).u8(15).i32(1000);
        for (int k = 0; k < 1000; ++k) {
            const std::int32_t id = 2 * (1000 * e + k) + 1;
            w.i32(id).i32(id + 1).f32(50.0f + 0.5f * static_cast<float>(k)).u8(0);
        }
    }
    roundTrips(state, 279, w.data(), false);
}
BENCHMARK(BM_BuildOptionTree50000Strikes)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Service running;
    g_service = &running;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The service's own models: its binomial trees, and CALC_RISK_CHART_DATA priced by the calculation
// library (loaded by module name, as the service loads it) for portfolios of growing size.
#include <chrono>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "models/BinomialTrees.h"
#include "models/Calculations.h"

namespace {

const double S = 100, K = 100, r = 0.05, sigma = 0.2, T = 1;

void BM_EuropeanTree(benchmark::State& state) {
    const int levels = static_cast<int>(state.range(0)) + 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(models::binomialPrice(S, K, T, sigma, r, levels, models::EUROPEAN_CALL,
                                                       models::COX_ROSS_RUBINSTEIN));
}
BENCHMARK(BM_EuropeanTree)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_AmericanPutTree(benchmark::State& state) {
    const int steps = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(models::crrAmericanPut(S, K, r, sigma, T, steps));
}
BENCHMARK(BM_AmericanPutTree)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_AmericanPutDividendTree(benchmark::State& state) {
    const int steps = static_cast<int>(state.range(0));
    const std::vector<double> times{0.5}, amounts{2.0};
    for (auto _ : state)
        benchmark::DoNotOptimize(models::crrAmericanPutWithDividends(S, K, r, sigma, T, steps, times, amounts));
}
BENCHMARK(BM_AmericanPutDividendTree)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);

// The real library with `count` registered options: calls and puts of one expiry, a year ahead;
// null (and the benchmark skipped) when the library does not load.
CBrkCalcDll* Library(benchmark::State& state, int count) {
    static CBrkCalcDll dll(std::chrono::milliseconds(0));
    static const bool loaded = dll.Load("brkcalcslib.dll");
    static int registered = 0;
    if (!loaded) {
        state.SkipWithError("brkcalcslib.dll not loaded");
        return nullptr;
    }
    for (; registered < count; ++registered) {
        OptionKey key{};
        std::memcpy(key.root, "SPY", 3);
        key.year = 27;
        key.monthCode = registered % 2 ? 'R' : 'F';  // June put or call
        key.day = 18;
        key.strike = static_cast<uint32_t>(50000 + registered * 100);
        dll.RegisterOption(&key, registered + 1, 0);
    }
    return &dll;
}

// Evaluated a day after the reference time, so that every column asks the library for times.
void BM_RiskChartData(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    CBrkCalcDll* library = Library(state, count);
    if (!library)
        return;
    Calculations calc{*library};
    Packets::Incoming::RiskChartDataPacket request;
    request.symbol = "SPY";
    request.priceStep = 0.02;
    request.dayStep = 7;
    request.currentPrice = 100;
    request.referenceTime = 1781000000000.0;  // 2026-06-09
    request.evaluationTime = request.referenceTime + 86400000.0;
    request.stockQuantity1 = 100;
    for (int i = 0; i < count; ++i) {
        VO::OptionPosition p;
        p.foreignId = i + 1;
        p.isPut = i % 2;
        p.strike = 50 + i * 0.1f;
        p.expiration = 1;
        p.volatility = 20;
        p.quantity = i % 3 ? 1.0f : -2.0f;
        p.interestRate = 0.05f;
        p.costOfCarry = 0.05f;
        p.pricingModel = static_cast<uint32_t>(state.range(1));
        p.timeToExpiry = 1;
        request.positions1.push_back(p);
    }
    request.positions2 = request.positions1;
    for (auto _ : state) {
        Packets::Incoming::RiskChartDataPacket packet = request;
        VO::ChartDataPoints reply;
        calc.calcRiskChartData(packet, reply);
        benchmark::DoNotOptimize(reply.table2[20][9]);
    }
    const double now = request.evaluationTime / 1000;
    state.counters["weighted_time_years"] = library->GetWeightedTimeToExpiration(1, &now);
}
BENCHMARK(BM_RiskChartData)
    ->ArgNames({"positions", "model"})
    ->ArgsProduct({{10, 100, 1000}, {0, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// The option calculator, its implied volatility and the risk table, with greeks and prices from the
// calculation library (loaded by module name, as the service loads it).
#include <chrono>
#include <vector>

#include <benchmark/benchmark.h>

#include "models/Calculations.h"

namespace {

constexpr double DAY = 86400000.0;
constexpr double VALUATION = 1781000000000.0;  // 2026-06-09

// The model on the real library; null (and the benchmark skipped) when the library does not load.
Calculations* Model(benchmark::State& state) {
    static CBrkCalcDll dll(std::chrono::milliseconds(0));
    static const bool loaded = dll.Load("brkcalcslib.dll");
    static Calculations calc{dll};
    if (!loaded)
        state.SkipWithError("brkcalcslib.dll not loaded");
    return loaded ? &calc : nullptr;
}

Packets::Incoming::OptionCalculatorPacket Option(std::uint32_t steps, bool dividend) {
    Packets::Incoming::OptionCalculatorPacket p;
    p.exerciseStyle = 0;
    p.daysToExpiration = 365;
    p.expirationDate = VALUATION + 365 * DAY;
    p.valuationDate = VALUATION;
    p.treeSteps = steps;
    p.strike = 100;
    p.underlyingPrice = 100;
    p.volatility = 20;
    p.interestRate = 0.05;
    p.costOfCarry = 0.05;
    p.callPrice = 21.0;  // twice the price solved for: the solve takes half
    p.putPrice = 11.0;
    if (dividend) {
        p.dividendAmount = 2;
        p.firstDividendDate = VALUATION + 182 * DAY;
    }
    return p;
}

// American call and put, and their greeks; args: steps, one dividend or none.
void BM_OptionCalculator(benchmark::State& state) {
    Calculations* model = Model(state);
    if (!model)
        return;
    const auto request = Option(static_cast<std::uint32_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        Packets::Outgoing::OptionCalculatorResult result;
        model->calcOptionCalculator(request, result);
        benchmark::DoNotOptimize(result.rows.data());
    }
}
BENCHMARK(BM_OptionCalculator)->Args({100, 0})->Args({100, 1})->Args({1000, 0})->Args({1000, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_ImpliedVolatility(benchmark::State& state) {
    Calculations* model = Model(state);
    if (!model)
        return;
    const auto request = Option(100, false);
    double iv = 0;
    for (auto _ : state) {
        model->calcImpliedVolatility(request, iv);
        benchmark::DoNotOptimize(iv);
    }
    state.counters["iv"] = iv;  // percent; about 20 for these prices
}
BENCHMARK(BM_ImpliedVolatility)->Unit(benchmark::kMicrosecond);

// 41 slides around 100 × 200 positions at the reference time, volatility shift 10 %; arg: model.
void BM_RiskTable(benchmark::State& state) {
    Calculations* model = Model(state);
    if (!model)
        return;
    Packets::Incoming::RiskTablePacket request;
    request.symbol = "SPY";
    request.volatilityShift = 0.1f;
    request.evaluationTime = request.referenceTime = VALUATION;
    request.currentPrice = 100;
    request.stockQuantity = 100;
    for (int i = 0; i < 41; ++i)
        request.slidePrices.push_back(80.0f + i);
    for (int i = 0; i < 200; ++i) {
        VO::OptionPosition p;
        p.foreignId = i + 1;
        p.isPut = i % 2;
        p.strike = 80.0f + i * 0.2f;
        p.expiration = 1 + i % 4;
        p.volatility = 20;
        p.quantity = i % 3 ? 1.0f : -2.0f;
        p.interestRate = 0.05f;
        p.costOfCarry = 0.05f;
        p.pricingModel = static_cast<std::uint32_t>(state.range(0));
        p.timeToExpiry = 0.25 * (1 + i % 4);
        request.positions.push_back(p);
    }
    for (auto _ : state) {
        Packets::Incoming::RiskTablePacket copy = request;
        Packets::Outgoing::RiskTableResult result;
        model->calcRiskTable(copy, result);
        benchmark::DoNotOptimize(result.atVolatility.data());
    }
}
BENCHMARK(BM_RiskTable)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The two-dimensional risk chart through the real library: a portfolio of 200 positions on two
// underlyings, by axis length, strike tables and volatility mode; and serialising a large reply.
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "CalcDll/BrkCalcDll.h"
#include "models/RiskChart/RiskChart2D.h"
#include "packets/RiskChart2DPacket.h"
#include "packets/RiskChart2DResult.h"

namespace {

using Packets::Incoming::RiskChart2DInputsPacket;
using Packets::Outgoing::RiskChart2DResult;

constexpr double NOW_MS = 1700000000000.0;
const double EXPIRATIONS[] = {45000.0, 45030.0, 45090.0, 45180.0};
const double TIMES[] = {0.08, 0.16, 0.33, 0.58};

std::shared_ptr<VO::RiskChart::PerStockInfo> underlying(const std::string& symbol) {
    auto stock = std::make_shared<VO::RiskChart::PerStockInfo>();
    stock->symbol = symbol;
    stock->currentPrice = 100.0;
    stock->stockQty = 500;
    for (int i = 0; i < 100; ++i) {
        VO::OptionPosition p;
        p.foreignId = i;
        p.strike = 80.0f + static_cast<float>(i % 41);
        p.isPut = i % 2;
        p.expiration = EXPIRATIONS[i % 4];
        p.timeToExpiry = TIMES[i % 4];
        p.volatility = 25.0f;
        p.quantity = i % 3 == 0 ? -2.0f : 1.0f;
        p.interestRate = 0.05f;
        p.costOfCarry = 0.05f;
        stock->positions.push_back(p);
    }
    for (double expiration : EXPIRATIONS)
        for (std::size_t k = 0; k < VO::RiskChart::EXPIRY_CURVE_POINTS; ++k) {
            const double strike = 90.0 + 5.0 * static_cast<double>(k);
            const double callPrice = std::max(100.0 - strike, 0.0) + 3.0;
            const double putPrice = std::max(strike - 100.0, 0.0) + 3.0;
            stock->curves[expiration][k] = {callPrice, callPrice + 0.2, strike, putPrice, putPrice + 0.2};
        }
    return stock;
}

// The stored times hold at the evaluation time: the library does not know these options.
RiskChart2DInputsPacket portfolio(std::uint32_t steps, bool strikeTables, std::uint32_t volMode) {
    RiskChart2DInputsPacket inputs;
    inputs.steps = steps;
    inputs.skipStrikeTables = strikeTables ? 0 : 1;
    inputs.volMode = volMode;
    inputs.evalTime = inputs.refTime = NOW_MS;
    inputs.useVolShifts = 1;
    for (double expiration : EXPIRATIONS)
        inputs.volShifts[expiration] = 0.1;
    inputs.volShifts[0.0] = 0.0;
    inputs.stocks = {underlying("AAA"), underlying("BBB")};
    return inputs;
}

// Each run works on its own copy: the chart sorts and re-marks the positions.
RiskChart2DInputsPacket copyOf(const RiskChart2DInputsPacket& inputs) {
    RiskChart2DInputsPacket copy = inputs;
    for (auto& stock : copy.stocks)
        stock = std::make_shared<VO::RiskChart::PerStockInfo>(*stock);
    return copy;
}

// Arguments: steps, strike tables (0/1), volatility mode.
void BM_RiskChart2D(benchmark::State& state) {
    static const bool loaded = CBrkCalcDll::Instance().Load("brkcalcslib.dll");
    if (!loaded) {
        state.SkipWithError("brkcalcslib.dll not loaded");
        return;
    }
    const RiskChart2DInputsPacket inputs = portfolio(static_cast<std::uint32_t>(state.range(0)), state.range(1) != 0,
                                                     static_cast<std::uint32_t>(state.range(2)));
    for (auto _ : state) {
        RiskChart2DInputsPacket run = copyOf(inputs);
        RiskChart2DResult result;
        models::RiskChart::calcRiskChart2D(run, result);
        benchmark::DoNotOptimize(result.curves[0].data());
    }
}
BENCHMARK(BM_RiskChart2D)
    ->ArgNames({"steps", "strikeTables", "volMode"})
    ->ArgsProduct({{100, 1000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SerializeRiskChart2DReply(benchmark::State& state) {
    RiskChart2DResult result;
    const std::size_t n = 10001;
    for (auto& curve : result.curves)
        curve.assign(n, 1.5);
    for (double key : {-1.0, 0.0, 45000.0, 45030.0})
        result.greeks[key] = {};
    for (const char* symbol : {"AAA", "BBB"}) {
        result.stockCurves.push_back({symbol, {std::vector<double>(n, 2.5)}});
        Packets::Outgoing::StockStrikeTable table{symbol, std::vector<Packets::Outgoing::StrikeRow>(41)};
        result.strikeTables.push_back(table);
    }
    std::vector<std::uint8_t> reply;
    const std::vector<std::uint8_t> id(16, 7);
    for (auto _ : state) {
        Packets::Outgoing::serializeRiskChart2DResult(result, reply, id);
        benchmark::DoNotOptimize(reply.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_SerializeRiskChart2DReply);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The library's threads are stopped before the process takes down what they use.
    CBrkCalcDll::Instance().Unload();
    return 0;
}

// Calls per second of the library's stateless exports, loaded as the service loads them, from one
// thread and from eight at once (they share no state, so they should scale).
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "brkCalcsLib.h"
#include "platform/DynamicLibrary.h"

namespace {

struct Exports {
    PFN_CalcTheoPrice theo;
    PFN_CalcGreeks greeks;
    PFN_GlobalCalcIV iv;

    Exports() {
        std::string error;
        platform::ModuleHandle module = platform::LoadLibrary("brkcalcslib.dll", error);
        if (!module)
            throw std::runtime_error(error);
        theo = reinterpret_cast<PFN_CalcTheoPrice>(platform::GetProcAddress(module, "BriskoDllCalcTheoPrice"));
        greeks = reinterpret_cast<PFN_CalcGreeks>(platform::GetProcAddress(module, "BriskoDllCalcGreeks"));
        iv = reinterpret_cast<PFN_GlobalCalcIV>(platform::GetProcAddress(module, "BriskoDllGlobalCalcIV"));
    }
};

const Exports& Library() {
    static const Exports exports;
    return exports;
}

const std::vector<double> kNone;
const double S = 100, X = 105, T = 0.5, r = 0.03, b = 0.01, sigma = 0.25;

void BM_ExportCalcTheoPrice(benchmark::State& state) {
    const Exports& lib = Library();
    for (auto _ : state)
        benchmark::DoNotOptimize(lib.theo(2, 0, 0, 'c', &S, &X, &T, &r, &b, &sigma, &kNone, &kNone));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExportCalcTheoPrice)->Threads(1)->Threads(8)->UseRealTime();

void BM_ExportCalcGreeks(benchmark::State& state) {
    const Exports& lib = Library();
    double vega, theta, rho, delta, gamma;
    for (auto _ : state) {
        lib.greeks('a', 0, 'p', &S, &r, &b, &T, &sigma, &X, 4, &kNone, &kNone, &vega, &theta, &rho, &delta, &gamma);
        benchmark::DoNotOptimize(delta);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExportCalcGreeks)->Threads(1)->Threads(8)->UseRealTime();

void BM_ExportGlobalCalcIV(benchmark::State& state) {
    const Exports& lib = Library();
    // The price the theo export gives at 25 %, solved back.
    const double price = lib.theo(2, 0, 0, 'c', &S, &X, &T, &r, &b, &sigma, &kNone, &kNone);
    double volatility = 0.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(lib.iv(&volatility, 'c', &kNone, &kNone, S, X, T, r, b, price, 2, 0.2, 100, 0));
    state.SetItemsProcessed(state.iterations());
    if (std::fabs(volatility - sigma) > 1e-3)
        state.SkipWithError("the solve did not give back the volatility of its price");
}
BENCHMARK(BM_ExportGlobalCalcIV)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// Time per price, per Greeks set and per implied-volatility solve of the library's models.
#include <algorithm>
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "pricing/BjerksundStensland.h"
#include "pricing/BlackScholes.h"
#include "pricing/CrrDividendTrees.h"
#include "pricing/CrrTrees.h"
#include "pricing/Greeks.h"
#include "pricing/ImpliedVolatility.h"
#include "pricing/MaxBSBJ.h"
#include "pricing/PricingModel.h"
#include "pricing/RollGeskeWhaley.h"

using namespace Pricing;

namespace {

const std::vector<double> kNone;
// 2.0 is large enough that Roll-Geske-Whaley runs its whole formula, not the European shortcut.
const std::vector<double> kOneTime{0.25}, kOneAmount{2.0};
const std::vector<double> kTwoTimes{0.25, 0.5}, kTwoAmounts{1.0, 1.0};

// Strikes around the money, so branches and early exercise vary from call to call.
constexpr double kStrikes[] = {90, 95, 100, 105, 110};

template <class Price>
void Loop(benchmark::State& state, Price price) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(price(kStrikes[i % 5]));
        ++i;
    }
}

void BM_BlackScholesCarry(benchmark::State& state) {
    Loop(state, [](double X) { return BlackScholesCarry(100, X, 0.5, 0.05, 0.03, 0.3, 'c'); });
}
BENCHMARK(BM_BlackScholesCarry);

void BM_CalcGreeks(benchmark::State& state) {
    Loop(state, [](double X) {
        double vega, theta, rho, delta, gamma;
        CalcGreeks(false, 0, 'p', 100, 0.05, 0.03, 0.5, 0.3, X, BS, kNone, kNone, vega, theta, rho, delta, gamma);
        return delta + gamma + vega + theta + rho;
    });
}
BENCHMARK(BM_CalcGreeks);

void BM_BjerksundStensland(benchmark::State& state) {
    Loop(state, [](double X) { return BjerksundStensland('p', 100, X, 0.5, 0.05, 0.02, 0.3); });
}
BENCHMARK(BM_BjerksundStensland);

void BM_RollGeskeWhaleyCall(benchmark::State& state) {
    Loop(state, [](double X) { return RollGeskeWhaleyCall(100, X, 0.05, 0.3, 0.5, kOneAmount[0], kOneTime[0]); });
}
BENCHMARK(BM_RollGeskeWhaleyCall);

void BM_MaxBSBJPrice(benchmark::State& state) {
    Loop(state, [](double X) { return MaxBSBJPrice('p', kOneTime, kOneAmount, 100, X, 0.5, 0.05, 0.05, 0.3); });
}
BENCHMARK(BM_MaxBSBJPrice);

void BM_CrrPutTree(benchmark::State& state) {
    const int steps = static_cast<int>(state.range(0));
    Loop(state, [steps](double X) { return CrrPutTree(steps, 0.05, 100, X, 0.3, 0.5); });
}
BENCHMARK(BM_CrrPutTree)->Arg(100)->Arg(kMaxTreeSteps)->Unit(benchmark::kMicrosecond);

void BM_CrrDividendPutTree(benchmark::State& state) {
    const int steps = static_cast<int>(state.range(0));
    const bool two = state.range(1) == 2;
    const std::vector<double>& times = two ? kTwoTimes : kOneTime;
    const std::vector<double>& amounts = two ? kTwoAmounts : kOneAmount;
    Loop(state, [&](double X) { return CrrDividendPutTree(100, X, 0.05, 0.3, 1.0, steps, times, amounts); });
}
BENCHMARK(BM_CrrDividendPutTree)
    ->ArgNames({"steps", "dividends"})
    ->Args({100, 1})
    ->Args({100, 2})
    ->Args({kMaxTreeSteps, 1})
    ->Args({kMaxTreeSteps, 2})
    ->Unit(benchmark::kMillisecond);

// One solve per model on a put (an RGW put solves with Black-Scholes, so its call is timed) with one
// dividend; the price is the model's own value at 30 % volatility.
void BM_CalcIV(benchmark::State& state) {
    const int model = static_cast<int>(state.range(0));
    const char type = model == RGW ? 'c' : 'p';
    double prices[5];
    for (int i = 0; i < 5; ++i) {
        const double X = kStrikes[i];
        switch (model) {
        case CRR:
            prices[i] = CrrDividendTree(kOneAmount, kOneTime, type, 100, 100, X, 0.5, 0.05, 0.3);
            break;
        case BJ:
            prices[i] = BjerksundStensland(type, 100, X, 0.5, 0.05, 0.03, 0.3);
            break;
        case RGW:
            prices[i] = RollGeskeWhaleyCall(100, X, 0.05, 0.3, 0.5, kOneAmount[0], kOneTime[0]);
            break;
        case MaxBSBJ:
            prices[i] = MaxBSBJPrice(type, kOneTime, kOneAmount, 100, X, 0.5, 0.05, 0.03, 0.3);
            break;
        default:
            prices[i] = BlackScholesCarry(100, X, 0.5, 0.05, 0.03, 0.3, type);
        }
    }
    std::size_t i = 0;
    double worst = 0.0;  // the largest miss of the 30 % the prices were made with
    for (auto _ : state) {
        double volatility = 0.0;
        benchmark::DoNotOptimize(CalcIV(volatility, type, kOneTime, model, 100, false, 100, kStrikes[i % 5], 0.5,
                                        0.05, 0.03, prices[i % 5], -1.0, kOneAmount));
        worst = std::max(worst, std::fabs(volatility - 0.3));
        ++i;
    }
    state.counters["worst_miss"] = worst;
    if (worst > 1e-3)
        state.SkipWithError("a solve missed the volatility of its price");
}
BENCHMARK(BM_CalcIV)->ArgName("model")->DenseRange(BS, MaxBSBJ)->Unit(benchmark::kMicrosecond);

}  // namespace

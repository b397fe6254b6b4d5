// Rules that live in the exports themselves: the style flag of the Greeks export, and the marking of
// an underlying's expiry groups when its yield curve is replaced.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

#include "LoadedLibrary.h"
#include "brkCalcsLib/pricing/ReferenceFormulas.h"
#include "support/FeedRecords.h"

namespace {

using PricingReference::BlackScholes;

// A put 0.1 in the money with 0.0005 years left: its theta, -46.9 per 100 shares uncapped, is capped at
// 100 times its time value, theo(0.2) - theo(0.0001). An American theo is at least the intrinsic value
// 0.1, a European one only X e^(-rT) - S = 0.0975 at the lowest volatility: the caps differ by 0.25.
TEST(LibraryExports, GreeksExportReadsTheStyleFlagOfEuropeanOptions) {
    LoadedLibrary& lib = Library();
    const double S = 99.9, X = 100.0, r = 0.05, b = 0.05, T = 0.0005, sigma = 0.2;
    const std::vector<double> none;
    struct Row {
        const char* what;
        int style;
        bool european;
    };
    const Row rows[] = {
        {"'e' is European", 'e', true},
        {"'a' is American", 'a', false},
        {"'E' is American", 'E', false},
        {"0 is American", 0, false},
    };
    for (const Row& row : rows) {
        auto theo = [&](double volatility) {
            const double value = BlackScholes(false, S, X, T, r, b, volatility);
            return row.european ? value : std::max(value, X - S);
        };
        double vega = 0, theta = 0, rho = 0, delta = 0, gamma = 0;
        lib.CalcGreeks(row.style, 0, 'p', &S, &r, &b, &T, &sigma, &X, 0, &none, &none, &vega, &theta, &rho, &delta,
                       &gamma);
        EXPECT_NEAR(theta, -100.0 * (theo(sigma) - theo(0.0001)), 1e-9) << row.what;
    }
}

struct Counted {
    std::mutex mutex;
    int underlyingResults = 0;
    int optionResults = 0;
} g_counted;

void CountResults(const void*, int kind, int, int, int) {
    std::lock_guard<std::mutex> lock(g_counted.mutex);
    if (kind == eResultUnderlying)
        ++g_counted.underlyingResults;
    else if (kind == eResultOption)
        ++g_counted.optionResults;
}

// Sends a message and waits for the result it leads to.
void SendAndWait(LoadedLibrary& lib, const FeedMessage& message, int64_t foreignId, int Counted::*count) {
    std::unique_lock<std::mutex> lock(g_counted.mutex);
    const int before = g_counted.*count;
    lock.unlock();
    lib.ProcessMessage(&message, -1, foreignId);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> seen(g_counted.mutex);
        return g_counted.*count > before;
    }));
}

TEST(LibraryExports, ANewYieldCurveRecalculatesTheUnderlyingsOptions) {
    LoadedLibrary& lib = Library();
    CalcDllSettings settings = EngineSettings(1);
    settings.pfResultCallback = &CountResults;
    lib.Initalize(&settings);
    auto loadCurve = [&](const char* symbol, double rate) {
        const YieldCurvePoint point{rate, 0.0, DllDate{2015, 1, 1}, {}};
        return lib.SetYieldCurve(symbol, &point, 1);
    };
    EXPECT_EQ(loadCurve("YLD", 0.01), 0);  // no such underlying yet
    // A lone call: no pair, so its group's carry never moves and only a mark recalculates it.
    const OptionKey call = OptionKeyOf("YLD", 'F', 19, 40.0);
    const int id = lib.RegisterOption(&call, 41, 0);
    ASSERT_GE(id, 0);
    SendAndWait(lib, QuoteMessage(2, "YLD", 39.95, 40.05), 1, &Counted::underlyingResults);
    SendAndWait(lib, QuoteMessage(4, nullptr, 1.0, 1.1), 41, &Counted::optionResults);
    // The montage settles the option; underlying moves under 0.05 leave it alone from then on.
    SendAndWait(lib, QuoteMessage(2, "YLD", 39.96, 40.06), 1, &Counted::underlyingResults);
    OptionCalcInputs inputs{};
    ASSERT_EQ(lib.RequestOptionCalcInputs(id, &inputs), id);
    EXPECT_DOUBLE_EQ(inputs.rate, 0.01);

    EXPECT_EQ(loadCurve("YLD", 0.05), 1);  // its one expiry group
    SendAndWait(lib, QuoteMessage(2, "YLD", 39.97, 40.07), 1, &Counted::underlyingResults);
    ASSERT_EQ(lib.RequestOptionCalcInputs(id, &inputs), id);
    EXPECT_DOUBLE_EQ(inputs.rate, 0.05);
    lib.DeInitalize();
}

}  // namespace

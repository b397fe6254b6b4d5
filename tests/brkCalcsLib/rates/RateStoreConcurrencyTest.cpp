#include "rates/RateStore.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/Dates.h"

namespace {

// Every curve of generation g has the rate g / 1000 at every point, so a reader can tell a rate of
// one reload from a torn or emptied curve.
std::vector<YieldCurvePoint> Curve(int generation) {
    std::vector<YieldCurvePoint> points;
    for (int month = 0; month < 120; month += 3) {
        YieldCurvePoint p{};
        p.dRate = generation / 1000.0;
        p.dRate2 = generation / 1000.0;
        p.date = Date(2014 + month / 12, 1 + month % 12, 1);
        points.push_back(p);
    }
    return points;
}

TEST(RateStoreConcurrency, ReadersNeverSeeAReloadHalfDone) {
    CRateStore store;
    const auto first = Curve(1);
    store.SetYieldCurve(nullptr, first.data(), static_cast<int>(first.size()));
    store.SetYieldCurve("IBM", first.data(), static_cast<int>(first.size()));

    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&, r] {
            const char* symbol = r % 2 ? "IBM" : nullptr;
            while (!done.load())
                for (int month = 0; month < 120; month += 7) {
                    const double rate = store.GetCurveRate(symbol, Date(2014 + month / 12, 1 + month % 12, 15));
                    const double second = store.GetCurveSecondRate(symbol, Date(2015, 4, 1));
                    if (rate < 0.001 || rate > 0.5 || second < 0.001)
                        ++bad;
                }
        });
    for (int generation = 2; generation < 500; ++generation) {
        const auto points = Curve(generation);
        store.SetYieldCurve(nullptr, points.data(), static_cast<int>(points.size()));
        store.SetYieldCurve("IBM", points.data(), static_cast<int>(points.size()));
    }
    done = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace

// Throughput and latency of the records engine: quotes in, results out through the processing
// threads, one option's recalculation, and one underlying move over a whole chain.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include <benchmark/benchmark.h>

#include "calendar/TapeClock.h"
#include "pricing/BlackScholes.h"
#include "records/FeedProcessing.h"
#include "records/HostCallbacks.h"
#include "records/OptionRecord.h"
#include "records/RecordProcessor.h"
#include "records/RecordRegistry.h"
#include "records/UnderlyingRecord.h"

namespace {

struct Arrivals {
    std::mutex mutex;
    std::condition_variable cv;
    long count = 0;
} g_arrivals;

void CountResult(const void*, int kind, int, int, int) {
    if (kind != eResultOption)
        return;
    std::lock_guard<std::mutex> lock(g_arrivals.mutex);
    ++g_arrivals.count;
    g_arrivals.cv.notify_all();
}

void WaitForArrivals(long target) {
    std::unique_lock<std::mutex> lock(g_arrivals.mutex);
    g_arrivals.cv.wait(lock, [&] { return g_arrivals.count >= target; });
}

OptionKey Key(int month, bool put, double strike) {
    OptionKey key{};
    std::memcpy(key.root, "BNC", 3);
    key.year = 15;
    key.monthCode = static_cast<char>((put ? 'M' : 'A') + month - 1);
    key.day = 15;
    key.strike = static_cast<uint32_t>(strike * 1000.0 + 0.5);
    return key;
}

FeedMessage Quote(int recordClass, const char* symbol, double bid, double ask) {
    FeedMessage message{};
    message.type = static_cast<uint8_t>((recordClass << 5) | 2);
    message.time = 100000000;
    if (symbol)
        std::strncpy(message.key, symbol, sizeof message.key - 1);
    message.bid = static_cast<float>(bid);
    message.ask = static_cast<float>(ask);
    return message;
}

// A chain of `expiries` monthly groups of `strikes` call/put pairs on "BNC", quoted at fair prices.
struct Chain {
    std::vector<int64_t> ids;
    std::vector<double> prices;

    Chain(int expiries, int strikes) {
        CRecordRegistry::Instance().ReleaseAllRecords();
        CalcDllSettings settings{};
        settings.pfResultCallback = &CountResult;
        CHostCallbacks::Instance().Install(settings);
        CTapeClock::Instance().ResetToDate(DllDate{2014, 12, 1});
        CTapeClock::Instance().SetTimeOfDay(10, 0, 0, 0);
        int64_t id = 1;
        for (int e = 0; e < expiries; ++e) {
            for (int k = 0; k < strikes; ++k) {
                const double X = 50.0 + k;
                for (bool put : {false, true}) {
                    const auto key = Key(1 + e % 12, put, X);
                    OptionKey unique = key;
                    unique.year = static_cast<uint8_t>(15 + e / 12);
                    CRecordRegistry::Instance().CreateBrkOptionRecord(unique, id, 0);
                    const double T = (e + 1) / 12.0;
                    ids.push_back(id++);
                    prices.push_back(Pricing::BlackScholesCarry(100.0, X, T, 0.0, 0.0, 0.3, put ? 'p' : 'c'));
                }
            }
        }
        FeedMessage underlying = Quote(2, "BNC", 99.95, 100.05);
        underlying.flag = 1;  // the option quotes below are what is measured
        ProcessFeedMessage(underlying, -1, 0);
    }

    void QuoteAll(double shift) {
        for (std::size_t i = 0; i < ids.size(); ++i)
            ProcessFeedMessage(Quote(4, nullptr, prices[i] - 0.01 + shift, prices[i] + 0.01 + shift), -1, ids[i]);
    }
};

void BM_QuoteToResultThroughput(benchmark::State& state) {
    CRecordProcessor::Instance().Threads().Start(static_cast<unsigned>(state.range(0)));
    Chain chain(10, 50);
    long expected;
    {
        std::lock_guard<std::mutex> lock(g_arrivals.mutex);
        expected = g_arrivals.count;
    }
    int round = 0;
    for (auto _ : state) {
        chain.QuoteAll(0.001 * (++round % 7));
        expected += static_cast<long>(chain.ids.size());
        WaitForArrivals(expected);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(chain.ids.size()));
    CRecordProcessor::Instance().Threads().Terminate();
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_QuoteToResultThroughput)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QuoteToResultLatency(benchmark::State& state) {
    CRecordProcessor::Instance().Threads().Start(4);
    Chain chain(1, 1);
    int round = 0;
    for (auto _ : state) {
        long target;
        {
            std::lock_guard<std::mutex> lock(g_arrivals.mutex);
            target = g_arrivals.count + 1;
        }
        chain.QuoteAll(0.002 * (++round % 5));
        WaitForArrivals(target);
    }
    CRecordProcessor::Instance().Threads().Terminate();
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_QuoteToResultLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_OptionRecalculation(benchmark::State& state) {
    CRecordProcessor::Instance().Threads().Start(0);
    Chain chain(1, 20);
    chain.QuoteAll(0.0);
    CBaseOptionRecord* option = CRecordRegistry::Instance().FindOptionByForeignId(chain.ids[20]);
    for (auto _ : state)
        option->Process(0);
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_OptionRecalculation)->Unit(benchmark::kMicrosecond);

void BM_UnderlyingMoveOverChain(benchmark::State& state) {
    CRecordProcessor::Instance().Threads().Start(0);
    Chain chain(20, 100);
    chain.QuoteAll(0.0);
    CBaseUnderlyingRecord* underlying = CRecordRegistry::Instance().FindUnderlyingRecord("BNC");
    int round = 0;
    for (auto _ : state) {
        const double mid = 100.0 + 0.1 * (++round % 3);
        underlying->ApplyQuote(mid - 0.05, mid + 0.05, false);
        underlying->Process(0);
    }
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_UnderlyingMoveOverChain)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The montage reports each pass on standard output; keep the report readable on standard error.
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    std::freopen("/dev/null", "w", stdout);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

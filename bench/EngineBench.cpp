// Throughput and latency of the records engine: quotes in, results out through the processing
// threads, with the same pricing on plain threads beside it as the machine's ceiling; one option's
// recalculation; and one underlying move over a whole chain. Every benchmark checks what it
// measured: the number of results and their values. A failed check is reported on standard error
// and in the exit status, not by skipping the run: the Google Benchmark of Debian 12 crashes
// aggregating repetitions whose first run was skipped.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <ext/stdio_filebuf.h>
#include <iostream>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "calendar/TapeClock.h"
#include "pricing/BlackScholes.h"
#include "pricing/Greeks.h"
#include "pricing/ImpliedVolatility.h"
#include "pricing/TheoPrice.h"
#include "records/FeedProcessing.h"
#include "records/HostCallbacks.h"
#include "records/OptionRecord.h"
#include "records/RecordProcessor.h"
#include "records/RecordRegistry.h"
#include "records/UnderlyingRecord.h"
#include "support/FeedRecords.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSigma = 0.3;
constexpr int kMaxIds = 4096;

// What the result callback saw: the count, and per foreign id the last theoretical price, mid
// volatility and arrival time. A waiter is woken once, when its count is reached. Each id's
// figures have a cache line of their own: neighbouring ids are calculated on different threads,
// and the harness must not slow them by sharing lines the engine keeps apart.
struct alignas(64) Arrival {
    std::atomic<double> theo{0.0};
    std::atomic<double> midIV{0.0};
    std::atomic<Clock::rep> at{0};
};

struct Arrivals {
    std::atomic<long> count{0};
    std::atomic<long> target{0};
    std::vector<Arrival> byId = std::vector<Arrival>(kMaxIds);
    std::mutex mutex;
    std::condition_variable reached;
} g_arrivals;

void CountResult(const void* data, int kind, int, int low, int) {
    if (kind != eResultOption)
        return;
    OptionResult result;
    std::memcpy(&result, data, sizeof result);
    if (low >= 0 && low < kMaxIds) {
        Arrival& arrival = g_arrivals.byId[low];
        arrival.theo.store(result.theo, std::memory_order_relaxed);
        arrival.midIV.store(result.midIV, std::memory_order_relaxed);
        arrival.at.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    }
    if (g_arrivals.count.fetch_add(1) + 1 == g_arrivals.target.load()) {
        std::lock_guard<std::mutex> lock(g_arrivals.mutex);
        g_arrivals.reached.notify_all();
    }
}

// Waits until `target` results have arrived in all; false after ten seconds without them.
bool WaitForArrivals(long target) {
    g_arrivals.target = target;
    std::unique_lock<std::mutex> lock(g_arrivals.mutex);
    return g_arrivals.reached.wait_for(lock, std::chrono::seconds(10), [&] { return g_arrivals.count >= target; });
}

// Waits until no result has arrived for a while: the processing queues have drained.
void WaitForQuiet() {
    long seen = -1;
    while (g_arrivals.count != seen) {
        seen = g_arrivals.count;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::atomic<bool> g_checkFailed{false};

// Reports a failed check of the named benchmark; the run goes on, and the program's exit status
// says it failed.
void Fail(const char* name, const char* what) {
    std::fprintf(stderr, "engine_bench: %s: %s\n", name, what);
    g_checkFailed = true;
}

OptionKey Key(int month, bool put, double strike) {
    return OptionKeyOf("BNC", static_cast<char>((put ? 'M' : 'A') + month - 1), 15, strike);
}

// Calendar years from the chain's tape time, 2014-12-01 10:00, to 16:00 on the given day.
double YearsFromTape(int year, int month, int day) {
    std::tm from{}, to{};
    from.tm_year = 114;
    from.tm_mon = 11;
    from.tm_mday = 1;
    from.tm_hour = 10;
    to.tm_year = year - 1900;
    to.tm_mon = month - 1;
    to.tm_mday = day;
    to.tm_hour = 16;
    return static_cast<double>(timegm(&to) - timegm(&from)) / 86400.0 / 365.0;
}

// A chain of `expiries` monthly groups of `strikes` call/put pairs on "BNC", quoted at fair prices
// (volatility 0.3, no rate, so American and European values agree).
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
                    OptionKey key = Key(1 + e % 12, put, X);
                    key.year = static_cast<uint8_t>(15 + e / 12);
                    CRecordRegistry::Instance().CreateBrkOptionRecord(key, id, 0);
                    const double T = YearsFromTape(2015 + e / 12, 1 + e % 12, 15);
                    ids.push_back(id++);
                    prices.push_back(Pricing::BlackScholesCarry(100.0, X, T, 0.0, 0.0, kSigma, put ? 'p' : 'c'));
                }
            }
        }
        FeedMessage underlying = QuoteMessage(2, "BNC", 99.95, 100.05);
        underlying.flag = 1;  // the option quotes below are what is measured
        ProcessFeedMessage(underlying, -1, 0);
    }

    void Quote(std::size_t i, double shift) const {
        ProcessFeedMessage(QuoteMessage(4, nullptr, prices[i] - 0.01 + shift, prices[i] + 0.01 + shift), -1, ids[i]);
    }

    void QuoteAll(double shift) const {
        for (std::size_t i = 0; i < ids.size(); ++i)
            Quote(i, shift);
    }

    // How many options' last results reprice their quoted mid (price + shift): the solve found the
    // volatility that gives that price.
    std::size_t RepricedCount(double shift) const {
        std::size_t good = 0;
        for (std::size_t i = 0; i < ids.size(); ++i)
            good += std::fabs(g_arrivals.byId[ids[i]].theo.load() - (prices[i] + shift)) < 1e-3 ? 1 : 0;
        return good;
    }
};

// Fails the benchmark unless nearly every option repriced its quote; the few left are deep in the
// money, where a quote 0.01 wide says little about the volatility.
void CheckRepriced(benchmark::State& state, const char* name, const Chain& chain, double shift) {
    const std::size_t good = chain.RepricedCount(shift);
    state.counters["repriced"] = static_cast<double>(good) / static_cast<double>(chain.ids.size());
    if (good < chain.ids.size() * 9 / 10)
        Fail(name, "results do not reprice their quotes");
}

void BM_QuoteToResultThroughput(benchmark::State& state) {
    CRecordProcessor::Instance().Threads().Start(static_cast<unsigned>(state.range(0)));
    Chain chain(10, 50);
    // The first quotes bring each group its carry, which recalculates the options quoted before it:
    // what is measured is the steady state after.
    chain.QuoteAll(0.0);
    WaitForQuiet();
    long expected = g_arrivals.count;
    int round = 0;
    double shift = 0.0;
    double feedUs = 0;
    bool missing = false;
    for (auto _ : state) {
        if (missing)
            continue;
        shift = 0.001 * (++round % 7);
        const auto t0 = Clock::now();
        chain.QuoteAll(shift);
        feedUs += std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
        expected += static_cast<long>(chain.ids.size());
        if (!WaitForArrivals(expected)) {
            Fail(__func__, "results missing");
            missing = true;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(chain.ids.size()));
    state.counters["feed_us"] = feedUs / static_cast<double>(std::max<long>(round, 1));
    CRecordProcessor::Instance().Threads().Terminate();
    // One result per quoted option, none more: no quote recalculated its group.
    if (g_arrivals.count != expected)
        Fail(__func__, "more results than quotes");
    CheckRepriced(state, __func__, chain, shift);
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_QuoteToResultThroughput)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// What this machine allows the throughput above, without the engine: each option's pricing (the
// three volatility solves, the theoretical price and the Greeks, with the inputs the engine used)
// spread over N threads as the processing slots spread records, option i on thread i mod N, each
// thread on data of its own. No locks, no queues, no shared writes; the run's time is that of its
// slowest thread, as the quote burst's is that of its slowest slot.
void BM_IndependentPricing(benchmark::State& state) {
    constexpr int kPasses = 10;  // so starting the threads weighs nothing
    const unsigned n = static_cast<unsigned>(state.range(0));
    struct Work {
        SOptionInputs in;
        double bid, ask, price;
    };
    std::vector<Work> work;
    {
        CRecordProcessor::Instance().Threads().Start(0);
        Chain chain(10, 50);
        chain.QuoteAll(0.0);
        for (std::size_t i = 0; i < chain.ids.size(); ++i) {
            CBaseOptionRecord* option = CRecordRegistry::Instance().FindOptionByForeignId(chain.ids[i]);
            option->Process(0);
            work.push_back({option->Snapshot().inputs, option->Bid(), option->Ask(), chain.prices[i]});
        }
        CRecordRegistry::Instance().ReleaseAllRecords();
    }
    std::vector<std::size_t> repriced(n);
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < n; ++t) {
            threads.emplace_back([&work, &repriced, n, t] {
                const std::vector<double> none;
                std::size_t good = 0;
                for (int pass = 0; pass < kPasses; ++pass) {
                    for (std::size_t i = t; i < work.size(); i += n) {
                        const Work& w = work[i];
                        const SOptionInputs& in = w.in;
                        Pricing::SFirstBracket bracket;
                        auto solve = [&](double price) {
                            double iv = 0.0;
                            Pricing::CalcIV(iv, in.type, none, in.model, 100, false, in.S, in.X, in.T, in.r,
                                            in.carry, price, kSigma, none, &bracket);
                            return iv;
                        };
                        const double mid = solve((w.bid + w.ask) * 0.5);
                        solve(w.ask);
                        solve(w.bid);
                        const double theo = Pricing::CalcTheoPrice(in.carry, in.r, in.T, in.X, false, 0, in.model,
                                                                   in.type, in.S, mid, none, none);
                        double vega, theta, rho, delta, gamma;
                        Pricing::CalcGreeks(false, 0, in.type, in.S, in.r, in.carry, in.T, mid, in.X, in.model, none,
                                            none, vega, theta, rho, delta, gamma);
                        good += std::fabs(theo - w.price) < 1e-3 ? 1 : 0;
                    }
                }
                repriced[t] = good;
            });
        }
        for (std::thread& thread : threads)
            thread.join();
    }
    state.SetItemsProcessed(state.iterations() * kPasses * static_cast<long>(work.size()));
    std::size_t good = 0;
    for (const std::size_t g : repriced)
        good += g;
    state.counters["repriced"] = static_cast<double>(good) / static_cast<double>(kPasses * work.size());
    if (good < kPasses * work.size() * 9 / 10)
        Fail(__func__, "the pricing does not reprice the quotes");
}
BENCHMARK(BM_IndependentPricing)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// From a quote entering the library to its result reaching the host's callback: each round quotes
// the chain's call and put, waits for both results and takes each one's time from its own quote;
// p50 and p99 over the run. Every round's results must reprice that round's quotes.
void BM_QuoteToResultLatency(benchmark::State& state) {
    CRecordProcessor::Instance().Threads().Start(4);
    Chain chain(1, 1);
    std::vector<double> micros;
    std::vector<Clock::time_point> sent(chain.ids.size());
    int round = 0;
    long repricedRounds = 0;
    bool missing = false;
    for (auto _ : state) {
        if (missing)
            continue;
        const double shift = 0.002 * (++round % 5);
        const long target = g_arrivals.count + static_cast<long>(chain.ids.size());
        for (std::size_t i = 0; i < chain.ids.size(); ++i) {
            sent[i] = Clock::now();
            chain.Quote(i, shift);
        }
        if (!WaitForArrivals(target)) {
            Fail(__func__, "results missing");
            missing = true;
            continue;
        }
        for (std::size_t i = 0; i < chain.ids.size(); ++i) {
            const Clock::time_point arrived{Clock::duration(g_arrivals.byId[chain.ids[i]].at.load())};
            micros.push_back(std::chrono::duration<double, std::micro>(arrived - sent[i]).count());
        }
        repricedRounds += chain.RepricedCount(shift) == chain.ids.size() ? 1 : 0;
    }
    CRecordProcessor::Instance().Threads().Terminate();
    // The same counters in every run, failed or not: repetitions are aggregated by name.
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros.empty() ? 0.0 : micros[micros.size() / 2];
    state.counters["p99_us"] = micros.empty() ? 0.0 : micros[micros.size() * 99 / 100];
    state.counters["repriced"] = static_cast<double>(repricedRounds) / static_cast<double>(std::max(round, 1));
    if (repricedRounds != round)
        Fail(__func__, "results do not reprice their quotes");
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_QuoteToResultLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_OptionRecalculation(benchmark::State& state) {
    CRecordProcessor::Instance().Threads().Start(0);
    Chain chain(1, 100);
    chain.QuoteAll(0.0);
    CBaseOptionRecord* option = CRecordRegistry::Instance().FindOptionByForeignId(chain.ids[100]);  // 100 call
    for (auto _ : state)
        option->Process(0);
    const double midIV = option->Snapshot().results.midIV;
    state.counters["mid_iv"] = midIV;
    if (std::fabs(midIV - kSigma) > 1e-3)
        Fail(__func__, "the recalculation lost the quoted volatility");
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_OptionRecalculation)->Unit(benchmark::kMicrosecond);

// The underlying moves and every option of a 20 x 100 chain is recalculated by the montage.
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
    // Options that hold a volatility near the quoted one, out of all.
    std::size_t near = 0;
    for (const int64_t id : chain.ids) {
        const double midIV = CRecordRegistry::Instance().FindOptionByForeignId(id)->Snapshot().results.midIV;
        near += std::fabs(midIV - kSigma) < 0.05 ? 1 : 0;
    }
    state.counters["near_quoted_iv"] = static_cast<double>(near) / static_cast<double>(chain.ids.size());
    if (near < chain.ids.size() / 2)
        Fail(__func__, "the montage lost the quoted volatilities");
    CRecordRegistry::Instance().ReleaseAllRecords();
}
BENCHMARK(BM_UnderlyingMoveOverChain)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The montage reports each pass with printf: the table keeps standard output to itself through a
    // copy of its descriptor, and what the library prints goes to /dev/null.
    const int tableFd = ::dup(STDOUT_FILENO);
    if (tableFd < 0 || !std::freopen("/dev/null", "w", stdout)) {
        std::perror("engine_bench: standard output");
        return 1;
    }
    __gnu_cxx::stdio_filebuf<char> tableBuffer(tableFd, std::ios::out);
    std::ostream table(&tableBuffer);
    benchmark::ConsoleReporter reporter(::isatty(tableFd) ? benchmark::ConsoleReporter::OO_Defaults
                                                          : benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&table);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return g_checkFailed ? 1 : 0;
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "LoadedLibrary.h"
#include "Logging/Log.h"
#include "support/FeedRecords.h"
#include "support/TempDir.h"
#include "support/ThreadCount.h"

namespace {

const char* const kExports[] = {
    "InitalizeDll", "DeInitalizeDll", "BriskoDllInitLogger", "BriskoDllSetGlobalDate", "BriskoDllProcessMessage",
    "BriskoDllRegisterOption", "BriskoDllRequestOptionCalcInputs", "BriskoDllGetOptionInputs",
    "BriskoDllGetUnderlyingData", "BriskoDllSetYieldCurve", "BriskoDllUseUserRates", "BriskoDllRefreshDividends",
    "BriskoDllSetOptionDelivery", "BriskoDllAddRoot2SymbolMapping", "BriskoDllSetStockSettings",
    "BriskoDllSetOptionExpiryTypes", "BriskoDllGetOptionsIdGroupedByExpiry", "BriskoDllCalcWeightedTimeToExpiration",
    "BriskoDllCalcCalendarTimeToExpiration", "BriskoDllCalcTheoPrice", "BriskoDllCalcGreeks", "BriskoDllGlobalCalcIV",
    "BriskoDllCalcTheoPriceHrr", "BriskoDllCleanUpRecords", "BriskoDllPurgeProcessingQueues",
    "BriskoDllTerminateThreads", "BriskoDllDumpStock"};

struct Received {
    std::mutex mutex;
    std::map<int64_t, OptionResult> options;
    int calls = 0;
} g_received;

void OnResult(const void* data, int kind, int, int low, int high) {
    std::lock_guard<std::mutex> lock(g_received.mutex);
    ++g_received.calls;
    if (kind == eResultOption) {
        const int64_t id = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) |
                                                static_cast<uint32_t>(low));
        std::memcpy(&g_received.options[id], data, sizeof(OptionResult));
    }
}

CalcDllSettings Settings(unsigned threads) {
    CalcDllSettings settings = EngineSettings(threads);
    settings.pfResultCallback = &OnResult;
    return settings;
}

OptionKey SpyKey(bool put) {
    return OptionKeyOf("SPY", put ? 'M' : 'A', 16, 42.5);
}

// Registers a call and a put on SPY, quotes the underlying and both options, and waits for their results.
void QuoteSpyAndExpectResults(LoadedLibrary& lib) {
    {
        std::lock_guard<std::mutex> lock(g_received.mutex);
        g_received.options.clear();
    }
    const OptionKey call = SpyKey(false);
    ASSERT_GE(lib.RegisterOption(&call, 501, 0), 0);
    const OptionKey put = SpyKey(true);
    ASSERT_GE(lib.RegisterOption(&put, 502, 0), 0);
    const FeedMessage underlying = QuoteMessage(2, "SPY", 42.45f, 42.55f);
    lib.ProcessMessage(&underlying, -1, 1);
    const FeedMessage callQuote = QuoteMessage(4, nullptr, 0.60f, 0.64f);
    lib.ProcessMessage(&callQuote, -1, 501);
    const FeedMessage putQuote = QuoteMessage(4, nullptr, 0.58f, 0.62f);
    lib.ProcessMessage(&putQuote, -1, 502);
    ASSERT_TRUE(WaitFor([] {
        std::lock_guard<std::mutex> lock(g_received.mutex);
        return g_received.options.count(501) && g_received.options.count(502);
    }));
    std::lock_guard<std::mutex> lock(g_received.mutex);
    EXPECT_GT(g_received.options[501].theo, 0.0);
    EXPECT_GT(g_received.options[502].theo, 0.0);
    EXPECT_GT(g_received.options[501].midIV, 0.0);
}

TEST(LibraryExports, ExactlyTheLibraryFunctionsAreExported) {
    LoadedLibrary& lib = Library();
    for (const char* name : kExports)
        EXPECT_NE(platform::GetProcAddress(lib.handle, name), nullptr) << name;

    const std::string command = std::string("nm -D --defined-only ") + BRKCALCSLIB_PATH;
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3)
            exported.insert(name);
    }
    ASSERT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(exported, std::set<std::string>(std::begin(kExports), std::end(kExports)));
}

// Threads running now that did not run at `before`; a thread ending meanwhile changes nothing.
std::size_t threadsStartedSince(const std::set<std::string>& before) {
    const std::set<std::string> now = testsupport::threadIds();
    return static_cast<std::size_t>(
        std::count_if(now.begin(), now.end(), [&](const std::string& id) { return before.count(id) == 0; }));
}

TEST(LibraryExports, ThreadCountsFollowTheSettings) {
    LoadedLibrary& lib = Library();
    // A sanitizer starts its helper thread with the first thread of the process: let that happen first.
    std::thread([] {}).join();
    const std::set<std::string> before = testsupport::threadIds();
    lib.Initalize(nullptr);
    EXPECT_EQ(threadsStartedSince(before), 2u);
    lib.DeInitalize();
    EXPECT_TRUE(WaitFor([&] { return threadsStartedSince(before) == 0; }));

    CalcDllSettings many = Settings(40);
    lib.Initalize(&many);
    EXPECT_EQ(threadsStartedSince(before), 16u);
    lib.DeInitalize();
    EXPECT_TRUE(WaitFor([&] { return threadsStartedSince(before) == 0; }));
}

TEST(LibraryExports, QuotesReachTheHostAsResultsAcrossARestart) {
    LoadedLibrary& lib = Library();
    for (int round = 0; round < 2; ++round) {
        CalcDllSettings settings = Settings(4);
        lib.Initalize(&settings);
        QuoteSpyAndExpectResults(lib);

        OptionCalcInputs inputs{};
        const OptionKey call = SpyKey(false);
        const int id = lib.RegisterOption(&call, 501, 0);  // registered already: its internal id
        EXPECT_EQ(lib.RequestOptionCalcInputs(id, &inputs), id);
        EXPECT_DOUBLE_EQ(inputs.strike, 42.5);
        EXPECT_NEAR(inputs.underlyingPrice, 42.5, 1e-6);

        double bid = 0, ask = 0, last = -1;
        lib.GetUnderlyingData("SPY", &bid, &ask, &last);
        EXPECT_NEAR(bid, 42.45, 1e-5);
        EXPECT_EQ(last, 0.0);

        OptionIdsByExpiry ids;
        ASSERT_TRUE(lib.GetOptionsIdGroupedByExpiry("SPY", &ids));
        ASSERT_EQ(ids.size(), 1u);
        EXPECT_EQ(ids.begin()->second, (std::vector<int64_t>{501, 502}));

        lib.DeInitalize();
        // After the stop nothing is processed, not even the feed time.
        const FeedMessage late = QuoteMessage(2, "SPY", 43.0f, 43.1f);
        lib.ProcessMessage(&late, -1, 1);
        lib.GetUnderlyingData("SPY", &bid, &ask, &last);
        EXPECT_EQ(bid, 0.0) << round;
    }
}

TEST(LibraryExports, TimeToExpirationIsCalendarTime) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    LoadedLibrary& lib = Library();
    CalcDllSettings settings = Settings(0);
    lib.Initalize(&settings);
    const OptionKey call = SpyKey(false);
    ASSERT_GE(lib.RegisterOption(&call, 601, 0), 0);

    const double dayBefore = 1421337600.0;  // 2015-01-15 16:00:00 UTC
    EXPECT_NEAR(lib.CalendarTime(601, &dayBefore), 1.0 / 365.0, 1e-12);
    EXPECT_NEAR(lib.WeightedTime(601, &dayBefore), 1.0 / 365.0, 1e-12);
    const double dayAfter = dayBefore + 2 * 86400.0;
    EXPECT_NEAR(lib.CalendarTime(601, &dayAfter), -1.0 / 365.0, 1e-12);
    EXPECT_EQ(lib.WeightedTime(601, &dayAfter), 0.0);

    const double refused[] = {std::nan(""), INFINITY, -1.0, 4.0e10};
    for (double time : refused)
        EXPECT_EQ(lib.CalendarTime(601, &time), 0.0) << time;
    EXPECT_EQ(lib.CalendarTime(601, nullptr), 0.0);
    EXPECT_EQ(lib.CalendarTime(999, &dayBefore), 0.0);
    lib.DeInitalize();
}

TEST(LibraryExports, StatelessPricingMatchesPublishedValues) {
    LoadedLibrary& lib = Library();
    // Hull: S 42, X 40, r = b = 0.10, sigma 0.20, T 0.5.
    const double S = 42, X = 40, T = 0.5, r = 0.1, b = 0.1, sigma = 0.2;
    const std::vector<double> none;
    EXPECT_NEAR(lib.CalcTheoPrice(0, 1, 0, 'c', &S, &X, &T, &r, &b, &sigma, &none, &none), 4.7594, 5e-5);
    EXPECT_NEAR(lib.CalcTheoPrice(0, 1, 0, 'p', &S, &X, &T, &r, &b, &sigma, nullptr, nullptr), 0.8086, 5e-5);
    EXPECT_EQ(lib.CalcTheoPrice(0, 1, 0, 'c', nullptr, &X, &T, &r, &b, &sigma, &none, &none), 0.0);

    double vega = 0, theta = 0, rho = 0, delta = 0, gamma = 0;
    lib.CalcGreeks('e', 0, 'c', &S, &r, &b, &T, &sigma, &X, 0, &none, &none, &vega, &theta, &rho, &delta, &gamma);
    // Hull's d1 = 0.7693 and d2 = 0.6278: N(d1) = 0.77913, n(d1) = 0.29676, N(d2) = 0.73495.
    EXPECT_NEAR(delta, 77.91, 0.01);  // N(d1) x 100
    // (-S n(d1) sigma / (2 sqrt T) - r X e^(-rT) N(d2)) / 365 x 100 = (-1.76265 - 2.79644) / 365 x 100
    EXPECT_NEAR(theta, -1.24907, 1e-4);
    EXPECT_NEAR(vega, 8.8134, 1e-3);    // S sqrt(T) n(d1)
    EXPECT_NEAR(gamma, 4.99627, 1e-4);  // n(d1) / (S sigma sqrt T) x 100
    EXPECT_NEAR(rho, 13.9820, 1e-3);    // X T e^(-rT) N(d2)

    double iv = 0.0;
    EXPECT_EQ(lib.GlobalCalcIV(&iv, 'c', &none, &none, S, X, T, r, b, 4.7594, 0, 0.3, 100, 0), 0);
    EXPECT_NEAR(iv, 0.20, 1e-4);
    EXPECT_EQ(lib.GlobalCalcIV(nullptr, 'c', &none, &none, S, X, T, r, b, 4.7594, 0, 0.3, 100, 0), 1);
    // A tree with an absurd number of steps is bounded, not run for minutes.
    EXPECT_EQ(lib.GlobalCalcIV(&iv, 'p', &none, &none, S, X, T, r, b, 0.8086, 1, 0.3, 2000000000, 0), 0);
    EXPECT_GT(iv, 0.0);
}

TEST(LibraryExports, BadArgumentsAreRefusedQuietly) {
    LoadedLibrary& lib = Library();
    lib.Initalize(nullptr);
    EXPECT_EQ(lib.RegisterOption(nullptr, 1, 0), -1);
    lib.ProcessMessage(nullptr, -1, 1);
    OptionCalcInputs inputs{};
    EXPECT_EQ(lib.RequestOptionCalcInputs(-5, &inputs), -1);
    EXPECT_EQ(lib.RequestOptionCalcInputs(0, nullptr), -1);
    double bid = 1, ask = 1, last = 1;
    lib.GetUnderlyingData("NOPE", &bid, &ask, &last);
    EXPECT_EQ(bid + ask + last, 0.0);
    lib.GetUnderlyingData(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(lib.SetYieldCurve(nullptr, nullptr, 5), 0);
    const YieldCurvePoint point{0.01, 0.02, DllDate{2015, 1, 1}, {}};
    EXPECT_EQ(lib.SetYieldCurve("SPY", &point, -1), 0);
    EXPECT_FALSE(lib.GetOptionsIdGroupedByExpiry(nullptr, nullptr));
    lib.GetOptionInputs(12345, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    lib.DeInitalize();
}

TEST(LibraryExports, HostAndLibraryWriteEachLineOnce) {
    LoadedLibrary& lib = Library();
    testsupport::TempDir dir;
    const std::string pattern = dir.str() + "/Logs/Shared%Y-%b-%d.log";
    Logging::initLogging(pattern);
    lib.InitLogger(pattern.c_str());
    LOG_SEV(info) << "host line";
    lib.PurgeProcessingQueues();

    const auto files = testsupport::filesIn(dir.path() / "Logs");
    ASSERT_EQ(files.size(), 1u);
    const auto lines = testsupport::readLines(files[0]);
    auto count = [&](const std::string& text) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_EQ(count(": host line"), 1);
    EXPECT_EQ(count(": BriskoDllPurgeProcessingQueues"), 1);
}

}  // namespace

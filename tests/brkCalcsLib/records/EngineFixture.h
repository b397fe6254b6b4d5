// A library engine with processing threads and a recording result callback, reset per test.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "brkCalcsLib.h"
#include "calendar/GroupDividends.h"
#include "calendar/TapeClock.h"
#include "rates/RateStore.h"
#include "records/FeedProcessing.h"
#include "records/HostCallbacks.h"
#include "records/OptionRecord.h"
#include "records/RecordProcessor.h"
#include "records/RecordRegistry.h"
#include "records/UnderlyingRecord.h"

namespace enginetest {

// Years from the fixture's tape time, 2015-01-12 10:00, to a 2015-06-19 expiry at 16:00.
constexpr double kYearsToJune = (158.0 + 6.0 / 24.0) / 365.0;

// One curve point from 2015-01-01: every expiry of the symbol reads this rate and second rate.
inline void LoadFlatCurve(const char* symbol, double rate, double secondRate = 0.0) {
    const YieldCurvePoint point{rate, secondRate, DllDate{2015, 1, 1}, {}};
    CRateStore::Instance().SetYieldCurve(symbol, &point, 1);
}

// A group's dividends as its fetch leaves them when every one falls before the expiry.
inline SGroupDividends ScheduleOf(const std::vector<double>& amounts, const std::vector<double>& times) {
    SGroupDividends dividends;
    dividends.m_divAmounts = dividends.m_divToExpiryAmounts = amounts;
    dividends.m_divTimes = dividends.m_divToExpiryTimes = times;
    dividends.m_divCount = static_cast<int>(amounts.size());
    for (double amount : amounts)
        dividends.m_divTotal += amount;
    return dividends;
}

struct ResultLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int64_t, OptionResult> lastOption;  // by foreign id
    std::map<int64_t, int> optionCount;
    std::vector<int> kinds;
    std::vector<ExpirySummary> summaries;
    int total = 0;

    void clear() {
        std::lock_guard<std::mutex> lock(mutex);
        lastOption.clear();
        optionCount.clear();
        kinds.clear();
        summaries.clear();
        total = 0;
    }
};

inline ResultLog& results() {
    static ResultLog log;
    return log;
}

inline void RecordResult(const void* data, int kind, int, int low, int high) {
    const int64_t id = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) |
                                            static_cast<uint32_t>(low));
    ResultLog& log = results();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.kinds.push_back(kind);
    if (kind == eResultOption) {
        std::memcpy(&log.lastOption[id], data, sizeof(OptionResult));
        ++log.optionCount[id];
    } else if (kind == eResultExpirySummary) {
        ExpirySummary summary;
        std::memcpy(&summary, data, sizeof summary);
        log.summaries.push_back(summary);
    }
    ++log.total;
    log.changed.notify_all();
}

// Waits until `done` holds, at most ten seconds.
template <class Predicate>
bool WaitForResults(Predicate done) {
    ResultLog& log = results();
    std::unique_lock<std::mutex> lock(log.mutex);
    return log.changed.wait_for(lock, std::chrono::seconds(10), [&] { return done(log); });
}

// Waits until no result has arrived for a while: the queues have drained.
inline void WaitForQuiet() {
    int seen = -1;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::lock_guard<std::mutex> lock(results().mutex);
        if (results().total == seen)
            return;
        seen = results().total;
    }
}

inline OptionKey MakeKey(const std::string& root, int year, int month, int day, bool put, double strike) {
    OptionKey key{};
    std::memcpy(key.root, root.data(), std::min<std::size_t>(root.size(), sizeof key.root));
    key.year = static_cast<uint8_t>(year - 2000);
    key.monthCode = static_cast<char>((put ? 'M' : 'A') + month - 1);
    key.day = static_cast<uint8_t>(day);
    key.strike = static_cast<uint32_t>(strike * 1000.0 + 0.5);
    return key;
}

inline FeedMessage UnderlyingQuote(const std::string& symbol, double bid, double ask, uint32_t time = 100000000) {
    FeedMessage message{};
    message.type = static_cast<uint8_t>((2 << 5) | 2);
    message.time = time;
    std::memcpy(message.key, symbol.data(), std::min<std::size_t>(symbol.size(), sizeof message.key - 1));
    message.bid = static_cast<float>(bid);
    message.ask = static_cast<float>(ask);
    return message;
}

inline FeedMessage OptionQuote(double bid, double ask, uint32_t time = 100000000) {
    FeedMessage message{};
    message.type = static_cast<uint8_t>((4 << 5) | 2);
    message.time = time;
    message.bid = static_cast<float>(bid);
    message.ask = static_cast<float>(ask);
    return message;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        CRecordRegistry::Instance().ReleaseAllRecords();
        results().clear();
        CalcDllSettings settings{};
        settings.pfResultCallback = &RecordResult;
        CHostCallbacks::Instance().Install(settings);
        CTapeClock::Instance().ResetToDate(DllDate{2015, 1, 12});
        CTapeClock::Instance().SetTimeOfDay(10, 0, 0, 0);
    }

    void TearDown() override {
        CRecordProcessor::Instance().Threads().Terminate();
        CRecordRegistry::Instance().ReleaseAllRecords();
        CHostCallbacks::Instance().Clear();
    }

    void StartThreads(unsigned n) { CRecordProcessor::Instance().Threads().Start(n); }

    CBaseOptionRecord* Register(const OptionKey& key, int64_t foreignId) {
        return CRecordRegistry::Instance().CreateBrkOptionRecord(key, foreignId, 0);
    }
};

}  // namespace enginetest

#include <atomic>
#include <stdexcept>

#include "EngineFixture.h"

namespace enginetest {
namespace {

TEST_F(EngineTest, LastPublishedResultReflectsTheLastQuote) {
    StartThreads(4);
    const int64_t id = 42;
    CBaseOptionRecord* option = Register(MakeKey("ONE", 2015, 6, 19, false, 50.0), id);
    ASSERT_NE(option, nullptr);
    // The feed flag keeps the underlying's montage from recalculating the option behind the test's back.
    FeedMessage underlying = UnderlyingQuote("ONE", 49.95, 50.05);
    underlying.flag = 1;
    ProcessFeedMessage(underlying, -1, 1);
    double bid = 0.0, ask = 0.0;
    for (int i = 0; i < 1000; ++i) {
        bid = 2.0 + 0.002 * i;
        ask = bid + 0.1;
        ProcessFeedMessage(OptionQuote(bid, ask), -1, id);
    }
    WaitForQuiet();
    const SOptionSnapshot snapshot = option->Snapshot();
    EXPECT_NEAR(snapshot.inputs.midPrice, (double(float(bid)) + double(float(ask))) * 0.5, 1e-12);
    std::lock_guard<std::mutex> lock(results().mutex);
    const OptionResult& published = results().lastOption.at(id);
    EXPECT_EQ(published.midIV, snapshot.results.midIV);
    EXPECT_EQ(published.bidIV, snapshot.results.bidIV);
    EXPECT_EQ(published.theo, snapshot.results.theo);
    // Quotes that arrive while a run is queued fold into it.
    EXPECT_LT(results().optionCount.at(id), 1000);
}

TEST_F(EngineTest, CleanUpWithThousandsQueuedFreesSafelyAndSilencesTheQueue) {
    StartThreads(4);
    const int options = 3000;
    for (int i = 0; i < options; ++i)
        ASSERT_NE(Register(MakeKey("CLN", 2015, 1 + i % 6, 15 + i % 6, i % 2 == 1, 10.0 + i / 12), i + 1), nullptr);
    ProcessFeedMessage(UnderlyingQuote("CLN", 20.0, 20.1), -1, 1);
    for (int i = 0; i < options; ++i)
        ProcessFeedMessage(OptionQuote(1.0, 1.1), -1, i + 1);

    CRecordRegistry::Instance().ReleaseAllRecords();
    int afterRelease;
    {
        std::lock_guard<std::mutex> lock(results().mutex);
        afterRelease = results().total;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::lock_guard<std::mutex> lock(results().mutex);
    EXPECT_EQ(results().total, afterRelease);
    EXPECT_LT(afterRelease, options);
}

class ThrowingRecord : public IRecord {
public:
    void Process(int) override { throw std::runtime_error("broken record"); }
};

class CountingRecord : public IRecord {
public:
    void Process(int) override { ++processed; }
    std::atomic<int> processed{0};
};

TEST_F(EngineTest, ARecordThatThrowsDoesNotStopItsThread) {
    StartThreads(1);
    ThrowingRecord broken;
    CountingRecord healthy;
    ASSERT_TRUE(CRecordProcessor::Instance().Post(&broken));
    ASSERT_TRUE(CRecordProcessor::Instance().Post(&healthy));
    for (int i = 0; i < 200 && healthy.processed == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(healthy.processed, 1);
    // The broken record can be processed again, too.
    ASSERT_TRUE(CRecordProcessor::Instance().Post(&broken));
    ASSERT_TRUE(CRecordProcessor::Instance().Post(&healthy));
    for (int i = 0; i < 200 && healthy.processed == 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(healthy.processed, 2);
    CRecordProcessor::Instance().Threads().Terminate();
}

TEST_F(EngineTest, StopReleaseAndStartAgainProcessesRecordsAgain) {
    for (int round = 0; round < 2; ++round) {
        StartThreads(3);
        ASSERT_NE(Register(MakeKey("RST", 2015, 6, 19, false, 30.0), 11), nullptr);
        ProcessFeedMessage(UnderlyingQuote("RST", 30.0, 30.1), -1, 1);
        ProcessFeedMessage(OptionQuote(2.0, 2.2), -1, 11);
        ASSERT_TRUE(WaitForResults([](ResultLog& log) { return log.optionCount.count(11) > 0; })) << round;
        CRecordProcessor::Instance().Threads().Terminate();
        CRecordRegistry::Instance().ReleaseAllRecords();
        results().clear();
    }
}

std::atomic<int> g_releasesRefused{0};

void ReleaseFromCallback(const void*, int, int, int, int) {
    if (!CRecordRegistry::Instance().ReleaseAllRecords())
        ++g_releasesRefused;
}

TEST_F(EngineTest, AResultCallbackCannotReleaseTheRecordsUnderItself) {
    CalcDllSettings settings{};
    settings.pfResultCallback = &ReleaseFromCallback;
    CHostCallbacks::Instance().Install(settings);
    StartThreads(1);
    CBaseOptionRecord* option = Register(MakeKey("CBK", 2015, 6, 19, false, 30.0), 11);
    ASSERT_NE(option, nullptr);
    ProcessFeedMessage(UnderlyingQuote("CBK", 30.0, 30.1), -1, 1);
    ProcessFeedMessage(OptionQuote(2.0, 2.2), -1, 11);
    for (int i = 0; i < 500 && g_releasesRefused == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(g_releasesRefused, 0);
    // The records are all still there.
    EXPECT_EQ(CRecordRegistry::Instance().FindOptionByForeignId(11), option);
}

TEST_F(EngineTest, WithoutThreadsNothingIsProcessed) {
    StartThreads(0);
    ASSERT_NE(Register(MakeKey("NTH", 2015, 6, 19, false, 30.0), 11), nullptr);
    ProcessFeedMessage(UnderlyingQuote("NTH", 30.0, 30.1), -1, 1);
    ProcessFeedMessage(OptionQuote(2.0, 2.2), -1, 11);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::lock_guard<std::mutex> lock(results().mutex);
    EXPECT_EQ(results().total, 0);
}

}  // namespace
}  // namespace enginetest

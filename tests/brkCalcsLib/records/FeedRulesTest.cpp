// What a feed message changes: options take quotes only, an underlying recalculates only when its
// price moved, and the message's flag turns the underlying's montage off.
#include <algorithm>
#include <atomic>
#include <string>

#include "EngineFixture.h"

namespace enginetest {
namespace {

std::atomic<int> g_userVolatilityAsked{0};

int UserVolatilityOfTwentyPercent(int64_t, double* volatility) {
    ++g_userVolatilityAsked;
    *volatility = 0.2;
    return 0;
}

FeedMessage UnderlyingTrade(const std::string& symbol, double last, bool flag = false) {
    FeedMessage message = UnderlyingQuote(symbol, 0.0, 0.0);
    message.type = static_cast<uint8_t>((2 << 5) | 1);
    message.last = static_cast<float>(last);
    message.flag = flag ? 1 : 0;
    return message;
}

TEST_F(EngineTest, OptionsTakeQuotesButNotTrades) {
    CalcDllSettings settings{};
    settings.pfResultCallback = &RecordResult;
    settings.pfUserVolatilityCallback = &UserVolatilityOfTwentyPercent;
    CHostCallbacks::Instance().Install(settings);
    CBaseOptionRecord* option = Register(MakeKey("FDO", 2015, 6, 19, false, 50.0), 11);
    ASSERT_NE(option, nullptr);
    struct Row {
        const char* what;
        int subtype;
        bool applied;
    };
    const Row rows[] = {{"trade", 1, false}, {"subtype 3", 3, false}, {"quote", 2, true}};
    for (const Row& row : rows) {
        g_userVolatilityAsked = 0;
        FeedMessage message = OptionQuote(1.5, 1.7);
        message.type = static_cast<uint8_t>((4 << 5) | row.subtype);
        message.last = 1.6f;
        ProcessFeedMessage(message, -1, 11);
        EXPECT_EQ(option->Bid(), row.applied ? 1.5 : 0.0) << row.what;
        EXPECT_EQ(option->Ask(), row.applied ? static_cast<double>(1.7f) : 0.0) << row.what;
        EXPECT_EQ(g_userVolatilityAsked, row.applied ? 1 : 0) << row.what;
        EXPECT_EQ(option->UserVolatility(), row.applied ? 0.2 : 0.0) << row.what;
    }
}

TEST_F(EngineTest, AnUnderlyingTradeRecalculatesOnlyWhenItMovesTheLast) {
    StartThreads(1);
    ASSERT_NE(Register(MakeKey("FDT", 2015, 6, 19, false, 50.0), 21), nullptr);  // gives FDT results to publish
    auto counts = [] {
        std::lock_guard<std::mutex> lock(results().mutex);
        return std::make_pair(static_cast<int>(std::count(results().kinds.begin(), results().kinds.end(),
                                                          static_cast<int>(eResultUnderlying))),
                              results().optionCount[21]);
    };
    struct Row {
        const char* what;
        double last;
        bool posted;
    };
    const Row rows[] = {
        {"first trade", 50.0, true},
        {"up 0.0005", 50.0005, false},
        {"the same price", 50.0, false},
        {"up 0.002", 50.002, true},
        {"back down 0.002", 50.0, true},
    };
    for (const Row& row : rows) {
        const auto before = counts();
        ProcessFeedMessage(UnderlyingTrade("FDT", row.last), -1, 5);
        // One thread runs the records in posting order: once the option quoted after the trade has
        // its result, a recalculation the trade posted has published too.
        ProcessFeedMessage(OptionQuote(1.0, 1.1), -1, 21);
        ASSERT_TRUE(WaitForResults([&](ResultLog& log) { return log.optionCount[21] > before.second; }));
        EXPECT_EQ(counts().first, before.first + (row.posted ? 1 : 0)) << row.what;
    }
}

TEST_F(EngineTest, TheFeedFlagOfAPriceChangeTurnsTheMontageOff) {
    ASSERT_NE(Register(MakeKey("FDF", 2015, 6, 19, false, 50.0), 31), nullptr);
    struct Row {
        const char* what;
        bool trade, flag, montage;
    };
    const Row rows[] = {
        {"quote, flag set", false, true, false},
        {"quote, flag clear", false, false, true},
        {"trade, flag set", true, true, false},
        {"trade, flag clear", true, false, true},
    };
    double price = 50.0;
    for (const Row& row : rows) {
        price += 1.0;
        FeedMessage message = row.trade ? UnderlyingTrade("FDF", price, row.flag)
                                        : UnderlyingQuote("FDF", price - 0.05, price + 0.05);
        message.flag = row.flag ? 1 : 0;
        ProcessFeedMessage(message, -1, 5);
        CBaseUnderlyingRecord* underlying = CRecordRegistry::Instance().FindUnderlyingRecord("FDF");
        ASSERT_NE(underlying, nullptr);
        testing::internal::CaptureStdout();
        underlying->Process(0);
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed.find("Montage is calculated for FDF\n") != std::string::npos, row.montage) << row.what;
    }
}

}  // namespace
}  // namespace enginetest

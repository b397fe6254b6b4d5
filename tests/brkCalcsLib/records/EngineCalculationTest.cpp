#include <cmath>

#include "EngineFixture.h"
#include "pricing/BlackScholes.h"

namespace enginetest {
namespace {

// Years from 2015-01-12 10:00 to 2015-06-19 16:00, the fixture's tape time and the expiry below.
constexpr double kYears = (158.0 + 6.0 / 24.0) / 365.0;

TEST_F(EngineTest, QuotedChainReturnsTheVolatilityItWasPricedWith) {
    StartThreads(4);
    const double S = 100.0, sigma = 0.30;
    std::vector<std::pair<int64_t, double>> quoted;  // foreign id, price
    int64_t id = 100;
    for (double X = 80.0; X <= 120.0; X += 5.0) {
        for (bool put : {false, true}) {
            ASSERT_NE(Register(MakeKey("ABC", 2015, 6, 19, put, X), id), nullptr);
            // No rate curve: r = 0, so American and European values agree.
            quoted.emplace_back(id++, Pricing::BlackScholesCarry(S, X, kYears, 0.0, 0.0, sigma, put ? 'p' : 'c'));
        }
    }
    ProcessFeedMessage(UnderlyingQuote("ABC", S - 0.05, S + 0.05), -1, 7);
    for (const auto& [foreignId, price] : quoted)
        ProcessFeedMessage(OptionQuote(price - 0.01, price + 0.01), -1, foreignId);

    ASSERT_TRUE(WaitForResults([&](ResultLog& log) { return log.lastOption.size() == quoted.size(); }));
    WaitForQuiet();
    std::lock_guard<std::mutex> lock(results().mutex);
    for (const auto& [foreignId, price] : quoted) {
        const OptionResult& result = results().lastOption.at(foreignId);
        EXPECT_NEAR(result.midIV, sigma, 1e-3) << foreignId;
        EXPECT_NEAR(result.theo, price, 2e-3) << foreignId;
        EXPECT_LT(result.bidIV, result.midIV) << foreignId;
        EXPECT_GT(result.askIV, result.midIV) << foreignId;
        EXPECT_GE(result.delta, 0.0);
        EXPECT_LE(result.delta, 100.0);
        EXPECT_LE(result.theta, 0.0);
        EXPECT_GT(result.probabilityITM, 0.0);
        EXPECT_LT(result.probabilityITM, 100.0);
    }
}

TEST_F(EngineTest, FiveGroupsPublishOneTermRecordAndTwoSummaries) {
    StartThreads(2);
    const int days[] = {16, 20, 20, 17, 15};
    for (int month = 1; month <= 5; ++month)
        ASSERT_NE(Register(MakeKey("FIV", 2015, month, days[month - 1], false, 40.0), month), nullptr);
    testing::internal::CaptureStdout();
    ProcessFeedMessage(UnderlyingQuote("FIV", 40.0, 40.1), -1, 9);
    ASSERT_TRUE(WaitForResults([](ResultLog& log) { return log.summaries.size() == 2; }));
    WaitForQuiet();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("Montage is calculated for FIV\n"), std::string::npos);

    std::lock_guard<std::mutex> lock(results().mutex);
    EXPECT_EQ(std::count(results().kinds.begin(), results().kinds.end(), eResultUnderlying), 1);
    EXPECT_EQ(std::count(results().kinds.begin(), results().kinds.end(), eResultExpirySummary), 2);
    const ExpirySummary& first = results().summaries[0];
    EXPECT_EQ(std::string(first.entries[0].root, 3), "FIV");
    EXPECT_EQ(first.entries[0].year, 15);
    EXPECT_EQ(first.entries[0].month, 1);
    EXPECT_EQ(first.entries[3].month, 4);
    const ExpirySummary& second = results().summaries[1];
    EXPECT_EQ(second.entries[0].month, 5);
    EXPECT_EQ(second.entries[0].day, 15);
    EXPECT_EQ(second.entries[1].month, 0);  // unused entries stay zero
}

TEST_F(EngineTest, UnderlyingPriceFollowsUsableQuotesAndTrades) {
    ProcessFeedMessage(UnderlyingQuote("QTE", 0.0, 10.2), -1, 1);
    CBaseUnderlyingRecord* underlying = CRecordRegistry::Instance().FindUnderlyingRecord("QTE");
    ASSERT_NE(underlying, nullptr);
    EXPECT_EQ(underlying->CalcPrice(), 0.0);  // a bid of 0 leaves the price alone

    // Before any price a spread of 0.2 passes the widened test.
    ProcessFeedMessage(UnderlyingQuote("QTE", 10.0, 10.2), -1, 1);
    EXPECT_NEAR(underlying->CalcPrice(), 10.1, 1e-6);
    // Afterwards the same spread fails both tests (0.2 >= 0.05, 0.2 / 10.7 >= 0.01).
    ProcessFeedMessage(UnderlyingQuote("QTE", 10.5, 10.7), -1, 1);
    EXPECT_NEAR(underlying->CalcPrice(), 10.1, 1e-6);
    ProcessFeedMessage(UnderlyingQuote("QTE", 10.5, 10.54), -1, 1);
    EXPECT_NEAR(underlying->CalcPrice(), 10.52, 1e-5);

    FeedMessage trade = UnderlyingQuote("QTE", 0.0, 0.0);
    trade.type = static_cast<uint8_t>((7 << 5) | 1);
    trade.last = 10.61f;
    ProcessFeedMessage(trade, -1, 1);
    EXPECT_NEAR(underlying->CalcPrice(), 10.61, 1e-5);
    EXPECT_NEAR(underlying->GetUnderlyingQuote().last, 10.61, 1e-5);

    // A quote that is not a number is not stored.
    ProcessFeedMessage(UnderlyingQuote("QTE", std::nan(""), 10.6), -1, 1);
    EXPECT_NEAR(underlying->GetUnderlyingQuote().bid, 10.5, 1e-5);
}

TEST_F(EngineTest, FeedTimeSetsTheClockUnlessItCannotBe) {
    ProcessFeedMessage(UnderlyingQuote("TME", 1.0, 1.1, 143015250), -1, 1);
    DllDateTime tape = CTapeClock::Instance().Snapshot();
    EXPECT_EQ(tape.hour, 14);
    EXPECT_EQ(tape.minute, 30);
    EXPECT_EQ(tape.second, 15);
    EXPECT_EQ(tape.millisecond, 250);
    EXPECT_EQ(tape.day, 12);
    ProcessFeedMessage(UnderlyingQuote("TME", 1.0, 1.1, 253015250), -1, 1);
    EXPECT_EQ(CTapeClock::Instance().Snapshot().hour, 14);
}

TEST_F(EngineTest, OptionQuotesReachTheRecordByEitherId) {
    CBaseOptionRecord* option = Register(MakeKey("IDS", 2015, 6, 19, false, 20.0), 0x100000005LL);
    ASSERT_NE(option, nullptr);
    ProcessFeedMessage(OptionQuote(1.0, 1.2), -1, 0x100000005LL);
    EXPECT_NEAR(option->Bid(), 1.0, 1e-6);
    ProcessFeedMessage(OptionQuote(1.1, 1.3), 5, 0);  // the 32-bit id names a different foreign id
    EXPECT_NEAR(option->Bid(), 1.0, 1e-6);
    CRecordRegistry::Instance().MapOptionForeignId(5, option->InternalId());
    ProcessFeedMessage(OptionQuote(1.1, 1.3), 5, 0);
    EXPECT_NEAR(option->Ask(), 1.3, 1e-6);
}

}  // namespace
}  // namespace enginetest

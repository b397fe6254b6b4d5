// How an expiry group picks its at-the-money pair and what carry it derives from it.
#include <cmath>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "records/OptionGroup.h"

namespace enginetest {
namespace {

struct StrikeQuote {
    double X, callBid, callAsk, putBid, putAsk;
};

// A chain of call/put pairs on its own symbol at rate r, every option seeing the underlying at S.
std::vector<CBaseOptionRecord*> QuotedChain(const std::string& symbol, int month, int day,
                                            const std::vector<StrikeQuote>& quotes, double S, double r = 0.0,
                                            double secondRate = 0.0) {
    LoadFlatCurve(symbol.c_str(), r, secondRate);
    std::vector<CBaseOptionRecord*> calls;
    static int64_t id = 1000;  // foreign ids stay unique across chains
    for (const StrikeQuote& q : quotes) {
        CBaseOptionRecord* call = CRecordRegistry::Instance().CreateBrkOptionRecord(
            MakeKey(symbol, 2015, month, day, false, q.X), id++, 0);
        CBaseOptionRecord* put = CRecordRegistry::Instance().CreateBrkOptionRecord(
            MakeKey(symbol, 2015, month, day, true, q.X), id++, 0);
        if (!call || !put)
            return {};
        call->SetQuote(q.callBid, q.callAsk);
        put->SetQuote(q.putBid, q.putAsk);
        call->SetUnderlyingValue(S);
        put->SetUnderlyingValue(S);
        calls.push_back(call);
    }
    return calls;
}

SGroupCarry RefreshedCarry(const CBaseOptionRecord* anyOption) {
    return anyOption->m_pOptionGroup->UpdateAtmOption(CTapeClock::Instance().Snapshot());
}

TEST_F(EngineTest, AtTheMoneyPairIsTheOneWhoseCallAndPutMidsAreClosest) {
    struct Row {
        const char* what;
        std::vector<StrikeQuote> quotes;
        double atmStrike;
    };
    const Row rows[] = {
        {"closest mids",
         {{95, 6.0, 6.2, 1.0, 1.2}, {100, 3.0, 3.2, 2.5, 2.7}, {105, 1.0, 1.2, 5.0, 5.2}},
         100},
        {"a tie goes to the lower strike",
         {{95, 3.0, 3.2, 2.5, 2.7}, {100, 2.5, 2.7, 3.0, 3.2}, {105, 1.0, 1.2, 5.0, 5.2}},
         95},
        {"a put without an ask is passed over",
         {{95, 6.0, 6.2, 1.0, 1.2}, {100, 3.0, 3.2, 0.0, 0.0}, {105, 1.0, 1.2, 5.0, 5.2}},
         105},
        {"a call without an ask is passed over",
         {{95, 6.0, 6.2, 1.0, 1.2}, {100, 0.0, 0.0, 0.1, 0.2}, {105, 1.0, 1.2, 5.5, 5.7}},
         105},
    };
    int n = 0;
    for (const Row& row : rows) {
        const std::string symbol = "ATM" + std::string(1, static_cast<char>('A' + n++));
        const std::vector<CBaseOptionRecord*> calls = QuotedChain(symbol, 6, 19, row.quotes, 100.0);
        ASSERT_EQ(calls.size(), row.quotes.size()) << row.what;
        const SGroupCarry carry = RefreshedCarry(calls[0]);
        ASSERT_NE(carry.atmOption, nullptr) << row.what;
        EXPECT_EQ(carry.atmOption->Strike(), row.atmStrike) << row.what;
        EXPECT_FALSE(carry.atmOption->IsPut()) << row.what;
    }

    // Options that deliver something else than the underlying never stand at the money.
    CBaseOptionRecord* delivering =
        CRecordRegistry::Instance().CreateBrkOptionRecord(MakeKey("ATMZ", 2015, 6, 19, false, 100.0), 90, 1);
    CBaseOptionRecord* pair =
        CRecordRegistry::Instance().CreateBrkOptionRecord(MakeKey("ATMZ", 2015, 6, 19, true, 100.0), 91, 1);
    ASSERT_TRUE(delivering && pair);
    delivering->SetQuote(3.0, 3.2);
    pair->SetQuote(3.0, 3.2);
    EXPECT_EQ(RefreshedCarry(delivering).atmOption, nullptr);
}

TEST_F(EngineTest, AtTheMoneyPairMovesUpAStrikeBeforeALargeNearDividend) {
    struct Row {
        const char* what;
        int month, day;
        double dividendTotal, S, atmStrike;
    };
    // The closest mids are at 100; the 105 pair quotes well once the put's intrinsic value is off.
    // Short means under 2.5 months (0.2083 years): 2015-03-27 is 0.2034 years out, 2015-04-10 0.2418.
    const Row rows[] = {
        {"large dividend, short expiry, underlying above the strike", 3, 27, 0.09, 101.0, 105},
        {"dividends of 0.08 at most", 3, 27, 0.08, 101.0, 100},
        {"expiry 2.5 months out or more", 4, 10, 0.09, 101.0, 100},
        {"underlying at the strike", 3, 27, 0.09, 100.0, 100},
    };
    const std::vector<StrikeQuote> quotes = {
        {95, 6.0, 6.2, 1.0, 1.2}, {100, 2.6, 2.8, 2.5, 2.7}, {105, 0.9, 1.1, 4.9, 5.1}};
    int n = 0;
    for (const Row& row : rows) {
        const std::string symbol = "DSH" + std::string(1, static_cast<char>('A' + n++));
        const std::vector<CBaseOptionRecord*> calls = QuotedChain(symbol, row.month, row.day, quotes, row.S);
        ASSERT_EQ(calls.size(), quotes.size()) << row.what;
        SGroupDividends dividends;
        dividends.m_divTotal = row.dividendTotal;
        calls[0]->m_pOptionGroup->SetDividends(dividends);
        const SGroupCarry carry = RefreshedCarry(calls[0]);
        ASSERT_NE(carry.atmOption, nullptr) << row.what;
        EXPECT_EQ(carry.atmOption->Strike(), row.atmStrike) << row.what;
    }
}

TEST_F(EngineTest, GroupCarryComesFromTheForwardTheDividendOrTheUserRate) {
    const double T = kYearsToJune;
    struct Row {
        const char* what;
        double r, secondRate;
        bool userRates;
        std::vector<double> dividendAmounts, dividendTimes;
        StrikeQuote quote;
        double S;
        double carry, parityValue;
    };
    const Row rows[] = {
        // Forward 100 + 3.1 - 2.1 = 101 over S 100.
        {"forward over the underlying", 0.0, 0.0, false, {}, {}, {100, 3.0, 3.2, 2.0, 2.2}, 100.0,
         std::log(1.01) / T, 101.0},
        {"a dividend under a cent leaves the forward", 0.0, 0.0, false, {0.009}, {0.2}, {100, 3.0, 3.2, 2.0, 2.2},
         100.0, std::log(1.01) / T, 101.0},
        // An at-the-money bid of a few cents still implies the forward: 100 over S 99.5.
        {"bids of two cents", 0.0, 0.0, false, {}, {}, {100, 0.02, 0.03, 0.02, 0.03}, 99.5,
         std::log(100.0 / 99.5) / T, 100.0},
        // The one dividend carried from its date to expiry comes off the forward.
        {"one dividend before expiry", 0.05, 0.0, false, {1.5}, {0.2}, {100, 3.0, 3.2, 2.0, 2.2}, 100.0,
         std::log((100.0 * std::exp(0.05 * T) - 1.5 * std::exp(0.05 * (T - 0.2))) / 100.0) / T, 0.0},
        {"one dividend after expiry", 0.05, 0.0, false, {1.5}, {0.6}, {100, 3.0, 3.2, 2.0, 2.2}, 100.0,
         std::log((100.0 * std::exp(0.05 * T) - 1.5) / 100.0) / T, 0.0},
        {"user rates", 0.05, 0.031, true, {}, {}, {100, 3.0, 3.2, 2.0, 2.2}, 100.0, 0.031, 0.0},
    };
    std::vector<CBaseOptionRecord*> firstChain;
    int n = 0;
    for (const Row& row : rows) {
        const std::string symbol = "GCY" + std::string(1, static_cast<char>('A' + n++));
        const std::vector<CBaseOptionRecord*> calls =
            QuotedChain(symbol, 6, 19, {row.quote}, row.S, row.r, row.secondRate);
        ASSERT_EQ(calls.size(), 1u) << row.what;
        calls[0]->m_pUnderlyingRecord->SetUseUserRates(row.userRates);
        calls[0]->m_pOptionGroup->SetDividends(ScheduleOf(row.dividendAmounts, row.dividendTimes));
        const SGroupCarry carry = RefreshedCarry(calls[0]);
        EXPECT_NEAR(carry.carry, row.carry, 1e-9) << row.what;
        EXPECT_NEAR(carry.parityValue, row.parityValue, 1e-9) << row.what;
        if (firstChain.empty())
            firstChain = calls;
    }

    // Once the pair's quote is no longer usable (ratio 3 above 5/sqrt(3)), the group has no parity
    // value, and its carry stays as the forward last set it.
    firstChain[0]->SetQuote(1.0, 3.0);
    firstChain[0]->m_pPair->SetQuote(1.0, 3.0);
    const SGroupCarry carry = RefreshedCarry(firstChain[0]);
    EXPECT_NEAR(carry.carry, std::log(1.01) / T, 1e-9);
    EXPECT_EQ(carry.parityValue, 0.0);
}

}  // namespace
}  // namespace enginetest

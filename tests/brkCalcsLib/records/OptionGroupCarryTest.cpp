// How an expiry group picks its at-the-money pair and what carry it derives from it.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "records/OptionGroup.h"
#include "support/Dates.h"

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
        // Mids apart by 0.4, 0.6, 0.1 and 0.25. Bids alone would pick 95 (apart by 0), asks 110 (0),
        // half-spreads 100 (0.1 each), and so would the strike nearest the stock at 100.
        {"mids, not bids, asks, spreads or the strike nearest the stock",
         {{95, 4.0, 5.0, 4.0, 4.2}, {100, 3.0, 3.2, 3.6, 3.8}, {105, 2.0, 2.6, 2.1, 2.3}, {110, 1.5, 1.9, 1.0, 1.9}},
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
        // A cent is the least dividend carried this way.
        {"a dividend of a cent", 0.05, 0.0, false, {0.01}, {0.2}, {100, 3.0, 3.2, 2.0, 2.2}, 100.0,
         std::log((100.0 * std::exp(0.05 * T) - 0.01 * std::exp(0.05 * (T - 0.2))) / 100.0) / T, 0.0},
        {"one dividend after expiry", 0.05, 0.0, false, {1.5}, {0.6}, {100, 3.0, 3.2, 2.0, 2.2}, 100.0,
         std::log((100.0 * std::exp(0.05 * T) - 1.5) / 100.0) / T, 0.0},
        {"user rates", 0.05, 0.031, true, {}, {}, {100, 3.0, 3.2, 2.0, 2.2}, 100.0, 0.031, 0.0},
        // At a rate the call less the put, 4.2 - 2.1, is grown to expiry: F = 100 + 2.1 e^(rT), over S
        // (101, not the strike); the parity value is F discounted, 100 e^(-rT) + 2.1.
        {"forward at a rate", 0.05, 0.0, false, {}, {}, {100, 4.0, 4.4, 2.0, 2.2}, 101.0,
         std::log((100.0 + 2.1 * std::exp(0.05 * T)) / 101.0) / T, 100.0 * std::exp(-0.05 * T) + 2.1},
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

// The dividends the host reports for the underlying, whatever the dates asked.
std::vector<DividendEntry> g_hostDividends;

int HostDividends(const char*, const DllDate*, const DllDate*, DividendEntry* buffer, int capacity) {
    const int n = std::min(static_cast<int>(g_hostDividends.size()), capacity);
    std::copy_n(g_hostDividends.begin(), n, buffer);
    return n;
}

TEST_F(EngineTest, SingleDividendCarryTakesTheFirstDividendUpToExpiry) {
    CalcDllSettings settings{};
    settings.pfResultCallback = &RecordResult;
    settings.pfDiviCallback = &HostDividends;
    CHostCallbacks::Instance().Install(settings);
    const double r = 0.05, S = 100.0, T = kYearsToJune;
    // One dividend D paid at t, grown from then to expiry, comes off the grown stock:
    // ln((S e^(rT) - D e^(r(T - t))) / S) / T.
    auto dividendCarry = [&](double D, double t) {
        return std::log((S * std::exp(r * T) - D * std::exp(r * (T - t))) / S) / T;
    };
    // Without one, the pair's forward: 100 + (3.1 - 2.1) e^(rT) over S.
    const double forwardCarry = std::log((100.0 + std::exp(r * T)) / S) / T;
    // 2015-01-12 10:00 to 2015-03-02 00:00 is 48 days 14 hours; the schedule keeps times less 1e-6.
    const double tMarch = (48.0 + 14.0 / 24.0) / 365.0 - 1e-6;
    auto paid = [](double amount, int kind, int month, int day) {
        return DividendEntry{amount, kind, Date(2015, month, day)};
    };
    struct Row {
        const char* what;
        std::vector<DividendEntry> host;
        double carry;
    };
    const Row rows[] = {
        // Going ex today it is no future dividend (the March one alone picks the model), yet it heads
        // the schedule, at time 0: neither the March one, nor the sum or total 2.0, is carried.
        {"a dividend going ex today comes first", {paid(0.5, 0, 1, 12), paid(1.5, 0, 3, 2)}, dividendCarry(0.5, 0.0)},
        // Received first and counted in the total, yet out of the schedule.
        {"a dividend of kind 11 is not carried", {paid(0.8, 11, 1, 12), paid(1.5, 0, 3, 2)},
         dividendCarry(1.5, tMarch)},
        // One future dividend, but none in the schedule.
        {"a dividend after expiry leaves the forward", {paid(1.5, 0, 7, 1)}, forwardCarry},
        {"two dividends before expiry leave the forward", {paid(1.5, 0, 3, 2), paid(1.5, 0, 5, 1)}, forwardCarry},
    };
    int n = 0;
    for (const Row& row : rows) {
        const std::string symbol = "RGW" + std::string(1, static_cast<char>('A' + n++));
        const std::vector<CBaseOptionRecord*> calls = QuotedChain(symbol, 6, 19, {{100, 3.0, 3.2, 2.0, 2.2}}, S, r);
        ASSERT_EQ(calls.size(), 1u) << row.what;
        g_hostDividends = row.host;
        calls[0]->m_pUnderlyingRecord->RefreshDividends();
        EXPECT_NEAR(RefreshedCarry(calls[0]).carry, row.carry, 1e-9) << row.what;
    }
}

}  // namespace
}  // namespace enginetest

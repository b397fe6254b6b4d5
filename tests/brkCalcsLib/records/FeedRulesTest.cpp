// What a feed message changes: options take quotes only, an underlying recalculates only when its
// price moved, and the message's flag turns the underlying's montage off. What an input that
// arrives after an option's quote recalculates: the European pair of an option quoted, the options
// quoted before their underlying's first price, the options of a group whose carry moved.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "brkCalcsLib/pricing/ReferenceFormulas.h"
#include "records/OptionGroup.h"

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

int PublishedCount(int64_t id) {
    std::lock_guard<std::mutex> lock(results().mutex);
    const auto found = results().optionCount.find(id);
    return found == results().optionCount.end() ? 0 : found->second;
}

OptionResult LastPublished(int64_t id) {
    std::lock_guard<std::mutex> lock(results().mutex);
    return results().lastOption.at(id);
}

// A call and a put at one strike, quoted at their Black-Scholes values (carry = rate) with a spread
// of 2 x halfSpread.
struct FairPair {
    int64_t callId, putId;
    double callPrice, putPrice, halfSpread;

    void Quote(bool put) const {
        const double price = put ? putPrice : callPrice;
        ProcessFeedMessage(OptionQuote(price - halfSpread, price + halfSpread), -1, put ? putId : callId);
    }
};

// One thread and a wait for the queue to drain after each input make the published counts exact.
TEST_F(EngineTest, AEuropeanOptionIsRecalculatedWhenItsPairIsQuoted) {
    StartThreads(1);
    const double S = 2000.0, X = 2000.0, r = 0.02, sigma = 0.2;
    LoadFlatCurve("^SPX", r);
    const FairPair pair{0, 0, PricingReference::BlackScholes(true, S, X, kYearsToJune, r, r, sigma),
                        PricingReference::BlackScholes(false, S, X, kYearsToJune, r, r, sigma), 0.5};
    for (bool putFirst : {false, true}) {
        FairPair quoted = pair;
        quoted.callId = putFirst ? 11 : 21;
        quoted.putId = quoted.callId + 1;
        const char* root = putFirst ? "SPXW" : "SPX";  // one group per order, both on ^SPX
        CBaseOptionRecord* call = Register(MakeKey(root, 2015, 6, 19, false, X), quoted.callId);
        CBaseOptionRecord* put = Register(MakeKey(root, 2015, 6, 19, true, X), quoted.putId);
        ASSERT_TRUE(call && put && call->IsEuropean());
        const int64_t firstId = putFirst ? quoted.putId : quoted.callId;
        const int64_t secondId = putFirst ? quoted.callId : quoted.putId;
        const char* order = putFirst ? "put first" : "call first";

        quoted.Quote(putFirst);
        WaitForQuiet();
        // Alone, the option has no underlying to price on.
        EXPECT_EQ(LastPublished(firstId).theo, 0.0) << order;
        quoted.Quote(!putFirst);
        WaitForQuiet();
        EXPECT_EQ(PublishedCount(firstId), 2) << order;
        EXPECT_EQ(PublishedCount(secondId), 1) << order;
        for (CBaseOptionRecord* option : {call, put}) {
            const OptionResult published = LastPublished(option->ForeignId());
            EXPECT_NEAR(option->Snapshot().inputs.S, S, 1e-3) << order << ' ' << option->Type();
            EXPECT_NEAR(published.midIV, sigma, 1e-5) << order << ' ' << option->Type();
            EXPECT_NEAR(published.theo, option->IsPut() ? pair.putPrice : pair.callPrice, 1e-2)
                << order << ' ' << option->Type();
        }

        // The same quote again moves nothing of the pair's: only the option quoted is recalculated.
        quoted.Quote(!putFirst);
        WaitForQuiet();
        EXPECT_EQ(PublishedCount(firstId), 2) << order;
        EXPECT_EQ(PublishedCount(secondId), 2) << order;
    }
}

TEST_F(EngineTest, OptionsQuotedBeforeTheUnderlyingHadAPriceArePricedOnItsFirstOnce) {
    StartThreads(1);
    const double S = 42.5, sigma = 0.25;
    CBaseOptionRecord* call = Register(MakeKey("SPY", 2015, 6, 19, false, 42.5), 31);
    CBaseOptionRecord* put = Register(MakeKey("SPY", 2015, 6, 19, true, 42.5), 32);
    CBaseOptionRecord* unquoted = Register(MakeKey("SPY", 2015, 6, 19, false, 45.0), 33);
    ASSERT_TRUE(call && put && unquoted && !call->IsEuropean());
    // No rate: every model agrees with Black-Scholes.
    const FairPair pair{31, 32, PricingReference::BlackScholes(true, S, 42.5, kYearsToJune, 0.0, 0.0, sigma),
                        PricingReference::BlackScholes(false, S, 42.5, kYearsToJune, 0.0, 0.0, sigma), 0.02};
    ProcessFeedMessage(UnderlyingQuote("SPY", 0.0, 42.55), -1, 1);  // a bid of 0 gives no price
    pair.Quote(false);
    pair.Quote(true);
    WaitForQuiet();
    EXPECT_EQ(LastPublished(31).theo, 0.0);
    EXPECT_EQ(LastPublished(32).theo, 0.0);

    FeedMessage priced = UnderlyingQuote("SPY", S - 0.05, S + 0.05);
    priced.flag = 1;  // as the service marks it: no montage
    ProcessFeedMessage(priced, -1, 1);
    WaitForQuiet();
    for (CBaseOptionRecord* option : {call, put}) {
        const OptionResult published = LastPublished(option->ForeignId());
        EXPECT_EQ(PublishedCount(option->ForeignId()), 2) << option->Type();
        EXPECT_NEAR(option->Snapshot().inputs.S, S, 1e-5) << option->Type();
        EXPECT_NEAR(published.midIV, sigma, 1e-4) << option->Type();
        EXPECT_NEAR(published.theo, option->IsPut() ? pair.putPrice : pair.callPrice, 1e-3) << option->Type();
    }
    EXPECT_EQ(PublishedCount(33), 0);  // never quoted: nothing to publish

    // Later prices are taken at each option's next quote.
    ProcessFeedMessage(UnderlyingQuote("SPY", S + 0.05, S + 0.15), -1, 1);
    WaitForQuiet();
    EXPECT_EQ(PublishedCount(31), 2);
    EXPECT_EQ(PublishedCount(32), 2);
    EXPECT_NEAR(call->UnderlyingValue(), S, 1e-5);
}

TEST_F(EngineTest, AGroupIsRecalculatedWhenItsCarryArrivesOrMovesBeyondTheTolerance) {
    StartThreads(1);
    const double S = 100.0, r = 0.05, sigma = 0.3;
    LoadFlatCurve("CRY", r);
    ProcessFeedMessage(UnderlyingQuote("CRY", S - 0.05, S + 0.05), -1, 1);
    std::vector<CBaseOptionRecord*> options;
    std::vector<FairPair> pairs;
    int64_t id = 40;
    for (double X = 90.0; X <= 110.0; X += 5.0) {
        FairPair pair{id, id + 1, PricingReference::BlackScholes(true, S, X, kYearsToJune, r, r, sigma),
                      PricingReference::BlackScholes(false, S, X, kYearsToJune, r, r, sigma), 0.05};
        options.push_back(Register(MakeKey("CRY", 2015, 6, 19, false, X), id++));
        options.push_back(Register(MakeKey("CRY", 2015, 6, 19, true, X), id++));
        ASSERT_TRUE(options.back() && options[options.size() - 2]);
        pairs.push_back(pair);
    }
    COptionGroup& group = *options[0]->m_pOptionGroup;
    auto expectEveryOptionOnTheGroupsCarry = [&](const char* when) {
        const double carry = std::min(group.Carry().carry, r);
        for (CBaseOptionRecord* option : options)
            EXPECT_NEAR(option->Snapshot().inputs.carry, carry, 1e-6) << when << ": " << option->Strike() << option->Type();
    };
    auto counts = [&] {
        std::vector<int> n;
        for (CBaseOptionRecord* option : options)
            n.push_back(PublishedCount(option->ForeignId()));
        return n;
    };

    // The calls first: without a quoted pair there is no carry, and they are priced without one.
    for (const FairPair& pair : pairs)
        pair.Quote(false);
    WaitForQuiet();
    EXPECT_EQ(options[4]->Snapshot().inputs.carry, 0.0);
    // The first put brings a pair: its forward S e^(rT) implies the rate itself, and every call
    // already priced is recalculated once on it. The other pairs imply the same carry.
    for (const FairPair& pair : pairs)
        pair.Quote(true);
    WaitForQuiet();
    EXPECT_NEAR(group.Carry().carry, r, 1e-5);
    EXPECT_EQ(group.Carry().atmOption, options[4]);  // at 100, the closest mids
    expectEveryOptionOnTheGroupsCarry("once the carry arrived");
    std::vector<int> before = counts();
    for (std::size_t i = 0; i < options.size(); ++i)
        EXPECT_EQ(before[i], options[i]->IsPut() ? 1 : 2) << i;

    // The at-the-money call 0.002 up moves the forward by 0.002: within the tolerance (a cent on
    // 100), only the call is recalculated.
    FairPair atm = pairs[2];
    atm.callPrice += 0.002;
    atm.Quote(false);
    WaitForQuiet();
    std::vector<int> after = counts();
    for (std::size_t i = 0; i < options.size(); ++i)
        EXPECT_EQ(after[i], before[i] + (i == 4 ? 1 : 0)) << i;

    // 0.5 down moves the forward by 0.5 e^(rT): every option is recalculated once, on the new carry.
    atm.callPrice -= 0.502;
    before = after;
    atm.Quote(false);
    WaitForQuiet();
    after = counts();
    for (std::size_t i = 0; i < options.size(); ++i)
        EXPECT_EQ(after[i], before[i] + 1) << i;
    EXPECT_LT(group.Carry().carry, r - 1e-3);
    expectEveryOptionOnTheGroupsCarry("once the carry moved");
}

}  // namespace
}  // namespace enginetest

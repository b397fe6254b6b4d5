// The rules behind the figures an option record publishes: the chance of finishing in the money, the
// model each kind of option is priced with, the volatilities that stand in for failed solves, which
// pair quotes can imply a forward, the dividend carry, and what marks an option for recalculation.
#include <cmath>
#include <shared_mutex>
#include <vector>

#include "EngineFixture.h"
#include "InTheMoneyReference.h"
#include "brkCalcsLib/pricing/ReferenceFormulas.h"
#include "pricing/PricingModel.h"
#include "records/OptionGroup.h"

namespace enginetest {
namespace {

using PricingReference::BlackScholes;

// r = b = 0 on the fixture's June expiry: what every model of an American call reduces to.
double CallAtNoRate(double S, double X, double sigma) {
    return BlackScholes(true, S, X, kYearsToJune, 0.0, 0.0, sigma);
}

// The montage's calculation of one option, with the group carry it would hand over.
void Montage(CBaseOptionRecord* option, const SGroupCarry& carry = SGroupCarry{}) {
    std::shared_lock<std::shared_mutex> lists(option->m_pUnderlyingRecord->m_lock);
    option->CalculateIVGreeks(CTapeClock::Instance().Snapshot(), carry);
}

TEST_F(EngineTest, ProbabilityInTheMoneyFollowsTheLognormalTailUntilTheClose) {
    struct Row {
        const char* what;
        const char* symbol;
        bool put;
        double X, r;
        int hour, minute;
        bool closed;
    };
    const Row rows[] = {
        {"call in the money", "PIA", false, 90.0, 0.0, 10, 0, false},
        {"call out of the money", "PIB", false, 110.0, 0.0, 10, 0, false},
        {"call with a rate, late in the session", "PIC", false, 100.0, 0.03, 15, 59, false},
        {"put in the money", "PID", true, 110.0, 0.05, 10, 0, false},
        {"put out of the money", "PIE", true, 90.0, 0.05, 13, 30, false},
        {"call at the close", "PIF", false, 90.0, 0.0, 16, 0, true},
        {"put after the close", "PIG", true, 110.0, 0.0, 17, 30, true},
    };
    const double S = 100.0;
    int64_t id = 1;
    for (const Row& row : rows) {
        LoadFlatCurve(row.symbol, row.r);
        CBaseOptionRecord* option = Register(MakeKey(row.symbol, 2015, 6, 19, row.put, row.X), id);
        ASSERT_NE(option, nullptr) << row.what;
        const double price = BlackScholes(!row.put, S, row.X, kYearsToJune, row.r, row.r, 0.3);
        option->SetQuote(price - 0.05, price + 0.05);
        option->SetUnderlyingValue(S);
        CTapeClock::Instance().SetTimeOfDay(row.hour, row.minute, 0, 0);
        option->Process(0);
        const double published = results().lastOption.at(id++).probabilityITM;
        if (row.closed) {
            EXPECT_EQ(published, 0.0) << row.what;
            continue;
        }
        const double sigma = option->Snapshot().results.midIV;
        ASSERT_GT(sigma, 0.1) << row.what;
        const double seconds = row.hour * 3600.0 + row.minute * 60.0;
        const double days = 158.0 + (16.0 * 3600.0 - seconds) / 86400.0;  // to 2015-06-19 16:00
        EXPECT_NEAR(published, ExpectedProbabilityITM(row.put, S, row.X, row.r, sigma, days, seconds), 2e-5)
            << row.what;
    }
}

TEST_F(EngineTest, EachKindOfOptionIsPricedWithItsModel) {
    struct Row {
        const char* what;
        const char* root;
        bool put;
        std::vector<double> dividends;
        int deliveryMode;
        double carry, r;
        int model;
    };
    const Row rows[] = {
        {"call without dividends", "MDA", false, {}, 0, 0.0, 0.0, Pricing::BJ},
        {"call with one dividend", "MDB", false, {0.8}, 0, 0.0, 0.0, Pricing::RGW},
        {"call with two dividends", "MDC", false, {0.8, 0.8}, 0, 0.0, 0.0, Pricing::BJ},
        {"call with one dividend of nothing", "MDD", false, {1e-7}, 0, 0.0, 0.0, Pricing::BJ},
        {"put without dividends", "MDE", true, {}, 0, 0.0, 0.0, Pricing::MaxBSBJ},
        {"put with one dividend", "MDF", true, {0.8}, 0, 0.0, 0.0, Pricing::MaxBSBJ},
        {"index call with one dividend", "SPXW", false, {0.8}, 0, 0.0, 0.0, Pricing::BS},
        {"index put", "XEO", true, {}, 0, 0.0, 0.0, Pricing::BS},
        {"delivering call at the rate's carry", "MDG", false, {0.8}, 1, 0.02, 0.02, Pricing::BS},
        {"delivering call off the rate's carry", "MDH", false, {0.8}, 1, 0.0, 0.02, Pricing::BJ},
        {"delivering put", "MDI", true, {}, 1, 0.02, 0.02, Pricing::MaxBSBJ},
    };
    int64_t id = 1;
    for (const Row& row : rows) {
        CBaseOptionRecord* option =
            CRecordRegistry::Instance().CreateBrkOptionRecord(MakeKey(row.root, 2015, 6, 19, row.put, 100.0), id++,
                                                              row.deliveryMode);
        ASSERT_NE(option, nullptr) << row.what;
        std::vector<double> times = {0.1, 0.2};
        times.resize(row.dividends.size());
        option->m_pOptionGroup->SetDividends(ScheduleOf(row.dividends, times));
        EXPECT_EQ(option->SelectPricingModel(option->Type(), row.carry, row.r), row.model) << row.what;
        if (row.deliveryMode != 0 || option->IsEuropean())
            continue;  // neither has an underlying price of its own here
        // The full calculation prices with the same model.
        option->SetQuote(5.0, 5.2);
        option->SetUnderlyingValue(100.0);
        option->Process(0);
        EXPECT_EQ(option->Snapshot().inputs.model, row.model) << row.what;
    }
}

TEST_F(EngineTest, FullCalculationPricesAtTheUserVolatilityOrTheMidFallback) {
    struct Row {
        const char* what;
        double bid, ask, userVolatility, sigma;
    };
    // Nothing to solve from a quote of 0: the mid volatility falls back to 2%.
    const Row rows[] = {
        {"no quote to solve", 0.0, 0.0, 0.0, 0.02},
        {"no quote, a user volatility", 0.0, 0.0, 0.25, 0.25},
    };
    int64_t id = 1;
    for (const Row& row : rows) {
        CBaseOptionRecord* option = Register(MakeKey("FBK", 2015, 6, 19, false, 100.0 + id), id);
        ASSERT_NE(option, nullptr) << row.what;
        option->SetQuote(row.bid, row.ask);
        option->SetUserVolatility(row.userVolatility);
        option->SetUnderlyingValue(100.0);
        option->Process(0);
        const SOptionSnapshot snapshot = option->Snapshot();
        EXPECT_EQ(snapshot.results.midIV, 0.02) << row.what;
        EXPECT_EQ(snapshot.volatilityUsed, row.sigma) << row.what;
        EXPECT_NEAR(snapshot.results.theo, CallAtNoRate(100.0, 100.0 + id, row.sigma), 1e-9) << row.what;
        ++id;
    }
}

TEST_F(EngineTest, MontageSolvesAsksFromNineTenthsOfACentAndFallsBackBelow) {
    struct Row {
        const char* what;
        double X, bid, ask;
        bool askSolved, midSolved;
    };
    const Row rows[] = {
        {"ask at the smallest that counts", 130.0, 0.0, 0.009, true, true},
        {"ask below the smallest that counts", 130.0, 0.0, 0.0089, false, true},
        {"quote below the intrinsic value", 80.0, 0.0, 0.01, false, false},
    };
    const double S = 100.0;
    int64_t id = 1;
    for (const Row& row : rows) {
        CBaseOptionRecord* option = Register(MakeKey("MAS", 2015, 6, 19, false, row.X + 0.5 * id), id);
        ASSERT_NE(option, nullptr) << row.what;
        const double X = option->Strike();
        ++id;
        option->SetQuote(row.bid, row.ask);
        option->SetUnderlyingValue(S);
        Montage(option);
        const SOptionResults results = option->Snapshot().results;
        if (row.askSolved) {
            EXPECT_NEAR(CallAtNoRate(S, X, results.askIV), row.ask, 1e-4) << row.what;  // the solver's accuracy
        } else {
            EXPECT_EQ(results.askIV, 0.002) << row.what;
            EXPECT_EQ(results.bidIV, 0.0) << row.what;
        }
        if (row.midSolved)
            EXPECT_NEAR(CallAtNoRate(S, X, results.midIV), (row.bid + row.ask) * 0.5, 1e-4) << row.what;
        else
            EXPECT_EQ(results.midIV, 0.002) << row.what;
    }
}

TEST_F(EngineTest, PairQuotesImplyAForwardOnlyWhenTheirSpreadsAreTight) {
    struct Row {
        const char* what;
        double callBid, callAsk, putBid, putAsk;
        bool usable;
    };
    // Strike 100, no rate: the forward is 100 + call mid - put mid, and the in-the-money side's quote
    // loses its intrinsic value before the ask/bid ratios are taken.
    const Row rows[] = {
        {"both ratios within 1.5", 1.0, 1.4, 1.0, 1.4, true},
        {"ratio 1.52 with 5/sqrt(ask) 1.25", 10.5, 16.0, 10.5, 16.0, false},
        {"ratio 1.495 with 5/sqrt(ask) 1.25", 10.7, 16.0, 10.7, 16.0, true},
        {"ratio 2 within 5/sqrt(ask) 2.5", 2.0, 4.0, 2.0, 4.0, true},
        {"one ratio 1.67 within 5/sqrt(ask), the other 1.4", 1.0, 1.4, 0.9, 1.5, true},
        {"one ratio 1.495, the other 1.54 beyond 5/sqrt(ask) 1.24", 10.7, 16.0, 10.5, 16.2, false},
        {"ratio 10.5 within 5/sqrt(ask) 10.9", 0.02, 0.21, 0.02, 0.21, false},
        {"ratio 9.52 within 5/sqrt(ask) 11.2", 0.021, 0.2, 0.021, 0.2, true},
        {"bids below a cent", 0.0099, 0.012, 0.0099, 0.012, false},
        {"bids of a cent", 0.01, 0.012, 0.01, 0.012, true},
        {"call 5 in the money, 0.10/1.00 after its intrinsic value", 5.1, 6.0, 0.5, 0.6, false},
        {"call 5 in the money, 0.50/0.60 after its intrinsic value", 5.5, 5.6, 0.5, 0.6, true},
        {"put 5 in the money, 0.10/1.00 after its intrinsic value", 0.5, 0.6, 5.1, 6.0, false},
    };
    LoadFlatCurve("PQU", 0.0);
    CBaseOptionRecord* call = Register(MakeKey("PQU", 2015, 6, 19, false, 100.0), 1);
    CBaseOptionRecord* put = Register(MakeKey("PQU", 2015, 6, 19, true, 100.0), 2);
    ASSERT_TRUE(call && put && call->m_pPair == put);
    const DllDateTime tape = CTapeClock::Instance().Snapshot();
    for (const Row& row : rows) {
        call->SetQuote(row.callBid, row.callAsk);
        put->SetQuote(row.putBid, row.putAsk);
        EXPECT_EQ(call->IsPairQuoteUsable(100.0, tape), row.usable) << row.what;
    }
}

TEST_F(EngineTest, DividendCarryIsTheForwardLessTheDividendsCarriedToExpiry) {
    struct Row {
        const char* what;
        std::vector<double> times, amounts;
        double S, r, T, carry;
    };
    const Row rows[] = {
        // (100 e^0.025 - 2 e^0.0125) / 100 = (102.531512 - 2.025157) / 100 = 1.00506355; ln / 0.5.
        {"one dividend", {0.25}, {2.0}, 100.0, 0.05, 0.5, 0.0101015497},
        // (50 e^0.02 - 1 e^0.016 - 1.5 e^0.008) / 50 = (51.010067 - 1.016129 - 1.512048) / 50 = 0.9696378.
        {"two dividends", {0.1, 0.3}, {1.0, 1.5}, 50.0, 0.04, 0.5, -0.0616653508},
        {"a dividend on the expiry", {0.5}, {2.0}, 100.0, 0.05, 0.5, 0.05},
        {"no dividends", {}, {}, 100.0, 0.05, 0.5, 0.05},
        {"no time left", {0.25}, {2.0}, 100.0, 0.05, 1e-6, 0.05},
        {"dividends of nothing", {0.25}, {0.0}, 100.0, 0.05, 0.5, 0.05},
    };
    for (const Row& row : rows)
        EXPECT_NEAR(CBaseOptionRecord::CalcDividendCarry(row.times, row.S, row.r, row.T, row.amounts), row.carry, 1e-9)
            << row.what;
}

TEST_F(EngineTest, MontageCarryIsTheGroupsOrTheDividendCarryNeverAboveTheRate) {
    struct Row {
        const char* what;
        int stockSettings;
        double groupCarry, carry;
    };
    // r 5%, one dividend of 1.00 at 0.2 years, S 100, T 0.433562 years:
    // ln((100 e^(0.05 T) - 1.00 e^(0.05 (T - 0.2))) / 100) / T = 0.0270509.
    const Row rows[] = {
        {"the stock's dividend carry", 1, 0.03, 0.0270509354},
        {"the group's carry", 0, 0.03, 0.03},
        {"the group's carry above the rate", 0, 0.08, 0.05},
    };
    LoadFlatCurve("DCM", 0.05);
    int64_t id = 1;
    for (const Row& row : rows) {
        CBaseOptionRecord* option = Register(MakeKey("DCM", 2015, 6, 19, false, 100.0 + id), id);
        ASSERT_NE(option, nullptr) << row.what;
        ++id;
        option->m_pOptionGroup->SetDividends(ScheduleOf({1.0}, {0.2}));
        option->m_pUnderlyingRecord->SetStockSettings(row.stockSettings);
        option->SetQuote(5.0, 5.2);
        option->SetUnderlyingValue(100.0);
        SGroupCarry groupCarry;
        groupCarry.carry = row.groupCarry;
        Montage(option, groupCarry);
        EXPECT_NEAR(option->Snapshot().inputs.carry, row.carry, 1e-9) << row.what;
    }
}

TEST_F(EngineTest, QuoteAndCarryMovesMarkOptionsForRecalculation) {
    CBaseOptionRecord* call = Register(MakeKey("DRT", 2015, 6, 19, false, 100.0), 1);
    CBaseOptionRecord* put = Register(MakeKey("DRT", 2015, 6, 19, true, 100.0), 2);
    ASSERT_TRUE(call && put && call->m_pPair == put);
    call->SetQuote(5.0, 5.2);
    call->SetUnderlyingValue(100.0);
    SGroupCarry groupCarry;
    groupCarry.carry = 0.02;
    Montage(call, groupCarry);  // the call now holds carry 0.02 and S 100
    ASSERT_EQ(call->Snapshot().inputs.S, 100.0);

    struct QuoteRow {
        const char* what;
        double bid, ask;
        bool dirty;
    };
    const QuoteRow quoteRows[] = {
        {"bid up 0.0009", 5.0009, 5.2, false},
        {"bid up 0.0011", 5.0011, 5.2, true},
        {"ask down 0.0011", 5.0, 5.1989, true},
        {"both within 0.001", 4.9991, 5.2009, false},
    };
    for (const QuoteRow& row : quoteRows) {
        call->SetQuote(5.0, 5.2);
        call->SetDirty(false);
        EXPECT_EQ(call->SetQuote(row.bid, row.ask), row.dirty) << row.what;
        EXPECT_EQ(call->IsDirty(), row.dirty) << row.what;
    }

    struct MoveRow {
        const char* what;
        double carry, price;
        bool dirty;
    };
    const MoveRow moveRows[] = {
        {"carry up 0.009", 0.029, 100.0, false},
        {"carry up 0.011", 0.031, 100.0, true},
        {"carry down 0.011", 0.009, 100.0, true},
        {"price up 0.04", 0.02, 100.04, false},
        {"price up 0.06", 0.02, 100.06, true},
        {"price down 0.06", 0.02, 99.94, true},
    };
    for (const MoveRow& row : moveRows) {
        call->TakeGroupCarry(0.02, 0.0, 100.0);
        call->SetDirty(false);
        put->SetDirty(false);
        call->TakeGroupCarry(row.carry, 0.0, row.price);
        EXPECT_EQ(call->IsDirty(), row.dirty) << row.what;
        EXPECT_EQ(put->IsDirty(), row.dirty) << row.what << ", the pair";
    }
}

}  // namespace
}  // namespace enginetest

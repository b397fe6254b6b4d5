#include <algorithm>
#include <random>
#include <set>
#include <shared_mutex>
#include <tuple>

#include "EngineFixture.h"
#include "records/OptionGroup.h"

namespace enginetest {
namespace {

using Registry = CRecordRegistry;

TEST_F(EngineTest, RootsResolveToTheirUnderlyingSymbols) {
    Registry& registry = Registry::Instance();
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("SPXW"), "^SPX");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("SPXQ"), "^SPX");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("SPYJ"), "SPY");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("VIX"), "^VIX");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("AAPL7"), "AAPL");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("12345"), "");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol(nullptr), "");
    // A root fills its five bytes without a terminator; nothing past them is read.
    const char unterminated[8] = {'I', 'B', 'M', 'X', 'Y', 'Z', 'Z', 'Z'};
    EXPECT_EQ(registry.ResolveUnderlyingSymbol(unterminated), "IBMXY");

    registry.AddRootMapping("AAPL", "APV");
    registry.AddRootMapping("A_VERY_LONG_SYMBOL_NAME", "LONG");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("APV"), "AAPL");
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("LONG"), "A_VERY_LONG_SYM");
    // Clean-up forgets the mappings.
    registry.ReleaseAllRecords();
    EXPECT_EQ(registry.ResolveUnderlyingSymbol("APV"), "APV");
}

TEST_F(EngineTest, RegistrationFindsExistingRecordsAndRestartsIdsAfterCleanUp) {
    Registry& registry = Registry::Instance();
    const OptionKey key = MakeKey("IBM", 2015, 6, 19, false, 150.0);
    CBaseOptionRecord* first = Register(key, 1001);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->InternalId(), 0);
    EXPECT_EQ(first->UnderlyingSymbol(), "IBM");
    EXPECT_FALSE(first->IsEuropean());

    // Same key under a new foreign id: the old record, and the new id stays unmapped.
    EXPECT_EQ(Register(key, 2002), first);
    EXPECT_EQ(registry.FindOptionByForeignId(1001), first);
    EXPECT_EQ(registry.FindOptionByForeignId(2002), nullptr);

    EXPECT_EQ(registry.CreateBrkUnderlyingRecord("IBM", 7), registry.FindUnderlyingRecord("IBM"));

    CBaseOptionRecord* index = Register(MakeKey("SPXW", 2015, 6, 19, true, 2000.0), 1002);
    ASSERT_NE(index, nullptr);
    EXPECT_TRUE(index->IsEuropean());
    EXPECT_TRUE(index->IsPut());
    EXPECT_EQ(index->UnderlyingSymbol(), "^SPX");

    registry.ReleaseAllRecords();
    EXPECT_EQ(registry.FindOptionByForeignId(1001), nullptr);
    EXPECT_EQ(registry.FindUnderlyingRecord("IBM"), nullptr);
    CBaseOptionRecord* again = Register(key, 1001);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->InternalId(), 0);
}

TEST_F(EngineTest, RefusedAttachmentsLeaveNothingMapped) {
    Registry& registry = Registry::Instance();
    testing::internal::CaptureStdout();
    EXPECT_EQ(Register(MakeKey("IBM", 2015, 6, 19, false, 0.0), 5), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "if( pOptionRecord->m_pData->m_strike < EPS )\n");
    EXPECT_EQ(registry.FindOptionByForeignId(5), nullptr);

    // A root that names no underlying gives an option without a group.
    CBaseOptionRecord* orphan = Register(MakeKey("12345", 2015, 6, 19, false, 10.0), 6);
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(orphan->m_pOptionGroup, nullptr);
}

TEST_F(EngineTest, CallAndPutAtOneStrikeFormOnePairInEitherOrder) {
    CBaseOptionRecord* put1 = Register(MakeKey("XYZ", 2015, 6, 19, true, 50.0), 1);
    CBaseOptionRecord* call1 = Register(MakeKey("XYZ", 2015, 6, 19, false, 50.0), 2);
    CBaseOptionRecord* call2 = Register(MakeKey("XYZ", 2015, 6, 19, false, 55.0), 3);
    CBaseOptionRecord* put2 = Register(MakeKey("XYZ", 2015, 6, 19, true, 55.0), 4);
    ASSERT_TRUE(put1 && call1 && call2 && put2);
    EXPECT_EQ(call1->m_pOptionGroup->m_pFirstOption, call1);
    EXPECT_EQ(call1->m_pPair, put1);
    EXPECT_EQ(put1->m_pPair, call1);
    EXPECT_EQ(call1->m_pNext, call2);
    EXPECT_EQ(call2->m_pPair, put2);
    // The pair puts are chained among themselves.
    EXPECT_EQ(put1->m_pNext, put2);
    EXPECT_EQ(put2->m_pPrev, put1);

    // A second call at an occupied strike is refused.
    EXPECT_EQ(Register(MakeKey("XYZ", 2015, 6, 19, false, 50.0), 5), call1);  // same key: the old record
    CBaseUnderlyingRecord* underlying = call1->m_pUnderlyingRecord;
    auto extra = std::make_unique<CBaseOptionRecord>("XYZ", 'c', DllDate{2015, 6, 19}, 50.0, 0, "XYZ");
    EXPECT_EQ(underlying->AttachOptionToUnderlying(extra.get(), SExpiryKind{}), -1);
}

// Every invariant of the option lists of one underlying.
void CheckChain(const CBaseUnderlyingRecord& underlying, std::size_t expectedOptions) {
    std::shared_lock<std::shared_mutex> lists(underlying.m_lock);
    const auto& data = underlying.OptionDataHeld();
    ASSERT_TRUE(data);
    std::size_t seen = 0;
    for (std::size_t g = 0; g < data->m_groups.size(); ++g) {
        const COptionGroup& group = *data->m_groups[g];
        EXPECT_EQ(group.m_index, static_cast<int>(g));
        const CBaseOptionRecord* first = group.m_pFirstOption;
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->m_pPrev, nullptr);
        if (g > 0) {
            const CBaseOptionRecord* previousFirst = data->m_groups[g - 1]->m_pFirstOption;
            EXPECT_TRUE(IsDateNotAfter(previousFirst->Expiry(), first->Expiry()));
        }
        std::vector<const CBaseOptionRecord*> pairs;
        for (const CBaseOptionRecord* o = first; o; o = o->m_pNext) {
            ++seen;
            EXPECT_EQ(o->m_pOptionGroup.get(), &group);
            EXPECT_EQ(o->Root(), first->Root());
            EXPECT_TRUE(IsDateEqual(o->Expiry(), first->Expiry()));
            if (o->m_pNext) {
                EXPECT_LT(o->Strike(), o->m_pNext->Strike());
                EXPECT_EQ(o->m_pNext->m_pPrev, o);
            }
            if (o->m_pPair) {
                ++seen;
                EXPECT_FALSE(o->IsPut());
                EXPECT_TRUE(o->m_pPair->IsPut());
                EXPECT_EQ(o->m_pPair->m_pPair, o);
                EXPECT_DOUBLE_EQ(o->m_pPair->Strike(), o->Strike());
                pairs.push_back(o->m_pPair);
            }
        }
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i]->m_pPrev, i > 0 ? pairs[i - 1] : nullptr);
            EXPECT_EQ(pairs[i]->m_pNext, i + 1 < pairs.size() ? pairs[i + 1] : nullptr);
        }
    }
    EXPECT_EQ(seen, expectedOptions);
}

TEST_F(EngineTest, ChainsBuiltInRandomOrderKeepTheirInvariants) {
    struct Spec {
        std::string root;
        int month, day;
        bool put;
        double strike;
    };
    std::vector<Spec> specs;
    const std::vector<std::tuple<std::string, int, int>> expiries = {
        {"QQQ", 3, 20}, {"QQQ", 1, 16}, {"QQQ", 6, 19}, {"QQQ7", 1, 16}, {"QQQ", 2, 20}};
    for (const auto& [root, month, day] : expiries)
        for (int k = 0; k < 30; ++k)
            for (bool put : {false, true})
                specs.push_back({root, month, day, put, 80.0 + k * 1.5});
    ASSERT_EQ(specs.size(), 300u);
    std::mt19937 random(20150116);
    std::shuffle(specs.begin(), specs.end(), random);

    int64_t id = 1;
    std::vector<CBaseOptionRecord*> options;
    for (const Spec& s : specs) {
        CBaseOptionRecord* option = Register(MakeKey(s.root, 2015, s.month, s.day, s.put, s.strike), id++);
        ASSERT_NE(option, nullptr);
        options.push_back(option);
    }
    CBaseUnderlyingRecord* underlying = Registry::Instance().FindUnderlyingRecord("QQQ");
    ASSERT_NE(underlying, nullptr);
    {
        std::shared_lock<std::shared_mutex> lists(underlying->m_lock);
        EXPECT_EQ(underlying->OptionDataHeld()->m_groups.size(), 5u);
    }
    CheckChain(*underlying, 300);
    // Two roots on one date form two groups, in order of creation: QQQ7 came after QQQ here or before.
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const Spec& s = specs[i];
        EXPECT_EQ(underlying->FindOptionRecord(s.root, s.put ? 1 : 0, DllDate{2015, uint8_t(s.month), uint8_t(s.day)}, s.strike),
                  options[i]);
    }
    EXPECT_EQ(underlying->OptionsInOrder().size(), 300u);
}

}  // namespace
}  // namespace enginetest

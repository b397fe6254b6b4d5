// Stock settings, delivery formulas, root mappings, the reset and the stock dump: what reaches the
// settings model and the library.
#include "handlers/UnderlyingHandlers.h"

#include <atomic>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "HandlerFixture.h"
#include "HandlerTestSupport.h"
#include "LongSettingsBody.h"
#include "models/Calculations.h"
#include "support/WireWriter.h"

namespace {

using bridgetest::localMs;
using handlertest::anyContains;
using handlertest::longSettingsBody;
using handlertest::run;
using wiretest::WireWriter;

std::vector<std::pair<std::string, std::string>> g_calls;

void RecordRefresh(const char* symbol) { g_calls.emplace_back("refresh", symbol); }
void RecordMapping(const char* symbol, const char* root) { g_calls.emplace_back(root, symbol); }
void RecordDump(const char* symbol) { g_calls.emplace_back("dump", symbol); }
void RecordDelivery(const char* symbol, const char* root, const double* cash, const std::vector<DeliveryComponent>* c) {
    g_calls.emplace_back(std::string(symbol) + "/" + root, std::to_string(*cash) + "/" + std::to_string(c->size()));
}
void RecordPurge() { g_calls.emplace_back("purge", ""); }
void RecordCleanUp() { g_calls.emplace_back("cleanup", ""); }

class UnderlyingHandlers : public handlertest::HandlersWithFake {
protected:
    void SetUp() override {
        HandlersWithFake::SetUp();
        g_calls.clear();
        fake().hooks.refreshDividends = &RecordRefresh;
        fake().hooks.addRoot2SymbolMapping = &RecordMapping;
        fake().hooks.dumpStock = &RecordDump;
        fake().hooks.setOptionDelivery = &RecordDelivery;
        fake().hooks.purgeProcessingQueues = &RecordPurge;
        fake().hooks.cleanUpRecords = &RecordCleanUp;
    }
    static const models::StockSettingsData& settingsOf(const std::string& symbol) {
        static const models::StockSettingsData none;
        const models::StockSettingsData* found = CalculationsSingleton::get_mutable_instance().findSettings(symbol);
        EXPECT_NE(found, nullptr) << symbol;
        return found ? *found : none;
    }
    static bool hasSettings(const std::string& symbol) {
        return CalculationsSingleton::get_mutable_instance().findSettings(symbol) != nullptr;
    }
};

// Settings with one expiration (rates 0.01, 0.02) and one dividend.
WireWriter settingsBody(const std::string& symbol) {
    WireWriter w;
    w.f64(localMs(2024, 1, 2)).str(symbol).u8(1).u32(1).f64(localMs(2024, 6, 21, 16)).u32(1);
    w.f32(0.01f).f32(0.02f).u32(1).f64(localMs(2024, 3, 1)).f32(0.5f).i32(0);
    return w;
}

TEST_F(UnderlyingHandlers, SettingsReplaceTheSymbolsListsAndReachTheLibrary) {
    Handlers::SetStockSettingsHandler handler;
    EXPECT_TRUE(run(handler, settingsBody("SET1").data()).empty());
    const models::StockSettingsData& settings = settingsOf("SET1");
    ASSERT_EQ(settings.expirations.size(), 1u);
    EXPECT_EQ(settings.rates2[0], 0.02f);
    EXPECT_EQ(settings.dividendAmounts, std::vector<float>{0.5f});
    EXPECT_TRUE(settings.useUserInputs);
    ASSERT_EQ(settings.figures.size(), 1u);  // the figures were rebuilt
    EXPECT_EQ(settings.figures[0].rate2, static_cast<double>(0.02f));
    EXPECT_EQ(settings.figures[0].dividendCount, 1);
    EXPECT_EQ(g_calls, (decltype(g_calls){{"refresh", "SET1"}}));
    EXPECT_TRUE(anyContains(logged(), "info: received settings for SET1, expires: 1, divs: 1, useUserInputs: 1, "
                                      "ratesSource: 1, rates: 1 : "));
}

TEST_F(UnderlyingHandlers, SettingsCutShortChangeNothing) {
    Handlers::SetStockSettingsHandler handler;
    run(handler, settingsBody("S").data());
    g_calls.clear();

    WireWriter huge;  // 20 bytes: a count of 0xFFFFFFFF expirations and two bytes of them
    huge.f64(localMs(2024, 1, 3)).str("S").u8(0).u32(0xFFFFFFFFu).bytes("ab");
    ASSERT_EQ(huge.size(), 20u);
    run(handler, huge.data());
    std::vector<std::uint8_t> cut = settingsBody("S").data();
    cut.resize(cut.size() - 4);  // inside the last dividend
    run(handler, cut);

    EXPECT_EQ(settingsOf("S").expirations.size(), 1u);
    EXPECT_EQ(settingsOf("S").dividendDates.size(), 1u);
    EXPECT_TRUE(settingsOf("S").useUserInputs);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(anyContains(logged(), "error: settings for S refused"));
}

// At most 10,000 expirations and 10,000 dividends: one more of either and nothing is stored.
TEST_F(UnderlyingHandlers, SettingsOfTooManyExpirationsOrDividendsAreRefused) {
    Handlers::SetStockSettingsHandler handler;
    run(handler, longSettingsBody("LONG", 10000, 10000).data());
    EXPECT_EQ(settingsOf("LONG").expirations.size(), 10000u);
    EXPECT_EQ(settingsOf("LONG").dividendDates.size(), 10000u);
    EXPECT_EQ(settingsOf("LONG").figures.size(), 10000u);
    EXPECT_EQ(g_calls, (decltype(g_calls){{"refresh", "LONG"}}));
    logged();
    g_calls.clear();

    run(handler, longSettingsBody("LONG", 10001, 1).data());
    run(handler, longSettingsBody("LONG", 1, 10001).data());
    EXPECT_EQ(settingsOf("LONG").expirations.size(), 10000u);
    EXPECT_EQ(settingsOf("LONG").dividendDates.size(), 10000u);
    EXPECT_TRUE(g_calls.empty());
    const auto lines = logged();
    EXPECT_TRUE(anyContains(lines, "error: settings for LONG refused: 10001 expirations and 1 dividends, at most "
                                   "10000 and 10000"));
    EXPECT_TRUE(anyContains(lines, "error: settings for LONG refused: 1 expirations and 10001 dividends"));
}

// The library takes symbols of at most 15 characters: a longer one is refused before anything is
// kept, not kept in the service while the library never hears of it.
TEST_F(UnderlyingHandlers, SettingsOfASymbolTooLongForTheLibraryKeepNothing) {
    Handlers::SetStockSettingsHandler handler;
    run(handler, settingsBody("SIXTEEN_CHARS_XY").data());
    run(handler, settingsBody("FIFTEEN_CHARS_X").data());
    EXPECT_FALSE(hasSettings("SIXTEEN_CHARS_XY"));
    EXPECT_EQ(settingsOf("FIFTEEN_CHARS_X").expirations.size(), 1u);
    EXPECT_EQ(g_calls, (decltype(g_calls){{"refresh", "FIFTEEN_CHARS_X"}}));
    const auto lines = logged();
    EXPECT_TRUE(anyContains(lines, "warning: settings symbol longer than 15 characters refused"));
    EXPECT_FALSE(anyContains(lines, "received settings for SIXTEEN_CHARS_XY"));
}

// A formula of `components` components of one share each.
WireWriter deliveryBody(const std::string& symbol, const std::string& formula, std::uint32_t components) {
    WireWriter w;
    w.str(symbol).str(formula).f64(0.0).u32(components);
    for (std::uint32_t i = 0; i < components; ++i)
        w.str("C" + std::to_string(i)).f64(1.0);
    w.u32(100);
    return w;
}

TEST_F(UnderlyingHandlers, DeliveryFormulasOfTooManyComponentsAreRefused) {
    Handlers::SetDeliveryFormulaHandler handler;
    run(handler, deliveryBody("DLV2", "DLV2A", 1000).data());
    run(handler, deliveryBody("DLV2", "DLV2B", 1001).data());
    EXPECT_EQ(settingsOf("DLV2").deliveryComponents.at("DLV2A").size(), 1000u);
    EXPECT_EQ(settingsOf("DLV2").deliveryComponents.count("DLV2B"), 0u);
    EXPECT_EQ(settingsOf("DLV2").deliveryValues.count("DLV2B"), 0u);
    EXPECT_EQ(g_calls, (decltype(g_calls){{"DLV2/DLV2A", "0.000000/1000"}}));
    EXPECT_TRUE(anyContains(logged(), "error: delivery formula DLV2B of DLV2 refused: 1001 components, at most 1000"));
}

TEST_F(UnderlyingHandlers, DeliveryFormulasAreKeptAndHandedOn) {
    Handlers::SetDeliveryFormulaHandler handler;
    WireWriter w;
    w.str("DLV1").str("DLV1A").f64(12.5).u32(2).str("XA").f64(50).str("XB").f64(25);  // no formula value
    run(handler, w.data());
    EXPECT_EQ(settingsOf("DLV1").deliveryValues.at("DLV1A"), 100u);
    EXPECT_EQ(settingsOf("DLV1").deliveryComponents.at("DLV1A").size(), 2u);
    EXPECT_EQ(g_calls, (decltype(g_calls){{"DLV1/DLV1A", "12.500000/2"}}));
    EXPECT_TRUE(anyContains(logged(), "info: SetDeliveryFormulaHandler:DLV1-DLV1A"));
}

// A formula whose texts the library cannot take is refused whole: the settings keep nothing of it.
TEST_F(UnderlyingHandlers, DeliveryFormulasTheLibraryCannotTakeKeepNothing) {
    Handlers::SetDeliveryFormulaHandler handler;
    WireWriter component;  // a component symbol of 7 characters
    component.str("DLV3").str("DLV3A").f64(1.0).u32(2).str("XA").f64(50).str("SEVEN_C").f64(25).u32(100);
    run(handler, component.data());
    WireWriter formula;  // a formula of 16 characters
    formula.str("DLV3").str("SIXTEEN_CHARS_XY").f64(1.0).u32(0).u32(100);
    run(handler, formula.data());
    WireWriter symbol;  // a symbol of 16 characters
    symbol.str("SIXTEEN_CHARS_XY").str("F").f64(1.0).u32(0).u32(100);
    run(handler, symbol.data());

    EXPECT_FALSE(hasSettings("DLV3"));
    EXPECT_FALSE(hasSettings("SIXTEEN_CHARS_XY"));
    EXPECT_TRUE(g_calls.empty());
    const auto lines = logged();
    EXPECT_TRUE(anyContains(lines, "warning: delivery component symbol longer than 6 characters refused: SEVEN_C"));
    EXPECT_TRUE(anyContains(lines, "warning: delivery formula longer than 15 characters refused"));
    EXPECT_TRUE(anyContains(lines, "warning: delivery formula symbol longer than 15 characters refused"));
}

TEST_F(UnderlyingHandlers, RootMappingsSkipEmptyRoots) {
    Handlers::Root2UnderlyingMapHandler handler;
    WireWriter w;
    w.i32(3).str("RA").str("UA").str("").str("UB").str("RC").str("UC");
    run(handler, w.data());
    EXPECT_EQ(g_calls, (decltype(g_calls){{"RA", "UA"}, {"RC", "UC"}}));
    EXPECT_TRUE(anyContains(logged(), "info: Loaded root to underling mapping:3"));

    WireWriter none;
    none.i32(0);
    run(handler, none.data());
    EXPECT_TRUE(anyContains(logged(), "info: Loaded root to underling mapping:0"));
    EXPECT_EQ(g_calls.size(), 2u);
}

std::atomic<int> g_mappedRoots{0};
void CountMapping(const char*, const char*) { ++g_mappedRoots; }
void IgnoreReset() {}

// The mapped roots counted against their cap are forgotten when a disconnect's release runs on
// another thread than the requests; neither tears the other, and once both are done the room is back.
TEST_F(UnderlyingHandlers, RootMappingsAndTheirReleaseMayOverlap) {
    fake().hooks.addRoot2SymbolMapping = &CountMapping;
    fake().hooks.purgeProcessingQueues = &IgnoreReset;
    fake().hooks.cleanUpRecords = &IgnoreReset;
    // From nothing mapped and nothing counted, whatever ran before in this process.
    Bridge::Reset();
    g_mappedRoots = 0;
    Handlers::Root2UnderlyingMapHandler handler;
    const auto roots = [](int first, int count) {
        WireWriter w;
        w.i32(count);
        for (int i = first; i < first + count; ++i)
            w.str("R" + std::to_string(i)).str("U");
        return w.data();
    };
    std::thread releases([] {
        for (int i = 0; i < 50; ++i)
            Bridge::Reset();
    });
    for (int i = 0; i < 50; ++i)
        run(handler, roots(i * 1000, 1000));
    releases.join();
    EXPECT_EQ(g_mappedRoots.load(), 50 * 1000);  // never near the cap

    Bridge::Reset();
    g_mappedRoots = 0;
    run(handler, roots(0, 100000));
    EXPECT_EQ(g_mappedRoots.load(), 100000);
}

TEST_F(UnderlyingHandlers, ResetAndDumpReachTheLibrary) {
    Handlers::ResetDataHandler reset;
    Handlers::DumpStockHandler dump;
    WireWriter w;
    w.str("DUMP1");
    EXPECT_TRUE(run(reset, {}).empty());
    EXPECT_TRUE(run(dump, w.data()).empty());
    EXPECT_EQ(g_calls, (decltype(g_calls){{"purge", ""}, {"cleanup", ""}, {"dump", "DUMP1"}}));
}

}  // namespace

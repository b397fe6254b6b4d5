// What a client leaves stored in the service is capped in all: settings, delivery formulas and root
// mappings. Its own program, since the caps are reached on the process's one settings store.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HandlerFixture.h"
#include "HandlerTestSupport.h"
#include "LongSettingsBody.h"
#include "handlers/UnderlyingHandlers.h"
#include "models/Calculations.h"
#include "packets/RequestLimits.h"
#include "support/WireWriter.h"

namespace {

using bridgetest::localMs;
using handlertest::anyContains;
using handlertest::longSettingsBody;
using handlertest::run;
using wiretest::WireWriter;
namespace limits = Packets::Incoming;

int g_refreshed = 0;
int g_mapped = 0;
int g_delivered = 0;
void CountRefresh(const char*) { ++g_refreshed; }
void CountMapping(const char*, const char*) { ++g_mapped; }
void CountDelivery(const char*, const char*, const double*, const std::vector<DeliveryComponent>*) { ++g_delivered; }
void Ignore() {}

class StoredSettingsCaps : public handlertest::HandlersWithFake {
protected:
    void SetUp() override {
        HandlersWithFake::SetUp();
        g_refreshed = g_mapped = g_delivered = 0;
        fake().hooks.refreshDividends = &CountRefresh;
        fake().hooks.addRoot2SymbolMapping = &CountMapping;
        fake().hooks.setOptionDelivery = &CountDelivery;
        fake().hooks.purgeProcessingQueues = &Ignore;
        fake().hooks.cleanUpRecords = &Ignore;
    }
    static models::StockSettingsMap& store() { return CalculationsSingleton::get_mutable_instance().settings(); }
    static bool has(const std::string& symbol) {
        return CalculationsSingleton::get_mutable_instance().findSettings(symbol) != nullptr;
    }
};

WireWriter formulaBody(const std::string& symbol, const std::string& formula, std::uint32_t components) {
    WireWriter w;
    w.str(symbol).str(formula).f64(0.0).u32(components);
    for (std::uint32_t i = 0; i < components; ++i)
        w.str("C" + std::to_string(i % 1000)).f64(1.0);
    return w.u32(100);
}

// Past a cap a request that adds a symbol or entries is refused whole with one line; known symbols
// still update.
TEST_F(StoredSettingsCaps, SettingsPastTheCapsAreRefusedWholeAndKnownSymbolsStillUpdate) {
    Handlers::SetStockSettingsHandler handler;
    const std::size_t full = limits::MAX_SETTINGS_EXPIRATIONS + limits::MAX_SETTINGS_DIVIDENDS;
    const std::size_t fits = limits::MAX_STORED_SETTINGS_ENTRIES / full;
    for (std::size_t i = 0; i < fits; ++i)
        run(handler, longSettingsBody("BIG" + std::to_string(i), 10000, 10000).data());
    ASSERT_EQ(store().entries(), fits * full);
    EXPECT_EQ(g_refreshed, static_cast<int>(fits));
    logged();

    run(handler, longSettingsBody("BIGNEW", 10000, 10000).data());
    EXPECT_FALSE(has("BIGNEW"));
    EXPECT_EQ(g_refreshed, static_cast<int>(fits));
    auto lines = logged();
    EXPECT_TRUE(anyContains(lines, "error: settings for BIGNEW refused: expirations and dividends would reach " +
                                       std::to_string(fits * full + full) + " from " +
                                       std::to_string(fits * full) + ", at most 1000000"));
    EXPECT_FALSE(anyContains(lines, "received settings for BIGNEW"));

    run(handler, longSettingsBody("BIG0", 10000, 10000).data());  // the same room again
    run(handler, longSettingsBody("BIG1", 5, 5).data());
    EXPECT_EQ(g_refreshed, static_cast<int>(fits) + 2);
    EXPECT_EQ(CalculationsSingleton::get_mutable_instance().findSettings("BIG1")->expirations.size(), 5u);

    // Empty settings take no entries, but a symbol each.
    for (std::size_t i = store().symbols(); i < limits::MAX_STORED_SETTINGS_SYMBOLS; ++i)
        run(handler, longSettingsBody("S" + std::to_string(i), 0, 0).data());
    ASSERT_EQ(store().symbols(), limits::MAX_STORED_SETTINGS_SYMBOLS);
    logged();
    g_refreshed = 0;
    run(handler, longSettingsBody("ONEMORE", 0, 0).data());
    run(handler, longSettingsBody("BIG2", 1, 1).data());
    EXPECT_FALSE(has("ONEMORE"));
    EXPECT_EQ(g_refreshed, 1);
    lines = logged();
    EXPECT_TRUE(anyContains(lines, "error: settings for ONEMORE refused: symbols would reach 20001 from 20000, at "
                                   "most 20000"));

    // The symbol cap holds for formulas too; a known symbol's formula is taken.
    Handlers::SetDeliveryFormulaHandler formulas;
    run(formulas, formulaBody("NEWSYM", "F", 1).data());
    run(formulas, formulaBody("BIG3", "F", 1).data());
    EXPECT_FALSE(has("NEWSYM"));
    EXPECT_EQ(g_delivered, 1);
    EXPECT_TRUE(anyContains(logged(), "error: delivery formula F of NEWSYM refused: symbols would reach 20001"));
}

TEST_F(StoredSettingsCaps, RootMappingsPastTheCapAreRefusedWholeUntilTheLibraryReleasesThem) {
    Handlers::Root2UnderlyingMapHandler handler;
    const auto root = [](std::size_t i) { return "R" + std::to_string(i); };
    WireWriter full;
    full.i32(static_cast<std::int32_t>(limits::MAX_ROOT_MAPPINGS));
    for (std::size_t i = 0; i < limits::MAX_ROOT_MAPPINGS; ++i)
        full.str(root(i)).str("U");
    run(handler, full.data());
    EXPECT_EQ(g_mapped, static_cast<int>(limits::MAX_ROOT_MAPPINGS));
    logged();

    WireWriter oneNew;  // a known root and a new one: neither is mapped
    oneNew.i32(2).str(root(0)).str("V").str("RNEW").str("V");
    run(handler, oneNew.data());
    EXPECT_EQ(g_mapped, static_cast<int>(limits::MAX_ROOT_MAPPINGS));
    EXPECT_TRUE(anyContains(logged(), "error: root to underlying mapping refused: 1 new roots with 100000 mapped, "
                                      "at most 100000"));

    WireWriter known;
    known.i32(2).str(root(1)).str("V").str(root(2)).str("V");
    run(handler, known.data());
    EXPECT_EQ(g_mapped, static_cast<int>(limits::MAX_ROOT_MAPPINGS) + 2);

    // The library drops its mappings with its records, so the room comes back.
    Handlers::ResetDataHandler reset;
    run(reset, {});
    run(handler, oneNew.data());
    EXPECT_EQ(g_mapped, static_cast<int>(limits::MAX_ROOT_MAPPINGS) + 4);
}

// BIG3 has settings after the test above; on its own, this test is the first to name it.
TEST_F(StoredSettingsCaps, DeliveryFormulasAndComponentsPastTheCapsAreRefusedWhole) {
    Handlers::SetDeliveryFormulaHandler handler;
    const std::size_t held = store().components();
    const std::size_t fits = (limits::MAX_STORED_DELIVERY_COMPONENTS - held) / limits::MAX_DELIVERY_COMPONENTS;
    for (std::size_t i = 0; i < fits; ++i)
        run(handler, formulaBody("BIG3", "F" + std::to_string(i), 1000).data());
    EXPECT_EQ(g_delivered, static_cast<int>(fits));
    const std::size_t components = store().components();
    logged();
    run(handler, formulaBody("BIG3", "FNEW", 1000).data());
    run(handler, formulaBody("BIG3", "F0", 1000).data());  // replaces its own components
    EXPECT_EQ(g_delivered, static_cast<int>(fits) + 1);
    EXPECT_EQ(CalculationsSingleton::get_mutable_instance().findSettings("BIG3")->deliveryValues.count("FNEW"), 0u);
    EXPECT_TRUE(anyContains(logged(), "error: delivery formula FNEW of BIG3 refused: delivery components would "
                                      "reach " + std::to_string(components + 1000) + " from " +
                                      std::to_string(components) + ", at most 100000"));

    for (std::size_t i = store().formulas(); i < limits::MAX_STORED_DELIVERY_FORMULAS; ++i)
        run(handler, formulaBody("BIG3", "G" + std::to_string(i), 0).data());
    ASSERT_EQ(store().formulas(), limits::MAX_STORED_DELIVERY_FORMULAS);
    logged();
    g_delivered = 0;
    run(handler, formulaBody("BIG3", "GNEW", 0).data());
    EXPECT_EQ(g_delivered, 0);
    EXPECT_TRUE(anyContains(logged(), "error: delivery formula GNEW of BIG3 refused: delivery formulas would reach "
                                      "10001 from 10000, at most 10000"));
}

}  // namespace

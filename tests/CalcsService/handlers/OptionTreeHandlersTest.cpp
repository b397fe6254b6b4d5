// BUILD_OPTION_TREE and its v3: what reaches the library, where reading stops, and the log lines.
#include "handlers/OptionTreeHandlers.h"

#include <cmath>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "HandlerFixture.h"
#include "HandlerTestSupport.h"
#include "handlers/UnderlyingHandlers.h"
#include "models/Calculations.h"
#include "support/WireWriter.h"

namespace {

using bridgetest::localMs;
using handlertest::anyContains;
using handlertest::run;
using wiretest::WireWriter;

struct Registered {
    char monthCode;
    std::int64_t id;
    std::uint32_t strike;
    bool operator==(const Registered& o) const {
        return monthCode == o.monthCode && id == o.id && strike == o.strike;
    }
};
std::vector<Registered> g_registered;
int g_settingsApplied = 0;

int RecordOption(const OptionKey* key, std::int64_t id, int) {
    g_registered.push_back({key->monthCode, id, key->strike});
    return static_cast<int>(g_registered.size());
}
void RecordRefresh(const char*) { ++g_settingsApplied; }

class OptionTree : public handlertest::HandlersWithFake {
protected:
    void SetUp() override {
        HandlersWithFake::SetUp();
        g_registered.clear();
        g_settingsApplied = 0;
        fake().hooks.registerOption = &RecordOption;
        fake().hooks.refreshDividends = &RecordRefresh;
    }
    // The head: date, symbol, root, expiration count.
    static WireWriter head(const std::string& symbol, std::int32_t expirations) {
        WireWriter w;
        w.f64(localMs(2024, 3, 1)).str(symbol).str("ROOT").i32(expirations);
        return w;
    }
    static void expiration(WireWriter& w, std::uint16_t year, std::uint8_t month, std::uint8_t day, std::int32_t n) {
        w.u16(year).u8(month).u8(day).i32(n);
    }
    static void strike(WireWriter& w, std::int32_t call, std::int32_t put, float strike) {
        w.i32(call).i32(put).f32(strike).u8('A');
    }
    Handlers::BuildOptionsTreeHandler m_handler;
};

TEST_F(OptionTree, RegistersCallBeforePutAndStopsAtAnExpirationOfYearZero) {
    WireWriter w = head("TREE1", 2);
    expiration(w, 2030, 0, 17, 2);
    strike(w, 1, 2, 50.0f);
    strike(w, 3, 4, 55.5f);
    expiration(w, 0, 1, 20, 1);
    strike(w, 5, 6, 60.0f);
    EXPECT_TRUE(run(m_handler, w.data()).empty());

    const std::vector<Registered> expected = {{'A', 1, 50000}, {'M', 2, 50000}, {'A', 3, 55500}, {'M', 4, 55500}};
    EXPECT_EQ(g_registered, expected);
    const auto lines = logged();
    EXPECT_TRUE(anyContains(lines, "error: invalid data (expiry) skip packet, expiryYear: 0, expiryDay:20"));
    EXPECT_TRUE(anyContains(lines, "info: TREE1,ROOT, expirations:2, options:2"));
    EXPECT_EQ(g_settingsApplied, 0);  // the symbol has no settings
}

TEST_F(OptionTree, AppliesTheSymbolsSettingsWhenItHasAny) {
    Packets::Incoming::StockSettingsPacket settings;
    settings.symbol = "TREE2";
    ASSERT_FALSE(CalculationsSingleton::get_mutable_instance().settings().applySettings(settings));
    WireWriter w = head("TREE2", 1);
    expiration(w, 2030, 5, 1, 1);
    strike(w, 7, 8, 10.0f);
    run(m_handler, w.data());
    EXPECT_EQ(g_registered.size(), 2u);
    EXPECT_EQ(g_settingsApplied, 1);
}

TEST_F(OptionTree, AnInvalidOptionStopsTheTreeAndReportsNoExpirations) {
    WireWriter w = head("TREE3", 1);
    expiration(w, 2030, 0, 17, 3);
    strike(w, 1, 2, 50.0f);
    strike(w, 3, 0, 55.0f);
    strike(w, 5, 6, 60.0f);
    run(m_handler, w.data());
    EXPECT_EQ(g_registered.size(), 2u);
    const auto lines = logged();
    EXPECT_TRUE(anyContains(lines, "error: invalid data (option) skip packet; callId:3, putId:0, strike:55"));
    EXPECT_TRUE(anyContains(lines, "info: TREE3,ROOT, expirations:0, options:3"));
}

TEST_F(OptionTree, AcceptsFiveThousandStrikesAndRefusesMoreBeforeReadingAny) {
    WireWriter w = head("TREE4", 2);
    expiration(w, 2031, 11, 31, 5000);
    for (int i = 1; i <= 5000; ++i)
        strike(w, 2 * i, 2 * i + 1, static_cast<float>(i));
    expiration(w, 2032, 0, 1, 5001);
    strike(w, 1, 2, 1.0f);
    run(m_handler, w.data());
    EXPECT_EQ(g_registered.size(), 10000u);
    EXPECT_TRUE(anyContains(logged(), "invalid data (expiry) skip packet, expiryYear: 2032, expiryDay:1, "
                                      "optionsInExpiryCount:5001"));
}

// One request registers at most 50,000 strikes, counted as the walk would report them before any is
// registered: ten full expirations and a strike that ends the walk pass, one strike more is refused.
TEST_F(OptionTree, RegistersFiftyThousandStrikesAndRefusesATreeOfMoreWhole) {
    const auto tree = [](std::int32_t lastCall) {
        WireWriter w = head("TREE8", 11);
        std::int32_t id = 0;
        for (std::uint8_t month = 0; month < 10; ++month) {
            expiration(w, 2031, month, 1, 5000);
            for (int i = 1; i <= 5000; ++i, id += 2)
                strike(w, id + 1, id + 2, static_cast<float>(i));
        }
        expiration(w, 2031, 10, 1, 1);
        strike(w, lastCall, 1, 1.0f);
        return w.data();
    };
    run(m_handler, tree(0));  // a zero id: invalid, the walk ends there
    EXPECT_EQ(g_registered.size(), 100000u);
    logged();

    g_registered.clear();
    run(m_handler, tree(1));
    EXPECT_TRUE(g_registered.empty());
    EXPECT_TRUE(anyContains(logged(), "error: BUILD_OPTION_TREE request for TREE8,ROOT of 11 expirations and 50001 "
                                      "strikes: more than 50000, refused"));
    EXPECT_EQ(g_settingsApplied, 0);
}

TEST_F(OptionTree, StopsAtTheEndOfTheBodyWhateverTheCountsSay) {
    WireWriter w = head("TREE5", 1000);
    expiration(w, 2030, 0, 17, 1);
    strike(w, 1, 2, 50.0f);
    run(m_handler, w.data());
    EXPECT_EQ(g_registered.size(), 2u);
    EXPECT_TRUE(anyContains(logged(), "invalid data (expiry) skip packet, expiryYear: 0, expiryDay:0"));

    // A strike cut short before its delivery mode is not registered with a made-up one.
    WireWriter cut = head("TREE5", 1);
    expiration(cut, 2030, 0, 17, 2);
    strike(cut, 1, 2, 50.0f);
    cut.i32(3).i32(4).f32(55.0f);
    g_registered.clear();
    run(m_handler, cut.data());
    EXPECT_EQ(g_registered.size(), 2u);
    EXPECT_TRUE(anyContains(logged(), "invalid data (option) skip packet; callId:3, putId:4, strike:55"));
}

TEST_F(OptionTree, DatesAndStrikesTheKeyCannotHoldAreInvalid) {
    struct Case {
        std::uint16_t year;
        std::uint8_t month, day;
        float strike;
        const char* line;
    };
    const Case cases[] = {
        {2030, 12, 1, 10.0f, "invalid data (expiry)"},
        {2030, 0, 32, 10.0f, "invalid data (expiry)"},
        {1999, 0, 1, 10.0f, "invalid data (expiry)"},
        {2256, 0, 1, 10.0f, "invalid data (expiry)"},
        {2030, 0, 1, std::numeric_limits<float>::quiet_NaN(), "invalid data (option)"},
        {2030, 0, 1, -5.0f, "invalid data (option)"},
    };
    for (const Case& c : cases) {
        WireWriter w = head("TREE6", 1);
        expiration(w, c.year, c.month, c.day, 1);
        strike(w, 1, 2, c.strike);
        g_registered.clear();
        run(m_handler, w.data());
        EXPECT_TRUE(g_registered.empty()) << c.year << "/" << int(c.month) << "/" << int(c.day) << " " << c.strike;
        EXPECT_TRUE(anyContains(logged(), c.line)) << c.line;
    }
}

TEST_F(OptionTree, TheV3TreeCarries64BitIds) {
    Handlers::v3::BuildOptionsTreeHandler handler;
    WireWriter w = head("TREE7", 1);
    expiration(w, 2030, 2, 15, 1);
    w.i64(0x100000001LL).i64(-0x100000002LL).f32(25.0f).u8('P');
    run(handler, w.data());
    const std::vector<Registered> expected = {{'C', 0x100000001LL, 25000}, {'O', -0x100000002LL, 25000}};
    EXPECT_EQ(g_registered, expected);
}

TEST_F(OptionTree, ADateWithoutALocalDateRegistersNothing) {
    WireWriter w;
    w.f64(std::nan("")).str("TREE8").str("ROOT").i32(1);
    expiration(w, 2030, 0, 17, 1);
    strike(w, 1, 2, 50.0f);
    run(m_handler, w.data());
    EXPECT_TRUE(g_registered.empty());
    EXPECT_TRUE(anyContains(logged(), "fatal: cauth unknown exception, SEH?"));
}

}  // namespace

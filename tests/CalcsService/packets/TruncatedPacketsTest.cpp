// Every request body cut at every byte offset, and bodies whose counts ask for far more than
// they hold: parsing must end cleanly, keep only whole elements and allocate in proportion to
// the bytes received.
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include <gtest/gtest.h>

#include "packets/DeliveryFormulaPacket.h"
#include "packets/GreeksByExpirationPacket.h"
#include "packets/IndividualOptionsPacket.h"
#include "packets/OptionCalculatorPacket.h"
#include "packets/PacketProcessor.h"
#include "packets/ProxyInfoPacket.h"
#include "packets/RiskChartDataPacket.h"
#include "packets/RiskTablePacket.h"
#include "packets/SetAutoUpdateParamsPacket.h"
#include "packets/StockSettingsPacket.h"
#include "support/WireWriter.h"

namespace {
std::atomic<std::size_t> g_largestAllocation{0};
}

// The largest single allocation of this program, so that tests can bound what parsing asks for.
// Out of line, so that the compiler does not pair a new expression with the free() inside.
__attribute__((noinline)) void* operator new(std::size_t size) {
    std::size_t seen = g_largestAllocation.load();
    while (size > seen && !g_largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
__attribute__((noinline)) void* operator new[](std::size_t size) { return operator new(size); }
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace Packets::Incoming;
using Packets::RequestStream;
using wiretest::WireWriter;
using Bytes = std::vector<std::uint8_t>;

// Parses a body with one request parser and returns the number of list elements it kept.
using Parser = std::function<std::size_t(RequestStream&)>;

template <class Packet, RequestStream& (*Parse)(RequestStream&, Packet&), class Count>
Parser counting(Count count) {
    return [count](RequestStream& in) {
        Packet p;
        Parse(in, p);
        return static_cast<std::size_t>(count(p));
    };
}

template <class Packet>
std::size_t snapshotOptions(const Packet& p) {
    std::size_t n = 0;
    for (const auto& block : p.blocks)
        for (const auto& expiry : block.second.expirations)
            n += expiry.options.size();
    return n;
}

const auto none = [](const auto&) { return 0; };
const Parser v2Options = counting<v2::CalculateIndividualOptionTheosAndGreeksPacket, parseIndividualOptionTheosAndGreeks>(
    [](const auto& p) { return snapshotOptions(p); });
const Parser v3Options = counting<v3::CalculateIndividualOptionTheosAndGreeksPacket, parseIndividualOptionTheosAndGreeksV3>(
    [](const auto& p) { return snapshotOptions(p); });
const Parser riskChart = counting<RiskChartDataPacket, parseRiskChartDataPacket>(
    [](const auto& p) { return p.positions1.size() + p.positions2.size(); });
const Parser riskTable = counting<RiskTablePacket, parseRiskTablePacket>(
    [](const auto& p) { return p.slidePrices.size() + p.positions.size(); });
const Parser greeks = counting<GreeksByExpirationPacket, parseGreeksByExpirationPacket>(
    [](const auto& p) { return p.positions.size(); });
const Parser calculator = counting<OptionCalculatorPacket, parseOptionCalculatorPacket>(none);
const Parser settings = counting<StockSettingsPacket, parseStockSettingsPacket>([](const auto& p) {
    EXPECT_EQ(p.rates1.size(), p.expirations.size());
    EXPECT_EQ(p.rates2.size(), p.expirations.size());
    EXPECT_EQ(p.dividendAmounts.size(), p.dividendDates.size());
    EXPECT_EQ(p.dividendTypes.size(), p.dividendDates.size());
    return p.expirations.size() + p.dividendDates.size();
});
const Parser formula = counting<DeliveryFormulaPacket, parseDeliveryFormulaPacket>(
    [](const auto& p) { return p.components.size(); });
const Parser proxy = counting<ProxyInfoPacket, parseProxyInfoPacket>(none);
const Parser autoUpdate = counting<SetAutoUpdateParamsPacket, parseSetAutoUpdateParamsPacket>(none);

struct Case {
    const char* name;
    const Parser& parse;
    Bytes body;
};

WireWriter position(std::int64_t id) {
    WireWriter w;
    w.i64(id).f32(10).f64(1.42e12).f32(30).f32(1).u8(0).f32(0).f64(0).f32(0.05f).f32(0.05f).u32(0).f64(0.5);
    w.f32(1.5f).u8(0).f32(0).f32(0);
    return w;
}

WireWriter positions(int count) {
    WireWriter w;
    for (int i = 0; i < count; ++i)
        w.append(position(i).data());
    return w;
}

WireWriter v3Snapshot() {
    WireWriter w;
    w.f64(1.4e12).str("IBM").str("IBM").f32(150).f32(149).f32(151).f32(150);
    w.f64(1.42e12).u32(2);
    for (int i = 0; i < 2; ++i)
        w.i64(i + 1).f32(150).u8(0).f32(30).f32(2).f32(1);
    w.f64(0).str("^SPX").str("SPXW").f32(1).f32(2).f32(3).f32(4).f64(0);
    return w;
}

std::vector<Case> validBodies() {
    const std::string v2Quote(32, '\1'), v2OptionBytes(58, '\2'), chartScalars(68, '\3');
    return {
        {"individual options v2", v2Options,
         WireWriter().f64(1.4e12).str("IBM").str("IBM").bytes(v2Quote).f64(1.42e12).u32(2).bytes(v2OptionBytes).f64(0).data()},
        {"individual options v3", v3Options, v3Snapshot().data()},
        {"risk chart data", riskChart,
         WireWriter().str("IBM").u8(0).u8(0).bytes(chartScalars).u8(1).u32(2).append(positions(2).data()).u32(1)
             .append(positions(1).data()).data()},
        {"risk table", riskTable,
         WireWriter().str("IBM").u8(0).f32(0.1f).f64(1).f64(1).f32(1).f32(1).f32(1).u8(0).u32(3).f32(1).f32(2).f32(3)
             .u32(2).append(positions(2).data()).data()},
        {"greeks by expiration", greeks,
         WireWriter().str("IBM").f64(1).f64(1).f32(1).f32(1).u32(0).i32(2).append(positions(2).data()).data()},
        {"option calculator", calculator, Bytes(OPTION_CALCULATOR_BODY_SIZE, 0x40)},
        {"stock settings", settings,
         WireWriter().f64(1.4e12).str("IBM").u8(1).u32(2).f64(1.41e12).f64(1.42e12).u32(1).f32(0.01f).f32(0.02f)
             .f32(0.03f).f32(0.04f).u32(1).f64(1.405e12).f32(0.5f).i32(0).data()},
        {"delivery formula", formula,
         WireWriter().str("XYZ").str("F").f64(1).u32(2).str("XYZ").f64(100).str("AB").f64(5).u32(150).data()},
        {"proxy info", proxy, WireWriter().u8(1).str("proxy").u32(8080).data()},
        {"auto-update params", autoUpdate, WireWriter().str("server").str("/check").str("/download").data()},
    };
}

// The most bytes one kept element may cost per wire byte: lists reserve for what the body holds,
// and vectors of expirations double as they grow.
constexpr std::size_t BYTES_PER_WIRE_BYTE = 8;
constexpr std::size_t FIXED_ALLOWANCE = 1024;

TEST(TruncatedPackets, EveryPrefixOfAValidBodyParsesWithinBoundsAndElementsNeverGrow) {
    testing::internal::CaptureStdout();
    for (const Case& c : validBodies()) {
        RequestStream whole(c.body);
        const std::size_t fullCount = c.parse(whole);
        EXPECT_FALSE(whole.failed()) << c.name;
        EXPECT_EQ(whole.remaining(), 0u) << c.name;

        std::size_t previous = 0;
        for (std::size_t cut = 0; cut < c.body.size(); ++cut) {
            RequestStream in(c.body.data(), cut);
            g_largestAllocation = 0;
            const std::size_t count = c.parse(in);
            EXPECT_LE(g_largestAllocation.load(), FIXED_ALLOWANCE + BYTES_PER_WIRE_BYTE * cut) << c.name << " cut " << cut;
            // A longer prefix never keeps fewer elements, and none beyond the whole body's.
            EXPECT_GE(count, previous) << c.name << " cut " << cut;
            EXPECT_LE(count, fullCount) << c.name << " cut " << cut;
            previous = count;
        }
    }
    testing::internal::GetCapturedStdout();
}

TEST(TruncatedPackets, PositionsAreKeptOnlyWhenReceivedWhole) {
    const Bytes head = WireWriter().str("IBM").f64(1).f64(1).f32(1).f32(1).u32(0).i32(3).data();
    const WireWriter body = WireWriter().append(head).append(positions(3).data());
    for (std::size_t cut = head.size(); cut <= body.size(); ++cut) {
        RequestStream in(body.data().data(), cut);
        GreeksByExpirationPacket p;
        parseGreeksByExpirationPacket(in, p);
        ASSERT_EQ(p.positions.size(), (cut - head.size()) / OPTION_POSITION_WIRE_SIZE) << cut;
        if (!p.positions.empty()) {
            EXPECT_EQ(p.positions.back().foreignId, static_cast<std::int64_t>(p.positions.size() - 1));
        }
    }
}

TEST(TruncatedPackets, HugeCountsInTinyBodiesAllocateNothingLarge) {
    const std::uint32_t huge = 0xFFFFFFFF;
    const std::vector<Case> hostile = {
        {"string", proxy, WireWriter().u8(1).u32(huge).bytes("abc").data()},
        {"positions", riskChart, WireWriter().str("A").bytes(std::string(71, '\0')).u32(huge).data()},
        {"slides", riskTable, WireWriter().str("A").bytes(std::string(34, '\0')).u32(huge).u16(1).data()},
        {"greeks positions", greeks, WireWriter().str("A").bytes(std::string(28, '\0')).i32(0x7FFFFFFF).data()},
        {"expirations", settings, WireWriter().f64(1).str("A").u8(0).u32(huge).u32(1).data()},
        {"dividends", settings, WireWriter().f64(1).str("A").u8(0).u32(0).u32(0).u32(huge).f64(1).data()},
        {"components", formula, WireWriter().str("A").str("F").f64(0).u32(huge).u32(huge).data()},
        {"options", v3Options, WireWriter().f64(1).str("A").str("RRR").f32(1).f32(1).f32(1).f32(1).f64(1).u32(5000).data()},
    };
    for (const Case& c : hostile) {
        ASSERT_LE(c.body.size(), 128u) << c.name;
        RequestStream in(c.body);
        g_largestAllocation = 0;
        EXPECT_EQ(c.parse(in), 0u) << c.name;
        EXPECT_TRUE(in.failed()) << c.name;
        EXPECT_LE(g_largestAllocation.load(), FIXED_ALLOWANCE) << c.name;
    }
}

}  // namespace

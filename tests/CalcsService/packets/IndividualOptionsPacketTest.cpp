#include "packets/IndividualOptionsPacket.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/LogMessages.h"
#include "support/WireWriter.h"

namespace {

using namespace Packets::Incoming;
using Packets::RequestStream;
using wiretest::WireWriter;

struct Option {
    std::int64_t id;
    float strike;
    std::uint8_t isPut;
    double volatility;
    float ask;
    float bid;
};

// Writes blocks in either wire version.
class SnapshotWriter {
public:
    explicit SnapshotWriter(int version, double time = 1.4e12) : m_version(version) { m_w.f64(time); }

    SnapshotWriter& block(const std::string& symbol, const std::string& root, float price, float bid, float ask, float last) {
        m_w.str(symbol).str(root);
        if (m_version == 2)
            m_w.f32(price).f32(bid).u32(0xDEAD).f32(ask).u32(0xDEAD).f32(last).u32(0xDEAD).u32(0xDEAD);
        else
            m_w.f32(price).f32(bid).f32(ask).f32(last);
        return *this;
    }
    SnapshotWriter& expiry(double expiration, const std::vector<Option>& options) {
        return expiry(expiration, static_cast<std::uint32_t>(options.size()), options);
    }
    SnapshotWriter& expiry(double expiration, std::uint32_t count, const std::vector<Option>& options) {
        m_w.f64(expiration).u32(count);
        for (const Option& o : options) {
            m_w.i64(o.id).f32(o.strike).u8(o.isPut);
            if (m_version == 2)
                m_w.f64(o.volatility);
            else
                m_w.f32(static_cast<float>(o.volatility));
            m_w.f32(o.ask).f32(o.bid);
        }
        return *this;
    }
    SnapshotWriter& end() {
        m_w.f64(0.0);
        return *this;
    }
    SnapshotWriter& raw(const WireWriter& more) {
        m_w.append(more.data());
        return *this;
    }
    const std::vector<std::uint8_t>& data() const { return m_w.data(); }

private:
    int m_version;
    WireWriter m_w;
};

// What one parse kept, whether the stream stayed good, and what it wrote to standard output and
// to the log.
template <class Packet>
struct Parsed {
    Packet packet;
    bool good;
    std::string out;
    std::vector<std::string> logged;
};

template <class Packet, class Parse>
Parsed<Packet> parseWith(const std::vector<std::uint8_t>& body, Parse parse) {
    Parsed<Packet> r;
    testsupport::LogMessages::instance().take();
    RequestStream in(body);
    testing::internal::CaptureStdout();
    r.good = static_cast<bool>(parse(in, r.packet));
    r.out = testing::internal::GetCapturedStdout();
    r.logged = testsupport::LogMessages::instance().take();
    return r;
}

Parsed<v2::CalculateIndividualOptionTheosAndGreeksPacket> parseV2(const std::vector<std::uint8_t>& body) {
    return parseWith<v2::CalculateIndividualOptionTheosAndGreeksPacket>(body, &parseIndividualOptionTheosAndGreeks);
}

Parsed<v3::CalculateIndividualOptionTheosAndGreeksPacket> parseV3(const std::vector<std::uint8_t>& body) {
    return parseWith<v3::CalculateIndividualOptionTheosAndGreeksPacket>(body, &parseIndividualOptionTheosAndGreeksV3);
}

const Option kCall = {1001, 42.5f, 0, 31.25, 2.5f, 2.25f};
const Option kPut = {-1002, 40.0f, 1, 28.5, 1.5f, 1.25f};

void expectOption(const IndividualOption& o, const Option& expected) {
    EXPECT_EQ(o.foreignId, expected.id);
    EXPECT_EQ(o.strike, expected.strike);
    EXPECT_EQ(o.isPut, expected.isPut);
    EXPECT_EQ(o.userVolatility, expected.volatility);
    EXPECT_EQ(o.ask, expected.ask);
    EXPECT_EQ(o.bid, expected.bid);
}

template <class Packet>
void expectTwoBlocks(const Parsed<Packet>& r) {
    EXPECT_TRUE(r.good);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.packet.time, 1.4e12);
    ASSERT_EQ(r.packet.blocks.size(), 2u);
    // Ordered by symbol bytes: "IBM" before "^SPX" ('I' < '^').
    auto it = r.packet.blocks.begin();
    EXPECT_EQ(it->first, std::make_pair(std::string("IBM"), std::string("IBMX")));
    EXPECT_EQ(it->second.price, 150.0f);
    EXPECT_EQ(it->second.bid, 149.5f);
    EXPECT_EQ(it->second.ask, 150.5f);
    EXPECT_EQ(it->second.last, 150.0f);
    EXPECT_TRUE(it->second.expirations.empty());
    ++it;
    EXPECT_EQ(it->first, std::make_pair(std::string("^SPX"), std::string("SPXW")));
    ASSERT_EQ(it->second.expirations.size(), 2u);
    EXPECT_EQ(it->second.expirations[0].expiration, 1.42e12);
    ASSERT_EQ(it->second.expirations[0].options.size(), 2u);
    expectOption(it->second.expirations[0].options[0], kCall);
    expectOption(it->second.expirations[0].options[1], kPut);
    EXPECT_EQ(it->second.expirations[1].expiration, 1.43e12);
    EXPECT_TRUE(it->second.expirations[1].options.empty());
}

std::vector<std::uint8_t> twoBlocks(int version) {
    return SnapshotWriter(version)
        .block("^SPX", "SPXW", 2000, 1999, 2001, 2000.5f)
        .expiry(1.42e12, {kCall, kPut})
        .expiry(1.43e12, {})
        .end()
        .block("IBM", "IBMX", 150, 149.5f, 150.5f, 150)
        .end()
        .data();
}

TEST(IndividualOptionsPacket, BlocksOfBothVersions) {
    expectTwoBlocks(parseV2(twoBlocks(2)));
    expectTwoBlocks(parseV3(twoBlocks(3)));
}

TEST(IndividualOptionsPacket, BodyWithOnlyTheTimeIsAnEmptySnapshot) {
    const auto r = parseV3(SnapshotWriter(3, 5.0).data());
    EXPECT_TRUE(r.good);
    EXPECT_EQ(r.packet.time, 5.0);
    EXPECT_TRUE(r.packet.blocks.empty());
}

TEST(IndividualOptionsPacket, BadSymbolLengthEndsParsingAndKeepsEarlierBlocks) {
    const std::string message = "[error]bad packet IndividualOptionTheosAndGreeksPacket, len > 16 || len == 0";
    auto body = SnapshotWriter(2).block("A", "A", 1, 1, 1, 1).end().block("B", "B", 1, 1, 1, 1).end();
    auto r = parseV2(SnapshotWriter(body).block(std::string(17, 'C'), "C", 1, 1, 1, 1).end().data());
    EXPECT_EQ(r.out, message);
    EXPECT_EQ(r.logged, std::vector<std::string>({"error: " + message.substr(7)}));
    EXPECT_EQ(r.packet.blocks.size(), 2u);

    r = parseV2(SnapshotWriter(body).block(std::string(16, 'C'), "C", 1, 1, 1, 1).end().data());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.packet.blocks.size(), 3u);

    r = parseV2(SnapshotWriter(body).raw(WireWriter().u32(0)).data());
    EXPECT_EQ(r.out, message);
    EXPECT_EQ(r.packet.blocks.size(), 2u);
}

TEST(IndividualOptionsPacket, AtMost5000OptionsPerExpiration) {
    const std::vector<Option> full(5000, kCall);
    auto r = parseV3(SnapshotWriter(3).block("A", "A", 1, 1, 1, 1).expiry(1.42e12, full).end().data());
    ASSERT_EQ(r.packet.blocks.size(), 1u);
    EXPECT_EQ(r.packet.blocks.begin()->second.expirations[0].options.size(), 5000u);

    r = parseV3(SnapshotWriter(3)
                    .block("A", "A", 1, 1, 1, 1)
                    .end()
                    .block("B", "B", 1, 1, 1, 1)
                    .expiry(1.42e12, {kCall})
                    .expiry(1.43e12, 5001, {kCall})
                    .end()
                    .data());
    EXPECT_EQ(r.out, "[error]wrong options block in packet IndividualOptionTheosAndGreeksPacket, len > 5000: len=5001");
    EXPECT_EQ(r.logged, std::vector<std::string>(
                            {"error: wrong options block in packet IndividualOptionTheosAndGreeksPacket, len > 5000: len=5001"}));
    ASSERT_EQ(r.packet.blocks.size(), 1u);
    EXPECT_EQ(r.packet.blocks.begin()->first.first, "A");
}

TEST(IndividualOptionsPacket, ExpirationListEndsAtZeroButNotAtNaN) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto r = parseV2(SnapshotWriter(2)
                               .block("A", "A", 1, 1, 1, 1)
                               .end()
                               .block("B", "B", 1, 1, 1, 1)
                               .expiry(nan, {kPut})
                               .end()
                               .data());
    ASSERT_EQ(r.packet.blocks.size(), 2u);
    EXPECT_TRUE(r.packet.blocks.at({"A", "A"}).expirations.empty());
    const auto& b = r.packet.blocks.at({"B", "B"}).expirations;
    ASSERT_EQ(b.size(), 1u);
    EXPECT_TRUE(std::isnan(b[0].expiration));
    expectOption(b[0].options[0], kPut);
}

TEST(IndividualOptionsPacket, LaterBlockOfTheSameSymbolAndRootReplacesTheEarlier) {
    const auto r = parseV3(SnapshotWriter(3)
                               .block("A", "R1", 1, 1, 1, 1)
                               .expiry(1.42e12, {kCall})
                               .end()
                               .block("A", "R2", 2, 2, 2, 2)
                               .end()
                               .block("A", "R1", 3, 3, 3, 3)
                               .expiry(1.43e12, {kPut})
                               .end()
                               .data());
    ASSERT_EQ(r.packet.blocks.size(), 2u);
    const UnderlyingBlock& replaced = r.packet.blocks.at({"A", "R1"});
    EXPECT_EQ(replaced.price, 3.0f);
    ASSERT_EQ(replaced.expirations.size(), 1u);
    EXPECT_EQ(replaced.expirations[0].expiration, 1.43e12);
    EXPECT_EQ(r.packet.blocks.at({"A", "R2"}).price, 2.0f);
}

TEST(IndividualOptionsPacket, BodyEndingInsideAnOptionListKeepsOnlyWholeOptions) {
    for (int version : {2, 3}) {
        auto body = SnapshotWriter(version).block("A", "A", 1, 2, 3, 4).expiry(1.42e12, 3, {kCall, kPut}).data();
        body.insert(body.end(), 10, 0);  // a third option cut short
        const auto blocks = version == 2 ? parseV2(body).packet.blocks : parseV3(body).packet.blocks;
        ASSERT_EQ(blocks.size(), 1u) << version;
        const auto& expirations = blocks.begin()->second.expirations;
        ASSERT_EQ(expirations.size(), 1u);
        ASSERT_EQ(expirations[0].options.size(), 2u);
        expectOption(expirations[0].options[1], kPut);
    }
}

TEST(IndividualOptionsPacket, BlockWhoseQuoteIsCutShortIsNotStored) {
    auto body = SnapshotWriter(3).block("A", "A", 1, 1, 1, 1).end().block("B", "B", 5, 5, 5, 5).data();
    body.resize(body.size() - 2);
    const auto r = parseV3(body);
    EXPECT_FALSE(r.good);
    ASSERT_EQ(r.packet.blocks.size(), 1u);
    EXPECT_EQ(r.packet.blocks.begin()->first.first, "A");
}

}  // namespace

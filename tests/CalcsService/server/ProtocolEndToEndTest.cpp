// Every request type of the calculation protocol, sent over loopback to the shipped TeskLocalSvc with
// the real library: each answering type gets its reply type and size, the others show their effect in
// the service's log or in a later reply. The calculator's option is the textbook European one (S = K =
// 100, one year, r = b = 5 %, volatility 20 %: Black-Scholes call 10.4506, put 5.5735), which a
// 1,001-step tree prices at 10.4486 and 5.5715.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LocalServiceProcess.h"
#include "support/LocalTime.h"
#include "support/OptionCalculatorBody.h"
#include "support/WireWriter.h"

namespace {

using testsupport::Bytes;
using testsupport::connectWhenListening;
using testsupport::freePort;
using wiretest::calculatorBody;
using wiretest::valueAt;
using wiretest::WireWriter;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr std::uint32_t kAsyncResults = 261;

using testsupport::localMs;

const double kToday = localMs(2024, 5, 6, 10);
const double kExpiry = localMs(2024, 6, 21, 16);

// An option tree of one expiration (2024-06-21) with one strike of 100; 64-bit ids for v3.
Bytes treeBody(const std::string& root, std::int64_t call, std::int64_t put, bool v3) {
    WireWriter w;
    w.f64(kToday).str("E2E").str(root).i32(1);
    w.u16(2024).u8(5).u8(21).i32(1);
    if (v3)
        w.i64(call).i64(put);
    else
        w.i32(static_cast<std::int32_t>(call)).i32(static_cast<std::int32_t>(put));
    return w.f32(100.0f).u8('A').data();
}

// Quotes of the underlying at 100 and of the call and put of one strike of 100.
Bytes quotesBody(const std::string& root, std::int64_t call, std::int64_t put, bool v3) {
    WireWriter w;
    w.f64(kToday).str("E2E").str(root);
    if (v3)
        w.f32(100).f32(99.9f).f32(100.1f).f32(100);
    else
        w.f32(100).f32(99.9f).u32(0).f32(100.1f).u32(0).f32(100).u32(0).u32(0);
    w.f64(kExpiry).u32(2);
    for (const std::int64_t id : {call, put}) {
        w.i64(id).f32(100).u8(id == put ? 1 : 0);
        if (v3)
            w.f32(20);
        else
            w.f64(20);
        w.f32(3.1f).f32(2.9f);
    }
    return w.f64(0.0).data();
}

class ProtocolEndToEnd : public servertest::LocalServiceProcess {
protected:
    // Sends a request whose 16 id bytes are all `idByte`.
    void send(std::uint32_t type, const Bytes& body = {}, std::uint8_t idByte = 0) {
        ASSERT_TRUE(m_client->send(testsupport::makePacket(type, 8, body, idByte))) << type;
    }

    // The next packet other than the asynchronous results (those are collected on the way), checked
    // for its header: type, 0, its own length, the request's id.
    Bytes reply(std::uint32_t type, std::uint8_t idByte) {
        for (;;) {
            auto packet = m_client->readPacket(std::chrono::seconds(10));
            if (!packet) {
                ADD_FAILURE() << "no reply of type " << type;
                return {};
            }
            if (testsupport::dwordAt(*packet, 0) == kAsyncResults) {
                collectResults(*packet);
                continue;
            }
            EXPECT_EQ(testsupport::dwordAt(*packet, 0), type);
            EXPECT_EQ(testsupport::dwordAt(*packet, 4), 0u);
            EXPECT_EQ(testsupport::dwordAt(*packet, 8), packet->size());
            EXPECT_EQ(Bytes(packet->begin() + 12, packet->begin() + 28), Bytes(16, idByte)) << type;
            return *packet;
        }
    }

    // Waits for asynchronous results that give each id a non-zero theoretical value.
    bool theoreticalValuesFor(const std::vector<std::int64_t>& ids) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        auto allPriced = [&] {
            for (const std::int64_t id : ids)
                if (m_theos.count(id) == 0 || m_theos[id] == 0.0f)
                    return false;
            return true;
        };
        while (!allPriced()) {
            using std::chrono::milliseconds;
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            auto packet = m_client->readPacket(left);
            if (!packet)
                return false;
            EXPECT_EQ(testsupport::dwordAt(*packet, 0), kAsyncResults);
            collectResults(*packet);
        }
        return true;
    }

    // Results packet: header with a zero id, u32 count, then 81-byte entries: i64 id, 18 f32 and
    // one byte; the theoretical value is the ninth f32.
    void collectResults(const Bytes& packet) {
        ASSERT_GE(packet.size(), 32u);
        const std::uint32_t n = testsupport::dwordAt(packet, 28);
        ASSERT_EQ(packet.size(), 32u + 81u * n);
        EXPECT_EQ(Bytes(packet.begin() + 12, packet.begin() + 28), Bytes(16, 0));
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::size_t entry = 32 + 81 * i;
            m_theos[valueAt<std::int64_t>(packet, entry)] = valueAt<float>(packet, entry + 40);
        }
    }

    std::vector<std::string> log() const { return testsupport::logMessages(m_folder.path()); }
    bool logged(const ::testing::Matcher<std::string>& line) const {
        return testsupport::waitUntil([&] { return ::testing::Matches(Contains(line))(log()); });
    }
    std::size_t countLogged(const std::string& prefix) const {
        const auto lines = log();
        return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(prefix, 0) == 0;
        }));
    }

    // The lines a request logs: those written before the reply to a service-information request sent
    // behind it (which logs nothing) arrives. No reply of its own may come first.
    std::vector<std::string> linesOf(std::uint32_t type, const Bytes& body) {
        const std::size_t before = log().size();
        send(type, body);
        send(1536, {}, 0x5A);
        reply(1536, 0x5A);
        const auto lines = log();
        return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(std::min(before, lines.size())),
                                        lines.end());
    }
    // Of those, the lines about a request's failure; other threads' lines may come between.
    std::vector<std::string> failuresOf(std::uint32_t type, const Bytes& body) {
        std::vector<std::string> failures;
        for (const std::string& line : linesOf(type, body))
            if (line.rfind("error ", 0) == 0 || line.rfind("warning ", 0) == 0 || line.rfind("fatal ", 0) == 0)
                failures.push_back(line);
        return failures;
    }

    std::unique_ptr<testsupport::ProtocolClient> m_client;
    std::map<std::int64_t, float> m_theos;
};

TEST_F(ProtocolEndToEnd, EveryRequestTypeAnswersOrShowsItsEffect) {
    const unsigned short port = freePort();
    auto service = start(port);
    ASSERT_TRUE(testsupport::waitForLogMessage(m_folder.path(), "info CalcDll was loaded from brkcalcslib.dll"));
    m_client = connectWhenListening(port);
    ASSERT_TRUE(m_client);

    // The service's version and update server, then the update and proxy settings.
    send(1793);
    EXPECT_TRUE(logged("info reset autoupdate params to default values"));
    send(1536, {}, 0x11);
    const Bytes info = reply(1536, 0x11);
    ASSERT_GE(info.size(), 40u);
    EXPECT_EQ(testsupport::dwordAt(info, 28), 7u);
    EXPECT_EQ(std::string(info.begin() + 32, info.begin() + 39), "3.7.3.0");
    EXPECT_EQ(info.size(), 40u + 7 + testsupport::dwordAt(info, 39));
    EXPECT_EQ(testsupport::dwordAt(info, info.size() - 4), 8u);

    send(1792, WireWriter().str("updates.example.test").str("").str("/download").data());
    EXPECT_TRUE(logged(HasSubstr("info autoupdate params updated: ( IP: updates.example.test, "
                                 "DOWNLOAD_VERSION_PATH: /download, CHECK_VERSION_PATH:")));
    send(1536, {}, 0x12);
    const Bytes updated = reply(1536, 0x12);
    const std::string server = "updates.example.test";
    ASSERT_EQ(updated.size(), 40u + 7 + server.size());
    EXPECT_EQ(std::string(updated.begin() + 43, updated.begin() + 43 + server.size()), server);

    send(1795, WireWriter().u8(1).str("10.1.2.3").u32(3128).data());
    EXPECT_TRUE(logged("info receive proxy info: (use proxy: 1, proxyIP: 10.1.2.3, proxyPort: 3128)"));
    // No updater is installed beside the test's copy: the forced launch is logged and fails.
    send(1794);
    EXPECT_TRUE(logged(HasSubstr("\" force")));

    // The underlying: its roots, settings and a delivery formula.
    send(1888, WireWriter().i32(2).str("E2E").str("E2E").str("E2EB").str("E2E").data());
    EXPECT_TRUE(logged("info Loaded root to underling mapping:2"));
    WireWriter settings;
    settings.f64(kToday).str("E2E").u8(1).u32(1).f64(kExpiry).u32(1).f32(0.05f).f32(0.05f).u32(0);
    send(257, settings.data());
    EXPECT_TRUE(logged(StartsWith("info received settings for E2E, expires: 1, divs: 0, useUserInputs: 1, "
                                  "ratesSource: 1, rates: 1 : ")));
    send(265, WireWriter().str("E2E").str("E2EA").f64(12.5).u32(1).str("XA").f64(50).data());
    EXPECT_TRUE(logged("info SetDeliveryFormulaHandler:E2E-E2EA"));

    // Two option trees; the dump lists the options of the first, and quotes price both.
    send(279, treeBody("E2E", 7001, 7002, false));
    EXPECT_TRUE(logged(StartsWith("info E2E,E2E, expirations:1, options:1")));
    send(281, treeBody("E2EB", 0x100000001LL, 0x100000002LL, true));
    send(2049, WireWriter().str("E2E").data());
    EXPECT_TRUE(logged(StartsWith("info 7001, ")));
    EXPECT_TRUE(logged(StartsWith("info 7002, ")));
    send(280, quotesBody("E2E", 7001, 7002, true));
    EXPECT_TRUE(theoreticalValuesFor({7001, 7002}));
    send(278, quotesBody("E2EB", 0x100000001LL, 0x100000002LL, false));
    EXPECT_TRUE(theoreticalValuesFor({0x100000001LL, 0x100000002LL}));

    // The models: risk chart, risk table, greeks by expiration, calculator, volatility, 2D risk.
    WireWriter chart;
    chart.str("RC").u8(0).u8(0).f64(0.01).u32(1).f64(0).f64(0).f64(100).f64(kToday).f64(kToday).f64(5).f64(7);
    send(16, chart.u8(1).u32(0).u32(0).data(), 0x21);
    const Bytes chartReply = reply(32, 0x21);
    ASSERT_EQ(chartReply.size(), 3396u);
    EXPECT_EQ(valueAt<double>(chartReply, 28 + 80 * 10), 100.0);  // the middle row's price
    EXPECT_EQ(valueAt<double>(chartReply, 3388), 7.0);

    WireWriter table;
    table.str("RT").u8(0).f32(0.1f).f64(kToday).f64(kToday).f32(100.0f).f32(0.0f).f32(10.0f).u8(1).u32(3);
    table.f32(90.0f).f32(91.0f).f32(92.0f).u32(0);
    send(512, table.data(), 0x22);
    const Bytes tableReply = reply(512, 0x22);
    ASSERT_EQ(tableReply.size(), 36u + 144 * 3);
    EXPECT_EQ(testsupport::dwordAt(tableReply, 32), 3u);
    EXPECT_EQ(valueAt<double>(tableReply, 36), 10.0 * (90.0 - 100.0));  // the stock's profit at 90
    EXPECT_EQ(valueAt<double>(tableReply, 36 + 24), 10.0);               // its delta

    send(513, WireWriter().str("E2E").f64(kToday).f64(kToday).f32(100).f32(0).u32(0).i32(0).data(), 0x23);
    const Bytes greeks = reply(513, 0x23);
    ASSERT_EQ(greeks.size(), 32u);
    EXPECT_EQ(testsupport::dwordAt(greeks, 28), 0u);

    send(1024, calculatorBody(1001), 0x24);
    const Bytes calculator = reply(1025, 0x24);
    ASSERT_EQ(calculator.size(), 191u);
    EXPECT_EQ(testsupport::dwordAt(calculator, 28), 6u);
    EXPECT_EQ(std::string(calculator.begin() + 36, calculator.begin() + 53), "Theoretical Value");
    EXPECT_NEAR(valueAt<double>(calculator, 53), 10.4486, 5e-5);  // call
    EXPECT_NEAR(valueAt<double>(calculator, 61), 5.5715, 5e-5);   // put

    send(1026, calculatorBody(100, 2 * 5.5735, 2 * 10.4506), 0x25);  // the client sends twice the price
    const Bytes volatility = reply(1027, 0x25);
    ASSERT_EQ(volatility.size(), 36u);
    EXPECT_NEAR(valueAt<double>(volatility, 28), 20.0, 0.05);

    WireWriter risk2D;
    risk2D.u32(1).u32(0).u32(10).f64(100.0).f64(kToday).f64(kToday).u8(1).i32(0).f64(0.0).f64(0.0);
    send(1872, risk2D.data(), 0x26);
    const Bytes riskReply = reply(1872, 0x26);
    ASSERT_GE(riskReply.size(), 48u);
    const std::uint32_t points = testsupport::dwordAt(riskReply, 28);
    EXPECT_GT(points, 0u);
    const std::size_t greeksAt = 32 + 24 * 8 * points;
    ASSERT_GE(riskReply.size(), greeksAt + 4);
    EXPECT_EQ(riskReply.size(), greeksAt + 4 + 80 * testsupport::dwordAt(riskReply, greeksAt) + 12);

    // The reset drops the options: a dump after it lists none of them.
    send(2048);
    EXPECT_TRUE(logged("info reset data"));
    const std::size_t dumped = countLogged("info 7001, ");
    send(2049, WireWriter().str("E2E").data());
    send(1888, WireWriter().i32(0).data());  // its log line marks that the dump has run
    EXPECT_TRUE(logged("info Loaded root to underling mapping:0"));
    EXPECT_EQ(countLogged("info 7001, "), dumped);

    ::kill(service->pid(), SIGTERM);
    const int status = service->wait(std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_THAT(log(), Not(Contains(HasSubstr("SEH?"))));
}

// A refusal for a value is one line naming the request, the field and the value, and no reply; text a
// client sends is logged with its control bytes written out.
TEST_F(ProtocolEndToEnd, RefusalsAreOneLineAndClientTextStaysInItsLine) {
    const unsigned short port = freePort();
    auto service = start(port);
    ASSERT_TRUE(testsupport::waitForLogMessage(m_folder.path(), "info CalcDll was loaded from brkcalcslib.dll"));
    m_client = connectWhenListening(port);
    ASSERT_TRUE(m_client);
    using ::testing::ElementsAre;

    EXPECT_THAT(failuresOf(1024, calculatorBody(0)),
                ElementsAre("error OPTION_CALCULATOR refused: tree steps 0 outside 1 to 10000"));
    WireWriter risk2D;
    risk2D.u32(1).u32(0).u32(10000).f64(100.0).f64(kToday).f64(kToday).u8(1).i32(0).f64(0.0).f64(0.0);
    EXPECT_THAT(failuresOf(1872, risk2D.data()),
                ElementsAre("error RISK_2D request with 10000 steps: more than 10000 points refused"));
    // Settings cut off inside their last string change nothing.
    EXPECT_THAT(linesOf(1793, {}), Contains("info reset autoupdate params to default values"));
    EXPECT_THAT(failuresOf(1792, WireWriter().str("updates.example.test").str("").u32(9).data()),
                ElementsAre("error SET_AUTOUPDATE_INFO refused: the body ends inside a field"));
    send(1536, {}, 0x13);
    const Bytes info = reply(1536, 0x13);
    EXPECT_EQ(std::string(info.begin() + 43, info.end() - 4), "updates.tesk.invalid");

    const std::string forged = "\nFORGED key=value\r";
    const auto treeLines = linesOf(279, treeBody("F2E" + forged, 7101, 7102, false));
    EXPECT_THAT(treeLines, Contains(StartsWith("info E2E,F2E\\nFORGED key=value\\x0d, expirations:1, options:1")));
    for (const std::string& line : treeLines) {
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        EXPECT_NE(line.rfind("FORGED", 0), 0u) << line;
    }

    ::kill(service->pid(), SIGTERM);
    const int status = service->wait(std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace

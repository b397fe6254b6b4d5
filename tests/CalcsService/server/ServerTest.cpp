// The calculations server over real loopback sockets, with test handlers and the fake library.
#include <atomic>
#include <future>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "calcdll_api/AsyncResults.h"
#include "handlers/ModelHandlers.h"
#include "packets/PacketTypes.h"
#include "CalcsService/server/ServerTestSupport.h"
#include "support/WireWriter.h"

namespace {

using namespace servertest;
using testsupport::Bytes;
using testsupport::makePacket;
using testsupport::ProtocolClient;
using ::testing::ElementsAre;

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeLibrary();
        ASSERT_TRUE(InitCalcDLL("fakecalcscomplete.dll", (m_libraryLog.str() + "/%Y.log").c_str()));
        LibraryEvents::instance().clear();
    }

    testsupport::TempDir m_libraryLog;
};

Bytes bodyOf(std::uint32_t n) { return wiretest::WireWriter().u32(n).data(); }

TEST_F(ServerTest, PacketsArriveWholeAndInOrderHoweverTheyAreWritten) {
    RunningServer running;
    ProtocolClient client(running.port());

    const Bytes first = makePacket(ECHO, 8, {1, 2, 3}, 0x11);
    for (std::uint8_t byte : first) {
        ASSERT_TRUE(client.send(&byte, 1));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    Bytes two = makePacket(ECHO, 8, {4}, 0x22);
    const Bytes second = makePacket(ECHO, 8, {5, 6}, 0x33);
    two.insert(two.end(), second.begin(), second.end());
    ASSERT_TRUE(client.send(two));

    const Bytes expected[] = {makePacket(ECHO_REPLY, 0, {1, 2, 3}, 0x11), makePacket(ECHO_REPLY, 0, {4}, 0x22),
                              makePacket(ECHO_REPLY, 0, {5, 6}, 0x33)};
    for (const Bytes& reply : expected) {
        const auto got = client.readPacket();
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, reply);
    }
}

TEST_F(ServerTest, ABurstOfRequestsGetsEveryReplyInOrder) {
    RunningServer running;
    ProtocolClient client(running.port());
    constexpr std::uint32_t kRequests = 1000;
    Bytes burst;
    for (std::uint32_t i = 0; i < kRequests; ++i) {
        const Bytes packet = makePacket(ECHO, 8, bodyOf(i));
        burst.insert(burst.end(), packet.begin(), packet.end());
    }
    ASSERT_TRUE(client.send(burst));
    for (std::uint32_t i = 0; i < kRequests; ++i) {
        const auto reply = client.readPacket();
        ASSERT_TRUE(reply) << "reply " << i;
        ASSERT_EQ(testsupport::dwordAt(*reply, 28), i);
    }
}

TEST_F(ServerTest, SizesAtTheFramingLimitsAreAccepted) {
    RunningServer running;
    ProtocolClient client(running.port());
    // Only the prefix: the packet processor reads what there is and calls the handler with no body.
    ASSERT_TRUE(client.send(makePacket(ECHO, 8, {}, 0, 12).data(), 12));
    auto reply = client.readPacket();
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, makePacket(ECHO_REPLY, 0, {}));

    const Bytes body(0x500000 - 28, 0xA5);
    EXPECT_EQ(echo(client, body), body);
}

class UnreadableSizeTest : public ServerTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(UnreadableSizeTest, ClosesThatConnectionAndServesTheNextClient) {
    RunningServer running;
    {
        ProtocolClient bad(running.port());
        ASSERT_TRUE(bad.send(makePacket(ECHO, 8, Bytes(64, 0), 0, GetParam())));
        EXPECT_TRUE(bad.waitForClose());
    }
    ProtocolClient next(running.port());
    EXPECT_EQ(echo(next, {9}), Bytes{9});
    EXPECT_TRUE(running.waitForLog("error wrong packet size in header: " + std::to_string(GetParam()) +
                                   ", the session is closed"));
}

INSTANTIATE_TEST_SUITE_P(BelowThePrefixOrAboveTheBuffer, UnreadableSizeTest,
                         ::testing::Values(0u, 11u, 0x500001u, 0xFFFFFFFFu));

TEST_F(ServerTest, MalformedRepliesAreDroppedAndTheFramingStaysInStep) {
    RunningServer running;
    ProtocolClient client(running.port());
    ASSERT_TRUE(client.send(makePacket(WRONG_SIZE_REPLY, 8, {1})));
    ASSERT_TRUE(client.send(makePacket(SHORT_REPLY, 8, {2})));
    EXPECT_EQ(echo(client, {3}), Bytes{3});
    const auto log = running.log();
    EXPECT_THAT(log, ::testing::Contains("error packet size is wrong: in header:30 real size: 29"));
    EXPECT_THAT(log, ::testing::Contains("error reply shorter than its header dropped, size: 10"));
}

TEST_F(ServerTest, ASecondClientEvictsTheFirstAndTheLibraryIsClearedOnce) {
    RunningServer running;
    ProtocolClient first(running.port());
    ASSERT_EQ(echo(first, {1}, REGISTER_OPTION), Bytes{1});
    ProtocolClient second(running.port());
    EXPECT_TRUE(first.waitForClose());
    EXPECT_EQ(echo(second, {2}), Bytes{2});
    EXPECT_THAT(LibraryEvents::instance().events(), ElementsAre("register", "purge", "cleanup"));
    EXPECT_EQ(running.countLog("warning force to close a previous session: "), 1u);
    EXPECT_EQ(running.countLog("info disconnect: "), 1u);
}

// A risk table's greeks from the library, counted. The first waits until its session is stopping, as
// a long request would be overtaken by a stop or a new client, and tells the test once it has begun.
std::atomic<int> g_tableGreeks{0};
std::promise<void>* g_tableBegun = nullptr;
const RunningServer* g_tableServer = nullptr;
void greeksUntilStopping(int, int, int, const double*, const double*, const double*, const double*, const double*,
                         const double*, int, const std::vector<double>*, const std::vector<double>*, double*, double*,
                         double*, double*, double*) {
    if (++g_tableGreeks == 1) {
        g_tableBegun->set_value();
        testsupport::waitUntil([] { return g_tableServer->countLog("info disconnect: ") == 1; });
    }
}

// A RISK_TABLE of 1,000 slides, one position each, which asks for one greeks per slide.
Bytes longRiskTable() {
    wiretest::WireWriter w;
    w.str("RT").u8(0).f32(0.0f).f64(1.7e12).f64(1.7e12).f32(100.0f).f32(0.0f).f32(0.0f).u8(1).u32(1000);
    for (int i = 0; i < 1000; ++i)
        w.f32(100.0f);
    w.u32(1).i64(7).f32(100.0f).f64(1.8e12).f32(20.0f).f32(1.0f).u8(0).f32(0.0f).f64(0.0).f32(0.05f).f32(0.05f);
    w.u32(1).f64(0.5).f32(1.0f).u8(0).u32(0).f32(0.0f);
    return makePacket(Packets::RISK_TABLE_INPUT_DATA, 8, w.data());
}

// A request in progress gives way, with no reply, at its next position once a new client replaces its
// session (true) or the service stops (false).
class LongRequestTest : public ServerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LongRequestTest, GivesWayToAReplacingClientOrAStop) {
    const bool replaced = GetParam();
    ServerSettings settings = testSettings();
    settings.handlers = [] {
        Packets::PacketProcessor::HandlerTable handlers = testHandlers();
        handlers[Packets::RISK_TABLE_INPUT_DATA] = std::make_shared<Handlers::RiskTableHandler>();
        return handlers;
    };
    RunningServer running(settings);
    std::promise<void> begun;
    g_tableGreeks = 0;
    g_tableBegun = &begun;
    g_tableServer = &running;
    fakeLibrary().hooks.calcGreeks = &greeksUntilStopping;
    ProtocolClient first(running.port());
    ASSERT_TRUE(first.send(longRiskTable()));
    ASSERT_EQ(begun.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);

    if (replaced) {
        ProtocolClient second(running.port());
        EXPECT_EQ(echo(second, {2}), Bytes{2});
    } else {
        running.stop();
    }
    fakeLibrary().hooks.calcGreeks = nullptr;
    EXPECT_EQ(g_tableGreeks.load(), 1);
    EXPECT_FALSE(first.readPacket(std::chrono::milliseconds(100)));
    if (replaced) {
        EXPECT_EQ(running.countLog("info RiskTableHandler: the session is stopping: request dropped"), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(ReplacedOrStopped, LongRequestTest, ::testing::Bool());

TEST_F(ServerTest, AFailedSendEndsTheSessionBeforeTheNextClientRegisters) {
    RunningServer running;
    {
        ProtocolClient first(running.port());
        ASSERT_TRUE(first.send(makePacket(SLOW_ECHO, 8, Bytes(1000, 1))));
        first.reset();  // the reply's write then fails
    }
    ASSERT_TRUE(testsupport::waitUntil([&] { return running.countLog("error boost::system::system_error in send thread, ") == 1; }));
    ProtocolClient second(running.port());
    EXPECT_EQ(echo(second, {2}, REGISTER_OPTION), Bytes{2});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well past the drain pause
    EXPECT_THAT(LibraryEvents::instance().events(), ElementsAre("purge", "cleanup", "register"));
    EXPECT_EQ(running.countLog("info disconnect: "), 1u);
}

TEST_F(ServerTest, ClosedConnectionLeavesTheSessionIdleUntilTheServerEnds) {
    RunningServer running;
    {
        ProtocolClient client(running.port());
        EXPECT_EQ(echo(client, {1}), Bytes{1});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(LibraryEvents::instance().events().empty());
    EXPECT_EQ(running.countLog("info disconnect: "), 0u);
    running.stop();
    EXPECT_THAT(LibraryEvents::instance().events(), ElementsAre("purge", "cleanup"));
}

// The io_context the purge hook stops: the service's stop, asked for while a session is being finished.
boost::asio::io_context* g_stoppedOnPurge = nullptr;

void stopOnPurge() {
    onPurge();
    if (g_stoppedOnPurge)
        g_stoppedOnPurge->stop();
}

// A is served; B's arrival finishes A, and the stop comes while the library drains; C has connected and
// sent a request by then. Neither B nor C may start once the stop has begun, nor C's request run, and
// the server's end must leave no session behind (its threads running, its read pending).
TEST_F(ServerTest, ClientsThatConnectWhileTheStopBeginsAreClosedUnserved) {
    RunningServer running(testSettings(), false);
    struct StopOnPurge {
        explicit StopOnPurge(boost::asio::io_context& io) {
            g_stoppedOnPurge = &io;
            fakeLibrary().hooks.purgeProcessingQueues = &stopOnPurge;
        }
        ~StopOnPurge() {
            fakeLibrary().hooks.purgeProcessingQueues = &onPurge;
            g_stoppedOnPurge = nullptr;
        }
    } stopOnPurgeScope(running.io());
    ProtocolClient a(running.port());
    ProtocolClient b(running.port());
    ProtocolClient c(running.port());
    ASSERT_TRUE(c.send(makePacket(ECHO, 8, {3})));
    handledRequests() = 0;

    running.io().run();  // until the purge of A's records stops it
    running.stop();

    EXPECT_FALSE(c.readPacket(std::chrono::milliseconds(500)));
    EXPECT_TRUE(b.waitForClose());
    EXPECT_TRUE(c.waitForClose());
    EXPECT_EQ(handledRequests(), 0u);
    EXPECT_EQ(running.countLog("info ------------started: "), 1u);
    EXPECT_THAT(LibraryEvents::instance().events(), ElementsAre("purge", "cleanup"));
}

TEST_F(ServerTest, PendingResultsReachTheClientAsOnePacketWithinHalfASecond) {
    ServerSettings settings = testSettings();
    RunningServer running(settings);
    ProtocolClient client(running.port());
    EXPECT_FALSE(client.readPacket(std::chrono::milliseconds(600)));  // nothing pending: nothing sent

    OptionResult result{};
    result.theo = 1.5;
    calcDllMessageCallback(&result, eResultOption, 1, 42, 0);
    calcDllMessageCallback(&result, eResultOption, 2, 43, 0);
    const auto started = std::chrono::steady_clock::now();
    const auto packet = client.readPacket(std::chrono::seconds(5));
    const auto waited = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(packet);
    // Sent by the 450 ms results timer, with no request to carry it; the slack is for sanitizer runs.
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_EQ(testsupport::dwordAt(*packet, 0), 261u);
    EXPECT_EQ(testsupport::dwordAt(*packet, 28), 2u);
    EXPECT_EQ(packet->size(), Bridge::RESULTS_PACKET_HEAD_SIZE + 2 * Bridge::RESULT_ENTRY_SIZE);
    EXPECT_FALSE(client.readPacket(std::chrono::milliseconds(600)));
}

// Requests of one type and body as one burst, their ids 0, 1, ... (each id byte).
Bytes requestBurst(std::uint32_t requests, TestType type, const Bytes& body) {
    Bytes burst;
    for (std::uint32_t i = 0; i < requests; ++i) {
        const Bytes packet = makePacket(type, 8, body, static_cast<std::uint8_t>(i));
        burst.insert(burst.end(), packet.begin(), packet.end());
    }
    return burst;
}

// The number of requests begun, once it has stopped growing.
std::size_t settledHandledRequests() {
    std::size_t seen = handledRequests();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::size_t now = handledRequests();
        if (now == seen)
            return now;
        seen = now;
    }
}

// What the loopback connection itself holds beyond the session's bound, both ways: the service's
// send buffer and the client's receive buffer (a few MiB at most with the usual limits).
constexpr std::size_t kSocketSlack = std::size_t(12) << 20;

// Each reply is far larger than its request: the worker must wait for the client rather than build
// replies the bound on reading never sees.
TEST_F(ServerTest, UnreadLargeRepliesHoldTheWorkerBackUntilTheClientReadsThem) {
    ServerSettings settings = testSettings();
    settings.backlogLimit = std::size_t(4) << 20;
    RunningServer running(settings);
    ProtocolClient client(running.port());
    constexpr std::uint32_t kRequests = 60;
    constexpr std::uint32_t kReplyBody = 1 << 20;
    handledRequests() = 0;
    ASSERT_TRUE(client.send(requestBurst(kRequests, LARGE_REPLY, wiretest::WireWriter().u32(kReplyBody).data())));

    // The replies within the bound, the one that crossed it, and what the socket took.
    const std::size_t bound = (settings.backlogLimit + kSocketSlack) / kReplyBody + 1;
    EXPECT_LE(settledHandledRequests(), bound);
    for (std::uint32_t i = 0; i < kRequests; ++i) {
        const auto reply = client.readPacket();
        ASSERT_TRUE(reply) << "reply " << i;
        ASSERT_EQ(reply->size(), 28 + kReplyBody);
        ASSERT_EQ((*reply)[12], static_cast<std::uint8_t>(i));
    }
    EXPECT_EQ(handledRequests(), kRequests);
}

// The worker of a session whose client reads nothing waits for it; the session must still end at once,
// whether a new client replaces it or the client resets the connection (the send thread then fails
// with its replies unsent, and nothing but the session's end releases the worker).
class WaitingWorkerTest : public ServerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(WaitingWorkerTest, SessionEndsAndTheNextClientIsServed) {
    const bool reset = GetParam();
    ServerSettings settings = testSettings();
    settings.backlogLimit = std::size_t(4) << 20;
    RunningServer running(settings);
    ProtocolClient first(running.port());
    constexpr std::uint32_t kRequests = 60;
    handledRequests() = 0;
    ASSERT_TRUE(first.send(requestBurst(kRequests, LARGE_REPLY, wiretest::WireWriter().u32(1 << 20).data())));
    ASSERT_LT(settledHandledRequests(), kRequests);
    if (reset) {
        first.reset();
        ASSERT_TRUE(testsupport::waitUntil([&] { return running.countLog("info disconnect: ") == 1; }));
    }

    ProtocolClient second(running.port());
    EXPECT_EQ(echo(second, {2}), Bytes{2});
    EXPECT_THAT(LibraryEvents::instance().events(), ElementsAre("purge", "cleanup"));
    EXPECT_EQ(running.countLog("info disconnect: "), 1u);
}

INSTANTIATE_TEST_SUITE_P(ReplacedOrReset, WaitingWorkerTest, ::testing::Bool());

// A client that stops reading its replies makes the session stop reading its requests (the client's
// writes then block); once it catches up, the session reads again and answers every request.
TEST_F(ServerTest, PausedReadingResumesOnceTheClientCatchesUp) {
    // Built before the writer starts, so that the service sees the burst at once (building 64 MiB takes
    // a while under a sanitizer), and outliving it.
    constexpr std::uint32_t kRequests = 64;
    const Bytes body(std::size_t(1) << 20, 0xC3);
    const Bytes burst = requestBurst(kRequests, ECHO, body);
    // Declared before the server, waited for last: should the test fail, the server's end of the
    // connection closes before the blocked writer is waited for.
    std::future<bool> written;
    ServerSettings settings = testSettings();
    settings.backlogLimit = std::size_t(4) << 20;
    RunningServer running(settings);
    ProtocolClient client(running.port());
    handledRequests() = 0;
    written = std::async(std::launch::async, [&] { return client.send(burst); });

    EXPECT_LT(settledHandledRequests(), kRequests);
    EXPECT_EQ(written.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout)
        << "the service read every request although nobody read its replies";
    for (std::uint32_t i = 0; i < kRequests; ++i) {
        const auto reply = client.readPacket();
        ASSERT_TRUE(reply) << "reply " << i;
        ASSERT_EQ((*reply)[12], static_cast<std::uint8_t>(i));
        ASSERT_EQ(Bytes(reply->begin() + 28, reply->end()), body);
    }
    EXPECT_TRUE(written.get());
}

}  // namespace

// The control server with the control handlers, on a free loopback port, against test clients.
#include "server/ControlMainThread.h"
#include "server/ControlServer.h"

#include <condition_variable>
#include <csignal>
#include <future>
#include <mutex>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "CalcsService/server/RecordingStartup.h"
#include "platform/ServiceLeftRunning.h"
#include "Logging/Log.h"
#include "handlers/ControlHandlerTable.h"
#include "platform/ServiceControl.h"
#include "process/ClientRestarter.h"
#include "service/ModuleInfo.h"
#include "support/ProtocolClient.h"
#include "support/ThreadCount.h"
#include "support/WireWriter.h"

namespace {

using testsupport::Bytes;
using testsupport::ProtocolClient;
using testsupport::makePacket;
using ::testing::Contains;
using ::testing::Not;

Bytes debugBody(std::uint8_t on, const std::string& folder) {
    return wiretest::WireWriter().u8(on).str(folder).data();
}

// A request type outside the control protocol, run by the gated handler below.
constexpr int kGatedType = 20;

// Counts the requests it begins and ends, and holds each until the gate opens.
class GatedHandler : public Handlers::BaseHandler {
public:
    void handle(Packets::RequestStream&, std::vector<std::uint8_t>&, const std::vector<std::uint8_t>&) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_begun;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_bOpen; });
        ++m_ended;
    }

    std::size_t begun() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_begun;
    }
    std::size_t ended() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ended;
    }
    void open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bOpen = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_begun = 0;
    std::size_t m_ended = 0;
    bool m_bOpen = false;
};

class ControlServerTest : public ::testing::Test {
protected:
    ControlServerTest() {
        g_strModuleDir = m_module.str();
        Logging::initLogging(m_module.str() + "/Logs/Unit%Y-%b-%d.log");
        Logging::ups_logger::get();  // created before other threads log, as a service's entry does
        boost::filesystem::create_directories(m_client.path() / "META-INF" / "AIR");
    }
    ~ControlServerTest() override {
        m_gated->open();  // a failed test may have left requests held
        stopServer();
        testsupport::killServiceLeftRunning("TeskLocalSvc");
    }

    // Programs the test runs are copied before: a copy still open for writing in a child that another
    // thread forks could not be run.
    void startServer() {
        // A sanitizer's own helper thread starts with the first thread: let it start before the count.
        std::thread([] {}).join();
        m_threadsBefore = testsupport::threadCount();
        makeServer();
        m_runner = std::thread([this] { m_io.run(); });
    }

    // The server alone, for a test that runs the io_context itself.
    void makeServer() {
        Control::ServerSettings settings;
        settings.handlers = [this] {
            auto handlers = Handlers::controlHandlerTable(m_restarter);
            handlers[kGatedType] = m_gated;
            return handlers;
        };
        m_server = std::make_unique<Control::server>(m_io, 0, std::move(settings));
    }

    void stopServer() {
        if (!m_server)
            return;
        m_io.stop();
        if (m_runner.joinable())  // a test may have stopped the io_context itself
            m_runner.join();
        m_server.reset();
        m_restarter.stop();
    }

    std::unique_ptr<ProtocolClient> connect() { return std::make_unique<ProtocolClient>(m_server->port()); }
    std::vector<std::unique_ptr<ProtocolClient>> busyClients(std::size_t count);

    std::size_t countLogLines(const std::string& prefix) const {
        std::size_t count = 0;
        for (const auto& line : testsupport::logMessages(m_module.path()))
            count += line.rfind(prefix, 0) == 0;
        return count;
    }
    bool logged(const std::string& message) const { return testsupport::waitForLogMessage(m_module.path(), message); }
    boost::filesystem::path marker() const { return m_client.path() / "META-INF" / "AIR" / "debug"; }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_module;
    testsupport::TempDir m_client;
    process::ClientRestarter m_restarter;
    const std::shared_ptr<GatedHandler> m_gated = std::make_shared<GatedHandler>();
    std::size_t m_threadsBefore = 0;
    boost::asio::io_context m_io;
    std::unique_ptr<Control::server> m_server;
    std::thread m_runner;
};

TEST_F(ControlServerTest, StopSentJustBeforeTheClientLeavesStillStopsTheService) {
    testsupport::TempDir programs;
    const std::string service = testsupport::copyProgram(TESK_SLOW_STOP_SERVICE, programs.path(), "TeskLocalSvc");
    ASSERT_EQ(testsupport::runProgram(service, {"-Service"}).exitCode, 0);
    ASSERT_EQ(platform::StartService("TeskLocalSvc"), 0);
    platform::ServiceStatus status;
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return platform::QueryServiceStatus("TeskLocalSvc", status) == 0 &&
               status.currentState == platform::SERVICE_RUNNING;
    }));
    startServer();

    connect()->send(makePacket(1, 0));  // and closes at once
    EXPECT_TRUE(logged("info stop calculation svc:TeskLocalSvc"));
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return testsupport::hasLogMessage(m_module.path(), "info Service stopped successfully"); },
        std::chrono::seconds(15)));
    ASSERT_EQ(platform::QueryServiceStatus("TeskLocalSvc", status), 0);
    EXPECT_EQ(status.currentState, platform::SERVICE_STOPPED);
}

TEST_F(ControlServerTest, UnreadableSizesCloseThatSessionAndTheNextClientIsServed) {
    startServer();
    for (const std::uint32_t size : {0u, 11u, 0x500001u, 0xFFFFFFFFu}) {
        auto client = connect();
        ASSERT_TRUE(client->send(wiretest::WireWriter().u32(1).u32(0).u32(size).data()));
        EXPECT_TRUE(client->waitForClose()) << size;
        EXPECT_TRUE(logged("error wrong packet size in header: " + std::to_string(size) + ", the session is closed"));
    }
    connect()->send(makePacket(3, 0, debugBody(1, m_client.str())));
    EXPECT_TRUE(testsupport::waitUntil([&] { return boost::filesystem::exists(marker()); }));
}

TEST_F(ControlServerTest, ForeignVersionAndUnknownTypeAreLoggedAndTheSessionGoesOn) {
    startServer();
    auto client = connect();
    ASSERT_TRUE(client->send(makePacket(1, 8)));
    ASSERT_TRUE(client->send(makePacket(1, 5)));
    ASSERT_TRUE(client->send(makePacket(10, 0, {1, 2})));
    ASSERT_TRUE(client->send(makePacket(77, 0)));
    ASSERT_TRUE(client->send(makePacket(0xFFFFFFFF, 0)));
    EXPECT_TRUE(logged("warning warning, unsupported version of protocol, packet skipped"));
    EXPECT_TRUE(logged("error unknown packet type received: 10, size: 30"));
    EXPECT_TRUE(logged("error unknown packet type received: -1, size: 28"));
    EXPECT_TRUE(logged("error unknown packet type received: 77, size: 28"));
    EXPECT_EQ(countLogLines("warning warning, unsupported version of protocol, packet skipped"), 2u);
    EXPECT_FALSE(client->waitForClose(std::chrono::milliseconds(300)));
    // The version-8 stop was dropped, not run.
    EXPECT_THAT(testsupport::logMessages(m_module.path()), Not(Contains("info stop calculation svc:TeskLocalSvc")));
}

TEST_F(ControlServerTest, MalformedBodyEndsOnlyItsSession) {
    startServer();
    auto other = connect();
    auto client = connect();
    ASSERT_TRUE(client->send(makePacket(3, 0, wiretest::WireWriter().u8(1).u32(1000).data())));
    EXPECT_TRUE(client->waitForClose());
    EXPECT_TRUE(logged("error exception in workerFunc, request type 3 refused: the body ends inside a string"));

    // Settings whose last string runs past the end: nothing is stored, the session ends.
    auto settings = connect();
    ASSERT_TRUE(settings->send(
        makePacket(7, 0, wiretest::WireWriter().str("updates.example.test").str("/check").u32(100).data())));
    EXPECT_TRUE(settings->waitForClose());
    EXPECT_TRUE(logged("error exception in workerFunc, request type 7 refused: the body ends inside a field"));
    EXPECT_FALSE(boost::filesystem::exists(m_module.path() / "TeskCtrlSvc.cfg"));
    EXPECT_EQ(countLogLines("info autoupdate params updated"), 0u);

    ASSERT_TRUE(other->send(makePacket(3, 0, debugBody(1, m_client.str()))));
    EXPECT_TRUE(testsupport::waitUntil([&] { return boost::filesystem::exists(marker()); }));
}

TEST_F(ControlServerTest, ClientLeavingDoesNotStopAnotherClientsRequests) {
    startServer();
    auto first = connect();
    auto second = connect();
    ASSERT_TRUE(first->send(makePacket(3, 0, debugBody(1, m_client.str()))));
    ASSERT_TRUE(testsupport::waitUntil([&] { return boost::filesystem::exists(marker()); }));
    first.reset();
    ASSERT_TRUE(testsupport::waitUntil([&] {
        for (const auto& message : testsupport::logMessages(m_module.path()))
            if (message.rfind("info disconnect: ", 0) == 0)
                return true;
        return false;
    }));
    ASSERT_TRUE(second->send(makePacket(3, 0, debugBody(0, m_client.str()))));
    EXPECT_TRUE(testsupport::waitUntil([&] { return !boost::filesystem::exists(marker()); }));
    EXPECT_FALSE(second->waitForClose(std::chrono::milliseconds(300)));
}

TEST_F(ControlServerTest, StopWithAnIdleClientIsQuickAndLeavesNoThread) {
    startServer();
    auto client = connect();
    ASSERT_TRUE(client->send(makePacket(10, 0)));
    ASSERT_TRUE(logged("error unknown packet type received: 10, size: 28"));
    const auto started = std::chrono::steady_clock::now();
    stopServer();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_TRUE(client->waitForClose());
    EXPECT_EQ(testsupport::threadCount(), m_threadsBefore);
    EXPECT_TRUE(testsupport::hasLogMessage(m_module.path(), "info Finish server destruction"));
}

// X is accepted, and Y, waiting behind it, is taken at once; then the stop comes before Y's session
// starts. Y must be closed unserved, and the server's end leave no session behind (its worker running,
// its read pending in the io_context).
TEST_F(ControlServerTest, AConnectionTakenAsTheStopBeginsIsClosedUnserved) {
    makeServer();
    auto x = connect();
    auto y = connect();
    ASSERT_TRUE(y->send(makePacket(kGatedType, 0)));
    m_gated->open();
    ASSERT_EQ(m_io.run_one(), 1u);  // X's accept
    stopServer();

    EXPECT_TRUE(x->waitForClose());
    EXPECT_TRUE(y->waitForClose());
    EXPECT_EQ(m_gated->begun(), 0u);
    EXPECT_EQ(countLogLines("info ------------started: "), 1u);
}

// Nothing but a port number may choose the port: anything else stops the start with its reason.
TEST_F(ControlServerTest, APortTextThatIsNotAPortNumberFailsTheStart) {
    for (const std::string text : {"abc", "70000"}) {
        servertest::RecordingStartup startup;
        Control::serveControl(text, startup);
        const std::string reason = "port \"" + text + "\" is not a port number (0-65535)";
        EXPECT_THAT(startup.events(), ::testing::ElementsAre("failed: " + reason));
        EXPECT_TRUE(logged("error io_service.run:" + reason));
    }
}

// Connects clients whose sessions each run one held request and hold many more in their queues; empty
// when that does not come about.
std::vector<std::unique_ptr<ProtocolClient>> ControlServerTest::busyClients(std::size_t count) {
    Bytes burst;
    for (int i = 0; i < 50; ++i) {
        const Bytes request = makePacket(kGatedType, 0);
        burst.insert(burst.end(), request.begin(), request.end());
    }
    std::vector<std::unique_ptr<ProtocolClient>> clients;
    for (std::size_t i = 0; i < count; ++i) {
        clients.push_back(connect());
        if (!clients.back()->send(burst))
            return {};
    }
    if (!testsupport::waitUntil([&] { return m_gated->begun() == count; }))
        return {};
    return clients;
}

TEST_F(ControlServerTest, StopStopsEverySessionBeforeJoiningAnyAndStartsNoQueuedRequest) {
    startServer();
    constexpr std::size_t kClients = 8;
    const auto clients = busyClients(kClients);
    ASSERT_EQ(clients.size(), kClients);

    m_io.stop();
    m_runner.join();
    auto destroyed = std::async(std::launch::async, [this] { m_server.reset(); });
    // The running requests have not ended, yet every session is stopped already.
    EXPECT_TRUE(testsupport::waitUntil([&] { return countLogLines("info disconnect: ") == kClients; }))
        << countLogLines("info disconnect: ") << " sessions stopped";
    m_gated->open();
    ASSERT_EQ(destroyed.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    destroyed.get();
    EXPECT_EQ(m_gated->begun(), kClients);
    EXPECT_TRUE(testsupport::hasLogMessage(m_module.path(), "info Finish server destruction"));
    for (const auto& client : clients)
        EXPECT_TRUE(client->waitForClose());
}

// Between the stop of the io_context and the server's destruction the running requests may end, but no
// queued one starts.
TEST_F(ControlServerTest, NoQueuedRequestStartsOnceTheStopHasBegun) {
    startServer();
    constexpr std::size_t kClients = 4;
    const auto clients = busyClients(kClients);
    ASSERT_EQ(clients.size(), kClients);

    m_io.stop();
    m_runner.join();
    m_gated->open();
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_gated->ended() >= kClients; }));
    m_server.reset();
    EXPECT_EQ(m_gated->begun(), kClients);
}

TEST_F(ControlServerTest, IdleConnectionsBeyondTheCapMakeRoomForAnActiveClient) {
    startServer();
    const std::size_t cap = Control::ServerSettings().maxSessions;
    const std::size_t idleClients = 3 * cap / 2;
    std::vector<std::unique_ptr<ProtocolClient>> idle;
    auto connectIdle = [&](std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            idle.push_back(connect());
        return testsupport::waitUntil([&] { return countLogLines("info a new connection") == idle.size(); });
    };
    ASSERT_TRUE(connectIdle(cap));
    // The oldest connection sends a request: it is no longer the one idle the longest.
    ASSERT_TRUE(idle.front()->send(makePacket(10, 0)));
    ASSERT_TRUE(logged("error unknown packet type received: 10, size: 28"));
    ASSERT_TRUE(connectIdle(idleClients - cap));

    // The server logs each warning just after its connection's line: wait for them too.
    const std::string closing = "warning too many sessions, closing the one idle the longest: ";
    EXPECT_TRUE(testsupport::waitUntil([&] { return countLogLines(closing) >= idleClients - cap; }));
    EXPECT_EQ(countLogLines(closing), idleClients - cap);
    // One worker per live session, no send thread; besides them the updater and the io_context's runner.
    EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::threadCount() <= m_threadsBefore + cap + 2; }))
        << testsupport::threadCount() << " threads";
    // The connections idle the longest were closed, the active one and the newest are still served.
    EXPECT_TRUE(idle[1]->waitForClose());
    EXPECT_TRUE(idle[idleClients - cap]->waitForClose());
    EXPECT_FALSE(idle.front()->waitForClose(std::chrono::milliseconds(100)));
    EXPECT_FALSE(idle.back()->waitForClose(std::chrono::milliseconds(100)));

    connect()->send(makePacket(3, 0, debugBody(1, m_client.str())));
    EXPECT_TRUE(testsupport::waitUntil([&] { return boost::filesystem::exists(marker()); }));
}

}  // namespace

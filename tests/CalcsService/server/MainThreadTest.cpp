// The calculations service's main thread: start with the library, stop while a request is inside a
// library call, and a port that cannot be bound.
#include <mutex>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server/MainThread.h"
#include "CalcsService/server/ServerTestSupport.h"
#include "support/LoopbackConnect.h"
#include "support/ThreadCount.h"

namespace {

using namespace servertest;
using testsupport::connectWhenListening;
using testsupport::freePort;
using testsupport::makePacket;
using testsupport::threadCount;
using ::testing::Contains;
using ::testing::ElementsAre;

// What the main thread tells the service module about its server's start.
class RecordingStartup : public ServerStartup {
public:
    void listening() override { record("listening"); }
    void failed(const std::string& reason) override { record("failed: " + reason); }

    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    void record(const std::string& event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};

class MainThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logging::initLogging(m_logs.str() + "/Logs/Main%Y-%b-%d.log");
        fakeLibrary();
        LibraryEvents::instance().clear();
        sharedIoContext().restart();
    }

    testsupport::TempDir m_logs;
    RecordingStartup m_startup;
};

TEST_F(MainThreadTest, StopDuringALibraryCallReleasesTheLibraryAfterTheCall) {
    std::thread([] {}).join();  // a sanitizer's runtime starts its own thread along with the first one
    const std::size_t threadsBefore = threadCount();
    const unsigned short portNumber = freePort();
    const std::string port = std::to_string(portNumber);
    std::thread mainThread([&] { serveCalculations(port, "fakecalcscomplete.dll", testSettings(), m_startup); });

    const auto client = connectWhenListening(portNumber);
    ASSERT_TRUE(client);
    // The socket listens (and takes the connection) a moment before the main thread reports it.
    EXPECT_TRUE(testsupport::waitUntil([&] { return !m_startup.events().empty(); }));
    EXPECT_THAT(m_startup.events(), ElementsAre("listening"));
    ASSERT_TRUE(client->send(makePacket(SLOW_LIBRARY_CALL, 8)));
    ASSERT_TRUE(testsupport::waitUntil([] { return !LibraryEvents::instance().events().empty(); }));
    stop();
    mainThread.join();

    EXPECT_THAT(LibraryEvents::instance().events(),
                ElementsAre("slow call begins", "slow call ends", "purge", "cleanup", "deinitialize"));
    const auto log = testsupport::logMessages(m_logs.path());
    EXPECT_THAT(log, Contains("info initializing version 3.7.3.0, port:" + port + ", dll path: fakecalcscomplete.dll"));
    EXPECT_THAT(log, Contains("info Exit from version 3.7.3.0, port:" + port));
    EXPECT_TRUE(testsupport::waitUntil([&] { return threadCount() == threadsBefore; })) << threadCount();
}

TEST_F(MainThreadTest, APortInUseEndsTheMainThreadWithTheBindErrorNamingThePort) {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor taken(io, {boost::asio::ip::make_address_v4("127.0.0.1"), 0});
    const std::string port = std::to_string(taken.local_endpoint().port());
    serveCalculations(port, "nosuchlibrary.dll", testSettings(), m_startup);
    const std::string reason = "bind 127.0.0.1:" + port + ": Address already in use";
    EXPECT_THAT(m_startup.events(), ElementsAre("failed: " + reason));
    const auto log = testsupport::logMessages(m_logs.path());
    EXPECT_THAT(log, Contains("error io_service.run:" + reason));
    EXPECT_THAT(log, Contains("info Exit from version 3.7.3.0, port:" + port));
}

}  // namespace

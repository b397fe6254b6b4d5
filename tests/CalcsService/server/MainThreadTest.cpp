// The calculations service's main thread: start with the library, stop while a request is inside a
// library call, and a port that cannot be bound.
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

class MainThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logging::initLogging(m_logs.str() + "/Logs/Main%Y-%b-%d.log");
        fakeLibrary();
        LibraryEvents::instance().clear();
        sharedIoContext().restart();
    }

    testsupport::TempDir m_logs;
};

TEST_F(MainThreadTest, StopDuringALibraryCallReleasesTheLibraryAfterTheCall) {
    std::thread([] {}).join();  // a sanitizer's runtime starts its own thread along with the first one
    const std::size_t threadsBefore = threadCount();
    const unsigned short portNumber = freePort();
    const std::string port = std::to_string(portNumber);
    std::thread mainThread([&] { serveCalculations(port, "fakecalcscomplete.dll", testSettings()); });

    const auto client = connectWhenListening(portNumber);
    ASSERT_TRUE(client);
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

TEST_F(MainThreadTest, APortInUseEndsTheMainThreadWithTheBindError) {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor taken(io, {boost::asio::ip::make_address_v4("127.0.0.1"), 0});
    const std::string port = std::to_string(taken.local_endpoint().port());
    serveCalculations(port, "nosuchlibrary.dll", testSettings());
    const auto log = testsupport::logMessages(m_logs.path());
    EXPECT_THAT(log, Contains("error io_service.run:bind: Address already in use"));
    EXPECT_THAT(log, Contains("info Exit from version 3.7.3.0, port:" + port));
}

}  // namespace

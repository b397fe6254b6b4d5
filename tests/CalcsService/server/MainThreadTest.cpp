// The calculations service's main thread: start with the library, stop while a request is inside a
// library call, and a port that cannot be had.
#include <stdexcept>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server/MainThread.h"
#include "CalcsService/server/RecordingStartup.h"
#include "CalcsService/server/ServerTestSupport.h"
#include "server/PortNumber.h"
#include "support/Fifo.h"
#include "support/LoopbackConnect.h"
#include "support/ThreadCount.h"

namespace {

using namespace servertest;
using testsupport::connectWhenListening;
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
    RecordingStartup m_startup;
};

// The port the server logged it listens on, once it has (0 when it does not say within the time).
unsigned short loggedPort(const boost::filesystem::path& logs) {
    const std::string prefix = "info listening on 127.0.0.1:";
    unsigned short port = 0;
    testsupport::waitUntil([&] {
        for (const auto& message : testsupport::logMessages(logs))
            if (message.rfind(prefix, 0) == 0)
                port = static_cast<unsigned short>(std::stoi(message.substr(prefix.size())));
        return port != 0;
    });
    return port;
}

// Port 0 takes any free port and logs which one, for the client to find.
TEST_F(MainThreadTest, StopDuringALibraryCallReleasesTheLibraryAfterTheCall) {
    std::thread([] {}).join();  // a sanitizer's runtime starts its own thread along with the first one
    const std::size_t threadsBefore = threadCount();
    const std::string port = "0";
    std::thread mainThread([&] { serveCalculations(port, "fakecalcscomplete.dll", testSettings(), m_startup); });

    const unsigned short portNumber = loggedPort(m_logs.path());
    ASSERT_NE(portNumber, 0);
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

TEST(PortNumberTest, DecimalDigitsUpTo65535AreThePort) {
    EXPECT_EQ(Network::parsePort("0"), 0);
    EXPECT_EQ(Network::parsePort("9999"), 9999);
    EXPECT_EQ(Network::parsePort("65535"), 65535);
    EXPECT_EQ(Network::parsePort("00080"), 80);
}

TEST(PortNumberTest, AnythingElseIsRefusedNamingTheText) {
    for (const std::string text :
         {"", "abc", "65536", "70000", "99999999999999999999", "-1", "+80", " 80", "80 ", "8O", "0x50"}) {
        try {
            Network::parsePort(text);
            ADD_FAILURE() << "\"" << text << "\" was taken as a port";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()), "port \"" + text + "\" is not a port number (0-65535)");
        }
    }
}

// A port text that is not a port number stops the start with its reason, as a port that cannot be
// bound does.
TEST_F(MainThreadTest, APortTextThatIsNotAPortNumberEndsTheMainThreadWithTheReason) {
    serveCalculations("70000", "nosuchlibrary.dll", testSettings(), m_startup);
    const std::string reason = "port \"70000\" is not a port number (0-65535)";
    EXPECT_THAT(m_startup.events(), ElementsAre("failed: " + reason));
    EXPECT_THAT(testsupport::logMessages(m_logs.path()), Contains("error io_service.run:" + reason));
}

// The library is refused at once, as one that cannot be loaded: the server listens without it.
TEST_F(MainThreadTest, AFifoAsTheLibraryIsRefusedAtOnceAndTheServerListens) {
    testsupport::TempDir dir;
    const std::string fifo = (dir.path() / "libfifolibrary.so").string();
    ASSERT_TRUE(testsupport::makeFifo(fifo));
    const std::string library = dir.str() + "/FifoLibrary.dll";
    std::thread mainThread([&] { serveCalculations("0", library.c_str(), testSettings(), m_startup); });
    EXPECT_TRUE(testsupport::finishesWithoutAWriter(fifo, [&] {
        testsupport::waitUntil([&] { return !m_startup.events().empty(); }, std::chrono::seconds(30));
    }));
    stop();
    mainThread.join();
    EXPECT_THAT(m_startup.events(), ElementsAre("listening"));
    EXPECT_THAT(testsupport::logMessages(m_logs.path()),
                Contains("error loading " + library + ": " + fifo + ": not a regular file, refused"));
}

}  // namespace

// The shipped TeskLocalSvc with the real library, on a test port: it accepts a client and frames its
// packets; a port it cannot bind ends it with a failure status.
#include <csignal>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LocalServiceProcess.h"

namespace {

using testsupport::connectWhenListening;
using testsupport::freePort;
using testsupport::makePacket;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

using ServerProcessTest = servertest::LocalServiceProcess;

TEST_F(ServerProcessTest, AcceptsAClientAndKeepsItWhenNoHandlerAnswers) {
    const unsigned short port = freePort();
    auto service = start(port);
    ASSERT_TRUE(testsupport::waitForLogMessage(m_folder.path(), "info CalcDll was loaded from brkcalcslib.dll"));
    const auto client = connectWhenListening(port);
    ASSERT_TRUE(client);
    // A type that no handler serves gets no reply, and the session stays up for the next packet.
    ASSERT_TRUE(client->send(makePacket(9999, 8, {1, 2, 3})));
    EXPECT_FALSE(client->readPacket(std::chrono::milliseconds(500)));
    ASSERT_TRUE(client->send(makePacket(2047, 8)));
    EXPECT_FALSE(client->waitForClose(std::chrono::milliseconds(500)));
    EXPECT_TRUE(testsupport::waitForLogMessage(m_folder.path(), "error unknown packet type received, packetType:2047"));

    ::kill(service->pid(), SIGTERM);
    const int status = service->wait(std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const auto log = testsupport::logMessages(m_folder.path());
    const std::string portText = std::to_string(port);
    EXPECT_THAT(log, Contains("info initializing version 3.7.3.0, port:" + portText + ", dll path: brkcalcslib.dll"));
    EXPECT_THAT(log, Contains("error unknown packet type received, packetType:9999"));
    EXPECT_THAT(log, Contains("info Exit from version 3.7.3.0, port:" + portText));
    // Standard output and error carry only what the console log sink writes: no library name, no log
    // file pattern.
    const std::string output = service->output();
    EXPECT_THAT(output, Not(HasSubstr("brkcalcslib.dll\n")));
    EXPECT_THAT(output, Not(HasSubstr("%Y-%b-%d.log")));
}

TEST_F(ServerProcessTest, APortInUseEndsTheServiceWithAFailureStatus) {
    boost::asio::ip::tcp::acceptor taken(m_io, {boost::asio::ip::make_address_v4("127.0.0.1"), 0});
    auto service = start(taken.local_endpoint().port());
    const int status = service->wait(std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const auto log = testsupport::logMessages(m_folder.path());
    const std::string reason =
        "bind 127.0.0.1:" + std::to_string(taken.local_endpoint().port()) + ": Address already in use";
    EXPECT_THAT(log, Contains("error io_service.run:" + reason));
    EXPECT_EQ(log.back(), "error Main thread has ended before its server listened: " + reason);
}

}  // namespace

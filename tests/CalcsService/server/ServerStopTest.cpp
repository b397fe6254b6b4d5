// The server's end as the service's stop drives it, at the two moments a stop can meet the server: as a
// client is being taken, and once the server is gone while something still holds work on the
// io_context. Its own program: it replaces fcntl to step in at the moment a client is taken.
#include <atomic>
#include <cstdarg>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/server/ServerTestSupport.h"

namespace {

// While set, the io_context to stop and the listening port whose next accepted connection brings the stop.
std::atomic<boost::asio::io_context*> g_stopOnAccept{nullptr};
std::atomic<unsigned short> g_acceptedOnPort{0};

unsigned short localPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET)
        return 0;
    return ntohs(address.sin_port);
}

}  // namespace

// The acceptor makes each connection it takes close-on-exec right before the server sees it: a stop
// armed here comes from outside exactly then, as the service's stop can.
extern "C" int fcntl(int fd, int cmd, ...) {
    va_list args;
    va_start(args, cmd);
    const long argument = va_arg(args, long);
    va_end(args);
    if (cmd == F_SETFD && g_acceptedOnPort != 0 && localPort(fd) == g_acceptedOnPort) {
        g_acceptedOnPort = 0;
        g_stopOnAccept.load()->stop();
    }
    return static_cast<int>(::syscall(SYS_fcntl, fd, cmd, argument));
}

namespace {

using namespace servertest;
using testsupport::ProtocolClient;
using ::testing::ElementsAre;

class ServerStopTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeLibrary();
        ASSERT_TRUE(InitCalcDLL("fakecalcscomplete.dll", (m_libraryLog.str() + "/%Y.log").c_str()));
        LibraryEvents::instance().clear();
    }
    void TearDown() override {
        g_acceptedOnPort = 0;
        g_stopOnAccept = nullptr;
    }

    testsupport::TempDir m_libraryLog;
};

// A stop that has begun before the server sees a new client leaves the client unserved and the session
// being served untouched: the new client neither replaces it nor is counted as accepted.
TEST_F(ServerStopTest, ClientTakenAfterTheStopBeganNeitherStartsNorReplacesTheSession) {
    RunningServer running;
    ProtocolClient served(running.port());
    ASSERT_EQ(echo(served, {1}), testsupport::Bytes{1});

    g_stopOnAccept = &running.io();
    g_acceptedOnPort = running.port();
    ProtocolClient late(running.port());
    EXPECT_TRUE(late.waitForClose());
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return running.countLog("warning the service is stopping, connection closed: ") == 1u; }));
    EXPECT_EQ(g_acceptedOnPort.load(), 0u);  // the stop came as the client was taken

    EXPECT_EQ(running.countLog("info accept connection, use session: "), 1u);
    EXPECT_EQ(running.countLog("warning force to close a previous session: "), 0u);
    EXPECT_EQ(running.countLog("info disconnect: "), 0u);
    EXPECT_TRUE(LibraryEvents::instance().events().empty());

    running.stop();
    EXPECT_EQ(running.countLog("info ------------started: "), 1u);
    EXPECT_THAT(LibraryEvents::instance().events(), ElementsAre("purge", "cleanup"));
}

// Once the server is gone, the io_context stays stopped even while something still holds work on it:
// what is posted afterwards (by a session that outlives the server) never runs.
TEST_F(ServerStopTest, TheIoContextIsLeftStoppedOnceThePendingHandlersHaveRun) {
    RunningServer running;
    ProtocolClient client(running.port());
    ASSERT_EQ(echo(client, {1}), testsupport::Bytes{1});
    auto work = boost::asio::make_work_guard(running.io());

    running.stop();
    EXPECT_TRUE(running.io().stopped());
    bool ran = false;
    boost::asio::post(running.io(), [&ran] { ran = true; });
    EXPECT_EQ(running.io().poll(), 0u);
    EXPECT_FALSE(ran);
}

}  // namespace

// A service executable (TESK_SERVICE_EXE, with TESK_SERVICE_NAME, TESK_MODULE_CLASS and TESK_APP_ID)
// run as it is shipped: from a folder of its own, against a platform root of its own.
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "support/Fifo.h"
#include "support/LogFileName.h"
#include "platform/ServiceLeftRunning.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

namespace {

using namespace platform;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kName = TESK_SERVICE_NAME;
const std::string kModule = TESK_MODULE_CLASS;

class ServiceProcessTest : public ::testing::Test {
protected:
    ServiceProcessTest() : m_program(testsupport::copyProgram(TESK_SERVICE_EXE, m_folder.path(), kName)) {
        // Ephemeral ports: runs in parallel (and a running service) never compete for the shipped ones.
        ::setenv("TESK_TEST_CALCS_PORT", "0", 1);
        ::setenv("TESK_TEST_CTRL_PORT", "0", 1);
    }

    // A service process that a failed case leaves behind would outlive the test.
    void TearDown() override { testsupport::killServiceLeftRunning(kName); }

    // The skeleton's own records in the log, without those the service's main thread writes in between.
    std::vector<std::string> skeletonMessages() const {
        const std::vector<std::string> prefixes = {"info winmain : ", "info current directory: ",
                                                   "info " + kModule + "::", "info Wait for main thread",
                                                   "info Main thread has been stopped", "warning Main thread"};
        std::vector<std::string> kept;
        for (const auto& message : testsupport::logMessages(m_folder.path()))
            for (const auto& prefix : prefixes)
                if (message.rfind(prefix, 0) == 0) {
                    kept.push_back(message);
                    break;
                }
        return kept;
    }

    // The skeleton's records of one run from start to clean stop.
    std::vector<std::string> runMessages(const std::string& args) const {
        return {"info winmain : " + args,
                "info current directory: " + m_folder.str(),
                "info " + kModule + "::PreMessageLoop executed",
                "info " + kModule + "::PostMessageLoop is executing",
                "info Wait for main thread has been stopped",
                "info Main thread has been stopped"};
    }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_folder;
    const std::string m_program;
};

TEST_F(ServiceProcessTest, ServiceSwitchRegistersAndUnregServerRemoves) {
    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);
    std::string value;
    ASSERT_EQ(RegQueryStringValue(RegistryHive::ClassesRoot, std::string("AppID\\") + TESK_APP_ID, "LocalService", value), 0);
    EXPECT_EQ(value, kName);
    ASSERT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\" + kName,
                                  "ImagePath", value), 0);
    EXPECT_EQ(value, "\"" + m_program + "\"");

    ASSERT_EQ(testsupport::runProgram(m_program, {"/unregserver"}).exitCode, 0);
    EXPECT_FALSE(RegKeyExists(RegistryHive::ClassesRoot, std::string("AppID\\") + TESK_APP_ID));
    EXPECT_FALSE(ServiceExists(kName));
    EXPECT_THAT(testsupport::logMessages(m_folder.path()),
                ElementsAre("info winmain : -Service", "info current directory: " + m_folder.str(),
                            "info winmain : /unregserver", "info current directory: " + m_folder.str()));
}

class PlainRunTest : public ServiceProcessTest, public ::testing::WithParamInterface<int> {};

TEST_P(PlainRunTest, StopSignalEndsARunCleanly) {
    testsupport::ChildProgram service(m_program, {"-x", "two words"});
    ASSERT_TRUE(testsupport::waitForLogMessage(m_folder.path(), "info " + kModule + "::PreMessageLoop executed"));
    ::kill(service.pid(), GetParam());
    const int status = service.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(skeletonMessages(), runMessages("-x two words"));
}

INSTANTIATE_TEST_SUITE_P(StopSignals, PlainRunTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP, SIGQUIT));

TEST_F(ServiceProcessTest, ErrorLineToAClosedPipeEndsWithTheExitStatus) {
    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);
    // Run by hand, an installed service refuses on standard error: here a pipe nobody reads.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    char* argv[] = {const_cast<char*>(m_program.c_str()), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, m_program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT & 0xFF);
}

TEST_F(ServiceProcessTest, StopArrivingBeforeTheMessageLoopIsNotLost) {
    testsupport::ChildProgram service(m_program, {});
    // Right after the first record: signals are blocked by then, and the loop is most likely not ready.
    ASSERT_TRUE(testsupport::waitUntil([&] { return !testsupport::logMessages(m_folder.path()).empty(); }));
    ::kill(service.pid(), SIGTERM);
    const int status = service.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(skeletonMessages(), runMessages(""));
}

TEST_F(ServiceProcessTest, RunsAndStopsThroughTheServiceManagerTool) {
    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);
    auto result = testsupport::runProgram(TESKSC, {"start", kName});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("STATE              : 4  RUNNING"));
    const int pid = testsupport::toolPid(result.output);
    EXPECT_TRUE(IsProcessAlive(pid));

    result = testsupport::runProgram(TESKSC, {"query", kName});
    EXPECT_THAT(result.output, HasSubstr("STATE              : 4  RUNNING"));
    EXPECT_EQ(testsupport::toolPid(result.output), pid);

    result = testsupport::runProgram(TESKSC, {"stop", kName});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("STATE              : 1  STOPPED"));
    EXPECT_THAT(result.output, HasSubstr("WIN32_EXIT_CODE    : 0"));
    EXPECT_EQ(WaitForProcessExit(pid, 5000), 0);
    result = testsupport::runProgram(TESKSC, {"stop", kName});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, HasSubstr("(error 1062)"));
    auto messages = skeletonMessages();
    ASSERT_GE(messages.size(), 2u);
    messages.erase(messages.begin(), messages.begin() + 2);  // the records of "-Service"
    EXPECT_EQ(messages, runMessages(""));

    // A service process that dies queries as stopped.
    ASSERT_EQ(testsupport::runProgram(TESKSC, {"start", kName}).exitCode, 0);
    const int second = testsupport::toolPid(testsupport::runProgram(TESKSC, {"query", kName}).output);
    ASSERT_GT(second, 0);
    ::kill(second, SIGKILL);
    ASSERT_EQ(WaitForProcessExit(second, 5000), 0);
    result = testsupport::runProgram(TESKSC, {"query", kName});
    EXPECT_THAT(result.output, HasSubstr("STATE              : 1  STOPPED"));
    EXPECT_THAT(result.output, HasSubstr("WIN32_EXIT_CODE    : 1067"));
}

TEST_F(ServiceProcessTest, PortInUseFailsTheStartAndTheToolSaysWhy) {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor taken(io, {boost::asio::ip::make_address_v4("127.0.0.1"), 0});
    const std::string port = std::to_string(taken.local_endpoint().port());
    ::setenv("TESK_TEST_CALCS_PORT", port.c_str(), 1);
    ::setenv("TESK_TEST_CTRL_PORT", port.c_str(), 1);
    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);

    const std::string reason = "bind 127.0.0.1:" + port + ": Address already in use";
    auto result = testsupport::runProgram(TESKSC, {"start", kName});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_THAT(result.output, Not(HasSubstr("RUNNING")));
    EXPECT_THAT(result.output,
                HasSubstr("tesksc: " + kName + " did not start: it stopped with exit code 1: " + reason));
    result = testsupport::runProgram(TESKSC, {"query", kName});
    EXPECT_THAT(result.output, HasSubstr("STATE              : 1  STOPPED"));
    EXPECT_THAT(result.output, HasSubstr("WIN32_EXIT_CODE    : 1"));
    EXPECT_THAT(testsupport::logMessages(m_folder.path()), Contains("error io_service.run:" + reason));
}

TEST_F(ServiceProcessTest, RelativePlatformRootServesTheToolAndTheService) {
    // Both resolve the root against the folder the tool was started in, although the service runs in "/".
    struct CurrentFolder {
        const boost::filesystem::path saved = boost::filesystem::current_path();
        ~CurrentFolder() { boost::filesystem::current_path(saved); }
    } restore;
    boost::filesystem::current_path(m_root.path().parent_path());
    ::setenv("TESK_PLATFORM_ROOT", m_root.path().filename().c_str(), 1);

    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);
    auto result = testsupport::runProgram(TESKSC, {"start", kName});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("STATE              : 4  RUNNING"));
    result = testsupport::runProgram(TESKSC, {"stop", kName});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("STATE              : 1  STOPPED"));
}

TEST_F(ServiceProcessTest, FifoAsTheDaysLogFileIsRefusedAndTheServiceRunsWithoutIt) {
    boost::filesystem::create_directories(m_folder.path() / "Logs");
    const std::string fifo = (m_folder.path() / "Logs" / testsupport::todaysLogFileName(kName)).string();
    ASSERT_TRUE(testsupport::makeFifo(fifo));

    auto result = testsupport::runProgram(m_program, {"-Service"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("log file " + fifo + " refused: not a regular file"));
    // The service listens, and takes the stop.
    result = testsupport::runProgram(TESKSC, {"start", kName});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("STATE              : 4  RUNNING"));
    result = testsupport::runProgram(TESKSC, {"stop", kName});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("WIN32_EXIT_CODE    : 0"));
}

TEST_F(ServiceProcessTest, StartThatFailedStaysAFailureWhenAStopComesWhileItEnds) {
    ::setenv("TESK_TEST_CALCS_PORT", "abc", 1);
    ::setenv("TESK_TEST_CTRL_PORT", "abc", 1);
    testsupport::ChildProgram service(m_program, {});
    const std::string failure = "error io_service.run:port \"abc\" is not a port number (0-65535)";
    ASSERT_TRUE(testsupport::waitForLogMessage(m_folder.path(), failure));
    // The calculations service then still releases its library.
    ::kill(service.pid(), SIGTERM);
    const int status = service.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace

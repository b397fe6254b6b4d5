// A service whose stop function throws while its main thread still runs.
#include <algorithm>
#include <csignal>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"

namespace {

using ::testing::Contains;
using ::testing::Not;

TEST(FailingService, UnhandledExceptionEndsTheProcessWithAFailureStatus) {
    testsupport::ScopedPlatformRoot root;
    testsupport::TempDir folder;
    const std::string program = testsupport::copyProgram(TESK_FAILING_SERVICE, folder.path(), "TeskFailingSvc");
    testsupport::ChildProgram service(program, {});
    ASSERT_TRUE(testsupport::waitForLogMessage(folder.path(), "info CTeskFailingSvcModule::PreMessageLoop executed"));
    ::kill(service.pid(), SIGTERM);
    // Ends at once even though the main thread still runs: no static destructors under a live thread.
    const int status = service.wait(std::chrono::seconds(10));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    // The record goes on over the lines of Boost's diagnostic text.
    const auto messages = testsupport::logMessages(folder.path());
    const auto record = std::find_if(messages.begin(), messages.end(), [](const std::string& message) {
        return message.rfind("error Unhandled exception!Dynamic exception type:", 0) == 0;
    });
    ASSERT_NE(record, messages.end());
    EXPECT_THAT(std::vector<std::string>(record, messages.end()), Contains("std::exception::what: stop failed"));
    EXPECT_THAT(messages, Not(Contains("info Wait for main thread has been stopped")));
}

}  // namespace

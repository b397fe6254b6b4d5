// The service tool (TESKSC) as an administrator uses it: exit status, and what goes to standard output
// and to standard error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "platform/ServiceLeftRunning.h"
#include "platform/ServiceControl.h"

namespace {

using namespace platform;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// The tool's standard output alone (keep "1") or its standard error alone (keep "2").
testsupport::ProgramResult tool(const std::string& args, char keep) {
    const std::string drop = keep == '1' ? " 2>/dev/null" : " >/dev/null";
    return testsupport::runProgram("/bin/sh", {"-c", std::string(TESKSC) + " " + args + drop});
}

class TeskscTest : public ::testing::Test {
protected:
    void TearDown() override { testsupport::killServiceLeftRunning(m_name); }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_programs;
    std::string m_name = "TeskToolSvc";
};

TEST_F(TeskscTest, HelpGoesToStandardOutputAndWrongUsageToStandardError) {
    auto result = tool("--help", '1');
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.output, StartsWith("usage: tesksc start|stop|query <service name>"));
    result = tool("", '2');
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_THAT(result.output, StartsWith("usage: "));
    result = tool("restart " + m_name, '2');
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_THAT(result.output, StartsWith("tesksc: unknown command 'restart'"));
}

TEST_F(TeskscTest, ErrorsSayWhatFailedOnStandardErrorWithTheNumberAfter) {
    auto result = tool("query TeskNoSvc", '2');
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output,
              "tesksc: cannot query TeskNoSvc: The specified service does not exist as an installed service. "
              "(error 1060)\n");
    EXPECT_THAT(tool("query TeskNoSvc", '1').output, IsEmpty());

    ::setenv("TESK_PLATFORM_ROOT", "/proc/tesk-no-such-root", 1);
    result = tool("query TeskNoSvc", '2');
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, StartsWith("tesksc: platform root /proc/tesk-no-such-root is not writable: "));
}

TEST_F(TeskscTest, QueryExitsZeroOnlyForARunningService) {
    const std::string copy = testsupport::copyProgram(TESK_TEST_SERVICE, m_programs.path(), m_name);
    ASSERT_EQ(testsupport::runProgram(copy, {"-Service"}).exitCode, 0);
    EXPECT_EQ(tool("query " + m_name, '1').exitCode, 3);

    auto result = tool("start " + m_name, '1');
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.output, HasSubstr("STATE              : 4  RUNNING"));
    result = tool("query " + m_name, '1');
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.output, HasSubstr("STATE              : 4  RUNNING"));

    EXPECT_EQ(tool("stop " + m_name, '1').exitCode, 0);
    result = tool("query " + m_name, '1');
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.output, HasSubstr("STATE              : 1  STOPPED"));
    result = tool("stop " + m_name, '2');
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "tesksc: cannot stop " + m_name + ": The service has not been started. (error 1062)\n");
}

TEST_F(TeskscTest, StopFailsWhenTheServiceStopsWithAFailure) {
    const std::string copy = testsupport::copyProgram(TESK_TEST_SERVICE, m_programs.path(), m_name);
    ASSERT_EQ(testsupport::runProgram(copy, {"-Service"}).exitCode, 0);
    ::setenv("TESK_TEST_SERVICE_EXIT_CODE", "3", 1);
    const auto started = tool("start " + m_name, '1');
    ::unsetenv("TESK_TEST_SERVICE_EXIT_CODE");
    ASSERT_EQ(started.exitCode, 0);
    const auto result = tool("stop " + m_name, '2');
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "tesksc: " + m_name + " did not stop cleanly: it stopped with exit code 3: asked to fail\n");
}

TEST_F(TeskscTest, StartFailsWhenTheServiceEndsInsteadOfRunning) {
    ASSERT_EQ(CreateService(m_name, m_name, "\"/bin/true\"", {}), 0);
    const auto result = tool("start " + m_name, '2');
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "tesksc: " + m_name + " did not start: it stopped with exit code 1067\n");
}

}  // namespace

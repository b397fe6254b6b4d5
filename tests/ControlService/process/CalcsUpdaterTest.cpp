#include "process/CalcsUpdater.h"

#include <csignal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "platform/Processes.h"
#include "service/ModuleInfo.h"

namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Le;

class CalcsUpdaterTest : public ::testing::Test {
protected:
    CalcsUpdaterTest() : m_folder(m_dir.path() / "Tesk Service") {
        boost::filesystem::create_directories(m_folder);
        g_strModuleDir = m_folder.string();
        Logging::initLogging(m_log.str() + "/Logs/Unit%Y-%b-%d.log");
        ::setenv("TESK_PROBE_LINGER", "1", 1);
    }
    ~CalcsUpdaterTest() override {
        for (int pid : platform::FindProcessesByName(m_updater))
            ::kill(pid, SIGKILL);
        ::unsetenv("TESK_PROBE_LINGER");
    }

    testsupport::TempDir m_dir;
    testsupport::TempDir m_log;
    const boost::filesystem::path m_folder;
    // The test's string table names an updater unique to this process: the name is looked up machine-wide.
    const std::string m_updater = LoadResourceString(105);
    const std::string m_executable = "\"" + m_folder.string() + "/" + m_updater + "\"";
};

TEST_F(CalcsUpdaterTest, StartsTheUpdaterUnlessItRuns) {
    launchCalcsUpdater(false);
    testsupport::copyProgram(TESK_PROBE, m_folder, m_updater);
    launchCalcsUpdater(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return testsupport::probeReports(m_folder, m_updater).size() == 1; }));
    launchCalcsUpdater(true);

    EXPECT_THAT(testsupport::logMessages(m_log.path()),
                ElementsAre("info " + m_executable + " " + m_executable,
                            "error error, can't launch calcs service autoupdater !2",
                            "info " + m_executable + " " + m_executable + " force",
                            "error calcs service autoupdater process created",
                            "info " + m_executable + " " + m_executable + " force",
                            "warning " + m_updater + " process already has been launched, skip it this time"));
    const auto report = testsupport::probeReports(m_folder, m_updater).at(0);
    EXPECT_THAT(report.args, ElementsAre("force"));
    EXPECT_EQ(report.cwd, m_folder.string());
    EXPECT_THAT(report.fds, Each(Le(2)));
    EXPECT_EQ(platform::FindProcessesByName(m_updater).size(), 1u);
}

}  // namespace

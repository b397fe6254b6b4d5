#include "service/AutoUpdater.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <boost/thread/thread.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "platform/Processes.h"
#include "service/ModuleInfo.h"

namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Le;

class AutoUpdaterTest : public ::testing::Test {
protected:
    AutoUpdaterTest() : m_folder(m_dir.path() / "Tesk Service") {
        boost::filesystem::create_directories(m_folder);
        g_strModuleDir = m_folder.string();
        Logging::initLogging(m_folder.string() + "/Logs/Unit%Y-%b-%d.log");
        ::setenv("TESK_PROBE_LINGER", "1", 1);
    }
    ~AutoUpdaterTest() override {
        killUpdaters();
        ::unsetenv("TESK_PROBE_LINGER");
    }

    void killUpdaters() const {
        for (int pid : platform::FindProcessesByName(m_updater)) {
            ::kill(pid, SIGKILL);
            platform::WaitForProcessExit(pid, 5000);
        }
    }
    std::size_t count(const std::string& message) const {
        const auto messages = testsupport::logMessages(m_folder);
        return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
    }
    std::vector<testsupport::ProbeReport> reports() const { return testsupport::probeReports(m_folder, m_updater); }
    // Runs a launch that finds the updater running on a thread of its own, and cuts its 5 s pause short.
    void launchInterrupted(std::size_t warningsBefore, const std::function<void()>& launch) {
        boost::thread thread(launch);
        EXPECT_TRUE(testsupport::waitUntil([&] { return count(m_skipped) > warningsBefore; }));
        thread.interrupt();
        EXPECT_TRUE(thread.try_join_for(boost::chrono::seconds(2)));
    }

    testsupport::TempDir m_dir;
    const boost::filesystem::path m_folder;
    // The test's string table names an updater unique to this process: the name is looked up machine-wide.
    const std::string m_updater = LoadResourceString(104);
    const std::string m_command = "info \"" + m_folder.string() + "/" + m_updater + "\"";
    const std::string m_skipped = "warning " + m_updater + " process already has been launched, skip it this time";
};

// One case for the whole story: the updater's name is looked up machine-wide, so cases run in one
// process would see each other's updaters.
TEST_F(AutoUpdaterTest, StartsTheUpdaterOnceAtATime) {
    // Missing program: the error carries the number of a missing file.
    launchAutoUpdater(false);
    EXPECT_THAT(testsupport::logMessages(m_folder),
                ElementsAre(m_command, "error error, can't launch autoupdater ! 2"));

    testsupport::copyProgram(TESK_PROBE, m_folder, m_updater);
    // The service's own sockets are not close-on-exec; the updater must not get them.
    const int socketLike = ::open("/dev/null", O_RDONLY);
    EXPECT_FALSE(autoUpdateStep());
    ::close(socketLike);
    EXPECT_EQ(count("info autoupdater process created"), 1u);
    ASSERT_TRUE(testsupport::waitUntil([&] { return reports().size() == 1; }));
    EXPECT_THAT(reports()[0].args, IsEmpty());
    EXPECT_EQ(reports()[0].cwd, m_folder.string());
    EXPECT_THAT(reports()[0].fds, Each(Le(2)));
    EXPECT_EQ(reports()[0].blockedSignals, "0000000000000000");
    EXPECT_TRUE(isProcessRunning());

    // Running already: a forced launch only warns.
    launchInterrupted(0, [] { startAutoUpdate(true); });
    EXPECT_EQ(count(m_command + " force"), 1u);
    EXPECT_EQ(platform::FindProcessesByName(m_updater).size(), 1u);
    EXPECT_EQ(reports().size(), 1u);

    killUpdaters();
    EXPECT_FALSE(isProcessRunning());
    startAutoUpdate(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return reports().size() == 2; }));
    const auto all = reports();
    EXPECT_TRUE(all[0].args == std::vector<std::string>{"force"} || all[1].args == std::vector<std::string>{"force"});
    EXPECT_EQ(count("info autoupdater process created"), 2u);

    // Two launches at the same moment: one starts the updater, the other finds it running.
    killUpdaters();
    std::atomic<int> ready{0};
    auto racer = [&] {
        ++ready;
        while (ready < 2) {
        }
        autoUpdateStep();
    };
    boost::thread first(racer), second(racer);
    EXPECT_TRUE(testsupport::waitUntil([&] { return count(m_skipped) == 2; }));
    first.interrupt();
    second.interrupt();
    first.join();
    second.join();
    EXPECT_EQ(count("info autoupdater process created"), 3u);
    EXPECT_EQ(platform::FindProcessesByName(m_updater).size(), 1u);
}

}  // namespace

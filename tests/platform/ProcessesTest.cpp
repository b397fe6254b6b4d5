#include "platform/Processes.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/algorithm/string/case_conv.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "support/OwnName.h"

namespace {

using namespace platform;
using testsupport::TempDir;
using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Le;
using ::testing::Not;

// Probes keep running until killed; killing the survivors keeps one case from leaking into the next.
class ProcessesTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("TESK_PROBE_LINGER", "1", 1); }
    void TearDown() override {
        for (int pid : m_started)
            ::kill(pid, SIGKILL);
        ::unsetenv("TESK_PROBE_LINGER");
    }

    int spawnProbe(const std::string& program, const std::vector<std::string>& args) {
        int pid = 0;
        EXPECT_EQ(SpawnDetached(program, args, m_dir.str(), pid), 0);
        m_started.push_back(pid);
        return pid;
    }

    std::vector<testsupport::ProbeReport> waitForReports(const std::string& name, std::size_t count = 1) {
        testsupport::waitUntil([&] { return testsupport::probeReports(m_dir.path(), name).size() >= count; });
        return testsupport::probeReports(m_dir.path(), name);
    }

    TempDir m_dir;
    std::vector<int> m_started;
};

TEST_F(ProcessesTest, SpawnPassesArgumentsAndFolderAndNothingElse) {
    const std::string probe = testsupport::copyProgram(TESK_PROBE, m_dir.path(), "probe");
    // What a service holds when it starts an updater: a descriptor without close-on-exec (Asio's
    // sockets), a blocked signal, an ignored one.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GT(leaked, 2);
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    auto previousHup = std::signal(SIGHUP, SIG_IGN);

    spawnProbe(probe, {"force", "two words"});

    std::signal(SIGHUP, previousHup);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(leaked);

    const auto reports = waitForReports("probe");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_THAT(reports[0].args, ElementsAre("force", "two words"));
    EXPECT_EQ(reports[0].cwd, m_dir.str());
    EXPECT_THAT(reports[0].fds, Each(Le(2)));
    EXPECT_EQ(reports[0].blockedSignals, "0000000000000000");
    EXPECT_EQ(reports[0].ignoredSignals, "0000000000000000");
}

TEST_F(ProcessesTest, SpawnedProgramIsDetachedAndLeavesNoZombie) {
    const int pid = spawnProbe(TESK_PROBE, {});
    waitForReports("tesk_probe");
    EXPECT_TRUE(IsProcessAlive(pid));
    // Not our child: nothing for us to reap, now or when it ends.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_NE(::getsid(pid), ::getsid(0));
    ::kill(pid, SIGTERM);
    EXPECT_EQ(WaitForProcessExit(pid, 10000), 0);
    EXPECT_FALSE(IsProcessAlive(pid));
}

TEST_F(ProcessesTest, SpawnFailuresReportErrno) {
    int pid = 0;
    EXPECT_EQ(SpawnDetached(m_dir.str() + "/missing.exe", {}, m_dir.str(), pid), ENOENT);
    EXPECT_EQ(ENOENT, 2);  // the Windows number of a missing file, which the logs show
    const std::string notExecutable = (m_dir.path() / "data.txt").string();
    std::ofstream(notExecutable) << "x";
    EXPECT_EQ(SpawnDetached(notExecutable, {}, m_dir.str(), pid), EACCES);
    EXPECT_EQ(SpawnDetached(TESK_PROBE, {}, m_dir.str() + "/no-such-folder", pid), ENOENT);
    EXPECT_EQ(pid, 0);
    EXPECT_TRUE(testsupport::probeReports(m_dir.path(), "tesk_probe").empty());
}

TEST_F(ProcessesTest, ProcessesAreFoundByTheirWholeExecutableName) {
    // Looked up among all the machine's processes: the name is this run's own.
    const std::string name = testsupport::ownName("tesk_probe_with_a_long_name", ".exe");
    const int pid = spawnProbe(testsupport::copyProgram(TESK_PROBE, m_dir.path(), name), {});
    waitForReports(name);
    EXPECT_THAT(FindProcessesByName(name), ElementsAre(pid));
    const std::vector<ProcessHandle> opened = OpenProcessesByName(name);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].Pid(), pid);
    EXPECT_THAT(FindProcessesByName(name.substr(0, 15)), Not(Contains(pid)));
    EXPECT_THAT(FindProcessesByName(boost::algorithm::to_upper_copy(name)), Not(Contains(pid)));
    // A replaced or deleted program is still found under its path, without the kernel's " (deleted)".
    const std::string path = (m_dir.path() / name).string();
    FileIdentity before, after;
    ASSERT_EQ(ProcessExeIdentity(pid, before), 0);
    boost::filesystem::remove(path);
    EXPECT_EQ(ProcessExePath(pid), path);
    EXPECT_THAT(FindProcessesByName(name), ElementsAre(pid));
    ASSERT_EQ(ProcessExeIdentity(pid, after), 0);
    EXPECT_TRUE(after == before);
    ::kill(pid, SIGTERM);
    ASSERT_EQ(WaitForProcessExit(pid, 10000), 0);
    EXPECT_TRUE(FindProcessesByName(name).empty());
    EXPECT_TRUE(OpenProcessesByName(name).empty());
    EXPECT_EQ(ProcessExeIdentity(pid, after), ESRCH);
}

TEST_F(ProcessesTest, WaitForExitTimesOutOnARunningProcess) {
    const int pid = spawnProbe(TESK_PROBE, {});
    waitForReports("tesk_probe");
    EXPECT_EQ(WaitForProcessExit(pid, 50), ETIMEDOUT);
    EXPECT_TRUE(IsProcessAlive(pid));
}

TEST_F(ProcessesTest, StartTimeTellsAReusedPidApart) {
    const auto own = ProcessStartTime(::getpid());
    ASSERT_GT(own, 0u);
    EXPECT_TRUE(IsProcessAlive(::getpid(), own));
    EXPECT_FALSE(IsProcessAlive(::getpid(), own + 1));
    EXPECT_EQ(ProcessStartTime(0), 0u);
    EXPECT_FALSE(IsProcessAlive(0));
}

TEST_F(ProcessesTest, ModulePathHasNoLengthLimit) {
    auto folder = m_dir.path();
    for (int level = 0; level < 12; ++level)
        folder /= std::string(100, static_cast<char>('a' + level));
    boost::filesystem::create_directories(folder);
    const std::string copy = testsupport::copyProgram(TESK_PROBE, folder, "deep_probe");
    ASSERT_GT(copy.size(), 1200u);
    spawnProbe(copy, {});
    const auto reports = waitForReports("deep_probe");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].exe, copy);
}

}  // namespace

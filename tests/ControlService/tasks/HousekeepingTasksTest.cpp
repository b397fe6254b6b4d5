// The passes of the log cleanup, the registry cleanup and the calculations-service watcher.
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "service/ModuleInfo.h"
#include "support/LinkSwapper.h"
#include "tasks/CheckLocalSvc.h"
#include "tasks/CheckRegistryTask.h"
#include "tasks/CleanLogsTask.h"

namespace {

namespace fs = boost::filesystem;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const std::time_t kDay = 86400;

class HousekeepingTasksTest : public ::testing::Test {
protected:
    HousekeepingTasksTest() {
        g_strModuleDir = m_module.str();
        Logging::initLogging(m_log.str() + "/Logs/Unit%Y-%b-%d.log");
    }

    std::vector<std::string> messages() const { return testsupport::logMessages(m_log.path()); }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_module;  // the service's folder, with its Logs
    testsupport::TempDir m_log;     // the test's own log
};

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        found.push_back(entry.path().filename().string());
    return found;
}

TEST_F(HousekeepingTasksTest, LogCleanupDeletesOnlyLogsFromTwentyOneDaysBackOn) {
    const fs::path logs = m_module.path() / "Logs";
    tasks::CleanLogsTask().execute();  // no Logs folder yet
    fs::create_directories(logs / "TeskOld.log");  // a folder named like a log
    for (const char* name : {"TeskLocalSvc2026-Nov-01.log", "TeskCtrlSvc2026-Nov-01.log", "Other.log",
                             "TeskLocalSvc2026-Nov-01.txt"})
        std::ofstream(logs / name) << "line\n";
    const std::time_t created = std::time(nullptr);
    const std::string check = "info check logs: " + logs.string() + "/Tesk*.log";

    tasks::CleanLogsTask([&] { return created + 20 * kDay; }).execute();
    EXPECT_EQ(names(logs).size(), 5u);

    tasks::CleanLogsTask([&] { return created + 21 * kDay; }).execute();
    EXPECT_THAT(names(logs), UnorderedElementsAre("TeskOld.log", "Other.log", "TeskLocalSvc2026-Nov-01.txt"));
    const auto logged = messages();
    ASSERT_EQ(logged.size(), 5u);
    EXPECT_EQ(logged[0], check);
    EXPECT_EQ(logged[1], check);
    EXPECT_EQ(logged[2], check);
    EXPECT_THAT(std::vector<std::string>(logged.begin() + 3, logged.end()),
                UnorderedElementsAre("info Delete log file:" + (logs / "TeskLocalSvc2026-Nov-01.log").string(),
                                     "info Delete log file:" + (logs / "TeskCtrlSvc2026-Nov-01.log").string()));
}

// Logs as a link, there from the start or swapped in again and again while the cleanup runs: the files
// where it points, named and aged like old logs, stay.
TEST_F(HousekeepingTasksTest, LogCleanupNeverEntersALinkInPlaceOfLogs) {
    const fs::path logs = m_module.path() / "Logs";
    testsupport::TempDir outside;
    const auto makeOutsideLog = [&] { std::ofstream((outside.path() / "TeskLocalSvc2026-Nov-01.log").string()) << "x"; };
    makeOutsideLog();
    const std::time_t later = std::time(nullptr) + 30 * kDay;
    fs::create_directory_symlink(outside.path(), logs);
    tasks::CleanLogsTask([&] { return later; }).execute();
    EXPECT_EQ(names(outside.path()), std::vector<std::string>{"TeskLocalSvc2026-Nov-01.log"});
    EXPECT_THAT(messages(), ElementsAre("info check logs: " + logs.string() + "/Tesk*.log",
                                        "error can't search log folder:" + logs.string() + " 40"));

    fs::remove(logs);
    fs::create_directory(logs);
    // The real folder, whichever name it has at the moment: a log to delete in it before each pass.
    const int real = ::open(logs.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(real, 0);
    const char* const inside = "TeskCtrlSvc2026-Nov-01.log";
    testsupport::LinkSwapper swapper(logs, outside.path());
    const auto step = [&] {
        ::close(::openat(real, inside, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        tasks::CleanLogsTask([&] { return later; }).execute();
        struct stat info {};
        return ::fstatat(real, inside, &info, 0) != 0;
    };
    const auto reachedOutside = [&] {
        const bool untouched = names(outside.path()) == std::vector<std::string>{"TeskLocalSvc2026-Nov-01.log"};
        if (!untouched) {
            for (const auto& entry : fs::directory_iterator(outside.path()))
                fs::remove(entry.path());
            makeOutsideLog();
        }
        return !untouched;
    };
    EXPECT_EQ(testsupport::linksFollowed(swapper, step, reachedOutside), 0);
    ::close(real);
}

TEST_F(HousekeepingTasksTest, UninstallKeyIsRemovedOnceAndOnlyAsALeaf) {
    using platform::RegistryHive;
    // The client's uninstall registration as the installer writes it, not as the task names it.
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TESK";
    ASSERT_EQ(platform::RegSetStringValue(RegistryHive::LocalMachine, key, "DisplayName", "TESK"), 0);
    tasks::CheckRegistryTask task;
    task.execute();
    task.execute();
    EXPECT_FALSE(platform::RegKeyExists(RegistryHive::LocalMachine, key));
    EXPECT_THAT(messages(), ElementsAre("info found TESK instance in registry and removed it"));

    ASSERT_EQ(platform::RegCreateKey(RegistryHive::LocalMachine, key + "\\Sub"), 0);
    task.execute();
    EXPECT_TRUE(platform::RegKeyExists(RegistryHive::LocalMachine, key + "\\Sub"));
    EXPECT_EQ(messages().size(), 1u);
}

TEST_F(HousekeepingTasksTest, WatcherLogsEachStateChangeAndEachErrorCodeOnce) {
    const std::string name = LoadResourceString(108);
    tasks::CheckLocalSvc watcher;
    watcher.execute();
    watcher.execute();
    ASSERT_EQ(platform::CreateService(name, name, "\"/bin/true\"", {}), 0);
    watcher.execute();
    watcher.execute();
    platform::ServiceStatus status;
    status.currentState = platform::SERVICE_RUNNING;
    ASSERT_EQ(platform::SetServiceStatus(name, status), 0);  // this process stands in for the service
    watcher.execute();
    status.currentState = platform::SERVICE_STOP_PENDING;
    ASSERT_EQ(platform::SetServiceStatus(name, status), 0);
    watcher.execute();
    watcher.execute();
    // The same failure as the one logged first is not logged again. Only a stopped service is removed.
    status.currentState = platform::SERVICE_STOPPED;
    ASSERT_EQ(platform::SetServiceStatus(name, status), 0);
    ASSERT_EQ(platform::DeleteService(name), 0);
    watcher.execute();
    EXPECT_THAT(messages(), ElementsAre("error CheckLocalSvc: OpenService failed 1060",
                                        "info Calculation service status is SERVICE_STOPPED",
                                        "info Calculation service status is SERVICE_RUNNING",
                                        "info Calculation service status is SERVICE_STOP_PENDING"));
}

TEST_F(HousekeepingTasksTest, WatcherLogsWhyTheServiceCannotBeLookedUp) {
    std::ofstream((m_root.path() / "registry").string()) << "not a folder\n";
    tasks::CheckLocalSvc watcher;
    watcher.execute();
    watcher.execute();
    EXPECT_THAT(messages(), ElementsAre("error CheckLocalSvc: OpenService failed 20"));
}

}  // namespace

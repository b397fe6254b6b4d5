#include "platform/ServiceControl.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ModulePath.h"
#include "platform/PlatformTestSupport.h"
#include "platform/ServiceLeftRunning.h"
#include "platform/ServiceModule.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "support/OwnName.h"

namespace {

using namespace platform;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// "exeDevice=...\nexeInode=...\n" of the file at path, for records written by hand.
std::string fileIdentityLines(const std::string& path) {
    struct stat file {};
    EXPECT_EQ(::stat(path.c_str(), &file), 0) << path;
    return "exeDevice=" + std::to_string(file.st_dev) + "\nexeInode=" + std::to_string(file.st_ino) + "\n";
}

// Drops CAP_SYS_PTRACE from this process's effective capabilities: it may then inspect no process that
// is not dumpable, as an ordinary user may not inspect another's.
bool dropPtraceCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    data[CAP_SYS_PTRACE / 32].effective &= ~(1u << (CAP_SYS_PTRACE % 32));
    return ::syscall(SYS_capset, &header, data) == 0;
}

// Copies of the test service program in a folder of their own: each copy is a service named after it.
class ServiceControlTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& name : m_installed)
            testsupport::killServiceLeftRunning(name);
    }

    // Installs a copy through its own "Service" switch.
    std::string install(const std::string& name) {
        const std::string copy = testsupport::copyProgram(TESK_TEST_SERVICE, m_programs.path(), name);
        const auto result = testsupport::runProgram(copy, {"-Service"});
        EXPECT_EQ(result.exitCode, 0) << result.output;
        m_installed.push_back(name);
        return copy;
    }

    ServiceStatus query(const std::string& name) {
        ServiceStatus status;
        EXPECT_EQ(QueryServiceStatus(name, status), 0);
        return status;
    }

    bool reaches(const std::string& name, unsigned state) {
        return testsupport::waitUntil([&] { return query(name).currentState == state; });
    }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_programs;
    std::vector<std::string> m_installed;
};

TEST_F(ServiceControlTest, UnknownServiceIsNotInstalled) {
    ServiceStatus status;
    std::vector<std::string> dependents;
    EXPECT_EQ(QueryServiceStatus("TeskNoSvc", status), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(StartService("TeskNoSvc"), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(ControlStopService("TeskNoSvc", status), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(EnumDependentServices("TeskNoSvc", dependents), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(DeleteService("TeskNoSvc"), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(StartService("../etc"), ERROR_INVALID_NAME);
}

TEST_F(ServiceControlTest, StartRunsTheServiceAndStopEndsItThroughSigterm) {
    // A name of this run's own: processes are looked up machine-wide, where other cases and other runs
    // of the suite have theirs.
    const std::string kName = testsupport::ownName("TeskStartStopSvc");
    install(kName);
    EXPECT_EQ(query(kName).currentState, SERVICE_STOPPED);

    ASSERT_EQ(StartService(kName), 0);
    ASSERT_TRUE(reaches(kName, SERVICE_RUNNING));
    std::string lowerName = kName;
    std::transform(lowerName.begin(), lowerName.end(), lowerName.begin(), ::tolower);
    const int pid = query(lowerName).processId;  // service names ignore case
    EXPECT_TRUE(IsProcessAlive(pid));
    EXPECT_THAT(FindProcessesByName(kName), ElementsAre(pid));
    EXPECT_EQ(StartService(kName), ERROR_SERVICE_ALREADY_RUNNING);
    EXPECT_EQ(DeleteService(kName), ERROR_SERVICE_ALREADY_RUNNING);

    ServiceStatus status;
    ASSERT_EQ(ControlStopService(kName, status), 0);
    EXPECT_TRUE(status.currentState == SERVICE_STOP_PENDING || status.currentState == SERVICE_STOPPED);
    ASSERT_TRUE(reaches(kName, SERVICE_STOPPED));
    status = query(kName);
    EXPECT_EQ(status.win32ExitCode, 0u);
    EXPECT_EQ(status.processId, 0);
    EXPECT_EQ(WaitForProcessExit(pid, 10000), 0);
    EXPECT_EQ(ControlStopService(kName, status), ERROR_SERVICE_NOT_ACTIVE);

    // Stopped services start again.
    ASSERT_EQ(StartService(kName), 0);
    EXPECT_TRUE(reaches(kName, SERVICE_RUNNING));
    // Given no time to leave SERVICE_RUNNING, the stop fails, though the service takes it.
    EXPECT_EQ(ControlStopService(kName, status, std::chrono::milliseconds(0)), ERROR_SERVICE_REQUEST_TIMEOUT);
    EXPECT_TRUE(reaches(kName, SERVICE_STOPPED));
}

TEST_F(ServiceControlTest, ServiceKeepsRunningThroughARenamedReplacedOrDeletedProgramOrFolder) {
    const std::string kName = testsupport::ownName("TeskRenamedSvc");
    const auto folder = m_programs.path() / "install", moved = m_programs.path() / "moved";
    std::filesystem::create_directories(folder.string());
    const std::string program = testsupport::copyProgram(TESK_TEST_SERVICE, folder, kName);
    ASSERT_EQ(testsupport::runProgram(program, {"-Service"}).exitCode, 0);
    m_installed.push_back(kName);
    ASSERT_EQ(StartService(kName), 0);
    ASSERT_TRUE(reaches(kName, SERVICE_RUNNING));
    const int pid = query(kName).processId;

    struct Step {
        const char* name;
        std::function<void()> change;
    };
    const Step steps[] = {
        // As an updater does: the running program renamed aside, the new one copied in.
        {"renamed aside and replaced",
         [&] {
             std::filesystem::rename(program, program + ".old");
             testsupport::copyProgram(TESK_TEST_SERVICE, folder, kName);
         }},
        {"folder renamed", [&] { std::filesystem::rename(folder.string(), moved.string()); }},
        {"program deleted", [&] { std::filesystem::remove((moved / (kName + ".old")).string()); }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        const ServiceStatus status = query(kName);
        EXPECT_EQ(status.currentState, SERVICE_RUNNING);
        EXPECT_EQ(status.processId, pid);
    }
    // And it is still the one its removal stops.
    const auto removal = testsupport::runProgram((moved / kName).string(), {"-UnregServer"});
    EXPECT_EQ(removal.exitCode, 0);
    EXPECT_EQ(removal.output, kName + ": unregistered; the running service was stopped and removed\n");
    EXPECT_FALSE(IsProcessAlive(pid));
}

TEST_F(ServiceControlTest, ProcessThatCannotBeInspectedLeavesTheStateUnknownAndIsNeitherRewrittenNorSignalled) {
    // A child of this test that others may not inspect, named by a true record of a service installed to
    // run this test's program.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t hidden = ::fork();
    if (hidden == 0) {
        ::prctl(PR_SET_DUMPABLE, 0);
        ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(hidden, 0);
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    const std::string self = ModulePath();
    // Should a fault let a start through, the copy it starts runs no test (and so starts no copy itself).
    ASSERT_EQ(CreateService("TeskHiddenSvc", "TeskHiddenSvc", "\"" + self + "\" --gtest_filter=-*", {}), 0);
    ASSERT_EQ(OpenServiceManager(), 0);
    const auto recordFile = m_root.path() / "services" / "teskhiddensvc.status";
    const std::string record = "state=4\npid=" + std::to_string(hidden) +
                               "\nstartTime=" + std::to_string(ProcessStartTime(hidden)) + "\nexe=" + self + "\n" +
                               fileIdentityLines(self);
    std::ofstream(recordFile) << record;

    // What each caller gets, from a process without the right to inspect it.
    int results[5] = {-1, -1, -1, -1, -1};
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t inspector = ::fork();
    if (inspector == 0) {
        int got[5] = {-1, -1, -1, -1, -1};
        if (dropPtraceCapability()) {
            ServiceStatus status;
            got[0] = QueryServiceStatus("TeskHiddenSvc", status);
            got[1] = ControlStopService("TeskHiddenSvc", status);
            got[2] = StartService("TeskHiddenSvc");
            got[3] = DeleteService("TeskHiddenSvc");
            CServiceModule module("TeskHiddenSvc", "{TeskHiddenSvc}");
            got[4] = module.WinMain({"-UnregServer"});
        }
        ::write(report[1], got, sizeof got);
        ::_exit(0);
    }
    ASSERT_GT(inspector, 0);
    ::close(report[1]);
    EXPECT_EQ(::read(report[0], results, sizeof results), static_cast<ssize_t>(sizeof results));
    ::close(report[0]);
    ::waitpid(inspector, nullptr, 0);

    EXPECT_THAT(results, ElementsAre(EACCES, EACCES, EACCES, EACCES, EXIT_FAILURE));
    std::ifstream recordNow(recordFile.string());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(recordNow), std::istreambuf_iterator<char>()), record);
    EXPECT_TRUE(ServiceExists("TeskHiddenSvc"));
    EXPECT_EQ(::waitpid(hidden, nullptr, WNOHANG), 0) << "the process was signalled";
    ::kill(hidden, SIGKILL);
    ::waitpid(hidden, nullptr, 0);
}

TEST_F(ServiceControlTest, NoStartOutlivesTheRemovalItRaces) {
    const std::string kName = testsupport::ownName("TeskRacedSvc");
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        const std::string program = install(kName);
        ASSERT_EQ(StartService(kName), 0);
        ASSERT_TRUE(reaches(kName, SERVICE_RUNNING));
        testsupport::ChildProgram removal(program, {"-UnregServer"});
        int ended;
        while ((ended = removal.wait(std::chrono::milliseconds(0))) == -1) {
            const int started = StartService(kName);
            EXPECT_TRUE(started == 0 || started == ERROR_SERVICE_ALREADY_RUNNING ||
                        started == ERROR_SERVICE_MARKED_FOR_DELETE || started == ERROR_SERVICE_DOES_NOT_EXIST)
                << started;
        }
        EXPECT_EQ(ended, 0) << removal.output();
        EXPECT_FALSE(ServiceExists(kName));
        const std::vector<int> left = FindProcessesByName(kName);
        EXPECT_THAT(left, IsEmpty()) << "a process of the removed service still runs";
        for (const int pid : left)
            ::kill(pid, SIGKILL);
    }
}

TEST_F(ServiceControlTest, PendingServiceCannotBeStoppedAndMissingBinaryCannotStart) {
    // The probe never reports running, so its service stays start-pending while it lives.
    ::setenv("TESK_PROBE_LINGER", "1", 1);
    ASSERT_EQ(CreateService("TeskProbeSvc", "TeskProbeSvc", "\"" TESK_PROBE "\" x", {}), 0);
    EXPECT_EQ(CreateService("teskprobesvc", "x", "\"" TESK_PROBE "\"", {}), ERROR_SERVICE_EXISTS);
    ASSERT_EQ(StartService("TeskProbeSvc"), 0);
    ::unsetenv("TESK_PROBE_LINGER");
    ServiceStatus status = query("TeskProbeSvc");
    EXPECT_EQ(status.currentState, SERVICE_START_PENDING);
    EXPECT_EQ(ControlStopService("TeskProbeSvc", status), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    ::kill(status.processId, SIGKILL);
    ASSERT_EQ(WaitForProcessExit(status.processId, 10000), 0);
    EXPECT_EQ(query("TeskProbeSvc").currentState, SERVICE_STOPPED);
    ASSERT_EQ(DeleteService("TeskProbeSvc"), 0);
    EXPECT_FALSE(ServiceExists("TeskProbeSvc"));

    ASSERT_EQ(CreateService("TeskGhostSvc", "TeskGhostSvc", "\"/no/such/TeskGhostSvc\"", {}), 0);
    EXPECT_EQ(StartService("TeskGhostSvc"), 2);
    EXPECT_EQ(query("TeskGhostSvc").currentState, SERVICE_STOPPED);
}

TEST_F(ServiceControlTest, RecordNamesAProcessOnlyWithItsStartTimeItsFileAndItsOwnService) {
    // A process of this test's own stands where the record points; TeskForgedSvc is installed to run it.
    testsupport::ChildProgram other("/bin/sleep", {"60"});
    ASSERT_GT(other.pid(), 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return ProcessExePath(other.pid()).find("sleep") != std::string::npos; }));
    const std::string pid = std::to_string(other.pid()), started = std::to_string(ProcessStartTime(other.pid()));
    const std::string sleepFile = fileIdentityLines("/bin/sleep");
    ASSERT_EQ(CreateService("TeskForgedSvc", "TeskForgedSvc", "\"/bin/sleep\" 60", {}), 0);
    ASSERT_EQ(CreateService("TeskOtherSvc", "TeskOtherSvc", "\"/bin/true\"", {}), 0);
    ASSERT_EQ(OpenServiceManager(), 0);
    const std::string named = "state=4\npid=" + pid + "\nstartTime=";
    struct Case {
        const char* name;
        std::string record;
        bool isTheService;
        const char* service = "TeskForgedSvc";
    };
    const Case cases[] = {
        {"no start time", "state=4\npid=" + pid + "\nexe=/bin/sleep\n" + sleepFile, false},
        {"start time 0", named + "0\nexe=/bin/sleep\n" + sleepFile, false},
        {"another start time", named + "1" + started + "\nexe=/bin/sleep\n" + sleepFile, false},
        {"another file", named + started + "\nexe=/bin/sleep\n" + fileIdentityLines(TESK_PROBE), false},
        {"written for another program", named + started + "\nexe=/opt/TeskForgedSvc\n" + sleepFile, false},
        {"copied from another service", named + started + "\nexe=/bin/sleep\n" + sleepFile, false, "TeskOtherSvc"},
        {"the service's own", named + started + "\nexe=/bin/sleep\n" + sleepFile, true},
        // Written before records named the file: the installed program's file stands for it.
        {"no file named", named + started + "\n", true},
        {"no file named, another installed", named + started + "\n", false, "TeskOtherSvc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = c.service;
        std::transform(file.begin(), file.end(), file.begin(), ::tolower);
        std::ofstream(m_root.path() / "services" / (file + ".status")) << c.record;
        ServiceStatus status = query(c.service);
        EXPECT_EQ(status.currentState, c.isTheService ? SERVICE_RUNNING : SERVICE_STOPPED);
        if (c.isTheService)
            continue;
        EXPECT_EQ(status.win32ExitCode, static_cast<unsigned>(ERROR_PROCESS_ABORTED));
        EXPECT_EQ(ControlStopService(c.service, status), ERROR_SERVICE_NOT_ACTIVE);
        EXPECT_EQ(other.wait(std::chrono::milliseconds(0)), -1) << "the process was signalled";
    }
}

TEST_F(ServiceControlTest, ActiveDependentsAreListed) {
    install("TeskTestSvc");
    const std::string dependent = testsupport::copyProgram(TESK_TEST_SERVICE, m_programs.path(), "TeskDepSvc");
    ASSERT_EQ(CreateService("TeskDepSvc", "TeskDepSvc", "\"" + dependent + "\"", {"RPCSS", "tesktestsvc"}), 0);
    ASSERT_EQ(RegSetStringValue(RegistryHive::ClassesRoot, "AppID\\{TeskDepSvc}", "LocalService", "TeskDepSvc"), 0);
    m_installed.push_back("TeskDepSvc");

    std::vector<std::string> dependents{"stale"};
    ASSERT_EQ(EnumDependentServices("TeskTestSvc", dependents), 0);
    EXPECT_TRUE(dependents.empty());
    ASSERT_EQ(StartService("TeskDepSvc"), 0);
    ASSERT_TRUE(reaches("TeskDepSvc", SERVICE_RUNNING));
    ASSERT_EQ(EnumDependentServices("TeskTestSvc", dependents), 0);
    EXPECT_THAT(dependents, ElementsAre("TeskDepSvc"));
}

}  // namespace

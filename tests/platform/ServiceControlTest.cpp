#include "platform/ServiceControl.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "platform/ServiceLeftRunning.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "support/OwnName.h"

namespace {

using namespace platform;
using ::testing::ElementsAre;

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

TEST_F(ServiceControlTest, RecordThatDoesNotConfirmItsProcessNamesNone) {
    // A process of this test's own stands where the record points; the service is installed to run it.
    testsupport::ChildProgram other("/bin/sleep", {"60"});
    ASSERT_GT(other.pid(), 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return ProcessExePath(other.pid()).find("sleep") != std::string::npos; }));
    const std::string pid = std::to_string(other.pid()), started = std::to_string(ProcessStartTime(other.pid()));
    const std::string sleepPath = std::filesystem::canonical("/bin/sleep").string();
    ASSERT_EQ(CreateService("TeskForgedSvc", "TeskForgedSvc", "\"/bin/sleep\" 60", {}), 0);
    ASSERT_EQ(CreateService("TeskOtherSvc", "TeskOtherSvc", "\"/bin/true\"", {}), 0);
    ASSERT_EQ(OpenServiceManager(), 0);
    struct Case {
        const char* name;
        std::string record;
        bool isTheService;
        const char* service = "TeskForgedSvc";
    };
    const Case cases[] = {
        {"no start time", "state=4\npid=" + pid + "\nexe=" + sleepPath + "\n", false},
        {"start time 0", "state=4\npid=" + pid + "\nstartTime=0\nexe=" + sleepPath + "\n", false},
        {"another start time", "state=4\npid=" + pid + "\nstartTime=1" + started + "\nexe=" + sleepPath + "\n", false},
        {"another executable", "state=4\npid=" + pid + "\nstartTime=" + started + "\nexe=/opt/TeskForgedSvc\n", false},
        // Written before records named their executable: the installed program stands for it.
        {"no executable named", "state=4\npid=" + pid + "\nstartTime=" + started + "\n", true},
        {"no executable named, another installed", "state=4\npid=" + pid + "\nstartTime=" + started + "\n", false,
         "TeskOtherSvc"},
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

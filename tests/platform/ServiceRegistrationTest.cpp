// The registration switches of a service executable run as an administrator runs them: each prints one
// line saying what it did, and a running service is removed only once its process has ended. The service
// here takes 3 s to stop after its message loop.
#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "platform/ServiceLeftRunning.h"
#include "platform/Processes.h"
#include "platform/ServiceControl.h"

namespace {

using namespace platform;

const std::string kName = "TeskSlowSvc";

// What one step does to the service as it stands, and the one line it prints.
struct RegistrationStep {
    const char* name;
    bool startFirst;  // the service is started before the switch runs
    const char* option;
    const char* line;  // after "<name>: "
    bool installedAfter;
};

class ServiceRegistrationTest : public ::testing::Test {
protected:
    ServiceRegistrationTest() : m_program(testsupport::copyProgram(TESK_SLOW_STOP_SERVICE, m_folder.path(), kName)) {}

    void TearDown() override { testsupport::killServiceLeftRunning(kName); }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_folder;
    const std::string m_program;
};

TEST_F(ServiceRegistrationTest, EachSwitchSaysWhatItDidAndRemovesARunningServiceOnlyOnceItStopped) {
    const RegistrationStep steps[] = {
        {"first install", false, "-Service", "installed as a service", true},
        {"reinstall while it runs", true, "-Service",
         "installed as a service; the running service was stopped to reinstall it, start it again with: "
         "tesksc start TeskSlowSvc",
         true},
        {"plain registration while it runs", true, "-RegServer",
         "registered to run as a plain process; the running service was stopped and removed", false},
        {"plain registration again", false, "/regserver", "registered to run as a plain process", false},
        {"install again", false, "-Service", "installed as a service", true},
        {"removal of a stopped service", false, "-UnregServer", "unregistered; the installed service was removed",
         false},
        {"install for the last removal", false, "-Service", "installed as a service", true},
        {"removal while it runs", true, "/UnRegServer", "unregistered; the running service was stopped and removed",
         false},
        {"removal of nothing", false, "-UnregServer", "unregistered", false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        int pid = 0;
        if (step.startFirst) {
            ASSERT_EQ(StartService(kName), 0);
            ServiceStatus status;
            ASSERT_EQ(WaitForServiceState(kName, SERVICE_RUNNING, status, std::chrono::seconds(10)), 0);
            ASSERT_EQ(status.currentState, SERVICE_RUNNING);
            pid = status.processId;
        }
        const auto result = testsupport::runProgram(m_program, {step.option});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, kName + ": " + step.line + "\n");
        EXPECT_EQ(ServiceExists(kName), step.installedAfter);
        // The switch returned only after the service's process had ended.
        if (pid > 0) {
            EXPECT_FALSE(IsProcessAlive(pid));
        }
    }
}

}  // namespace

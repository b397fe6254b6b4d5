// Start and stop of the calculations service through the service manager, against a platform root of
// the test's own. The test service program, installed as "TeskLocalSvc", stands in for the service.
#include "process/ServiceControl.h"

#include <csignal>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "service/ModuleInfo.h"

namespace {

using namespace platform;
using ::testing::ElementsAre;
using ::testing::Contains;
using ::testing::UnorderedElementsAre;

const std::string kService = "TeskLocalSvc";

class ServiceControlTest : public ::testing::Test {
protected:
    ServiceControlTest() {
        Logging::initLogging(m_log.str() + "/Logs/Unit%Y-%b-%d.log");
        Logging::ups_logger::get();  // created before other threads log, as a service's entry does
    }
    ~ServiceControlTest() override {
        for (const auto& name : m_installed) {
            ServiceStatus status;
            if (QueryServiceStatus(name, status) == 0 && status.processId > 0 && status.processId != ::getpid())
                ::kill(status.processId, SIGKILL);
        }
    }

    // Installs a copy of the test service under name through its own "Service" switch.
    void install(const std::string& name) {
        const std::string copy = testsupport::copyProgram(TESK_TEST_SERVICE, m_programs.path(), name);
        ASSERT_EQ(testsupport::runProgram(copy, {"-Service"}).exitCode, 0);
        m_installed.push_back(name);
    }

    ServiceStatus query(const std::string& name) const {
        ServiceStatus status;
        EXPECT_EQ(QueryServiceStatus(name, status), 0);
        return status;
    }

    void startRunning(const std::string& name) {
        ASSERT_EQ(StartService(name), 0);
        ASSERT_TRUE(testsupport::waitUntil([&] { return query(name).currentState == SERVICE_RUNNING; }));
    }

    std::vector<std::string> messages() const { return testsupport::logMessages(m_log.path()); }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_programs;
    testsupport::TempDir m_log;
    std::vector<std::string> m_installed;
};

TEST_F(ServiceControlTest, StopEndsTheServiceAndItsDependentsProcesses) {
    install(kService);
    install("TeskDependentSvc");
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\TeskDependentSvc",
                                "DependOnService", kService + "\n"), 0);
    startRunning(kService);
    startRunning("TeskDependentSvc");
    const int servicePid = query(kService).processId, dependentPid = query("TeskDependentSvc").processId;

    stopServiceByName(kService);
    EXPECT_THAT(messages(), ElementsAre("info Service stopped successfully"));
    EXPECT_EQ(query(kService).currentState, SERVICE_STOPPED);
    EXPECT_EQ(query("TeskDependentSvc").currentState, SERVICE_STOPPED);
    EXPECT_TRUE(testsupport::waitUntil([&] { return !IsProcessAlive(servicePid) && !IsProcessAlive(dependentPid); }));
}

TEST_F(ServiceControlTest, StopThatEndsWithAFailureIsLoggedWithItsExitCode) {
    install(kService);
    ::setenv("TESK_TEST_SERVICE_EXIT_CODE", "1", 1);
    startRunning(kService);
    ::unsetenv("TESK_TEST_SERVICE_EXIT_CODE");
    stopServiceByName(kService);
    EXPECT_THAT(messages(), ElementsAre("error Service stopped with exit code 1"));
    EXPECT_EQ(query(kService).currentState, SERVICE_STOPPED);
}

TEST_F(ServiceControlTest, RecordCopiedFromAnotherServiceStopsNothing) {
    install(kService);
    install("TeskOtherSvc");
    startRunning("TeskOtherSvc");
    const int otherPid = query("TeskOtherSvc").processId;
    const auto services = m_root.path() / "services";
    boost::filesystem::copy_file(services / "teskothersvc.status", services / "tesklocalsvc.status",
                                 boost::filesystem::copy_option::overwrite_if_exists);
    stopServiceByName(kService);
    EXPECT_THAT(messages(), ElementsAre("info Service is already stopped."));
    EXPECT_EQ(query("TeskOtherSvc").currentState, SERVICE_RUNNING);
    EXPECT_TRUE(IsProcessAlive(otherPid));
}

TEST_F(ServiceControlTest, ConcurrentStopsRunOneAfterTheOther) {
    install(kService);
    startRunning(kService);
    std::thread other([] { stopServiceByName(kService); });
    stopServiceByName(kService);
    other.join();
    EXPECT_THAT(messages(), UnorderedElementsAre("info Service stopped successfully", "info Service is already stopped."));
}

TEST_F(ServiceControlTest, MissingOrStoppedServiceIsOnlyReported) {
    stopServiceByName(kService);
    startServiceByName(kService);
    install(kService);
    stopServiceByName(kService);
    EXPECT_THAT(messages(), ElementsAre("error OpenService failed: 1060", "error OpenService failed: 1060",
                                        "info Service is already stopped."));
}

TEST_F(ServiceControlTest, StartOfARunningServiceIsRefused) {
    install(kService);
    startServiceByName(kService);
    EXPECT_EQ(query(kService).currentState, SERVICE_RUNNING);
    startServiceByName(kService);
    EXPECT_THAT(messages(), ElementsAre("info Service start pending...", "info Service started successfully.",
                                        "error Cannot start the service because it is already running"));
}

TEST_F(ServiceControlTest, ServiceEndingAtOnceIsReportedNotStarted) {
    ASSERT_EQ(CreateService(kService, kService, "\"/bin/true\"", {}), 0);
    startServiceByName(kService);
    // The record continues on a second line after the embedded line break.
    EXPECT_THAT(messages(), ElementsAre("info Service start pending...", "error Service not started. ",
                                        "  Current State: 1  Exit Code: 1067  Check Point: 0  Wait Hint: 0"));
}

TEST_F(ServiceControlTest, StopOfAServiceStuckInStopPendingTimesOut) {
    ASSERT_EQ(CreateService(kService, kService, "\"/bin/true\"", {}), 0);
    m_installed.push_back(kService);
    ServiceStatus status;
    status.currentState = SERVICE_STOP_PENDING;
    ASSERT_EQ(SetServiceStatus(kService, status), 0);  // this process stands in for the service
    stopServiceByName(kService, std::chrono::milliseconds(300));
    const auto logged = messages();
    ASSERT_FALSE(logged.empty());
    EXPECT_THAT(logged, Contains("info Service stop pending..."));
    EXPECT_EQ(logged.back(), "error Service stop timed out.");
    EXPECT_EQ(query(kService).currentState, SERVICE_STOP_PENDING);
}

}  // namespace

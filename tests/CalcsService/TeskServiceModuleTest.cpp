#include "service/TeskServiceModule.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "platform/ServiceControl.h"

namespace {

using ::testing::ElementsAre;

const char* const kBindFailure = "bind 127.0.0.1:9999: Address already in use";

// A main thread whose server listens when it is let, and then runs until released; its stop function
// releases it only when it is "working".
std::mutex g_mutex;
std::condition_variable g_changed;
bool g_bEntered = false;
bool g_bMayListen = true;
bool g_bReleased = false;
bool g_bStopWorks = true;

void setFlag(bool& flag) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        flag = true;
    }
    g_changed.notify_all();
}

void waitForFlag(const bool& flag) {
    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait(lock, [&] { return flag; });
}

void mainThreadFunc(ServerStartup& startup) {
    setFlag(g_bEntered);
    waitForFlag(g_bMayListen);
    startup.listening();
    waitForFlag(g_bReleased);
}

// A main thread whose server cannot bind its port.
void mainThreadThatCannotBind(ServerStartup& startup) {
    startup.failed(kBindFailure);
}

// A main thread whose server cannot bind, and which then goes on cleaning up until it is stopped.
void mainThreadThatFailsAndCleansUp(ServerStartup& startup) {
    startup.failed(kBindFailure);
    setFlag(g_bEntered);
    waitForFlag(g_bReleased);
}

void stop() {
    bool works;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        works = g_bStopWorks;
    }
    if (works)
        setFlag(g_bReleased);
}

const ServiceValues kValues = {"CTeskUnitModule", "{7D3C1B2A-0000-4000-8000-0000000000B1}", "/Logs/Unit%Y-%b-%d.log",
                               mainThreadFunc, stop, false, false};
const ServiceValues kCannotBindValues = {kValues.moduleClassName, kValues.appId, kValues.logFileSuffix,
                                         mainThreadThatCannotBind, stop, false, false};
const ServiceValues kFailsAndCleansUpValues = {kValues.moduleClassName, kValues.appId, kValues.logFileSuffix,
                                               mainThreadThatFailsAndCleansUp, stop, false, false};

class TeskServiceModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each case starts with a main thread that may listen and is held, and a working stop.
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_bEntered = false;
            g_bMayListen = true;
            g_bReleased = false;
            g_bStopWorks = true;
        }
        Logging::initLogging(m_logs.str() + kValues.logFileSuffix);
    }

    // Installs the module's service and records this process as the one the manager started, so that
    // WinMain runs it as a service.
    void startAsService(CTeskServiceModule& module) {
        ASSERT_EQ(module.WinMain({"-Service"}), 0);
        platform::ServiceStatus starting;
        starting.currentState = platform::SERVICE_START_PENDING;
        ASSERT_EQ(platform::SetServiceStatus(module.ServiceName(), starting), 0);
    }

    platform::ServiceStatus status(const CTeskServiceModule& module) {
        platform::ServiceStatus status;
        EXPECT_EQ(platform::QueryServiceStatus(module.ServiceName(), status), 0);
        return status;
    }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_logs;
};

TEST_F(TeskServiceModuleTest, MainThreadRunsBetweenTheHooksAndIsJoined) {
    CTeskServiceModule module(kValues);
    EXPECT_EQ(module.ServiceName(), "TeskLocalSvc");
    module.OnStop();
    EXPECT_EQ(module.WinMain({}), 0);
    EXPECT_FALSE(module.hasUnjoinedMainThread());
    EXPECT_THAT(testsupport::logMessages(m_logs.path()),
                ElementsAre("info CTeskUnitModule::PreMessageLoop executed",
                            "info CTeskUnitModule::PostMessageLoop is executing",
                            "info Wait for main thread has been stopped", "info Main thread has been stopped"));
}

TEST_F(TeskServiceModuleTest, MainThreadThatIgnoresTheStopIsGivenUpAfterTheTimeoutAndTheStopFails) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_bStopWorks = false;
    }
    CTeskServiceModule module(kValues, std::chrono::milliseconds(50));
    startAsService(module);
    module.OnStop();
    EXPECT_EQ(module.WinMain({}), EXIT_FAILURE);
    EXPECT_TRUE(module.hasUnjoinedMainThread());
    const auto stopped = status(module);
    EXPECT_EQ(stopped.currentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(stopped.win32ExitCode, static_cast<unsigned>(EXIT_FAILURE));
    EXPECT_EQ(stopped.exitText, "the main thread did not stop within 50 ms");
    EXPECT_THAT(testsupport::logMessages(m_logs.path()),
                ElementsAre("info CTeskUnitModule::PreMessageLoop executed",
                            "info CTeskUnitModule::PostMessageLoop is executing",
                            "info Wait for main thread has been stopped", "warning Main thread stopping timeout"));
    setFlag(g_bReleased);  // lets the module's destructor join it
}

TEST_F(TeskServiceModuleTest, ServiceRunsOnlyOnceItsServerListens) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_bMayListen = false;
    }
    CTeskServiceModule module(kValues);
    startAsService(module);
    int result = -1;
    std::thread run([&] { result = module.WinMain({}); });
    waitForFlag(g_bEntered);
    // The main thread runs but its server does not listen yet: a client could not connect.
    EXPECT_EQ(status(module).currentState, platform::SERVICE_START_PENDING);
    setFlag(g_bMayListen);
    EXPECT_TRUE(testsupport::waitUntil([&] { return status(module).currentState == platform::SERVICE_RUNNING; }));
    module.OnStop();
    run.join();
    EXPECT_EQ(result, 0);
    const auto stopped = status(module);
    EXPECT_EQ(stopped.currentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(stopped.win32ExitCode, 0u);
    EXPECT_EQ(stopped.exitText, "");
}

TEST_F(TeskServiceModuleTest, StatusThatCannotBeRecordedIsLogged) {
    CTeskServiceModule module(kValues);
    startAsService(module);
    int result = -1;
    std::thread run([&] { result = module.WinMain({}); });
    EXPECT_TRUE(testsupport::waitUntil([&] { return status(module).currentState == platform::SERVICE_RUNNING; }));
    // A folder where the record goes: the record cannot be replaced.
    const auto record = m_root.path() / "services" / "tesklocalsvc.status";
    boost::filesystem::remove(record);
    boost::filesystem::create_directory(record);
    module.OnStop();
    run.join();
    EXPECT_EQ(result, 0);
    EXPECT_THAT(testsupport::logMessages(m_logs.path()),
                ::testing::IsSupersetOf({"error SetServiceStatus 3 failed: Is a directory (error 21)",
                                         "error SetServiceStatus 1 failed: Is a directory (error 21)"}));
}

TEST_F(TeskServiceModuleTest, StopBeforeTheServerListensEndsTheRun) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_bMayListen = false;
    }
    CTeskServiceModule module(kValues, std::chrono::milliseconds(50));
    int result = -1;
    std::thread run([&] { result = module.WinMain({}); });
    waitForFlag(g_bEntered);
    module.OnStop();
    run.join();
    // The main thread, still waiting to listen, outlived its stop timeout.
    EXPECT_EQ(result, EXIT_FAILURE);
    EXPECT_TRUE(module.hasUnjoinedMainThread());
    setFlag(g_bMayListen);  // lets the module's destructor join it
}

TEST_F(TeskServiceModuleTest, ServerThatCannotBindFailsTheStartWithItsReason) {
    CTeskServiceModule module(kCannotBindValues);
    startAsService(module);
    EXPECT_EQ(module.WinMain({}), EXIT_FAILURE);
    EXPECT_FALSE(module.hasUnjoinedMainThread());
    const auto stopped = status(module);
    EXPECT_EQ(stopped.currentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(stopped.win32ExitCode, static_cast<unsigned>(EXIT_FAILURE));
    EXPECT_EQ(stopped.exitText, kBindFailure);
    // The start fails at once: no message loop, no stop of a service that never ran.
    EXPECT_THAT(testsupport::logMessages(m_logs.path()),
                ElementsAre("info CTeskUnitModule::PreMessageLoop executed",
                            "error Main thread has ended before its server listened: " + std::string(kBindFailure)));
}

TEST_F(TeskServiceModuleTest, StopDuringTheCleanUpOfAFailedStartKeepsItAFailure) {
    CTeskServiceModule module(kFailsAndCleansUpValues);
    startAsService(module);
    int result = -1;
    std::thread run([&] { result = module.WinMain({}); });
    waitForFlag(g_bEntered);
    module.OnStop();  // the stop signal, while the main thread still releases what it had set up
    run.join();
    EXPECT_EQ(result, EXIT_FAILURE);
    EXPECT_FALSE(module.hasUnjoinedMainThread());
    const auto stopped = status(module);
    EXPECT_EQ(stopped.currentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(stopped.win32ExitCode, static_cast<unsigned>(EXIT_FAILURE));
    EXPECT_EQ(stopped.exitText, kBindFailure);
    EXPECT_THAT(testsupport::logMessages(m_logs.path()),
                ::testing::Contains("error Main thread has ended before its server listened: " +
                                    std::string(kBindFailure)));
}

}  // namespace

#include "service/TeskServiceModule.h"

#include <condition_variable>
#include <mutex>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"

namespace {

using ::testing::ElementsAre;

// A main thread that runs until released; its stop function releases it only when it is "working".
std::mutex g_mutex;
std::condition_variable g_released;
bool g_bReleased = false;
bool g_bStopWorks = true;

void mainThreadFunc() {
    std::unique_lock<std::mutex> lock(g_mutex);
    g_released.wait(lock, [] { return g_bReleased; });
}

void release() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_bReleased = true;
    }
    g_released.notify_all();
}

void stop() {
    bool works;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        works = g_bStopWorks;
    }
    if (works)
        release();
}

const ServiceValues kValues = {"CTeskUnitModule", "{7D3C1B2A-0000-4000-8000-0000000000B1}", "/Logs/Unit%Y-%b-%d.log",
                               mainThreadFunc, stop, false, false};

class TeskServiceModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each case starts with a held main thread and a working stop, whatever ran before it.
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_bReleased = false;
            g_bStopWorks = true;
        }
        Logging::initLogging(m_logs.str() + kValues.logFileSuffix);
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

TEST_F(TeskServiceModuleTest, MainThreadThatIgnoresTheStopIsGivenUpAfterTheTimeout) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_bStopWorks = false;
    }
    CTeskServiceModule module(kValues, std::chrono::milliseconds(50));
    module.OnStop();
    EXPECT_EQ(module.WinMain({}), 0);
    EXPECT_TRUE(module.hasUnjoinedMainThread());
    EXPECT_THAT(testsupport::logMessages(m_logs.path()),
                ElementsAre("info CTeskUnitModule::PreMessageLoop executed",
                            "info CTeskUnitModule::PostMessageLoop is executing",
                            "info Wait for main thread has been stopped", "warning Main thread stopping timeout"));
    release();  // lets the module's destructor join it
}

}  // namespace

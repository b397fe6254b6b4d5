#include "platform/ServiceModule.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ModulePath.h"
#include "platform/PlatformRoot.h"
#include "platform/PlatformTestSupport.h"
#include "platform/Registry.h"

namespace {

using namespace platform;
using ::testing::ElementsAre;

const char* const kName = "TeskUnitSvc";
const char* const kAppId = "{6A1F0C2E-0000-4000-8000-00000000AA01}";
const std::string kAppIdKey = std::string("AppID\\") + kAppId;
const std::string kUserAppIdKey = std::string("Software\\Classes\\AppID\\") + kAppId;
const std::string kServiceKey = std::string("SYSTEM\\CurrentControlSet\\Services\\") + kName;

// Records the hooks it runs; PreMessageLoop returns preResult.
class CRecordingModule : public CServiceModule {
public:
    explicit CRecordingModule(int preResult = 0) : CServiceModule(kName, kAppId), m_nPreResult(preResult) {}

    std::vector<std::string> hooks() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_hooks;
    }

protected:
    int PreMessageLoop() override {
        record("Pre");
        return m_nPreResult;
    }
    int PostMessageLoop() override {
        record("Post");
        return 0;
    }

private:
    void record(const char* hook) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hooks.push_back(hook);
    }

    const int m_nPreResult;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_hooks;
};

// Gets the stop request from inside PreMessageLoop, as a stop signal during start-up does, and notes
// the state the service manager holds right after it reported running.
class CStoppedWhileStartingModule : public CServiceModule {
public:
    CStoppedWhileStartingModule() : CServiceModule(kName, kAppId) {}

    unsigned m_nStateAfterRunning = 0;

protected:
    int PreMessageLoop() override {
        OnStop();
        SetServiceStatus(SERVICE_RUNNING);
        ServiceStatus status;
        QueryServiceStatus(kName, status);
        m_nStateAfterRunning = status.currentState;
        return 0;
    }
};

class ServiceModuleTest : public ::testing::Test {
protected:
    std::string appIdValue(RegistryHive hive, const std::string& key) {
        std::string value;
        return RegQueryStringValue(hive, key, "LocalService", value) == 0 ? value : "<none>";
    }
    std::string serviceValue(const char* name) {
        std::string value;
        return RegQueryStringValue(RegistryHive::LocalMachine, kServiceKey, name, value) == 0 ? value : "<none>";
    }

    testsupport::ScopedPlatformRoot m_root;
};

TEST_F(ServiceModuleTest, ServiceSwitchRegistersTheServiceAndUnregServerRemovesIt) {
    CRecordingModule module;
    ASSERT_EQ(module.WinMain({"-Service"}), 0);
    EXPECT_EQ(appIdValue(RegistryHive::ClassesRoot, kAppIdKey), kName);
    EXPECT_EQ(serviceValue("ImagePath"), "\"" + ModulePath() + "\"");
    EXPECT_EQ(serviceValue("DisplayName"), kName);
    EXPECT_EQ(serviceValue("DependOnService"), "RPCSS\n");
    EXPECT_TRUE(module.hooks().empty());
    // Registering again replaces the registration.
    ASSERT_EQ(module.WinMain({"/service"}), 0);
    EXPECT_TRUE(ServiceExists(kName));

    ASSERT_EQ(module.WinMain({"/UnregServer"}), 0);
    EXPECT_FALSE(RegKeyExists(RegistryHive::ClassesRoot, kAppIdKey));
    EXPECT_FALSE(ServiceExists(kName));
    EXPECT_EQ(module.WinMain({"-UNREGSERVER"}), 0);
}

TEST_F(ServiceModuleTest, RegServerKeepsTheAppIdWithoutServiceAndRemovesAnInstalledService) {
    CRecordingModule module;
    ASSERT_EQ(module.WinMain({"-Service"}), 0);
    ASSERT_EQ(module.WinMain({"-regserver"}), 0);
    EXPECT_TRUE(RegKeyExists(RegistryHive::ClassesRoot, kAppIdKey));
    EXPECT_EQ(appIdValue(RegistryHive::ClassesRoot, kAppIdKey), "<none>");
    EXPECT_FALSE(ServiceExists(kName));
}

TEST_F(ServiceModuleTest, PerUserSwitchesUseTheUsersClasses) {
    CRecordingModule module;
    ASSERT_EQ(module.WinMain({"/RegServerPerUser"}), 0);
    EXPECT_TRUE(RegKeyExists(RegistryHive::CurrentUser, kUserAppIdKey));
    EXPECT_FALSE(RegKeyExists(RegistryHive::ClassesRoot, kAppIdKey));
    ASSERT_EQ(module.WinMain({"-unregserverperuser"}), 0);
    EXPECT_FALSE(RegKeyExists(RegistryHive::CurrentUser, kUserAppIdKey));
}

TEST_F(ServiceModuleTest, ServiceIsTheLastSwitchLookedFor) {
    CRecordingModule module;
    ASSERT_EQ(module.WinMain({"-Service", "-RegServer"}), 0);
    EXPECT_FALSE(ServiceExists(kName));
    EXPECT_TRUE(RegKeyExists(RegistryHive::ClassesRoot, kAppIdKey));
}

TEST_F(ServiceModuleTest, StopBeforeTheMessageLoopIsKept) {
    CRecordingModule module;
    module.OnStop();
    // Words without '-' or '/' are no switches: the program runs, as a plain process.
    EXPECT_EQ(module.WinMain({"Service", "-Servicex"}), 0);
    EXPECT_THAT(module.hooks(), ElementsAre("Pre", "Post"));
    EXPECT_FALSE(module.IsService());
    EXPECT_FALSE(ServiceExists(kName));
}

TEST_F(ServiceModuleTest, PlainRunWaitsForTheStopBetweenTheHooks) {
    CRecordingModule module;
    int result = -1;
    std::thread run([&] { result = module.WinMain({}); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return !module.hooks().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_THAT(module.hooks(), ElementsAre("Pre"));
    module.OnStop();
    run.join();
    EXPECT_EQ(result, 0);
    EXPECT_THAT(module.hooks(), ElementsAre("Pre", "Post"));
}

TEST_F(ServiceModuleTest, FailedPreMessageLoopSkipsTheLoopAndPostMessageLoop) {
    CRecordingModule module(7);
    EXPECT_EQ(module.WinMain({}), 7);
    EXPECT_THAT(module.hooks(), ElementsAre("Pre"));
}

TEST_F(ServiceModuleTest, InstalledServiceRunDirectlyIsRefused) {
    CRecordingModule module;
    ASSERT_EQ(module.WinMain({"-Service"}), 0);
    EXPECT_EQ(module.WinMain({}), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    EXPECT_TRUE(module.hooks().empty());
}

TEST_F(ServiceModuleTest, StopWhileStartingNeverReportsRunning) {
    CStoppedWhileStartingModule module;
    ASSERT_EQ(module.WinMain({"-Service"}), 0);
    // What the manager records when it starts the service: this process, start pending.
    ServiceStatus starting;
    starting.currentState = SERVICE_START_PENDING;
    ASSERT_EQ(platform::SetServiceStatus(kName, starting), 0);

    EXPECT_EQ(module.WinMain({}), 0);
    EXPECT_EQ(module.m_nStateAfterRunning, SERVICE_STOP_PENDING);
    ServiceStatus status;
    ASSERT_EQ(QueryServiceStatus(kName, status), 0);
    EXPECT_EQ(status.currentState, SERVICE_STOPPED);
}

TEST_F(ServiceModuleTest, UnwritableRootFailsRegistrationAndSaysSo) {
    ::setenv("TESK_PLATFORM_ROOT", "/proc/tesk-no-such-root", 1);
    CRecordingModule module;
    ::testing::internal::CaptureStderr();
    EXPECT_NE(module.WinMain({"-Service"}), 0);
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                ::testing::HasSubstr("TeskUnitSvc: platform root /proc/tesk-no-such-root is not writable: "));
}

TEST_F(ServiceModuleTest, SwitchThatFailsSaysWhyWithTheErrorNumberAndExitsWithASmallStatus) {
    // A registry folder that is a file: nothing can be read or written under it.
    std::ofstream((m_root.path() / "registry").string()) << "not a folder\n";
    // Each switch first removes an installed service, and cannot tell whether there is one.
    for (const char* option : {"-Service", "-RegServer", "-UnregServer"}) {
        SCOPED_TRACE(option);
        CRecordingModule module;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(module.WinMain({option}), EXIT_FAILURE);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "TeskUnitSvc: Could not open the service: Not a directory (error 20)\n");
    }
}

TEST_F(ServiceModuleTest, RelativeRootIsMadeAbsoluteForLaterPrograms) {
    ::setenv("TESK_PLATFORM_ROOT", "tesk-relative-root", 1);
    const std::string expected = (std::filesystem::current_path() / "tesk-relative-root").string();
    EXPECT_EQ(PlatformRoot(), expected);
    EXPECT_STREQ(std::getenv("TESK_PLATFORM_ROOT"), expected.c_str());
}

}  // namespace

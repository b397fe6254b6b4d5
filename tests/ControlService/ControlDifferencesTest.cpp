// Where the control service's build of the shared skeleton differs from the calculations service's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "service/AutoUpdater.h"
#include "service/ConfigInfo.h"
#include "service/ModuleInfo.h"

namespace {

using ::testing::ElementsAre;

class ControlDifferencesTest : public ::testing::Test {
protected:
    ControlDifferencesTest() {
        g_strModuleDir = m_dir.str();
        Logging::initLogging(m_dir.str() + "/Logs/Unit%Y-%b-%d.log");
    }
    testsupport::TempDir m_dir;
};

TEST_F(ControlDifferencesTest, ConfigurationFileIsTheControlServicesAndItsLoadIsNotLogged) {
    EXPECT_EQ(ConfigInfo::getConfigFilePath(), m_dir.str() + "/TeskCtrlSvc.cfg");
    ConfigInfo config(ConfigInfo::getConfigFilePath());
    EXPECT_EQ(config.checkVersionPath(), "/CalcsServiceUpdates/win/check.ashx?product=teskctrlsvc&version=");
    EXPECT_TRUE(testsupport::logMessages(m_dir.path()).empty());
}

TEST_F(ControlDifferencesTest, FailedUpdaterLaunchIsLoggedWithoutTheErrorNumber) {
    launchAutoUpdater(true);
    EXPECT_THAT(testsupport::logMessages(m_dir.path()),
                ElementsAre("info \"" + m_dir.str() + "/teskctrlsvc_autoupdate.exe\" force",
                            "error error, can't launch autoupdater !"));
}

}  // namespace

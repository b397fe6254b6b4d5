// The control service's string table and version.
#include <gtest/gtest.h>

#include "service/ModuleInfo.h"

namespace {

TEST(ControlServiceResources, StringTableAndVersion) {
    EXPECT_EQ(LoadResourceString(100), "TeskCtrlSvc");
    const std::string host = LoadResourceString(101);
    EXPECT_EQ(host.substr(host.size() - 8), ".invalid");  // a host that can never be reached
    EXPECT_EQ(LoadResourceString(102), "/CalcsServiceUpdates/win/check.ashx?product=teskctrlsvc&version=");
    EXPECT_EQ(LoadResourceString(103), "/CalcsServiceUpdates/win/download.ashx?product=teskctrlsvc");
    EXPECT_EQ(LoadResourceString(104), "teskctrlsvc_autoupdate.exe");
    EXPECT_EQ(LoadResourceString(105), "tesklocalsvc_autoupdate.exe");
    EXPECT_EQ(LoadResourceString(106), "9998");
    EXPECT_EQ(LoadResourceString(107), "TESK");
    EXPECT_EQ(LoadResourceString(108), "TeskLocalSvc");
    EXPECT_EQ(LoadResourceString(109), "");
    EXPECT_EQ(GetVersionString(), "3.2.3.0");
}

}  // namespace

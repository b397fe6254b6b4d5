// The calculations service's string table and version.
#include <gtest/gtest.h>

#include "service/ModuleInfo.h"

namespace {

TEST(CalcsServiceResources, StringTableAndVersion) {
    EXPECT_EQ(LoadResourceString(100), "TeskLocalSvc");
    const std::string host = LoadResourceString(101);
    EXPECT_EQ(host.substr(host.size() - 8), ".invalid");  // a host that can never be reached
    EXPECT_EQ(LoadResourceString(102), "/CalcsServiceUpdates/win/check.ashx?product=tesklocalsvc&version=");
    EXPECT_EQ(LoadResourceString(103), "/CalcsServiceUpdates/win/download.ashx?product=tesklocalsvc");
    EXPECT_EQ(LoadResourceString(104), "tesklocalsvc_autoupdate.exe");
    EXPECT_EQ(LoadResourceString(105), "9999");
    EXPECT_EQ(LoadResourceString(106), "");
    EXPECT_EQ(LoadResourceString(99), "");
    EXPECT_EQ(GetVersionString(), "3.7.3.0");
}

}  // namespace

// An executable without a version resource and with an empty string table.
#include <gtest/gtest.h>

#include "platform/Resources.h"
#include "service/ModuleInfo.h"

const platform::ModuleResources platform::g_moduleResources = {nullptr, 0, {false, 9, 9, 9, 9}};

namespace {

TEST(Versionless, VersionIsFourZerosAndStringsAreEmpty) {
    std::uint16_t major = 7, minor = 7, build = 7, revision = 7;
    EXPECT_FALSE(GetModuleVersion(major, minor, build, revision));
    EXPECT_EQ(major, 7);
    EXPECT_EQ(GetVersionString(), "0.0.0.0");
    EXPECT_EQ(LoadResourceString(100), "");
}

}  // namespace

#include "Logging/Log.h"

#include <fstream>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

TEST(LogSinks, UnwritableFileNeverThrowsAndIsReportedOnce) {
    testsupport::TempDir dir;
    // A plain file where the log folder should be: the sink can neither create the folder nor the file.
    std::ofstream(dir.str() + "/blocked") << "x";
    const std::string good = dir.str() + "/Logs/Good%Y-%b-%d.log";

    testing::internal::CaptureStderr();
    Logging::initLogging(dir.str() + "/blocked/Logs/Bad%Y-%b-%d.log");
    Logging::initLogging(good);
    EXPECT_NO_THROW({
        LOG_SEV(info) << "first";
        LOG_SEV(info) << "second";
    });
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(err.find("logging failed"), err.rfind("logging failed")) << err;
    EXPECT_NE(err.find("logging failed"), std::string::npos) << err;

    // The healthy file sink installed after the broken one still receives every record.
    auto files = testsupport::filesIn(dir.path() / "Logs");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(testsupport::readLines(files[0]).size(), 2u);
}

}  // namespace

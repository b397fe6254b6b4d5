#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

using namespace platform;
using testsupport::TempDir;

std::vector<std::string> names(const std::vector<FoundFile>& files) {
    std::vector<std::string> result;
    for (const auto& file : files)
        result.push_back(file.name);
    std::sort(result.begin(), result.end());
    return result;
}

TEST(FindFiles, MatchesThePatternIgnoringCaseAndOnlyRegularFiles) {
    TempDir dir;
    for (const char* name : {"TeskLocalSvc2024-Jan-01.log", "teskctrlsvc2024-feb-02.LOG", "Tesk.log", "Other.log",
                             "TeskLocalSvc.txt", "xTesk.log"})
        std::ofstream((dir.path() / name).string()) << "x";
    boost::filesystem::create_directory(dir.path() / "TeskFolder.log");

    std::vector<FoundFile> files;
    ASSERT_EQ(FindFiles(dir.str(), "Tesk*.log", files), 0);
    EXPECT_THAT(names(files), ::testing::ElementsAre("Tesk.log", "TeskLocalSvc2024-Jan-01.log",
                                                     "teskctrlsvc2024-feb-02.LOG"));
    const std::time_t now = std::time(nullptr);
    for (const auto& file : files)
        EXPECT_LE(std::abs(now - file.creationTime), 60) << file.name;

    ASSERT_EQ(FindFiles(dir.str(), "T?sk.log", files), 0);
    EXPECT_THAT(names(files), ::testing::ElementsAre("Tesk.log"));
}

TEST(FindFiles, MissingFolderIsAnError) {
    TempDir dir;
    std::vector<FoundFile> files;
    EXPECT_EQ(FindFiles((dir.path() / "Logs").string(), "*", files), ENOENT);
}

TEST(DeleteFile, RemovesOnceThenReportsMissing) {
    TempDir dir;
    const std::string file = (dir.path() / "a.log").string();
    std::ofstream(file) << "x";
    EXPECT_EQ(DeleteFile(file), 0);
    EXPECT_FALSE(boost::filesystem::exists(file));
    EXPECT_EQ(DeleteFile(file), ENOENT);
}

}  // namespace

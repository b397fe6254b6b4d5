// File search and deletion, whole-file reads and atomic writes, and the lock file.
#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <sys/file.h>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../platform/src/FileLock.h"
#include "platform/AtomicFile.h"
#include "support/Fifo.h"
#include "support/TempDir.h"

namespace {

using namespace platform;
using testsupport::TempDir;
namespace fs = boost::filesystem;

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
    boost::filesystem::create_symlink(dir.path() / "Other.log", dir.path() / "TeskLink.log");

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

TEST(ReadWholeFile, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_TRUE(testsupport::makeFifo(fifo));
    std::string contents = "kept";
    int error = 0;
    ASSERT_TRUE(testsupport::finishesWithoutAWriter(fifo, [&] { error = ReadWholeFile(fifo, contents); }));
    EXPECT_EQ(error, EINVAL);
    // A link to a device is followed and refused too.
    fs::create_symlink("/dev/null", dir.path() / "device");
    EXPECT_EQ(ReadWholeFile((dir.path() / "device").string(), contents), EINVAL);
    EXPECT_EQ(ReadWholeFile(dir.str(), contents), EISDIR);
    EXPECT_EQ(ReadWholeFile((dir.path() / "missing").string(), contents), ENOENT);
    EXPECT_EQ(contents, "kept");
}

TEST(ReadWholeFile, ReadsAtMostTheLimit) {
    TempDir dir;
    const std::string file = (dir.path() / "file").string();
    std::ofstream(file) << std::string(kReadLimit, 'x');
    std::string contents;
    ASSERT_EQ(ReadWholeFile(file, contents), 0);
    EXPECT_EQ(contents, std::string(kReadLimit, 'x'));
    std::ofstream(file, std::ios::app) << "y";
    EXPECT_EQ(ReadWholeFile(file, contents), EFBIG);
    EXPECT_EQ(contents.size(), kReadLimit);

    EXPECT_EQ(ReadWholeFile(file, contents, 10), EFBIG);
    std::ofstream(file) << "0123456789";
    ASSERT_EQ(ReadWholeFile(file, contents, 10), 0);
    EXPECT_EQ(contents, "0123456789");
}

TEST(WriteFileAtomically, RemovesOnlyLeftoversOfThatFileThatNoWriterHolds) {
    TempDir dir, outside;
    const fs::path file = dir.path() / "name.cfg";
    const auto make = [&](const std::string& name) { std::ofstream((dir.path() / name).string()) << "left"; };
    make(".name.cfg.AbC123");  // what a killed write leaves
    make(".name.cfg.XyZ789");
    for (const char* other : {".name.cfg.AbC12", ".name.cfg.AbC1234", ".name.cfg.AbC-12", ".other.cfg.AbC123",
                              "name.cfg.AbC123"})
        make(other);
    std::ofstream((outside.path() / "target").string()) << "target";
    fs::create_symlink(outside.path() / "target", dir.path() / ".name.cfg.Link01");
    make(".name.cfg.Held01");  // a write still in progress holds its temporary's lock
    const int held = ::open((dir.path() / ".name.cfg.Held01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_EQ(WriteFileAtomically(file.string(), "new"), 0);
    ::close(held);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_THAT(left, ::testing::UnorderedElementsAre("name.cfg", ".name.cfg.AbC12", ".name.cfg.AbC1234",
                                                      ".name.cfg.AbC-12", ".other.cfg.AbC123", "name.cfg.AbC123",
                                                      ".name.cfg.Link01", ".name.cfg.Held01"));
    EXPECT_EQ(testsupport::readLines(outside.path() / "target"), std::vector<std::string>{"target"});
    EXPECT_EQ(testsupport::readLines(file), std::vector<std::string>{"new"});
}

// Writers that nobody serialises each see their own write through: none takes another's temporary for a
// leftover.
TEST(WriteFileAtomically, ConcurrentWritersOfOneFileAllSucceed) {
    TempDir dir;
    const std::string file = (dir.path() / "shared").string();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&file, t] {
            for (int i = 0; i < 100; ++i)
                ASSERT_EQ(WriteFileAtomically(file, std::string(1000, static_cast<char>('a' + t))), 0);
        });
    for (auto& writer : writers)
        writer.join();
    const auto lines = testsupport::readLines(file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 1000u);
    EXPECT_EQ(testsupport::filesIn(dir.path()).size(), 1u);
}

TEST(FileLock, WaitsABoundedTimeAndNeverFollowsALink) {
    TempDir dir;
    const std::string path = (dir.path() / ".lock").string();
    {
        detail::CFileLock first(path);
        ASSERT_EQ(first.Error(), 0);
        detail::CFileLock second(path, std::chrono::milliseconds(50));
        EXPECT_EQ(second.Error(), ETIMEDOUT);
    }
    EXPECT_EQ(detail::CFileLock(path, std::chrono::milliseconds(50)).Error(), 0);

    const fs::path link = dir.path() / ".linked", target = dir.path() / "target";
    fs::create_symlink(target, link);
    EXPECT_EQ(detail::CFileLock(link.string()).Error(), ELOOP);
    EXPECT_FALSE(fs::exists(target));
}

}  // namespace

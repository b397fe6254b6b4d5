// The walk that follows no link, file search and deletion in a folder held open, whole-file reads and
// atomic writes, and the lock file.
#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    const fs::path logs = dir.path() / "Logs";
    fs::create_directory(logs);
    for (const char* name : {"TeskLocalSvc2024-Jan-01.log", "teskctrlsvc2024-feb-02.LOG", "Tesk.log", "Other.log",
                             "TeskLocalSvc.txt", "xTesk.log"})
        std::ofstream((logs / name).string()) << "x";
    boost::filesystem::create_directory(logs / "TeskFolder.log");
    boost::filesystem::create_symlink(logs / "Other.log", logs / "TeskLink.log");

    CFolder folder;
    ASSERT_EQ(folder.Open(dir.str(), "Logs"), 0);
    std::vector<FoundFile> files;
    ASSERT_EQ(folder.FindFiles("Tesk*.log", files), 0);
    EXPECT_THAT(names(files), ::testing::ElementsAre("Tesk.log", "TeskLocalSvc2024-Jan-01.log",
                                                     "teskctrlsvc2024-feb-02.LOG"));
    const std::time_t now = std::time(nullptr);
    for (const auto& file : files)
        EXPECT_LE(std::abs(now - file.creationTime), 60) << file.name;

    ASSERT_EQ(folder.FindFiles("T?sk.log", files), 0);
    EXPECT_THAT(names(files), ::testing::ElementsAre("Tesk.log"));
}

TEST(FindFiles, MissingFolderIsAnError) {
    TempDir dir;
    CFolder folder;
    EXPECT_EQ(folder.Open(dir.str(), "Logs"), ENOENT);
}

// The folder is the one opened: a link in its place, before or after it is opened, leads nowhere else.
TEST(DeleteFile, RemovesOnceThenReportsMissingAndOnlyInTheFolderOpened) {
    TempDir dir, outside;
    const fs::path logs = dir.path() / "Logs";
    fs::create_directory(logs);
    std::ofstream((logs / "a.log").string()) << "x";
    std::ofstream((outside.path() / "a.log").string()) << "outside";
    CFolder folder;
    ASSERT_EQ(folder.Open(dir.str(), "Logs"), 0);
    fs::rename(logs, dir.path() / "Moved");
    fs::create_symlink(outside.path(), logs);
    EXPECT_EQ(folder.DeleteFile("a.log"), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "Moved" / "a.log"));
    EXPECT_EQ(folder.DeleteFile("a.log"), ENOENT);
    EXPECT_TRUE(fs::exists(outside.path() / "a.log"));

    CFolder linked;
    EXPECT_EQ(linked.Open(dir.str(), "Logs"), ELOOP);
    std::vector<FoundFile> files;
    EXPECT_EQ(linked.FindFiles("*", files), EBADF);
    EXPECT_EQ(linked.DeleteFile("a.log"), EBADF);
    EXPECT_TRUE(fs::exists(outside.path() / "a.log"));
}

// Both ways of the walk, the kernel's and the one component at a time, refuse a link at every level,
// and anything that would leave the folder.
TEST(OpenBeneath, NoLinkAtAnyLevelAndNothingOutsideTheFolder) {
    TempDir dir, outside;
    fs::create_directories(dir.path() / "a" / "b");
    std::ofstream((dir.path() / "a" / "b" / "file").string()) << "x";
    std::ofstream((outside.path() / "file").string()) << "outside";
    fs::create_symlink(outside.path(), dir.path() / "a" / "linked");
    fs::create_symlink(outside.path() / "file", dir.path() / "a" / "b" / "linkedFile");
    fs::create_symlink("b", dir.path() / "a" / "relative");
    const int base = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(base, 0);
    for (const auto open : {&detail::OpenBeneath, &detail::OpenByWalk}) {
        const auto error = [&](const std::string& path, int flags) {
            detail::CDescriptor fd;
            const int result = open(base, path, flags, fd, 0600);
            EXPECT_EQ(result == 0, fd.Get() >= 0) << path;
            return result;
        };
        EXPECT_EQ(error("a/b/file", O_RDONLY), 0);
        EXPECT_EQ(error("a/b", O_RDONLY | O_DIRECTORY), 0);
        EXPECT_EQ(error("a/linked/file", O_RDONLY), ELOOP);
        EXPECT_EQ(error("a/linked", O_RDONLY | O_DIRECTORY), ELOOP);
        EXPECT_EQ(error("a/relative/file", O_RDONLY), ELOOP);
        EXPECT_EQ(error("a/b/linkedFile", O_RDONLY), ELOOP);
        EXPECT_EQ(error("a/b/linkedFile", O_WRONLY | O_CREAT | O_TRUNC), ELOOP);
        EXPECT_EQ(error("a/linked/new", O_WRONLY | O_CREAT), ELOOP);
        EXPECT_EQ(error("a/b/file/x", O_RDONLY), ENOTDIR);
        for (const std::string path : {"../x", "a/../../x", "/etc/passwd", ""})
            EXPECT_EQ(error(path, O_RDONLY), EXDEV) << path;
        EXPECT_EQ(error("a/b/new", O_WRONLY | O_CREAT | O_EXCL), 0);
        fs::remove(dir.path() / "a" / "b" / "new");
    }
    ::close(base);
    EXPECT_EQ(testsupport::readLines(outside.path() / "file"), std::vector<std::string>{"outside"});
    EXPECT_EQ(testsupport::filesIn(outside.path()).size(), 1u);

    detail::CDescriptor made;
    const int root = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_EQ(detail::OpenFolderBeneath(root, "a/new/deeper", true, made), 0);
    EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "new" / "deeper"));
    EXPECT_EQ(detail::OpenFolderBeneath(root, "a/linked/made", true, made), ELOOP);
    EXPECT_EQ(detail::OpenFolderBeneath(root, "a/b/linkedFile", true, made), ELOOP);
    ::close(root);
    EXPECT_FALSE(fs::exists(outside.path() / "made"));
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

class FileLockTest : public ::testing::Test {
protected:
    FileLockTest() : m_folder(::open(m_dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

    TempDir m_dir;
    detail::CDescriptor m_folder;
};

TEST_F(FileLockTest, WaitsABoundedTimeAndNeverFollowsALink) {
    {
        detail::CFileLock first(m_folder.Get(), ".lock");
        ASSERT_EQ(first.Error(), 0);
        detail::CFileLock second(m_folder.Get(), ".lock", std::chrono::milliseconds(50));
        EXPECT_EQ(second.Error(), ETIMEDOUT);
    }
    EXPECT_EQ(detail::CFileLock(m_folder.Get(), ".lock", std::chrono::milliseconds(50)).Error(), 0);

    const fs::path target = m_dir.path() / "target";
    fs::create_symlink(target, m_dir.path() / ".linked");
    EXPECT_EQ(detail::CFileLock(m_folder.Get(), ".linked").Error(), ELOOP);
    EXPECT_FALSE(fs::exists(target));
}

// Whoever holds a lock that is never released is waited for 10 s by default, on a clock that moves one
// second each time it is read.
TEST_F(FileLockTest, DefaultWaitIsTenSeconds) {
    detail::CFileLock holder(m_folder.Get(), ".lock");
    ASSERT_EQ(holder.Error(), 0);
    const auto start = std::chrono::steady_clock::time_point();
    auto next = start, last = start;
    detail::CFileLock waiter(m_folder.Get(), ".lock", detail::kLockWaitLimit, [&] {
        last = next;
        next += std::chrono::seconds(1);
        return last;
    });
    EXPECT_EQ(waiter.Error(), ETIMEDOUT);
    // It gave up on the first reading at the limit, not before, not after.
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(last - start).count(), 10);
}

// Anyone who can open a lock file can hold its lock and stall every service command: only the owner
// may open one, also one left with wider permissions.
TEST_F(FileLockTest, OnlyTheOwnerCanOpenALockFile) {
    const fs::path made = m_dir.path() / "made.lock", wide = m_dir.path() / "wide.lock";
    const mode_t oldMask = ::umask(0);
    std::ofstream(wide.string()) << "";
    ::chmod(wide.c_str(), 0666);
    ::umask(oldMask);
    ::chmod(m_dir.str().c_str(), 0755);
    const auto othersCanOpen = [](const fs::path& file) {
        // Someone else: the user nobody, in a child of its own.
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            ::_exit(::open(file.c_str(), O_RDONLY | O_CLOEXEC) >= 0 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    if (::geteuid() == 0) {
        ASSERT_EQ(othersCanOpen(wide), 0);  // the proof below would prove nothing otherwise
    }

    for (const auto& file : {made, wide}) {
        const detail::CFileLock lock(m_folder.Get(), file.filename().string());
        ASSERT_EQ(lock.Error(), 0);
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u) << file;
        if (::geteuid() == 0) {
            EXPECT_EQ(othersCanOpen(file), 1) << file;
        }
    }
}

}  // namespace

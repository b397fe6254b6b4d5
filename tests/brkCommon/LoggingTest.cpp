#include "Logging/Log.h"

#include <regex>
#include <sstream>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/Fifo.h"
#include "support/LogFileName.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;
using testsupport::todaysLogFileName;
using ::testing::HasSubstr;

// Routes the console sink's stream into a string for the lifetime of the object.
class ClogCapture {
public:
    ClogCapture() : m_old(std::clog.rdbuf(m_buffer.rdbuf())) {}
    ~ClogCapture() { std::clog.rdbuf(m_old); }
    std::string text() const { return m_buffer.str(); }

private:
    std::ostringstream m_buffer;
    std::streambuf* m_old;
};

const char* kThreadId = R"(\[0x[0-9a-f]+\])";

TEST(SeverityNames, KnownValuesByNameOthersAsSignedNumbers) {
    auto text = [](int v) {
        std::ostringstream os;
        os << static_cast<Logging::Log::severity_level>(v);
        return os.str();
    };
    EXPECT_EQ(text(0), "trace");
    EXPECT_EQ(text(1), "debug");
    EXPECT_EQ(text(2), "info");
    EXPECT_EQ(text(3), "warning");
    EXPECT_EQ(text(4), "error");
    EXPECT_EQ(text(5), "fatal");
    EXPECT_EQ(text(6), "6");
    EXPECT_EQ(text(-1), "-1");
}

TEST(LogSinks, FileAndConsoleLineFormatsAndThresholds) {
    TempDir dir;
    ClogCapture console;
    Logging::initLogging(dir.str() + "/Logs/Unit%Y-%b-%d.log");

    LOG_SEV(debug) << "debug reaches no sink";
    LOG_SEV(info) << "info reaches the file only";
    {
        LOG_SCOPE("outer");
        LOG_SCOPE("inner");
        LOG_SEV(warning) << "warning in two scopes";
    }
    LOG_SEV(error) << "error";
    LOG_SEV(fatal) << "fatal";
    BOOST_LOG_SEV(Logging::ups_logger::get(), static_cast<Logging::Log::severity_level>(6)) << "six";

    auto files = testsupport::filesIn(dir.path() / "Logs");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string(), todaysLogFileName("Unit"));

    auto lines = testsupport::readLines(files[0]);
    ASSERT_EQ(lines.size(), 5u);
    const std::string stamp = R"(\[\d{2}:\d{2}:\d{2}\.\d{6}\])";
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + R"( \[info\] \[\] )" + kThreadId + ": info reaches the file only")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + R"( \[warning\] \[outer->inner\] )" + kThreadId + ": warning in two scopes")))
        << lines[1];
    EXPECT_TRUE(std::regex_search(lines[2], std::regex(R"(\] \[error\] \[\] .*: error$)"))) << lines[2];
    EXPECT_TRUE(std::regex_search(lines[3], std::regex(R"(\] \[fatal\] \[\] .*: fatal$)"))) << lines[3];
    EXPECT_TRUE(std::regex_search(lines[4], std::regex(R"(\] \[6\] \[\] .*: six$)"))) << lines[4];

    auto consoleLines = testsupport::splitLines(console.text());
    ASSERT_EQ(consoleLines.size(), 4u) << console.text();
    const std::string bareStamp = R"(\d{2}:\d{2}:\d{2}\.\d{6})";
    EXPECT_TRUE(std::regex_match(consoleLines[0],
                                 std::regex(bareStamp + R"( \[warning\] \[outer->inner\] )" + kThreadId + ": warning in two scopes")))
        << consoleLines[0];
    EXPECT_TRUE(std::regex_search(consoleLines[3], std::regex(R"( \[6\] \[\] .*: six$)"))) << consoleLines[3];
}

TEST(LogSinks, SecondSetUpWithSamePatternWritesEachLineOnce) {
    TempDir dir;
    ClogCapture console;
    const std::string pattern = dir.str() + "/Logs/Twice%Y-%b-%d.log";
    Logging::initLogging(pattern);
    Logging::initLogging(pattern);

    LOG_SEV(warning) << "once";

    auto files = testsupport::filesIn(dir.path() / "Logs");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(testsupport::readLines(files[0]).size(), 1u);
    EXPECT_EQ(testsupport::splitLines(console.text()).size(), 1u);
}

TEST(LogSinks, DifferentPatternAddsAFileButNoSecondConsole) {
    TempDir dir;
    ClogCapture console;
    Logging::initLogging(dir.str() + "/A/One%Y-%b-%d.log");
    Logging::initLogging(dir.str() + "/B/Two%Y-%b-%d.log");

    LOG_SEV(error) << "to both files";

    for (const char* sub : {"A", "B"}) {
        auto files = testsupport::filesIn(dir.path() / sub);
        ASSERT_EQ(files.size(), 1u) << sub;
        EXPECT_EQ(testsupport::readLines(files[0]).size(), 1u) << sub;
    }
    EXPECT_EQ(testsupport::splitLines(console.text()).size(), 1u);
}

TEST(LogSinks, FileIsAppendedAcrossSetUpsAndThreadsAreTold) {
    TempDir dir;
    const std::string pattern = dir.str() + "/Logs/Append%Y-%b-%d.log";
    {
        // A line left by an earlier run of the same day.
        boost::filesystem::create_directories(dir.path() / "Logs");
        std::ofstream(dir.path().string() + "/Logs/" + todaysLogFileName("Append")) << "earlier\n";
    }
    Logging::initLogging(pattern);
    LOG_SEV(info) << "main";
    std::thread([] { LOG_SEV(info) << "worker"; }).join();

    auto lines = testsupport::readLines(dir.path() / "Logs" / todaysLogFileName("Append"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier");
    std::smatch a, b;
    const std::regex tid(R"(\[(0x[0-9a-f]+)\]: )");
    ASSERT_TRUE(std::regex_search(lines[1], a, tid));
    ASSERT_TRUE(std::regex_search(lines[2], b, tid));
    EXPECT_NE(a[1].str(), b[1].str());
}

TEST(LogSinks, FileIsOpenedAgainByNameOnceFiveMebibytesWentThroughIt) {
    TempDir dir;
    Logging::initLogging(dir.str() + "/Logs/Size%Y-%b-%d.log");
    const auto today = dir.path() / "Logs" / todaysLogFileName("Size");
    const auto aside = dir.path() / "aside";
    const std::string message(1000, 'x');
    LOG_SEV(info) << message;
    // Moved away while open: records go on into it until the size is reached, then today's name is opened.
    boost::filesystem::rename(today, aside);
    const int records = 5300;
    for (int i = 1; i < records; ++i)
        LOG_SEV(info) << message;

    const auto first = testsupport::readLines(aside);
    ASSERT_FALSE(first.empty());
    // Every line is as long; a record still goes into the file while the bytes before it and its text
    // without the newline stay under 5 MiB.
    const std::size_t length = first[0].size() + 1;
    const std::size_t kept = 5 * 1024 * 1024 / length;
    EXPECT_EQ(first.size(), kept);
    EXPECT_EQ(testsupport::readLines(today).size(), static_cast<std::size_t>(records) - kept);
}

TEST(LogFileRefusal, FifoIsRefusedAtOnceAndTheFileLogResumesWhenItIsGone) {
    TempDir dir;
    boost::filesystem::create_directories(dir.path() / "Logs");
    const std::string fifo = (dir.path() / "Logs" / todaysLogFileName("Fifo")).string();
    ASSERT_TRUE(testsupport::makeFifo(fifo));

    testing::internal::CaptureStderr();
    ASSERT_TRUE(testsupport::finishesWithoutAReader(fifo, [&] {
        Logging::initLogging(dir.str() + "/Logs/Fifo%Y-%b-%d.log");
        Logging::initLogging(dir.str() + "/Other/Other%Y-%b-%d.log");
        LOG_SEV(info) << "while refused";
    }));
    EXPECT_THAT(testing::internal::GetCapturedStderr(),
                HasSubstr("logging failed, records are dropped: log file " + fifo + " refused: not a regular file"));
    // The refused file takes nothing from the other sinks.
    EXPECT_EQ(testsupport::readLines(dir.path() / "Other" / todaysLogFileName("Other")).size(), 1u);
    {
        // Nor is it written to while something reads it.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        LOG_SEV(info) << "while read";
        char byte;
        EXPECT_LE(::read(reader, &byte, 1), 0);
        ::close(reader);
    }

    boost::filesystem::remove(fifo);
    LOG_SEV(info) << "once it is gone";
    const auto lines = testsupport::readLines(fifo);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], HasSubstr("]: once it is gone"));
}

TEST(LogFileRefusal, LinksAsTheLogFileOrTheLogFolderAreNotFollowed) {
    TempDir dir;
    const auto outside = dir.path() / "outside";
    boost::filesystem::create_directories(outside);
    std::ofstream((outside / "victim").string()) << "kept\n";
    // The day's file is a link to a file outside; another log folder is a link to a folder outside.
    boost::filesystem::create_directories(dir.path() / "A" / "Logs");
    const auto fileLink = dir.path() / "A" / "Logs" / todaysLogFileName("Link");
    boost::filesystem::create_symlink(outside / "victim", fileLink);
    boost::filesystem::create_directories(dir.path() / "B");
    const auto folderLink = dir.path() / "B" / "Logs";
    boost::filesystem::create_directory_symlink(outside, folderLink);

    testing::internal::CaptureStderr();
    Logging::initLogging(dir.str() + "/A/Logs/Link%Y-%b-%d.log");
    Logging::initLogging(dir.str() + "/B/Logs/Folder%Y-%b-%d.log");
    LOG_SEV(info) << "not through a link";
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(testsupport::readLines(outside / "victim"), std::vector<std::string>{"kept"});
    EXPECT_EQ(testsupport::filesIn(outside).size(), 1u);
    EXPECT_THAT(err, HasSubstr("log file " + fileLink.string() + " refused: a link, not followed"));
    EXPECT_THAT(err, HasSubstr("log folder " + folderLink.string() + " refused: a link, not followed"));

    // Without the links, both file logs are written where they belong.
    boost::filesystem::remove(fileLink);
    boost::filesystem::remove(folderLink);
    LOG_SEV(info) << "in place";
    EXPECT_EQ(testsupport::readLines(fileLink).size(), 1u);
    EXPECT_EQ(testsupport::readLines(folderLink / todaysLogFileName("Folder")).size(), 1u);
}

}  // namespace

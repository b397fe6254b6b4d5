#include "Logging/Log.h"

#include <iomanip>
#include <regex>
#include <sstream>
#include <thread>

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

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

std::string todaysName(const std::string& prefix) {
    std::ostringstream name;
    auto today = boost::posix_time::second_clock::local_time().date();
    name << prefix << today.year() << '-' << today.month().as_short_string() << '-'
         << std::setw(2) << std::setfill('0') << today.day().as_number() << ".log";
    return name.str();
}

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
    EXPECT_EQ(files[0].filename().string(), todaysName("Unit"));

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
        std::ofstream(dir.path().string() + "/Logs/" + todaysName("Append")) << "earlier\n";
    }
    Logging::initLogging(pattern);
    LOG_SEV(info) << "main";
    std::thread([] { LOG_SEV(info) << "worker"; }).join();

    auto lines = testsupport::readLines(dir.path() / "Logs" / todaysName("Append"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier");
    std::smatch a, b;
    const std::regex tid(R"(\[(0x[0-9a-f]+)\]: )");
    ASSERT_TRUE(std::regex_search(lines[1], a, tid));
    ASSERT_TRUE(std::regex_search(lines[2], b, tid));
    EXPECT_NE(a[1].str(), b[1].str());
}

}  // namespace

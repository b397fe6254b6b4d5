// The per-session statistics: the report's text, quiet intervals, a prompt shutdown and concurrent
// registration.
#include <algorithm>
#include <regex>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "statistics/StatsCollector.h"

namespace {

using namespace std::chrono_literals;
using Statistics::StatsCollector;
using ::testing::ElementsAre;

class StatsCollectorTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::initLogging(m_logs.str() + "/Logs/Stats%Y-%b-%d.log"); }

    std::vector<std::string> log() const { return testsupport::logMessages(m_logs.path()); }

    testsupport::TempDir m_logs;
};

TEST_F(StatsCollectorTest, ReportsEachTypeAscendingWithMinAverageMaxAndBytes) {
    {
        StatsCollector stats(300ms);
        stats.registerPacketProcessing(1024, 10, 100, 200);
        stats.registerPacketProcessing(0, 2, 12, 0);
        stats.registerPacketProcessing(1024, 31, 100, 300);
        ASSERT_TRUE(testsupport::waitForLogMessage(m_logs.path(), "info statistics for last 5 min:"));
    }
    const auto lines = log();
    const auto report = std::find(lines.begin(), lines.end(), "info statistics for last 5 min:");
    ASSERT_LE(report + 3, lines.end());
    EXPECT_THAT(std::vector<std::string>(report, report + 3),
                ElementsAre("info statistics for last 5 min:",
                            "\t\t\tUNDEFINED_PACKET, count: 1, min: 2ms, avg:2ms, max:2ms, in: 12, out: 0",
                            "\t\t\tOPTION_CALCULATOR, count: 2, min: 10ms, avg:20ms, max:31ms, in: 200, out: 500"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "info statistics for last 5 min:"), 1);
}

TEST_F(StatsCollectorTest, QuietIntervalsLogNothing) {
    {
        StatsCollector stats(20ms);
        std::this_thread::sleep_for(200ms);
    }
    for (const auto& line : log())
        EXPECT_EQ(line.find("statistics for last"), std::string::npos) << line;
}

TEST_F(StatsCollectorTest, DestructionWakesTheSleepingThread) {
    const auto started = std::chrono::steady_clock::now();
    {
        StatsCollector stats;
        ASSERT_TRUE(testsupport::waitUntil([&] { return testsupport::hasLogMessage(m_logs.path(), "info stats thread started"); }));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_THAT(log(), ElementsAre("info stats thread started", "info Start destroying StatsCollector",
                                   "warning stats collector interrupted", "info stats thread finished",
                                   "info Finish destroying StatsCollector, success"));
}

TEST_F(StatsCollectorTest, ConcurrentRegistrationsAddUp) {
    constexpr int kThreads = 4;
    constexpr int kPackets = 2000;
    {
        StatsCollector stats(50ms);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < kPackets; ++i)
                    stats.registerPacketProcessing(1024, 1, 3, 5);
            });
        for (auto& thread : threads)
            thread.join();
        std::this_thread::sleep_for(200ms);  // past the next report
    }
    // The packets may be split over several reports; together they count every one.
    const std::regex entry("\t\t\tOPTION_CALCULATOR, count: (\\d+), min: 1ms, avg:1ms, max:1ms, in: (\\d+), out: (\\d+)");
    long count = 0, in = 0, out = 0;
    for (const auto& line : log()) {
        std::smatch match;
        if (std::regex_match(line, match, entry)) {
            count += std::stol(match[1]);
            in += std::stol(match[2]);
            out += std::stol(match[3]);
        }
    }
    EXPECT_EQ(count, kThreads * kPackets);
    EXPECT_EQ(in, 3L * kThreads * kPackets);
    EXPECT_EQ(out, 5L * kThreads * kPackets);
}

}  // namespace

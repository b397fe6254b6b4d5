#include "calendar/TapeClock.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "brkCalcsLib/calendar/LogCapture.h"

namespace {

TEST(TapeClock, WritesKeepTheOtherFieldsAndLeaveNoCachedSeconds) {
    CTapeClock clock;
    clock.ResetToDate(DllDate{2014, 3, 10});
    clock.SetTimeOfDay(9, 30, 15, 250);
    DllDateTime t = clock.Snapshot();
    EXPECT_TRUE(t.year == 2014 && t.month == 3 && t.day == 10 && t.hour == 9 && t.minute == 30 && t.second == 15 &&
                t.millisecond == 250);
    ASSERT_TRUE(TimestampToSeconds(t));  // cached in the copy only
    EXPECT_EQ(clock.Snapshot().seconds, 0.0);

    {
        LogCapture log;
        clock.SetGlobalDate(2014, 3, 11);
        clock.SetGlobalDate(2014, 3, 11);
        EXPECT_EQ(log.text(), "Global Date Changed from 2014-3-10 to 2014-3-11\n");
    }
    t = clock.Snapshot();
    EXPECT_TRUE(t.day == 11 && t.hour == 9 && t.minute == 30);

    clock.ResetToDate(DllDate{2015, 1, 2});
    t = clock.Snapshot();
    EXPECT_TRUE(t.year == 2015 && t.day == 2 && t.hour == 0 && t.minute == 0 && t.millisecond == 0);
    clock.Clear();
    t = clock.Snapshot();
    EXPECT_TRUE(t.year == 0 && t.month == 0 && t.day == 0);
    EXPECT_FALSE(TimestampToSeconds(t));
}

// The host thread writes the clock time while processing threads read it; each reader must see the
// fields of one write and compute its seconds from them.
TEST(TapeClock, ReadersSeeWholeWritesWhileTheHostWrites) {
    CTapeClock clock;
    clock.ResetToDate(DllDate{2014, 3, 10});
    DllDateTime midnight = clock.Snapshot();
    const double day = *TimestampToSeconds(midnight);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            while (!done.load()) {
                DllDateTime t = clock.Snapshot();
                const auto seconds = TimestampToSeconds(t);
                if (!seconds || t.minute != t.second || t.millisecond != t.hour * 10 ||
                    *seconds != day + t.hour * 3600 + t.minute * 61)
                    ++torn;
            }
        });
    for (int i = 0; i < 20000; ++i) {
        const int hour = i % 24;
        const int minute = i % 60;
        clock.SetTimeOfDay(hour, minute, minute, hour * 10);
    }
    done = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace

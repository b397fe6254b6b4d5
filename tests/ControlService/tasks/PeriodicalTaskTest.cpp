#include "tasks/PeriodicalTask.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"

namespace {

using ::testing::Contains;

struct Passes {
    std::atomic<int> count{0};
};

// Counts its passes; the first throws a standard exception, the second something else.
struct FailingTwiceTask {
    Passes* passes;
    void execute() {
        const int pass = ++passes->count;
        if (pass == 1)
            throw std::runtime_error("pass failed");
        if (pass == 2)
            throw 42;
    }
};

struct CountingTask {
    Passes* passes;
    void execute() { ++passes->count; }
};

TEST(PeriodicalTaskTest, LimitedTaskRunsItsCountAndEnds) {
    Passes passes;
    tasks::PeriodicalTask<CountingTask> task(5, 3, CountingTask{&passes});
    task.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return passes.count == 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(passes.count, 3);
}

TEST(PeriodicalTaskTest, FirstPassRunsAtOnceAndDestructionCutsTheSleepShort) {
    Passes passes;
    auto task = std::make_unique<tasks::PeriodicalTask<CountingTask>>(24 * 3600 * 1000, 0, CountingTask{&passes});
    task->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return passes.count == 1; }));
    auto destroyed = std::async(std::launch::async, [&] { task.reset(); });
    EXPECT_EQ(destroyed.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(passes.count, 1);
}

TEST(PeriodicalTaskTest, FailingPassesAreLoggedAndTheTaskGoesOn) {
    testsupport::TempDir dir;
    Logging::initLogging(dir.str() + "/Logs/Unit%Y-%b-%d.log");
    Passes passes;
    {
        tasks::PeriodicalTask<FailingTwiceTask> task(5, 0, FailingTwiceTask{&passes});
        task.start();
        ASSERT_TRUE(testsupport::waitUntil([&] { return passes.count >= 4; }));
    }
    const auto messages = testsupport::logMessages(dir.path());
    EXPECT_THAT(messages, Contains("error exception in periodical task, pass failed"));
    EXPECT_THAT(messages, Contains("error exception in periodical task"));
}

}  // namespace

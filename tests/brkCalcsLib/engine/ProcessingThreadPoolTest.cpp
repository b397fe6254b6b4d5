#include "engine/ProcessingThreadPool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Counts finished handlers and lets a test wait for a number of them.
class Completion {
public:
    void done(std::thread::id id = std::this_thread::get_id()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_count;
        m_threads.insert(id);
        m_cv.notify_all();
    }
    bool waitFor(int n) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(10), [&] { return m_count >= n; });
    }
    int count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_count;
    }
    size_t threadCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_count = 0;
    std::set<std::thread::id> m_threads;
};

TEST(ProcessingThreadPool, StartsAtMostSixteenAndOnlyOnce) {
    CProcessingThreadPool pool;
    pool.Start(4);
    pool.Start(4);
    EXPECT_EQ(pool.RunningCount(), 4u);
    pool.Start(40);
    EXPECT_EQ(pool.ThreadCount(), 16u);
    EXPECT_EQ(pool.RunningCount(), 16u);
    pool.Terminate();
    EXPECT_EQ(pool.RunningCount(), 0u);
}

TEST(ProcessingThreadPool, WithoutThreadsNothingIsQueued) {
    CProcessingThreadPool pool;
    pool.Start(0);
    EXPECT_FALSE(pool.PostRoundRobin([] { FAIL() << "must not run"; }));
}

TEST(ProcessingThreadPool, SpreadsRoundRobinOverTheStartedSlots) {
    CProcessingThreadPool pool;
    pool.Start(4);
    Completion completion;
    std::mutex gate;
    {
        // Hold every handler until all are queued, so each slot gets its share.
        std::lock_guard<std::mutex> hold(gate);
        for (int i = 0; i < 8; ++i)
            ASSERT_TRUE(pool.PostRoundRobin([&] {
                std::lock_guard<std::mutex> pass(gate);
                completion.done();
            }));
    }
    ASSERT_TRUE(completion.waitFor(8));
    EXPECT_EQ(completion.threadCount(), 4u);
    pool.Terminate();
}

TEST(ProcessingThreadPool, AThrowingHandlerDoesNotStopItsSlot) {
    CProcessingThreadPool pool;
    pool.Start(1);
    Completion completion;
    pool.PostRoundRobin([] { throw std::runtime_error("bad record"); });
    pool.PostRoundRobin([] { throw 42; });
    pool.PostRoundRobin([&] { completion.done(); });
    EXPECT_TRUE(completion.waitFor(1));
    EXPECT_EQ(pool.RunningCount(), 1u);
    pool.Terminate();
}

TEST(ProcessingThreadPool, QueuedWorkWaitsWhileStoppedAndRunsAfterRestart) {
    CProcessingThreadPool pool;
    pool.Start(2);
    pool.Terminate();
    Completion completion;
    for (int i = 0; i < 4; ++i)
        pool.PostRoundRobin([&] { completion.done(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(completion.count(), 0);

    pool.Start(2);
    EXPECT_TRUE(completion.waitFor(4));
    pool.Terminate();
}

TEST(ProcessingThreadPool, TerminateLeavesQueuedHandlersUnrun) {
    CProcessingThreadPool pool;
    pool.Start(1);
    std::mutex gate;
    Completion started, completion;
    std::unique_lock<std::mutex> hold(gate);
    pool.PostRoundRobin([&] {
        started.done();
        std::lock_guard<std::mutex> pass(gate);
        completion.done();
    });
    pool.PostRoundRobin([&] { completion.done(); });
    ASSERT_TRUE(started.waitFor(1));
    std::thread stopper([&] { pool.Terminate(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    hold.unlock();
    stopper.join();
    EXPECT_EQ(completion.count(), 1);
}

TEST(ProcessingThreadPool, ASlotStillStoppingIsStartedAgain) {
    CProcessingThreadPool pool;
    pool.Start(2);
    // The first slot's handler outlives the stop's 2000 ms join.
    std::atomic<bool> release{false};
    Completion started;
    pool.PostRoundRobin([&] {
        started.done();
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(started.waitFor(1));
    pool.Terminate();
    ASSERT_EQ(pool.RunningCount(), 1u);

    // The handler ends only after the next start has looked at its slot.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        release = true;
    });
    pool.Start(2);
    releaser.join();
    Completion completion;
    for (int i = 0; i < 8; ++i)
        pool.PostRoundRobin([&] { completion.done(); });
    EXPECT_TRUE(completion.waitFor(8));
    EXPECT_EQ(completion.threadCount(), 2u);
    pool.Terminate();
}

}  // namespace

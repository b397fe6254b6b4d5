#include "engine/ReadMostlyMutex.h"

#include <atomic>
#include <chrono>
#include <future>
#include <shared_mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Writers keep two plain counters equal; readers holding the mutex shared must never see them differ,
// and no write may be lost. (Readers are preferred, so each reads a bounded number of times.)
TEST(ReadMostlyMutex, WritersExcludeReadersAndEachOther) {
    CReadMostlyMutex mutex;
    long a = 0, b = 0;
    std::atomic<long> torn{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < 6; ++r)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                {
                    std::shared_lock<CReadMostlyMutex> lock(mutex);
                    torn += a != b ? 1 : 0;
                }
                std::this_thread::yield();
            }
        });
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                std::unique_lock<CReadMostlyMutex> lock(mutex);
                ++a;
                std::this_thread::yield();  // a window for a reader that should not be in
                ++b;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(a, 1000);
    EXPECT_EQ(b, 1000);
}

// A reader that arrives while a writer waits for the readers inside still gets in: the reader
// inside may be waiting for it.
TEST(ReadMostlyMutex, AReaderGetsInWhileAWriterWaits) {
    CReadMostlyMutex mutex;
    mutex.lock_shared();
    std::atomic<bool> written{false};
    std::thread writer([&] {
        std::unique_lock<CReadMostlyMutex> lock(mutex);
        written = true;
    });
    std::this_thread::sleep_for(20ms);  // the writer is waiting now
    auto second = std::async(std::launch::async, [&] {
        std::shared_lock<CReadMostlyMutex> lock(mutex);
        return written.load();
    });
    ASSERT_EQ(second.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(second.get());
    mutex.unlock_shared();
    writer.join();
    EXPECT_TRUE(written);
}

}  // namespace

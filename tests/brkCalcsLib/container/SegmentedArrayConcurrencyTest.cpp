#include "container/SegmentedArray.h"

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct SItem {
    int m_index;
    int m_check;
};

// Readers must never find an index below the published count whose element is not yet written.
TEST(SegmentedArrayConcurrency, ReadersSeeEveryPublishedElementWhileOneThreadPushes) {
    constexpr int kCount = 512 * 40;
    CSegmentedArray<SItem> array;
    std::atomic<bool> done{false};
    std::atomic<int> mismatches{0};

    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            while (!done.load()) {
                const int size = static_cast<int>(array.Size());
                for (int i = size - 1; i >= 0 && i >= size - 64; --i) {
                    const SItem* item = array.Slot(i);
                    if (!item || item->m_index != i || item->m_check != i * 3)
                        ++mismatches;
                }
            }
        });
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(array.Push(SItem{i, i * 3}), i);
    done = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(SegmentedArrayConcurrency, ConcurrentPushesGetDistinctIndices) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 3000;
    CSegmentedArray<int> array;
    std::vector<std::vector<int>> indices(kThreads);
    std::vector<std::thread> pushers;
    for (int t = 0; t < kThreads; ++t)
        pushers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                indices[t].push_back(array.Push(t * kPerThread + i));
        });
    for (auto& t : pushers)
        t.join();

    ASSERT_EQ(array.Size(), static_cast<std::size_t>(kThreads * kPerThread));
    std::set<int> seen;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kPerThread; ++i) {
            const int index = indices[t][i];
            ASSERT_GE(index, 0);
            EXPECT_TRUE(seen.insert(index).second);
            EXPECT_EQ(*array.Slot(index), t * kPerThread + i);
        }
}

}  // namespace

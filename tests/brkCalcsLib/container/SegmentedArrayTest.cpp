#include "container/SegmentedArray.h"

#include <atomic>
#include <climits>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(SegmentedArray, ElementsKeepTheirAddressesWhileTheArrayGrows) {
    CSegmentedArray<int> array;
    std::vector<const int*> first;
    for (int i = 0; i < 512; ++i) {
        ASSERT_EQ(array.Push(i * 7), i);
        first.push_back(array.Slot(i));
    }
    ASSERT_EQ(array.Push(-1), 512);  // the 513th push opens a second block
    // Enough further blocks to replace the block table several times.
    for (int i = 513; i < 512 * 9; ++i)
        ASSERT_EQ(array.Push(i * 7), i);
    EXPECT_EQ(array.Size(), 512u * 9);
    for (int i = 0; i < 512; ++i) {
        EXPECT_EQ(array.Slot(i), first[i]);
        EXPECT_EQ(*array.Slot(i), i * 7);
    }
    EXPECT_EQ(*array.Slot(512), -1);
    EXPECT_EQ(*array.Slot(512 * 9 - 1), (512 * 9 - 1) * 7);
}

TEST(SegmentedArray, IndicesOutsideTheElementsYieldNull) {
    CSegmentedArray<int> array;
    EXPECT_EQ(array.Slot(0), nullptr);
    array.Push(1);
    array.Push(2);
    EXPECT_NE(array.Slot(1), nullptr);
    EXPECT_EQ(array.Slot(2), nullptr);
    EXPECT_EQ(array.Slot(511), nullptr);  // room in the block, but never pushed
    EXPECT_EQ(array.Slot(-1), nullptr);
    EXPECT_EQ(array.Slot(INT_MIN), nullptr);
}

TEST(SegmentedArray, DestroyEmptiesAndTheNextPushStartsAtZero) {
    CSegmentedArray<long long> array;
    for (int i = 0; i < 600; ++i)
        array.Push(i);
    array.Destroy();
    EXPECT_EQ(array.Size(), 0u);
    EXPECT_EQ(array.Slot(0), nullptr);
    EXPECT_EQ(array.Slot(599), nullptr);
    EXPECT_EQ(array.Push(42LL), 0);
    EXPECT_EQ(*array.Slot(0), 42);
}

TEST(SegmentedArray, GrowReservesRoomAndRefusesIndicesBeyondInt) {
    CSegmentedArray<int> array;
    EXPECT_TRUE(array.Grow(2000));
    EXPECT_EQ(array.Size(), 0u);
    EXPECT_EQ(array.Slot(0), nullptr);
    EXPECT_FALSE(array.Grow(static_cast<std::size_t>(INT_MAX) + 1));
    for (int i = 0; i < 2100; ++i)
        ASSERT_EQ(array.Push(i), i);
    EXPECT_EQ(*array.Slot(2099), 2099);
}

// The record registries keep pointers that they later clear while readers look at them.
TEST(SegmentedArray, HoldsAtomicPointers) {
    CSegmentedArray<std::atomic<int*>> array;
    int a = 1;
    int b = 2;
    ASSERT_EQ(array.Push(&a), 0);
    ASSERT_EQ(array.Push(&b), 1);
    EXPECT_EQ(array.Slot(0)->load(), &a);
    array.Slot(0)->store(nullptr);
    EXPECT_EQ(array.Slot(0)->load(), nullptr);
    EXPECT_EQ(array.Slot(1)->load(), &b);
}

}  // namespace

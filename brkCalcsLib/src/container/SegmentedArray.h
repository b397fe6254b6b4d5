// A growable array whose elements never move once pushed, so an index handed out stays valid
// while other threads push. Slots are never reused; a released element stays in its slot until
// the whole array is destroyed.
//
// Elements live in blocks of 512 that are never moved or freed before Destroy; the table of block
// pointers is replaced (under the table lock, exclusive) only when it is full. The element count
// is published with release after the element is written, so a reader on another thread that
// finds an index below the count also sees the element.
#pragma once

#include <atomic>
#include <climits>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <utility>

template <class T>
class CSegmentedArray {
public:
    static constexpr std::size_t kBlockSize = 512;

    CSegmentedArray() = default;
    ~CSegmentedArray() { Destroy(); }
    CSegmentedArray(const CSegmentedArray&) = delete;
    CSegmentedArray& operator=(const CSegmentedArray&) = delete;

    // Appends one element; its index, or -1 when the array cannot grow.
    template <class V>
    int Push(V&& element) {
        std::lock_guard<std::mutex> pushLock(m_pushMutex);
        const std::size_t index = m_count.load(std::memory_order_relaxed);
        if (index >= kMaxElements)
            return -1;
        if (index >= m_blockCount.load(std::memory_order_acquire) * kBlockSize && !Grow(1))
            return -1;
        *Locate(index) = std::forward<V>(element);
        m_count.store(index + 1, std::memory_order_release);
        return static_cast<int>(index);
    }

    // Makes room for n more elements; false when the memory cannot be had or the indices would
    // no longer fit an int.
    bool Grow(std::size_t n) {
        std::lock_guard<std::mutex> growthLock(m_growthMutex);
        const std::size_t count = m_count.load(std::memory_order_relaxed);
        if (n > kMaxElements - count)
            return false;
        const std::size_t blocks = m_blockCount.load(std::memory_order_relaxed);
        const std::size_t needed = (count + n + kBlockSize - 1) / kBlockSize;
        if (needed <= blocks)
            return true;

        std::unique_ptr<std::unique_ptr<T[]>[]> fresh;
        std::unique_ptr<T*[]> table;
        try {
            fresh.reset(new std::unique_ptr<T[]>[needed - blocks]);
            for (std::size_t b = 0; b < needed - blocks; ++b)
                fresh[b].reset(new T[kBlockSize]());
            if (needed > m_capacity)
                table.reset(new T*[CapacityFor(needed)]());
        } catch (const std::bad_alloc&) {
            return false;
        }

        if (table) {
            // Readers keep using the old table until the swap; it is built from copies only.
            for (std::size_t b = 0; b < blocks; ++b)
                table[b] = m_table[b];
            for (std::size_t b = blocks; b < needed; ++b)
                table[b] = fresh[b - blocks].release();
            std::unique_lock<std::shared_mutex> tableLock(m_tableLock);
            m_table.swap(table);
            m_capacity = CapacityFor(needed);
        } else {
            // Readers never look at entries past the published count, so these need no lock.
            for (std::size_t b = blocks; b < needed; ++b)
                m_table[b] = fresh[b - blocks].release();
        }
        m_blockCount.store(needed, std::memory_order_release);
        return true;
    }

    // The element at index, or null when the index is negative or not below the element count.
    T* Slot(int index) { return SlotOf(index); }
    const T* Slot(int index) const { return SlotOf(index); }

    std::size_t Size() const { return m_count.load(std::memory_order_acquire); }

    // Frees every block and the table; the next push returns index 0. No reader may hold a slot.
    void Destroy() {
        std::lock_guard<std::mutex> pushLock(m_pushMutex);
        std::lock_guard<std::mutex> growthLock(m_growthMutex);
        std::unique_lock<std::shared_mutex> tableLock(m_tableLock);
        m_count.store(0, std::memory_order_release);
        const std::size_t blocks = m_blockCount.load(std::memory_order_relaxed);
        for (std::size_t b = 0; b < blocks; ++b)
            delete[] m_table[b];
        m_table.reset();
        m_capacity = 0;
        m_blockCount.store(0, std::memory_order_release);
    }

private:
    static constexpr std::size_t kMaxElements = static_cast<std::size_t>(INT_MAX);

    static std::size_t CapacityFor(std::size_t blocks) {
        std::size_t capacity = 1;
        while (capacity < blocks)
            capacity *= 2;
        return capacity;
    }

    T* SlotOf(int index) const {
        // A negative index turns into a huge unsigned one and fails the same test.
        const auto i = static_cast<std::size_t>(static_cast<unsigned int>(index));
        if (i >= m_count.load(std::memory_order_acquire))
            return nullptr;
        return Locate(i);
    }

    T* Locate(std::size_t i) const {
        std::shared_lock<std::shared_mutex> tableLock(m_tableLock);
        return m_table[i / kBlockSize] + i % kBlockSize;
    }

    std::unique_ptr<T*[]> m_table;
    std::size_t m_capacity = 0;  // entries of m_table, a power of two
    std::atomic<std::size_t> m_blockCount{0};
    std::atomic<std::size_t> m_count{0};
    std::mutex m_pushMutex;
    std::mutex m_growthMutex;
    mutable std::shared_mutex m_tableLock;
};

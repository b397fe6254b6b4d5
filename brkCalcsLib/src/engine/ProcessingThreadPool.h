// The library's 16 processing slots. Records are spread over the started ones round-robin.
#pragma once

#include <array>
#include <atomic>
#include <utility>

#include "engine/ProcessingThread.h"

class CProcessingThreadPool {
public:
    static constexpr unsigned kSlotCount = 16;
    static constexpr unsigned kDefaultThreadCount = 2;
    static constexpr unsigned kJoinTimeoutMs = 2000;

    // Starts the first min(n, 16) slots that are not running; that count becomes the spreading
    // width. A slot still stopping (its thread outlived the stop's join) is waited for and started
    // again. A slot whose thread cannot be created ends the start there; the count started is returned.
    unsigned Start(unsigned n);
    // Queues a handler on the next slot; false when no thread count was set (nothing will run it).
    template <class Handler>
    bool PostRoundRobin(Handler handler) {
        const unsigned n = m_threadCount;
        if (n == 0)
            return false;
        const unsigned slot = m_nextSlot.fetch_add(1, std::memory_order_relaxed) % n;
        m_slots[slot].Post(std::move(handler));
        return true;
    }
    // Lets every stopped loop run again; queued handlers are kept.
    void Purge();
    // Stops every loop after its current handler and joins each thread for at most 2000 ms.
    void Terminate();

    unsigned ThreadCount() const { return m_threadCount; }
    unsigned RunningCount() const;

private:
    std::array<CProcessingThread, kSlotCount> m_slots;
    std::atomic<unsigned> m_threadCount{0};
    std::atomic<unsigned> m_nextSlot{0};
};

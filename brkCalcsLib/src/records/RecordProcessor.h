// Hands records to the processing threads.
//
// A record is queued at most once and processed by one thread at a time: a post that finds it
// queued adds nothing (the queued run will see the newest quote), and a post that finds it being
// processed asks for one more run after the current one. So results are published in the order
// they were calculated and the last one reflects the last quote.
//
// Records posted before a release of all records must never touch the released ones: each post
// carries the generation it was made in, a run checks it under the barrier, and the release moves
// the generation on and then takes the barrier exclusively, which waits out the runs in progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <shared_mutex>

#include "engine/ProcessingThreadPool.h"

class IRecord;

class CRecordProcessor {
public:
    static CRecordProcessor& Instance();

    CProcessingThreadPool& Threads() { return m_threads; }

    // Queues the record's recalculation; false when no processing thread count is set.
    bool Post(IRecord* record);

    // Makes every queued run a no-op and waits until no run is in progress. The caller may then
    // free the records. Must not be called from inside a run (a result callback).
    void InvalidateQueuedWork();

private:
    enum EState : uint8_t { eIdle = 0, eQueued = 1, eRunning = 2, eRunningAgain = 3 };

    bool Enqueue(IRecord* record, uint64_t generation);
    void Run(IRecord* record, uint64_t generation);

    CProcessingThreadPool m_threads;
    std::atomic<uint64_t> m_generation{0};
    std::shared_mutex m_barrier;
};

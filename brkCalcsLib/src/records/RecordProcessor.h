// Hands records to the processing threads.
//
// A record is queued at most once and processed by one thread at a time: a post that finds it
// queued adds nothing (the queued run will see the newest quote), and a post that finds it being
// processed asks for one more run after the current one. So results are published in the order
// they were calculated and the last one reflects the last quote.
//
// Records posted before a release of all records must never touch the released ones: each post
// carries the generation it was made in and a run checks it inside the record barrier. The release
// takes the barrier exclusively, which waits out the runs (and exports) in progress and holds back
// the queued ones, frees the records and moves the generation on, so every run queued until then
// finds itself outdated.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/ProcessingThreadPool.h"

class IRecord;

class CRecordProcessor {
public:
    static CRecordProcessor& Instance();

    CProcessingThreadPool& Threads() { return m_threads; }

    // Queues the record's recalculation; false when no processing thread count is set.
    bool Post(IRecord* record);

    // Runs `release` while no run or export is in progress or can start, then makes every run queued
    // so far a no-op. Refused (false, logged) from inside a run or an export, such as from a host
    // callback: the release would wait for its own caller.
    bool ReleaseWhileIdle(const std::function<void()>& release);

private:
    enum EState : uint8_t { eIdle = 0, eQueued = 1, eRunning = 2, eRunningAgain = 3 };

    bool Enqueue(IRecord* record, uint64_t generation);
    void Run(IRecord* record, uint64_t generation);

    CProcessingThreadPool m_threads;
    std::atomic<uint64_t> m_generation{0};
};

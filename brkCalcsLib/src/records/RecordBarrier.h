// The barrier between the records and their release. Every piece of work that holds record
// pointers (a processing run, an export of the library) enters it shared; releasing all records
// takes it exclusively, so it waits for the work in flight and no new work starts meanwhile.
//
// A thread enters once however deeply it nests: a host callback that calls back into the library
// from inside an export or a run does not lock again. From such a thread a release is refused, as
// it would wait for the thread's own work. A waiting release holds new entries back for a moment,
// so a steady feed cannot keep it waiting for ever.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "engine/ReadMostlyMutex.h"

class CRecordBarrier {
public:
    static CRecordBarrier& Instance();

    // Holds the barrier shared for the calling thread while it lives; nested holders are free.
    class Shared {
    public:
        Shared();
        ~Shared();
        Shared(const Shared&) = delete;
        Shared& operator=(const Shared&) = delete;
    };

    // Whether the calling thread is inside work that holds record pointers.
    static bool HeldByThisThread();

    // Runs `release` with the barrier held exclusively. False (and nothing run) when the calling
    // thread holds it shared.
    bool RunExclusive(const std::function<void()>& release);

private:
    CRecordBarrier() = default;
    void EnterShared();
    void LeaveShared() { m_lock.unlock_shared(); }

    CReadMostlyMutex m_lock;
    std::mutex m_releases;  // one release at a time
    std::atomic<bool> m_releaseWaiting{false};
};

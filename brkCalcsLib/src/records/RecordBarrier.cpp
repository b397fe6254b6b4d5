#include "records/RecordBarrier.h"

#include <chrono>
#include <thread>

namespace {
thread_local unsigned t_depth = 0;
constexpr int kHoldBackRounds = 40;  // about 2 ms
}

CRecordBarrier& CRecordBarrier::Instance() {
    static CRecordBarrier barrier;
    return barrier;
}

CRecordBarrier::Shared::Shared() {
    if (t_depth == 0)
        Instance().EnterShared();
    ++t_depth;
}

CRecordBarrier::Shared::~Shared() {
    if (--t_depth == 0)
        Instance().LeaveShared();
}

bool CRecordBarrier::HeldByThisThread() { return t_depth > 0; }

void CRecordBarrier::EnterShared() {
    // A waiting release gets the first chance: newcomers hold back while the work inside drains.
    // Only for a moment, though: the work inside may itself be waiting for a newcomer (a host lock
    // taken in a result callback and held around a library call), and must not wait for ever.
    for (int i = 0; i < kHoldBackRounds && m_releaseWaiting.load(std::memory_order_acquire); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    m_lock.lock_shared();
}

bool CRecordBarrier::RunExclusive(const std::function<void()>& release) {
    if (HeldByThisThread())
        return false;
    std::lock_guard<std::mutex> one(m_releases);
    m_releaseWaiting.store(true, std::memory_order_release);
    struct Done {
        std::atomic<bool>& waiting;
        ~Done() { waiting.store(false, std::memory_order_release); }
    } done{m_releaseWaiting};
    std::unique_lock<CReadMostlyMutex> exclusive(m_lock);
    release();
    return true;
}

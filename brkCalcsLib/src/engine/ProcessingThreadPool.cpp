#include "engine/ProcessingThreadPool.h"

#include <algorithm>
#include <exception>

#include "Logging/Log.h"

unsigned CProcessingThreadPool::Start(unsigned n) {
    n = std::min(n, kSlotCount);
    for (unsigned i = 0; i < n; ++i) {
        if (m_slots[i].IsRunning() && !m_slots[i].IsStopRequested())
            continue;
        // A thread that outlived the last stop's join is still in its last handler and leaves the
        // loop after it: wait for it, or the slot would never run again.
        m_slots[i].Join();
        m_slots[i].ResetStopped();
        try {
            m_slots[i].Start();
        } catch (const std::exception& e) {
            // Records go round the slots that run; a slot without a thread would swallow its share.
            LOG_SEV(error) << "can't start processing thread " << i << ": " << e.what();
            n = i;
            break;
        }
    }
    m_threadCount = n;
    return n;
}

void CProcessingThreadPool::Purge() {
    for (auto& slot : m_slots)
        slot.ResetStopped();
}

void CProcessingThreadPool::Terminate() {
    for (unsigned i = 0; i < kSlotCount; ++i) {
        m_slots[i].StopLoop();
        if (!m_slots[i].JoinFor(boost::chrono::milliseconds(kJoinTimeoutMs)))
            LOG_SEV(warning) << "processing thread " << i << " did not stop within " << kJoinTimeoutMs << " ms";
    }
}

unsigned CProcessingThreadPool::RunningCount() const {
    return static_cast<unsigned>(
        std::count_if(m_slots.begin(), m_slots.end(), [](const CProcessingThread& t) { return t.IsRunning(); }));
}

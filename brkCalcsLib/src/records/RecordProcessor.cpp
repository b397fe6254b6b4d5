#include "records/RecordProcessor.h"

#include "Logging/Log.h"
#include "records/Record.h"
#include "records/RecordBarrier.h"

CRecordProcessor& CRecordProcessor::Instance() {
    static CRecordProcessor processor;
    return processor;
}

bool CRecordProcessor::Post(IRecord* record) {
    if (m_threads.ThreadCount() == 0)
        return false;
    auto& state = record->m_processingState;
    uint8_t current = state.load();
    for (;;) {
        uint8_t next;
        switch (current) {
        case eIdle:
            next = eQueued;
            break;
        case eRunning:
            next = eRunningAgain;
            break;
        default:  // queued, or already asked to run again
            return true;
        }
        if (state.compare_exchange_weak(current, next)) {
            return next == eQueued ? Enqueue(record, m_generation.load()) : true;
        }
    }
}

bool CRecordProcessor::Enqueue(IRecord* record, uint64_t generation) {
    const bool queued = m_threads.PostRoundRobin([this, record, generation] { Run(record, generation); });
    if (!queued)
        record->m_processingState = eIdle;
    return queued;
}

void CRecordProcessor::Run(IRecord* record, uint64_t generation) {
    const CRecordBarrier::Shared records;
    if (generation != m_generation.load())
        return;  // the record was released after this run was queued
    auto& state = record->m_processingState;
    state = eRunning;
    struct RequeueOnExit {
        CRecordProcessor& processor;
        IRecord* record;
        uint64_t generation;
        ~RequeueOnExit() {
            uint8_t running = eRunning;
            if (!record->m_processingState.compare_exchange_strong(running, eIdle)) {
                // A quote arrived during the run: one more run picks it up. It keeps this run's
                // generation, so a release that started meanwhile turns it into a no-op.
                record->m_processingState = eQueued;
                processor.Enqueue(record, generation);
            }
        }
    } requeue{*this, record, generation};
    record->Process(0);
}

bool CRecordProcessor::ReleaseWhileIdle(const std::function<void()>& release) {
    const bool released = CRecordBarrier::Instance().RunExclusive([&] {
        release();
        ++m_generation;
    });
    if (!released)
        LOG_SEV(error) << "records cannot be released from inside a calculation or a library call";
    return released;
}

// The interface of every record the library keeps: options and underlyings.
#pragma once

#include <atomic>
#include <cstdint>
#include <shared_mutex>

class CRecordProcessor;

class IRecord {
public:
    IRecord() = default;
    virtual ~IRecord() = default;
    IRecord(const IRecord&) = delete;
    IRecord& operator=(const IRecord&) = delete;

    virtual void SetForeignId(int64_t id) { m_foreignId = id; }
    // Recalculates the record and publishes its results.
    virtual void Process(int) {}

    int64_t ForeignId() const { return m_foreignId; }

    // On an underlying: guards its option lists. Calculations hold it shared, list changes exclusively.
    mutable std::shared_mutex m_lock;

protected:
    std::atomic<int64_t> m_foreignId{-1};

private:
    friend class CRecordProcessor;
    // Where the record stands with the processing threads (CRecordProcessor's states). Every post
    // and run writes it: on a cache line of its own, so the calculations reading the record's
    // links and quotes on other threads do not lose them to it.
    alignas(64) std::atomic<uint8_t> m_processingState{0};
};

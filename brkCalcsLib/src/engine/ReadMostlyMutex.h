// A shared mutex for state that every calculation reads and the host rarely changes (the record
// barrier). A reader counts itself in a counter of its own cache line, so readers on
// different threads do not write a common line as they would the single reader count of a
// std::shared_mutex. A writer waits until no reader is counted.
//
// Readers are preferred, as with glibc's rwlock: a reader arriving while a writer waits still gets
// in (a host thread inside the library may be what a reader it waits for needs); only a writer that
// holds the mutex turns readers away. A writer can therefore wait as long as readers keep coming:
// its user holds newcomers back itself. Shared locking is not recursive.
#pragma once

#include <array>
#include <atomic>
#include <mutex>

class CReadMostlyMutex {
public:
    void lock_shared();
    void unlock_shared();
    void lock();
    void unlock();

private:
    static constexpr unsigned kStripes = 16;
    struct alignas(64) Stripe {
        std::atomic<int> readers{0};
    };

    Stripe& ThisThreadStripe();
    bool NoReaders() const;

    std::array<Stripe, kStripes> m_stripes;
    alignas(64) std::atomic<bool> m_writerIn{false};
    std::mutex m_writers;  // one writer at a time
};

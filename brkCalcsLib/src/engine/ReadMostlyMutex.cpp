#include "engine/ReadMostlyMutex.h"

#include <chrono>
#include <thread>

namespace {

std::atomic<unsigned> g_nextStripe{0};

// Short waits spin politely; long ones sleep, as a writer or a reader may wait on the host.
void Backoff(unsigned& round) {
    if (++round < 64)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}

}  // namespace

CReadMostlyMutex::Stripe& CReadMostlyMutex::ThisThreadStripe() {
    thread_local const unsigned stripe = g_nextStripe.fetch_add(1, std::memory_order_relaxed) % kStripes;
    return m_stripes[stripe];
}

bool CReadMostlyMutex::NoReaders() const {
    for (const Stripe& stripe : m_stripes)
        if (stripe.readers.load() != 0)
            return false;
    return true;
}

// A reader counts itself, then looks for a writer; a writer marks itself in, then looks for readers.
// Both steps are sequentially consistent, so at least one of the two sees the other.
void CReadMostlyMutex::lock_shared() {
    Stripe& stripe = ThisThreadStripe();
    for (unsigned round = 0;; Backoff(round)) {
        stripe.readers.fetch_add(1);
        if (!m_writerIn.load())
            return;
        stripe.readers.fetch_sub(1);
        while (m_writerIn.load())
            Backoff(round);
    }
}

void CReadMostlyMutex::unlock_shared() { ThisThreadStripe().readers.fetch_sub(1, std::memory_order_release); }

void CReadMostlyMutex::lock() {
    m_writers.lock();
    for (unsigned round = 0;; Backoff(round)) {
        if (!NoReaders())
            continue;
        m_writerIn.store(true);
        if (NoReaders())
            return;
        m_writerIn.store(false);  // a reader came in meanwhile: it goes first
    }
}

void CReadMostlyMutex::unlock() {
    m_writerIn.store(false, std::memory_order_release);
    m_writers.unlock();
}

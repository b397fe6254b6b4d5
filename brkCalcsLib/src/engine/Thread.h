// Base of the library's own threads: a stop request flag, a running flag and the thread itself.
#pragma once

#include <atomic>

#include <boost/thread/thread.hpp>

class CThread {
public:
    CThread() = default;
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    virtual void Stop() { m_bStopRequested = true; }
    virtual int Run() = 0;

    // Starts Run on a new thread. A previous thread of this object is joined first, so one object
    // never has two threads in Run.
    void Start();
    // Waits at most the given time for the thread; true when it has ended (or never ran).
    bool JoinFor(boost::chrono::milliseconds timeout);
    // Waits for the thread, however long it takes. Derived destructors call it before their
    // members go, since Run uses them.
    void Join();
    bool IsRunning() const { return m_bRunning; }
    bool IsStopRequested() const { return m_bStopRequested; }

protected:
    std::atomic<bool> m_bStopRequested{false};

private:
    std::atomic<bool> m_bRunning{false};
    boost::thread m_thread;
};

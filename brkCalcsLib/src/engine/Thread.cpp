#include "engine/Thread.h"

CThread::~CThread() { Join(); }

void CThread::Start() {
    Join();
    m_bStopRequested = false;
    m_bRunning = true;
    try {
        m_thread = boost::thread([this] {
            Run();
            m_bRunning = false;
        });
    } catch (...) {
        m_bRunning = false;  // no thread: the slot must be started again next time
        throw;
    }
}

bool CThread::JoinFor(boost::chrono::milliseconds timeout) {
    if (!m_thread.joinable())
        return true;
    return m_thread.try_join_for(timeout);
}

void CThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

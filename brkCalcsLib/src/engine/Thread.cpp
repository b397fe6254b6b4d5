#include "engine/Thread.h"

CThread::~CThread() { JoinOnDestruction(); }

void CThread::Start() {
    if (m_thread.joinable())
        m_thread.join();
    m_bStopRequested = false;
    m_bRunning = true;
    m_thread = boost::thread([this] {
        Run();
        m_bRunning = false;
    });
}

bool CThread::JoinFor(boost::chrono::milliseconds timeout) {
    if (!m_thread.joinable())
        return true;
    return m_thread.try_join_for(timeout);
}

void CThread::JoinOnDestruction() {
    if (m_thread.joinable())
        m_thread.join();
}

#include "server/Backlog.h"

namespace Network {

void Backlog::add(Held kind, std::size_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    (kind == Held::request ? m_requestBytes : m_replyBytes) += bytes;
}

bool Backlog::release(Held kind, std::size_t bytes) {
    bool resume = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::size_t& held = kind == Held::request ? m_requestBytes : m_replyBytes;
        held -= bytes < held ? bytes : held;
        if (m_bPaused && total() <= m_limit) {
            m_bPaused = false;
            resume = true;
        }
    }
    if (kind == Held::reply)
        m_replyRoom.notify_all();
    return resume;
}

bool Backlog::mayRead() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPaused = total() > m_limit;
    return !m_bPaused;
}

bool Backlog::waitForReplyRoom() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_replyRoom.wait(lock, [this] { return m_bClosed || m_replyBytes <= m_limit; });
    return !m_bClosed;
}

void Backlog::close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosed = true;
    }
    m_replyRoom.notify_all();
}

}  // namespace Network

#include "server/Backlog.h"

namespace Network {

void Backlog::add(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bytes += bytes;
}

bool Backlog::release(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bytes -= bytes < m_bytes ? bytes : m_bytes;
    if (!m_bPaused || m_bytes > m_limit)
        return false;
    m_bPaused = false;
    return true;
}

bool Backlog::mayRead() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPaused = m_bytes > m_limit;
    return !m_bPaused;
}

}  // namespace Network

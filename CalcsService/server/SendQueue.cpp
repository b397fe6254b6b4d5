#include "server/SendQueue.h"

#include <utility>

namespace Network {

void SendQueue::push(Packet packet) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packets.push_back(std::move(packet));
    }
    m_cond.notify_one();
}

void SendQueue::takeAll(std::deque<Packet>& batch, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait_for(lock, timeout, [this] { return !m_packets.empty() || m_bWoken; });
    m_bWoken = false;
    for (auto& packet : m_packets)
        batch.push_back(std::move(packet));
    m_packets.clear();
}

void SendQueue::wakeAll() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bWoken = true;
    }
    m_cond.notify_all();
}

}  // namespace Network

// The outgoing packets of one session, oldest first, between the threads that produce replies and the
// one thread that writes them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace Network {

class SendQueue {
public:
    using Packet = std::vector<std::uint8_t>;

    // Appends a packet and wakes the writer.
    void push(Packet packet);

    // Moves every queued packet into batch (oldest first); when none is queued, waits until one is,
    // until wakeAll or at most `timeout`.
    void takeAll(std::deque<Packet>& batch, std::chrono::milliseconds timeout);

    // Wakes a waiting writer without a packet (the session is stopping).
    void wakeAll();

private:
    std::deque<Packet> m_packets;
    bool m_bWoken = false;
    std::mutex m_mutex;  // guards the members above; never held while writing
    std::condition_variable m_cond;
};

}  // namespace Network

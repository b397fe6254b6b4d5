// The bytes a session holds on behalf of its client (requests waiting for the worker, replies waiting
// for the socket). Reading pauses while they exceed a limit, so a client that sends faster than it
// reads cannot grow the service's memory without bound.
#pragma once

#include <cstddef>
#include <mutex>

namespace Network {

class Backlog {
public:
    static constexpr std::size_t kDefaultLimit = std::size_t(64) << 20;

    explicit Backlog(std::size_t limit = kDefaultLimit) : m_limit(limit) {}

    void add(std::size_t bytes);

    // The bytes have left the session. True exactly once after the reader paused, when the backlog is
    // back within the limit: the caller then resumes reading.
    bool release(std::size_t bytes);

    // For the reader before its next read: true when it may read on; false when it pauses (a later
    // release resumes it).
    bool mayRead();

private:
    const std::size_t m_limit;
    std::size_t m_bytes = 0;
    bool m_bPaused = false;
    std::mutex m_mutex;  // guards m_bytes and m_bPaused
};

}  // namespace Network

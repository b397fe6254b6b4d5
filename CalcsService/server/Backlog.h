// The bytes a session holds on behalf of its client (requests waiting for the worker, replies waiting
// for the socket). Reading pauses while they exceed a limit, so a client that sends faster than it
// reads cannot grow the service's memory without bound; and since a small request can have a large
// reply, the worker takes no further request while the replies alone exceed it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace Network {

class Backlog {
public:
    static constexpr std::size_t kDefaultLimit = std::size_t(64) << 20;

    enum class Held { request, reply };

    explicit Backlog(std::size_t limit = kDefaultLimit) : m_limit(limit) {}

    void add(Held kind, std::size_t bytes);

    // The bytes have left the session. True exactly once after the reader paused, when the backlog is
    // back within the limit: the caller then resumes reading.
    bool release(Held kind, std::size_t bytes);

    // For the reader before its next read: true when it may read on; false when it pauses (a later
    // release resumes it).
    bool mayRead();

    // For the worker before it starts a request: waits while the replies exceed the limit. False once
    // the backlog is closed (at once then).
    bool waitForReplyRoom();

    // The session ends: a waiting worker returns, and no later wait blocks.
    void close();

private:
    std::size_t total() const { return m_requestBytes + m_replyBytes; }

    const std::size_t m_limit;
    std::size_t m_requestBytes = 0;
    std::size_t m_replyBytes = 0;
    bool m_bPaused = false;
    bool m_bClosed = false;
    std::mutex m_mutex;  // guards the members above
    std::condition_variable m_replyRoom;  // replies left, or closed
};

}  // namespace Network

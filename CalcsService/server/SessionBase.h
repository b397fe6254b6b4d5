// One client connection of a service: reads framed packets on the io_context's thread, processes them
// one at a time in arrival order on a worker thread, writes replies (from a send thread when the
// session has one, else on the thread that made them), and ends in one sequence. Any thread may ask
// for the end (disconnect); the owner then finishes the session on the io_context's thread (finish),
// which joins the threads before anything is cleaned up. A service's own session derives from it and
// adds what it processes and what it clears at the end.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/thread/thread.hpp>

#include "server/Backlog.h"
#include "server/SendQueue.h"

namespace Network {

class SessionBase : public std::enable_shared_from_this<SessionBase> {
public:
    using Packet = std::vector<std::uint8_t>;
    using PacketPtr = std::shared_ptr<const Packet>;
    // Told, on the thread that asked, that the session wants to end; the owner then calls finish on the
    // io_context's thread.
    using StopListener = std::function<void()>;

    // The send thread looks at its stop flag at least this often.
    static constexpr std::chrono::milliseconds kSendWait{1000};

    // How replies reach the socket: queued for a send thread of the session's own, so that the worker
    // never blocks on the socket; or written at once by the thread that made them, for a protocol that
    // hardly ever replies and should not pay a thread per connection for it.
    enum class Replies { sendThread, writtenAtOnce };

    SessionBase(boost::asio::io_context& io, Replies replies, std::size_t backlogLimit = Backlog::kDefaultLimit);
    // A session that was started must have been finished by its derived class or owner; this only
    // makes sure no thread of the base outlives it.
    virtual ~SessionBase();
    SessionBase(const SessionBase&) = delete;
    SessionBase& operator=(const SessionBase&) = delete;

    boost::asio::ip::tcp::socket& socket() { return m_socket; }
    // The session's address, as its log lines show it.
    std::string address() const;

    // Before start.
    void setStopListener(StopListener listener) { m_stopListener = std::move(listener); }

    // On the io_context's thread, once, after the accept: starts the threads and the reads.
    void start();

    // Any thread: asks for the end. The first call stops the worker (packets not yet processed are
    // dropped), shuts the socket down, wakes the threads and tells the stop listener; later calls,
    // and calls on a session that never started, do nothing.
    void disconnect();

    // The owner, not a session thread: disconnects, joins every thread, closes the socket and runs
    // onFinished. Only the first call does anything.
    void finish();

    bool isStopping() const { return m_bStop.load() != 0; }
    // Non-zero once the session is stopping: what a long request looks at to give way.
    const std::atomic<int>& stopFlag() const { return m_bStop; }

    // On the io_context's thread: when the session started or last read a packet, whichever is later.
    std::chrono::steady_clock::time_point lastActivity() const { return m_lastActivity; }

protected:
    // On the worker thread: one complete packet whose size field is within the framing's bounds. An
    // exception ends the session.
    virtual void processPacket(const PacketPtr& packet) = 0;
    // On start, before the first read: starts the derived class's threads.
    virtual void onStarted() {}
    // In finish, after the send thread and before the worker have been joined.
    virtual void joinThreads() {}
    // In finish, after every thread has been joined and the socket closed.
    virtual void onFinished() {}
    // True: when the client hangs up, the packets it sent before are still processed, then the session
    // disconnects itself. False: the session stays idle until its owner finishes it.
    virtual bool endsWhenClientLeaves() const { return false; }

    // Any thread: queues a reply for the send thread, or writes it at once (see Replies); an empty
    // reply is ignored, a malformed one is logged and dropped.
    void queueReply(Packet reply);

    // Sleeps for at most `timeout`; true when the session is stopping (returns at once then).
    bool waitForStop(std::chrono::milliseconds timeout);

private:
    void readPacket();
    void handleHeaderRead(const boost::system::error_code& ec);
    void handleBodyRead(const boost::system::error_code& ec, std::size_t bytesTransferred);
    void onReadFailed();
    void resumeReading();
    void dispatchPacket(const PacketPtr& packet);
    void processGuarded(const PacketPtr& packet);
    void workerFunc();
    void sendFunc();
    void writeAll(const Packet& packet);
    static void joinUnlessCurrent(boost::thread& thread);

    boost::asio::io_context& m_io;
    const Replies m_replies;
    const std::unique_ptr<std::uint8_t[]> m_recvBuffer;  // one packet, from its first byte
    boost::asio::ip::tcp::socket m_socket;
    int m_fd = -1;  // the socket's descriptor from start until finish closes it
    boost::asio::io_context m_workerIo;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_workerWork;
    SendQueue m_sendQueue;
    Backlog m_backlog;
    StopListener m_stopListener;
    std::atomic<int> m_bStop{1};  // 1 until start, 0 while running, 1 again from disconnect
    bool m_bStarted = false;
    bool m_bFinished = false;
    std::chrono::steady_clock::time_point m_lastActivity;
    std::mutex m_stopMutex;  // pairs with m_stopCond for waitForStop
    std::condition_variable m_stopCond;
    boost::thread m_workerThread;
    boost::thread m_sendThread;
};

}  // namespace Network

#include "server/SessionBase.h"

#include <cerrno>
#include <exception>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <utility>

#include <boost/asio/buffer.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/system/system_error.hpp>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "server/PacketFraming.h"

namespace Network {

SessionBase::SessionBase(boost::asio::io_context& io, Replies replies, std::size_t backlogLimit)
    : m_io(io),
      m_replies(replies),
      // Not value-initialised: pages that no packet touches are never committed.
      m_recvBuffer(new std::uint8_t[MAX_PACKET_SIZE]),
      m_socket(io),
      m_workerWork(m_workerIo.get_executor()),
      m_backlog(backlogLimit) {
    LOG_SEV(info) << "session constructor:" << address();
}

SessionBase::~SessionBase() {
    LOG_SEV(info) << "session destructor:" << address();
    if (m_workerThread.joinable() || m_sendThread.joinable()) {
        disconnect();
        joinUnlessCurrent(m_sendThread);
        joinUnlessCurrent(m_workerThread);
    }
}

std::string SessionBase::address() const {
    std::ostringstream text;
    text << static_cast<const void*>(this);
    return text.str();
}

void SessionBase::start() {
    LOG_SCOPE("session");
    LOG_SEV(info) << "------------started: " << address() << "------------";
    m_fd = m_socket.native_handle();
    m_bStarted = true;
    m_lastActivity = std::chrono::steady_clock::now();
    m_bStop = 0;
    m_workerThread = boost::thread(&SessionBase::workerFunc, this);
    if (m_replies == Replies::sendThread)
        m_sendThread = boost::thread(&SessionBase::sendFunc, this);
    onStarted();
    readPacket();
}

void SessionBase::disconnect() {
    if (m_bStop.exchange(1) != 0)
        return;
    m_workerIo.stop();
    LOG_SEV(info) << "disconnect: " << address();
    // Ends a blocked write and the pending read; the descriptor stays open until the threads are joined.
    ::shutdown(m_fd, SHUT_RDWR);
    m_sendQueue.wakeAll();
    m_backlog.close();
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
    }
    m_stopCond.notify_all();
    if (m_stopListener)
        m_stopListener();
}

void SessionBase::finish() {
    if (m_bFinished)
        return;
    m_bFinished = true;
    if (!m_bStarted)
        return;
    try {
        disconnect();
        joinUnlessCurrent(m_sendThread);
        joinThreads();
        joinUnlessCurrent(m_workerThread);
        boost::system::error_code ignored;
        m_socket.close(ignored);
        onFinished();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "Disconnect exception:" << e.what();
    } catch (...) {
        LOG_SEV(error) << "Unknown disconnect exception";
    }
}

void SessionBase::queueReply(Packet reply) {
    if (reply.empty() || !isSendableReply(reply))
        return;
    if (m_replies == Replies::writtenAtOnce) {
        writeAll(reply);
        return;
    }
    m_backlog.add(Backlog::Held::reply, reply.size());
    m_sendQueue.push(std::move(reply));
}

bool SessionBase::waitForStop(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_stopMutex);
    return m_stopCond.wait_for(lock, timeout, [this] { return isStopping(); });
}

void SessionBase::readPacket() {
    try {
        if (isStopping())
            return;
        auto self = shared_from_this();
        boost::asio::async_read(m_socket, boost::asio::buffer(m_recvBuffer.get(), PACKET_PREFIX_SIZE),
                                [self](const boost::system::error_code& ec, std::size_t) {
                                    self->handleHeaderRead(ec);
                                });
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception in readPacket, " << e.what();
        disconnect();
    } catch (...) {
        LOG_SEV(error) << "unknown exception in readPacket";
        disconnect();
    }
}

void SessionBase::handleHeaderRead(const boost::system::error_code& ec) {
    if (ec) {
        onReadFailed();
        return;
    }
    try {
        const std::uint32_t size = prefixPacketSize(m_recvBuffer.get());
        if (!isReadablePacketSize(size)) {
            LOG_SEV(error) << "wrong packet size in header: " << size << ", the session is closed";
            disconnect();
            return;
        }
        auto self = shared_from_this();
        boost::asio::async_read(m_socket,
                                boost::asio::buffer(m_recvBuffer.get() + PACKET_PREFIX_SIZE, size - PACKET_PREFIX_SIZE),
                                [self](const boost::system::error_code& bodyEc, std::size_t bytesTransferred) {
                                    self->handleBodyRead(bodyEc, bytesTransferred);
                                });
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception in handleHeaderRead, " << e.what();
        disconnect();
    } catch (...) {
        LOG_SEV(error) << "unknown exception in handleHeaderRead";
        disconnect();
    }
}

void SessionBase::handleBodyRead(const boost::system::error_code& ec, std::size_t bytesTransferred) {
    if (ec) {
        onReadFailed();
        return;
    }
    auto packet = std::make_shared<const Packet>(m_recvBuffer.get(),
                                                 m_recvBuffer.get() + PACKET_PREFIX_SIZE + bytesTransferred);
    m_lastActivity = std::chrono::steady_clock::now();
    m_backlog.add(Backlog::Held::request, packet->size());
    boost::asio::post(m_workerIo, [this, packet] { dispatchPacket(packet); });
    if (m_backlog.mayRead())
        readPacket();
}

// A closed or failed connection leaves the session idle until its owner finishes it, unless the session
// ends itself behind the packets already queued for the worker.
void SessionBase::onReadFailed() {
    if (endsWhenClientLeaves())
        boost::asio::post(m_workerIo, [this] { disconnect(); });
}

void SessionBase::resumeReading() {
    boost::asio::post(m_io, [self = shared_from_this()] { self->readPacket(); });
}

void SessionBase::dispatchPacket(const PacketPtr& packet) {
    // A small request can have a large reply: while the replies waiting for the client exceed the
    // bound (reading has paused then too), the next request waits for the send thread to drain them.
    // Once the service stops (its io_context stopped), no queued request starts: the server only finishes
    // its sessions after the io_context's run has returned.
    if (!m_io.stopped() && m_backlog.waitForReplyRoom())
        processGuarded(packet);
    if (m_backlog.release(Backlog::Held::request, packet->size()))
        resumeReading();
}

void SessionBase::processGuarded(const PacketPtr& packet) {
    try {
        processPacket(packet);
    } catch (const boost::thread_interrupted&) {
        LOG_SEV(warning) << "worker thread is interrupted";
        disconnect();
    } catch (const boost::system::system_error& e) {
        LOG_SEV(error) << "boost::system::system_error in workerFunc, " << Logging::EscapeClientText(e.what());
        disconnect();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "std::exception in workerFunc, " << Logging::EscapeClientText(e.what());
        disconnect();
    } catch (...) {
        LOG_SEV(error) << "exception in workerFunc";
        disconnect();
    }
}

void SessionBase::workerFunc() {
    LOG_SCOPE("session::workerFunc");
    LOG_SEV(info) << "Start";
    try {
        m_workerIo.run();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "std::exception in workerFunc, " << Logging::EscapeClientText(e.what());
        disconnect();
    }
    LOG_SEV(info) << "End";
}

void SessionBase::sendFunc() {
    LOG_SCOPE("session::sendFunc");
    LOG_SEV(info) << "session sending thread started";
    try {
        std::deque<Packet> batch;
        while (!isStopping()) {
            boost::this_thread::interruption_point();
            m_sendQueue.takeAll(batch, kSendWait);
            // Packets still queued when the session stops are dropped.
            for (; !batch.empty() && !isStopping(); batch.pop_front()) {
                writeAll(batch.front());
                if (m_backlog.release(Backlog::Held::reply, batch.front().size()))
                    resumeReading();
            }
            batch.clear();
        }
    } catch (const boost::thread_interrupted&) {
        LOG_SEV(warning) << "thread is interrupted";
        disconnect();
    } catch (const boost::system::system_error& e) {
        LOG_SEV(error) << "boost::system::system_error in send thread, " << e.what();
        disconnect();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "std::exception in send thread, " << e.what();
        disconnect();
    } catch (...) {
        LOG_SEV(error) << "exception in send thread";
        disconnect();
    }
    LOG_SEV(info) << "session send thread terminated";
}

// The descriptor is written directly (never through the socket object, which the io_context's thread
// uses for reading); MSG_NOSIGNAL turns a closed peer into EPIPE instead of SIGPIPE.
void SessionBase::writeAll(const Packet& packet) {
    const std::uint8_t* data = packet.data();
    std::size_t left = packet.size();
    while (left > 0) {
        const ssize_t written = ::send(m_fd, data, left, MSG_NOSIGNAL);
        if (written > 0) {
            data += written;
            left -= static_cast<std::size_t>(written);
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The socket is non-blocking for the reads; wait until it takes more, or the session stops.
            pollfd writable{m_fd, POLLOUT, 0};
            ::poll(&writable, 1, static_cast<int>(kSendWait.count()));
            if (isStopping())
                return;
        } else if (written < 0 && errno != EINTR) {
            throw boost::system::system_error(errno, boost::system::system_category(), "write");
        }
    }
}

void SessionBase::joinUnlessCurrent(boost::thread& thread) {
    if (thread.joinable() && thread.get_id() != boost::this_thread::get_id())
        thread.join();
}

}  // namespace Network

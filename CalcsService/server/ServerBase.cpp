#include "server/ServerBase.h"

#include <exception>

#include <boost/asio/post.hpp>

#include "Logging/Log.h"

namespace Network {

ServerBase::ServerBase(boost::asio::io_context& io, unsigned short port)
    : m_io(io), m_acceptor(io, "127.0.0.1", port) {
    // Any free port was asked for: say which one clients are to use.
    if (port == 0)
        LOG_SEV(info) << "listening on 127.0.0.1:" << m_acceptor.port();
}

void ServerBase::startAccept() {
    auto waiting = makeSession();
    m_acceptor.accept(waiting->socket(),
                      [this, waiting](const boost::system::error_code& ec) { handle_accept(waiting, ec); });
}

void ServerBase::handle_accept(const std::shared_ptr<SessionBase>& waiting, const boost::system::error_code& ec) {
    if (ec)
        return;  // the acceptor closed: the waiting session goes
    // No session starts once the service's stop has begun (its io_context stopped), also when the stop
    // came while the derived server made room for this client.
    if (!m_io.stopped())
        onAccepted(waiting);
    if (m_io.stopped()) {
        LOG_SEV(warning) << "the service is stopping, connection closed: " << waiting->address();
        boost::system::error_code ignored;
        waiting->socket().close(ignored);
        return;
    }
    std::weak_ptr<SessionBase> weak = waiting;
    waiting->setStopListener([this, weak] { boost::asio::post(m_io, [this, weak] { onStopRequested(weak); }); });
    waiting->start();
    startAccept();
}

void ServerBase::stopAccepting() {
    try {
        m_acceptor.close();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "server close: " << e.what();
    }
}

void ServerBase::runPendingHandlers() {
    m_io.restart();
    m_io.poll();
    // Stopped again, as the service left it: whatever is posted from now on (by a session that outlives
    // this server) waits for a run that never comes instead of reaching this object.
    m_io.stop();
}

}  // namespace Network

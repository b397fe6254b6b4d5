#include "server/ServerBase.h"

#include <exception>

#include <boost/asio/post.hpp>

#include "Logging/Log.h"

namespace Network {

ServerBase::ServerBase(boost::asio::io_context& io, unsigned short port)
    : m_io(io), m_acceptor(io, "127.0.0.1", port) {}

void ServerBase::startAccept() {
    auto waiting = makeSession();
    m_acceptor.accept(waiting->socket(),
                      [this, waiting](const boost::system::error_code& ec) { handle_accept(waiting, ec); });
}

void ServerBase::handle_accept(const std::shared_ptr<SessionBase>& waiting, const boost::system::error_code& ec) {
    if (ec)
        return;  // the acceptor closed: the waiting session goes
    onAccepted(waiting);
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
}

}  // namespace Network

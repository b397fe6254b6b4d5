// What both services' servers share: listening on 127.0.0.1, accepting each client into a session the
// derived server makes, starting it, and telling the derived server when a session asks to end (on
// the io_context's thread). The derived server decides how many sessions live at once and ends them.
#pragma once

#include <memory>

#include <boost/asio/io_context.hpp>

#include "server/Acceptor.h"
#include "server/SessionBase.h"

namespace Network {

class ServerBase {
public:
    ServerBase(const ServerBase&) = delete;
    ServerBase& operator=(const ServerBase&) = delete;

    // The port it listens on.
    unsigned short port() const { return m_acceptor.port(); }

protected:
    // Listens on 127.0.0.1:port (0: any free port, logged once bound). Throws boost::system::system_error
    // when it cannot.
    ServerBase(boost::asio::io_context& io, unsigned short port);
    virtual ~ServerBase() = default;

    // Waits for the next client; the derived constructor calls it first, once it is ready.
    void startAccept();
    // Stops accepting; a connection already taken but not yet handed on is closed. A failure to close
    // is logged.
    void stopAccepting();
    // Runs the handlers the closing left pending (the aborted accept, the ended reads, the sessions'
    // stop requests), which hold this object or the sessions, then leaves the io_context stopped. For
    // the derived destructor, last.
    void runPendingHandlers();

    boost::asio::io_context& m_io;

private:
    // The session for the next client.
    virtual std::shared_ptr<SessionBase> makeSession() = 0;
    // A client connected; its session starts right after this.
    virtual void onAccepted(const std::shared_ptr<SessionBase>& accepted) = 0;
    // A session asked to end; it may be gone already or ended by then.
    virtual void onStopRequested(const std::weak_ptr<SessionBase>& stopping) = 0;

    void handle_accept(const std::shared_ptr<SessionBase>& waiting, const boost::system::error_code& ec);

    Acceptor m_acceptor;
};

}  // namespace Network

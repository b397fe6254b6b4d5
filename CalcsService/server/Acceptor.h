// A listening TCP socket that accepts one connection at a time into a socket the caller provides.
// Accept errors other than the acceptor's own closing are logged and the accept is tried again, so a
// passing failure (out of descriptors, a connection reset before it was taken) never ends accepting.
#pragma once

#include <functional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

namespace Network {

class Acceptor {
public:
    // Called on the io_context's thread with success or with operation_aborted (the acceptor closed).
    using AcceptHandler = std::function<void(const boost::system::error_code&)>;

    // Listens on address:port (port 0: any free port). Throws boost::system::system_error naming the
    // failed step and where: "bind 127.0.0.1:9999: Address already in use" (open, set_option, bind or
    // listen).
    Acceptor(boost::asio::io_context& io, const std::string& address, unsigned short port);

    // The port it listens on.
    unsigned short port() const;

    // Accepts the next connection into socket (closed, on the same io_context); the socket is
    // close-on-exec before the handler runs.
    void accept(boost::asio::ip::tcp::socket& socket, AcceptHandler handler);

    // Stops listening; a pending accept completes with operation_aborted, also one that had taken a
    // connection already (that connection is closed). Throws
    // boost::system::system_error "close".
    void close();

private:
    void onAccepted(boost::asio::ip::tcp::socket& socket, AcceptHandler handler, const boost::system::error_code& ec);

    boost::asio::ip::tcp::acceptor m_acceptor;
    boost::asio::steady_timer m_retryTimer;
};

// Marks a descriptor close-on-exec, so that programs the service starts do not inherit it.
void setCloseOnExec(int fd);

}  // namespace Network

#include "server/Acceptor.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <utility>

#include <boost/asio/error.hpp>
#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/socket_base.hpp>
#include <boost/system/system_error.hpp>

#include "Logging/Log.h"

namespace Network {

namespace {

// Before an accept that failed for want of descriptors or memory is tried again.
constexpr std::chrono::milliseconds kRetryPause{100};

void throwOnError(const boost::system::error_code& ec, const std::string& what) {
    if (ec)
        throw boost::system::system_error(ec, what);
}

// Out of descriptors or memory: retrying at once would only spin.
bool isResourceShortage(const boost::system::error_code& ec) {
    return ec == boost::asio::error::no_descriptors || ec.value() == ENFILE || ec == boost::asio::error::no_buffer_space ||
           ec == boost::asio::error::no_memory;
}

}  // namespace

void setCloseOnExec(int fd) {
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags < 0 || ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC) < 0)
        LOG_SEV(error) << "can't make a socket close-on-exec, error: " << errno;
}

Acceptor::Acceptor(boost::asio::io_context& io, const std::string& address, unsigned short port)
    : m_acceptor(io), m_retryTimer(io) {
    const boost::asio::ip::tcp::endpoint endpoint(boost::asio::ip::make_address_v4(address), port);
    // The operator reads which port could not be had, and from the log alone.
    const std::string where = " " + address + ":" + std::to_string(port);
    boost::system::error_code ec;
    m_acceptor.open(endpoint.protocol(), ec);
    throwOnError(ec, "open" + where);
    setCloseOnExec(m_acceptor.native_handle());
    m_acceptor.set_option(boost::asio::socket_base::reuse_address(true), ec);
    throwOnError(ec, "set_option" + where);
    m_acceptor.bind(endpoint, ec);
    throwOnError(ec, "bind" + where);
    m_acceptor.listen(boost::asio::socket_base::max_listen_connections, ec);
    throwOnError(ec, "listen" + where);
}

unsigned short Acceptor::port() const {
    return m_acceptor.local_endpoint().port();
}

void Acceptor::accept(boost::asio::ip::tcp::socket& socket, AcceptHandler handler) {
    m_acceptor.async_accept(socket, [this, &socket, handler = std::move(handler)](const boost::system::error_code& ec) {
        onAccepted(socket, handler, ec);
    });
}

void Acceptor::onAccepted(boost::asio::ip::tcp::socket& socket, AcceptHandler handler,
                          const boost::system::error_code& ec) {
    // A connection taken just before close() is refused like one that came after it: once closed, the
    // acceptor hands on nothing.
    if (ec == boost::asio::error::operation_aborted || !m_acceptor.is_open()) {
        boost::system::error_code ignored;
        socket.close(ignored);
        handler(boost::asio::error::operation_aborted);
        return;
    }
    if (!ec) {
        setCloseOnExec(socket.native_handle());
        handler(ec);
        return;
    }
    LOG_SEV(warning) << "handle_accept, error, reset session:" << ec.category().name() << ":" << ec.value();
    boost::system::error_code ignored;
    socket.close(ignored);
    if (!isResourceShortage(ec)) {
        accept(socket, std::move(handler));
        return;
    }
    m_retryTimer.expires_after(kRetryPause);
    m_retryTimer.async_wait([this, &socket, handler = std::move(handler)](const boost::system::error_code& waited) {
        if (waited || !m_acceptor.is_open())
            handler(boost::asio::error::operation_aborted);
        else
            accept(socket, handler);
    });
}

void Acceptor::close() {
    boost::system::error_code ec;
    m_retryTimer.cancel();
    m_acceptor.close(ec);
    throwOnError(ec, "close");
}

}  // namespace Network

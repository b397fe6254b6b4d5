// For tests of a server that starts on its own thread or process: a loopback port nothing listens on,
// and a client that connects once the server accepts.
#pragma once

#include <memory>
#include <stdexcept>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "platform/PlatformTestSupport.h"
#include "support/ProtocolClient.h"

namespace testsupport {

// A loopback port nothing listens on right now.
inline unsigned short freePort() {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor probe(io, {boost::asio::ip::make_address_v4("127.0.0.1"), 0});
    return probe.local_endpoint().port();
}

// A client of the server on the port, once it accepts one; none when it never does.
inline std::unique_ptr<ProtocolClient> connectWhenListening(unsigned short port) {
    std::unique_ptr<ProtocolClient> client;
    waitUntil([&] {
        try {
            client = std::make_unique<ProtocolClient>(port);
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    });
    return client;
}

}  // namespace testsupport

// A small blocking client of the services' protocol over loopback, for tests: sends packets with any
// header (also malformed ones) and reads framed packets with a time limit.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <arpa/inet.h>

#include "support/WireWriter.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t dwordAt(const Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes.at(offset + i);
    return value;
}

// A packet: type, version, size (the real length unless given), 16 id bytes (all `idByte`), body.
inline Bytes makePacket(std::uint32_t type, std::uint32_t version, const Bytes& body = {}, std::uint8_t idByte = 0,
                        std::optional<std::uint32_t> sizeField = std::nullopt) {
    wiretest::RequestId id;
    id.fill(idByte);
    Bytes packet = wiretest::makePacket(type, body, id, version);
    if (sizeField)
        wiretest::placeAt(packet, 8, *sizeField);
    return packet;
}

class ProtocolClient {
public:
    // Connects to 127.0.0.1:port; throws std::runtime_error when it cannot.
    explicit ProtocolClient(unsigned short port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        if (m_fd < 0)
            throw std::runtime_error("socket failed");
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            throw std::runtime_error(std::string("connect failed: ") + std::strerror(errno));
        }
    }
    ~ProtocolClient() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ProtocolClient(const ProtocolClient&) = delete;
    ProtocolClient& operator=(const ProtocolClient&) = delete;

    // Writes bytes whole; false when the connection failed.
    bool send(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::send(m_fd, data, size, MSG_NOSIGNAL);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }
    bool send(const Bytes& bytes) { return send(bytes.data(), bytes.size()); }

    // One framed packet (its 12-byte prefix tells its length); none when the time runs out first or
    // the connection ends.
    std::optional<Bytes> readPacket(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        Bytes packet(12);
        if (!readExactly(packet.data(), 12, deadline))
            return std::nullopt;
        const std::uint32_t size = dwordAt(packet, 8);
        if (size < 12)
            return std::nullopt;
        packet.resize(size);
        if (!readExactly(packet.data() + 12, size - 12, deadline))
            return std::nullopt;
        return packet;
    }

    // True when the server closes the connection within the time (bytes that arrive first are skipped).
    bool waitForClose(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::uint8_t byte[4096];
        for (;;) {
            if (!waitReadable(deadline))
                return false;
            const ssize_t got = ::recv(m_fd, byte, sizeof byte, 0);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                return true;
        }
    }

    // Closes with a reset instead of an orderly end.
    void reset() {
        const linger abort{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(m_fd);
        m_fd = -1;
    }

private:
    bool waitReadable(std::chrono::steady_clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd readable{m_fd, POLLIN, 0};
        return ::poll(&readable, 1, static_cast<int>(left)) > 0;
    }

    bool readExactly(std::uint8_t* data, std::size_t size, std::chrono::steady_clock::time_point deadline) {
        while (size > 0) {
            if (!waitReadable(deadline))
                return false;
            const ssize_t got = ::recv(m_fd, data, size, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            data += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    int m_fd;
};

}  // namespace testsupport

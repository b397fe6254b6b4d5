// A read cursor over the body of one received packet.
//
// Everything in a body comes from the client and is untrusted, so a read either copies a whole
// field or copies nothing: a field that would cross the end of the body is left as it was, the
// stream fails, and every later read fails too (as with a standard stream's fail state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "wire fields are copied in machine byte order");

namespace Packets {

class RequestStream {
public:
    RequestStream(const std::uint8_t* data, std::size_t size) noexcept : m_pNext(data), m_pEnd(data + size) {}
    explicit RequestStream(const std::vector<std::uint8_t>& bytes) noexcept
        : RequestStream(bytes.data(), bytes.size()) {}

    // Copies the next `count` bytes when the body still holds all of them; otherwise fails.
    bool read(void* destination, std::size_t count) noexcept {
        if (m_bFailed || count > remaining()) {
            setFailed();
            return false;
        }
        if (count != 0)
            std::memcpy(destination, m_pNext, count);
        m_pNext += count;
        return true;
    }

    // Marks the stream failed, for readers that find a field cannot fit before reading it.
    void setFailed() noexcept {
        m_bFailed = true;
        m_pNext = m_pEnd;
    }

    // Stops a parse whose values are refused (the parser has said why): later reads fail, but the
    // body is not reported as ending inside a field.
    void refuse() noexcept {
        setFailed();
        m_bRefused = true;
    }

    std::size_t remaining() const noexcept { return static_cast<std::size_t>(m_pEnd - m_pNext); }
    bool failed() const noexcept { return m_bFailed; }
    bool endedInsideField() const noexcept { return m_bFailed && !m_bRefused; }
    explicit operator bool() const noexcept { return !m_bFailed; }

private:
    const std::uint8_t* m_pNext;
    const std::uint8_t* m_pEnd;
    bool m_bFailed = false;
    bool m_bRefused = false;
};

}  // namespace Packets

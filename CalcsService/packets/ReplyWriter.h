// Builds one reply packet: the reply header, then the body appended field by field into a buffer
// reserved once for the size computed beforehand. finish() refuses a reply whose length differs
// from that size, so a reply never leaves with a size field that disagrees with its bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace Packets::Outgoing {

// Appends the bytes of `bytes` (the request id).
void writeBytes(std::vector<std::uint8_t>& reply, const std::vector<std::uint8_t>& bytes);

// Appends a wire string: u32 length, then the bytes.
void writeString(std::vector<std::uint8_t>& reply, const std::string& text);

class ReplyWriter {
public:
    // Empties `reply`, reserves `size` bytes and writes the header: type, the zero word, size and the
    // request id. Throws std::length_error for a size beyond the 32-bit size field.
    ReplyWriter(std::vector<std::uint8_t>& reply, std::uint32_t type, std::uint32_t zero, std::uint64_t size,
                const std::vector<std::uint8_t>& requestId);

    template <class T>
    ReplyWriter& put(T value) {
        static_assert(std::is_arithmetic<T>::value, "plain numbers only");
        std::uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));  // the wire is little-endian, as this machine
        m_reply.insert(m_reply.end(), bytes, bytes + sizeof(T));
        return *this;
    }
    ReplyWriter& putString(const std::string& text) {
        writeString(m_reply, text);
        return *this;
    }
    ReplyWriter& putBytes(const void* bytes, std::size_t count) {
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        m_reply.insert(m_reply.end(), first, first + count);
        return *this;
    }

    // Throws std::logic_error, emptying the reply, when its length is not the size in its header.
    void finish();

private:
    std::vector<std::uint8_t>& m_reply;
    std::uint64_t m_size;
};

}  // namespace Packets::Outgoing

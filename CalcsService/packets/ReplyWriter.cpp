#include "packets/ReplyWriter.h"

#include <limits>
#include <stdexcept>

namespace Packets::Outgoing {

void writeBytes(std::vector<std::uint8_t>& reply, const std::vector<std::uint8_t>& bytes) {
    reply.insert(reply.end(), bytes.begin(), bytes.end());
}

void writeString(std::vector<std::uint8_t>& reply, const std::string& text) {
    const auto length = static_cast<std::uint32_t>(text.size());
    std::uint8_t bytes[sizeof length];
    std::memcpy(bytes, &length, sizeof length);
    reply.insert(reply.end(), bytes, bytes + sizeof length);
    reply.insert(reply.end(), text.begin(), text.end());
}

ReplyWriter::ReplyWriter(std::vector<std::uint8_t>& reply, std::uint32_t type, std::uint32_t zero,
                         std::uint64_t size, const std::vector<std::uint8_t>& requestId)
    : m_reply(reply), m_size(size) {
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("reply of type " + std::to_string(type) + " would be " + std::to_string(size) +
                                " bytes long");
    m_reply.clear();
    m_reply.reserve(static_cast<std::size_t>(size));
    put(type).put(zero).put(static_cast<std::uint32_t>(size));
    writeBytes(m_reply, requestId);
}

void ReplyWriter::finish() {
    if (m_reply.size() != m_size) {
        const std::size_t length = m_reply.size();
        m_reply.clear();
        throw std::logic_error("reply of " + std::to_string(length) + " bytes, its header says " +
                               std::to_string(m_size));
    }
}

}  // namespace Packets::Outgoing

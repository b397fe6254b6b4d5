#include "packets/PacketProcessor.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "Logging/Log.h"
#include "packets/PacketHeader.h"
#include "packets/PacketTypes.h"
#include "packets/RequestReaders.h"

namespace Packets {

PacketProcessor::PacketProcessor(HandlerTable handlers) : m_handlers(std::move(handlers)) {}

int PacketProcessor::process(const std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& reply) const {
    if (packet.empty())
        return 0;

    // A packet shorter than the header leaves the fields it cannot fill at zero.
    std::uint32_t type = 0;
    std::uint32_t version = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> requestId(REQUEST_ID_SIZE, 0);
    RequestStream header(packet);
    readDword(header, type);
    readDword(header, version);
    readDword(header, size);
    // The id bytes a short packet does have are the client's; only the missing ones stay zero.
    header.read(requestId.data(), std::min(requestId.size(), header.remaining()));

    const std::string name = packetTypeName(type);
    LOG_SEV(trace) << "packet type:" << name << "(" << name << ":" << type << ")" << ", size: " << size;

    if (version != PROTOCOL_VERSION) {
        LOG_SEV(error) << "unsupported version of protocol (" << version << "), current version is ("
                       << PROTOCOL_VERSION << "), packet skipped";
        return static_cast<int>(type);
    }
    if (size != packet.size()) {
        // Without the closing bracket: clients and log readers know the line in this form.
        LOG_SEV(error) << "packet size != stream size, (" << size << "!=" << packet.size();
        return 0;
    }
    const auto handler = m_handlers.find(static_cast<int>(type));
    if (handler == m_handlers.end()) {
        LOG_SEV(error) << "unknown packet type received, packetType:" << type;
        return 0;
    }

    const std::size_t bodyOffset = packet.size() < PACKET_HEADER_SIZE ? packet.size() : PACKET_HEADER_SIZE;
    RequestStream body(packet.data() + bodyOffset, packet.size() - bodyOffset);
    try {
        handler->second->handle(body, reply, requestId);
        if (body.failed())
            LOG_SEV(warning) << "packet body ended inside a field, packetType:" << type;
    } catch (const std::exception& e) {
        // A failed request gets no answer: whatever the handler wrote is incomplete.
        reply.clear();
        LOG_SEV(error) << "PacketProcessor has cought exception:" << e.what();
    } catch (...) {
        reply.clear();
        LOG_SEV(fatal) << "PacketProcessor has cought unknown exception";
    }
    return static_cast<int>(type);
}

}  // namespace Packets

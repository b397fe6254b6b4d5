#include "server/ControlPacketProcessor.h"

#include <algorithm>
#include <utility>

#include "Logging/Log.h"
#include "packets/PacketHeader.h"
#include "packets/RequestReaders.h"

namespace Control {

PacketProcessor::PacketProcessor(Packets::PacketProcessor::HandlerTable handlers) : m_handlers(std::move(handlers)) {}

void PacketProcessor::process(const std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& reply) const {
    if (packet.empty())
        return;

    // A packet shorter than the header leaves the fields it cannot fill at zero.
    std::uint32_t type = 0;
    std::uint32_t version = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> requestId(Packets::REQUEST_ID_SIZE, 0);
    Packets::RequestStream header(packet);
    Packets::readDword(header, type);
    Packets::readDword(header, version);
    Packets::readDword(header, size);
    header.read(requestId.data(), std::min(requestId.size(), header.remaining()));

    if (version != PROTOCOL_VERSION) {
        LOG_SEV(warning) << "warning, unsupported version of protocol, packet skipped";
        return;
    }
    if (size != packet.size()) {
        LOG_SEV(error) << "packet size != stream size";
        return;
    }
    const auto handler = m_handlers.find(static_cast<int>(type));
    if (handler == m_handlers.end()) {
        LOG_SEV(error) << "unknown packet type received: " << static_cast<std::int32_t>(type) << ", size: " << size;
        return;
    }
    const std::size_t bodyOffset = std::min(packet.size(), Packets::PACKET_HEADER_SIZE);
    Packets::RequestStream body(packet.data() + bodyOffset, packet.size() - bodyOffset);
    handler->second->handle(body, reply, requestId);
}

}  // namespace Control

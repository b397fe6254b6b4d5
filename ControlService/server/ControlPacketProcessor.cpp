#include "server/ControlPacketProcessor.h"

#include <string>
#include <utility>

#include "Logging/Log.h"
#include "packets/RequestHeader.h"
#include "packets/RequestRefused.h"

namespace Control {

PacketProcessor::PacketProcessor(Packets::PacketProcessor::HandlerTable handlers) : m_handlers(std::move(handlers)) {}

void PacketProcessor::process(const std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& reply) const {
    if (packet.empty())
        return;

    const Packets::RequestHeader header = Packets::readRequestHeader(packet);
    const std::uint32_t type = header.type, version = header.version, size = header.size;

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
    Packets::RequestStream body = Packets::requestBody(packet);
    try {
        handler->second->handle(body, reply, header.requestId);
    } catch (const Packets::RequestRefused& e) {
        // The session ends on it, as on any failed request; its one line names the request.
        throw Packets::RequestRefused("request type " + std::to_string(static_cast<std::int32_t>(type)) +
                                      " refused: " + e.what());
    }
}

}  // namespace Control

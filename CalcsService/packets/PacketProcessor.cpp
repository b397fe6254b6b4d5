#include "packets/PacketProcessor.h"

#include <exception>
#include <utility>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "packets/PacketTypes.h"
#include "packets/RequestHeader.h"
#include "packets/RequestRefused.h"

namespace Packets {

PacketProcessor::PacketProcessor(HandlerTable handlers) : m_handlers(std::move(handlers)) {}

int PacketProcessor::process(const std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& reply) const {
    if (packet.empty())
        return 0;

    const RequestHeader header = readRequestHeader(packet);
    const std::uint32_t type = header.type, version = header.version, size = header.size;

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

    RequestStream body = requestBody(packet);
    try {
        handler->second->handle(body, reply, header.requestId);
        if (body.endedInsideField())
            LOG_SEV(warning) << "packet body ended inside a field, packetType:" << type;
    } catch (const RequestRefused& e) {
        reply.clear();
        LOG_SEV(error) << name << " refused: " << Logging::EscapeClientText(e.what());
    } catch (const std::exception& e) {
        // A failed request gets no answer: whatever the handler wrote is incomplete.
        reply.clear();
        LOG_SEV(error) << "PacketProcessor has cought exception:" << Logging::EscapeClientText(e.what());
    } catch (...) {
        reply.clear();
        LOG_SEV(fatal) << "PacketProcessor has cought unknown exception";
    }
    return static_cast<int>(type);
}

}  // namespace Packets

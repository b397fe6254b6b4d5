// Checks one complete control request (protocol version 0) and runs the handler registered for its
// type. The control protocol has no replies: rejected packets are logged and dropped.
#pragma once

#include <cstdint>
#include <vector>

#include "packets/PacketProcessor.h"

namespace Control {

// The control protocol's version in the packet header.
constexpr std::uint32_t PROTOCOL_VERSION = 0;

class PacketProcessor {
public:
    explicit PacketProcessor(Packets::PacketProcessor::HandlerTable handlers);

    // Runs one request. An exception from the handler (a malformed body) reaches the caller, which ends
    // the session. `reply` is handed to the handler; no control handler fills it.
    void process(const std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& reply) const;

private:
    Packets::PacketProcessor::HandlerTable m_handlers;
};

}  // namespace Control

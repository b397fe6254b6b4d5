// Checks one complete request packet and runs the handler registered for its type.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "handlers/BaseHandler.h"

namespace Packets {

class PacketProcessor {
public:
    // Packet type -> its handler; each handler is stateless and shared.
    using HandlerTable = std::map<int, std::shared_ptr<Handlers::BaseHandler>>;

    explicit PacketProcessor(HandlerTable handlers);

    // Runs one request and returns the packet type when a handler was called (also when it
    // failed) or when the version was wrong; 0 when the packet was empty, its size field
    // disagreed with its length or no handler serves its type. `reply` (empty on entry) holds
    // the reply to send, and stays empty when there is none or the handler failed.
    int process(const std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& reply) const;

private:
    HandlerTable m_handlers;
};

}  // namespace Packets

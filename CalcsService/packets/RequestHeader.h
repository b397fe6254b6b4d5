// The header of a request as both services' packet processors read it, and the body after it.
#pragma once

#include <cstdint>
#include <vector>

#include "packets/PacketHeader.h"
#include "packets/RequestStream.h"

namespace Packets {

struct RequestHeader {
    std::uint32_t type = 0;
    std::uint32_t version = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> requestId = std::vector<std::uint8_t>(REQUEST_ID_SIZE, 0);
};

// A packet shorter than the header leaves the fields it cannot fill at zero; the id bytes a short
// packet does have are the client's.
RequestHeader readRequestHeader(const std::vector<std::uint8_t>& packet);

// What follows the header; empty for a packet no longer than the header.
RequestStream requestBody(const std::vector<std::uint8_t>& packet);

}  // namespace Packets

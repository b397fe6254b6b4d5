// Turns a fuzzer input into a request packet for a handler table, so that the parsers behind the table
// are reached without guessing a header. With the first byte's high bit set the rest is a raw packet,
// header included; otherwise the first byte picks a table entry and the rest is that request's body
// behind a valid header carrying the given protocol version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "packets/PacketHeader.h"
#include "packets/PacketProcessor.h"

namespace Fuzz {

// data holds at least one byte; table at least one entry.
inline std::vector<std::uint8_t> fuzzedPacket(const std::uint8_t* data, std::size_t size,
                                              const Packets::PacketProcessor::HandlerTable& table,
                                              std::uint32_t version) {
    const std::uint8_t selector = data[0];
    if (selector & 0x80)
        return std::vector<std::uint8_t>(data + 1, data + size);
    auto entry = table.begin();
    std::advance(entry, selector % table.size());
    const std::uint32_t header[3] = {static_cast<std::uint32_t>(entry->first), version,
                                     static_cast<std::uint32_t>(Packets::PACKET_HEADER_SIZE + size - 1)};
    std::vector<std::uint8_t> packet(Packets::PACKET_HEADER_SIZE, 0);
    std::memcpy(packet.data(), header, sizeof(header));
    packet.insert(packet.end(), data + 1, data + size);
    return packet;
}

}  // namespace Fuzz

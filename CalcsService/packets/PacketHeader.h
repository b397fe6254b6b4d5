// The 28-byte header that starts every request and every reply (little-endian):
//   0  u32 type      the packet type (PacketTypes.h); a reply carries its reply type
//   4  u32 version   PROTOCOL_VERSION in requests; 0 in replies
//   8  u32 size      length of the whole packet, header included
//   12 16 bytes      request id chosen by the client; a reply copies its request's id
//   28 ...           body
#pragma once

#include <cstddef>
#include <cstdint>

namespace Packets {

constexpr std::uint32_t PROTOCOL_VERSION = 8;
constexpr std::size_t REQUEST_ID_SIZE = 16;
constexpr std::size_t PACKET_HEADER_SIZE = 12 + REQUEST_ID_SIZE;

}  // namespace Packets

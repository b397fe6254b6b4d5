// How packets travel on a session's socket: every packet starts with a 12-byte prefix (u32 type, u32
// version, u32 size of the whole packet, little-endian) that tells how many bytes follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Network {

constexpr std::size_t PACKET_PREFIX_SIZE = 12;
// The receive buffer holds one packet whole: larger packets cannot be read.
constexpr std::uint32_t MAX_PACKET_SIZE = 0x500000;

// The u32 size field of a prefix (at least PACKET_PREFIX_SIZE bytes).
std::uint32_t prefixPacketSize(const std::uint8_t* prefix);

// Whether a declared size can be read: the prefix itself at least, the receive buffer at most.
inline bool isReadablePacketSize(std::uint32_t size) {
    return size >= PACKET_PREFIX_SIZE && size <= MAX_PACKET_SIZE;
}

// Whether a reply may go to the client: it holds a whole reply header and its size field equals its
// length (otherwise the client's framing would go out of step). Logs why when it may not.
bool isSendableReply(const std::vector<std::uint8_t>& reply);

}  // namespace Network

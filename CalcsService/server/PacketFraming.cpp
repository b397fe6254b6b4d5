#include "server/PacketFraming.h"

#include "Logging/Log.h"
#include "packets/PacketHeader.h"

namespace Network {

std::uint32_t prefixPacketSize(const std::uint8_t* prefix) {
    return static_cast<std::uint32_t>(prefix[8]) | static_cast<std::uint32_t>(prefix[9]) << 8 |
           static_cast<std::uint32_t>(prefix[10]) << 16 | static_cast<std::uint32_t>(prefix[11]) << 24;
}

bool isSendableReply(const std::vector<std::uint8_t>& reply) {
    if (reply.size() < Packets::PACKET_HEADER_SIZE) {
        LOG_SEV(error) << "reply shorter than its header dropped, size: " << reply.size();
        return false;
    }
    const std::uint32_t size = prefixPacketSize(reply.data());
    if (size != reply.size()) {
        LOG_SEV(error) << "packet size is wrong: in header:" << static_cast<std::int32_t>(size)
                       << " real size: " << reply.size();
        return false;
    }
    if (size > MAX_PACKET_SIZE)
        LOG_SEV(error) << "packet size is very big:" << size;
    return true;
}

}  // namespace Network

#include "packets/RequestHeader.h"

#include <algorithm>

#include "packets/RequestReaders.h"

namespace Packets {

RequestHeader readRequestHeader(const std::vector<std::uint8_t>& packet) {
    RequestHeader header;
    RequestStream stream(packet);
    readDword(stream, header.type);
    readDword(stream, header.version);
    readDword(stream, header.size);
    stream.read(header.requestId.data(), std::min(header.requestId.size(), stream.remaining()));
    return header;
}

RequestStream requestBody(const std::vector<std::uint8_t>& packet) {
    const std::size_t offset = std::min(packet.size(), PACKET_HEADER_SIZE);
    return RequestStream(packet.data() + offset, packet.size() - offset);
}

}  // namespace Packets

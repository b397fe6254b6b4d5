#include "packets/Root2UnderlyingMapPacket.h"

#include "packets/RequestReaders.h"

namespace Packets::Incoming {

namespace {

// Two empty strings.
constexpr std::size_t MIN_PAIR_WIRE_SIZE = 4 + 4;

RequestStream& readPair(RequestStream& in, std::pair<std::string, std::string>& pair) {
    readString(in, pair.first);
    return readString(in, pair.second);
}

}  // namespace

RequestStream& parseRoot2UnderlyingMapPacket(RequestStream& in, Root2UnderlyingMapPacket& packet) {
    packet.pairs.clear();
    if (readDword(in, packet.count) && packet.count > 0)
        readList<MIN_PAIR_WIRE_SIZE>(in, static_cast<std::uint64_t>(packet.count), packet.pairs, &readPair);
    return in;
}

}  // namespace Packets::Incoming

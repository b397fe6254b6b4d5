#include "packets/GreeksByExpirationPacket.h"

#include "packets/PositionList.h"

namespace Packets::Incoming {

RequestStream& parseGreeksByExpirationPacket(RequestStream& in, GreeksByExpirationPacket& packet) {
    std::int32_t count = 0;
    readString(in, packet.symbol);
    readQword(in, packet.evaluationTime);
    readQword(in, packet.referenceTime);
    readDword(in, packet.currentPrice);
    readDword(in, packet.basePrice);
    readDword(in, packet.unused);
    packet.positions.clear();
    if (readDword(in, count) && count > 0)
        readPositions(in, static_cast<std::uint64_t>(count), packet.positions);
    return in;
}

}  // namespace Packets::Incoming

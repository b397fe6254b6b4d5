#include "packets/RiskTablePacket.h"

#include "packets/PositionList.h"

namespace Packets::Incoming {

RequestStream& parseRiskTablePacket(RequestStream& in, RiskTablePacket& packet) {
    std::uint32_t slideCount = 0;
    readString(in, packet.symbol);
    readByte(in, packet.unused);
    readDword(in, packet.volatilityShift);
    readQword(in, packet.evaluationTime);
    readQword(in, packet.referenceTime);
    readDword(in, packet.currentPrice);
    readDword(in, packet.basePrice);
    readDword(in, packet.stockQuantity);
    readByte(in, packet.keepTradePrices);
    if (readDword(in, slideCount))
        readList<sizeof(float)>(in, slideCount, packet.slidePrices, &readDword<float>);
    return readPositionList(in, packet.positions);
}

}  // namespace Packets::Incoming

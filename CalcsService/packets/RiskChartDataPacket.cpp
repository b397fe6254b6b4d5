#include "packets/RiskChartDataPacket.h"

#include "packets/PositionList.h"

namespace Packets::Incoming {

RequestStream& parseRiskChartDataPacket(RequestStream& in, RiskChartDataPacket& packet) {
    readString(in, packet.symbol);
    readByte(in, packet.flag1);
    readByte(in, packet.flag2);
    readQword(in, packet.priceStep);
    readDword(in, packet.dayStep);
    readQword(in, packet.unused);
    readQword(in, packet.basePrice);
    readQword(in, packet.currentPrice);
    readQword(in, packet.referenceTime);
    readQword(in, packet.evaluationTime);
    readQword(in, packet.stockQuantity1);
    readQword(in, packet.stockQuantity2);
    readByte(in, packet.keepTradePrices);
    readPositionList(in, packet.positions1);
    return readPositionList(in, packet.positions2);
}

}  // namespace Packets::Incoming

#include "packets/RiskChartDataPacket.h"

#include "packets/ChartDataPoints.h"
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

std::uint64_t riskChartDataValuations(const RiskChartDataPacket& packet) {
    const std::uint64_t positions = std::uint64_t{packet.positions1.size()} + packet.positions2.size();
    return positions * VO::CHART_ROWS * VO::CHART_DAY_COLUMNS;
}

}  // namespace Packets::Incoming

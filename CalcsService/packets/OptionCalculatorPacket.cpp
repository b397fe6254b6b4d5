#include "packets/OptionCalculatorPacket.h"

#include "packets/RequestReaders.h"

namespace Packets::Incoming {

RequestStream& parseOptionCalculatorPacket(RequestStream& in, OptionCalculatorPacket& packet) {
    readWord(in, packet.exerciseStyle);
    readQword(in, packet.expirationDate);
    readDword(in, packet.daysToExpiration);
    readQword(in, packet.strike);
    readQword(in, packet.underlyingPrice);
    readQword(in, packet.volatility);
    readQword(in, packet.interestRate);
    readQword(in, packet.costOfCarry);
    readQword(in, packet.dividendAmount);
    readQword(in, packet.firstDividendDate);
    readDword(in, packet.dividendInterval);
    readDword(in, packet.secondDividendInterval);
    readDword(in, packet.treeSteps);
    readQword(in, packet.valuationDate);
    readQword(in, packet.putPrice);
    return readQword(in, packet.callPrice);
}

}  // namespace Packets::Incoming

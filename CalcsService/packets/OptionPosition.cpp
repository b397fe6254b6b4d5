#include "packets/OptionPosition.h"

#include "packets/RequestReaders.h"

namespace Packets::Incoming {

RequestStream& parseOptionPosition(RequestStream& in, VO::OptionPosition& position) {
    readQword(in, position.foreignId);
    readDword(in, position.strike);
    readQword(in, position.expiration);
    readDword(in, position.volatility);
    readDword(in, position.quantity);
    readByte(in, position.isPut);
    readDword(in, position.dividendAmount);
    readQword(in, position.dividendTime);
    readDword(in, position.interestRate);
    readDword(in, position.costOfCarry);
    readDword(in, position.pricingModel);
    readQword(in, position.timeToExpiry);
    readDword(in, position.tradePrice);
    readByte(in, position.deliveryMode);
    readDword(in, position.spare);
    return readDword(in, position.indexForward);
}

}  // namespace Packets::Incoming

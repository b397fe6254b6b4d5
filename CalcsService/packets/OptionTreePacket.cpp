#include "packets/OptionTreePacket.h"

#include <cmath>

#include "packets/OptionKeyExpiry.h"
#include "packets/RequestReaders.h"

namespace Packets::Incoming {

namespace {

bool validExpiration(const OptionTreeExpiration& e) {
    return representableExpiry(e.year, e.month, e.day) && e.optionCount >= 0 &&
           e.optionCount <= MAX_OPTION_TREE_STRIKES;
}

bool validStrike(const OptionTreeStrikeRecord& r) {
    return r.callId != 0 && r.putId != 0 && std::isfinite(r.strike) && r.strike > 0.0f;
}

RequestStream& readExpiration(RequestStream& in, OptionTreeExpiration& e) {
    e = OptionTreeExpiration{};
    readWord(in, e.year);
    readByte(in, e.month);
    readByte(in, e.day);
    return readDword(in, e.optionCount);
}

RequestStream& readStrike(RequestStream& in, bool wideIds, OptionTreeStrikeRecord& r) {
    r = OptionTreeStrikeRecord{};
    if (wideIds) {
        readQword(in, r.callId);
        readQword(in, r.putId);
    } else {
        std::int32_t call = 0, put = 0;
        readDword(in, call);
        readDword(in, put);
        r.callId = call;
        r.putId = put;
    }
    readDword(in, r.strike);
    return readByte(in, r.deliveryMode);
}

}  // namespace

RequestStream& readOptionTreeHead(RequestStream& in, OptionTreeHead& head) {
    readQword(in, head.date);
    readString(in, head.symbol);
    readString(in, head.root);
    return readDword(in, head.expirationCount);
}

void walkOptionTree(RequestStream& in, const OptionTreeHead& head, bool wideIds, OptionTreeVisitor& visitor) {
    OptionTreeExpiration expiry;
    OptionTreeStrikeRecord record;
    for (std::int32_t i = 0; i < head.expirationCount; ++i) {
        if (!readExpiration(in, expiry) || !validExpiration(expiry)) {
            visitor.invalidExpiration(expiry);
            return;
        }
        visitor.expiration(expiry);
        for (std::int32_t j = 0; j < expiry.optionCount; ++j) {
            if (!readStrike(in, wideIds, record) || !validStrike(record)) {
                visitor.invalidStrike(expiry, record);
                return;
            }
            visitor.strike(expiry, record);
        }
    }
}

std::uint64_t countOptionTreeStrikes(RequestStream in, const OptionTreeHead& head, bool wideIds) {
    class Counter : public OptionTreeVisitor {
    public:
        void expiration(const OptionTreeExpiration&) override {}
        void strike(const OptionTreeExpiration&, const OptionTreeStrikeRecord&) override { ++strikes; }
        void invalidExpiration(const OptionTreeExpiration&) override {}
        void invalidStrike(const OptionTreeExpiration&, const OptionTreeStrikeRecord&) override {}
        std::uint64_t strikes = 0;
    } counter;
    walkOptionTree(in, head, wideIds, counter);
    return counter.strikes;
}

}  // namespace Packets::Incoming

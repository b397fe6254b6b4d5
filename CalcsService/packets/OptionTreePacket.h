// BUILD_OPTION_TREE (279, 32-bit option ids) and BUILD_OPTION_TREEv3 (281, 64-bit ids): one option
// root's expirations, each with its strikes' call and put ids. Read record by record, so that the
// handler registers each strike as it comes and stops at the first record it cannot trust.
#pragma once

#include <cstdint>
#include <string>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

// The most strikes one expiration may carry.
constexpr std::int32_t MAX_OPTION_TREE_STRIKES = 5000;

struct OptionTreeHead {
    double date = 0.0;  // ms since 1970: the library's date
    std::string symbol;
    std::string root;
    std::int32_t expirationCount = 0;
};

struct OptionTreeExpiration {
    std::uint16_t year = 0;  // four digits
    std::uint8_t month = 0;  // 0 = January
    std::uint8_t day = 0;
    std::int32_t optionCount = 0;
};

struct OptionTreeStrikeRecord {
    std::int64_t callId = 0;  // a 32-bit wire id sign-extended
    std::int64_t putId = 0;
    float strike = 0.0f;
    std::uint8_t deliveryMode = 0;
};

// What the walk over the expirations reports, in body order.
class OptionTreeVisitor {
public:
    // An expiration that may be registered; its strikes follow.
    virtual void expiration(const OptionTreeExpiration& expiry) = 0;
    virtual void strike(const OptionTreeExpiration& expiry, const OptionTreeStrikeRecord& record) = 0;
    // The record that ended the walk: an expiration whose date the option key cannot hold or with
    // more than MAX_OPTION_TREE_STRIKES (or negative) strikes; a strike with a zero id or a strike
    // price that is not a positive number. A record the body ends inside reads as zeros from there.
    virtual void invalidExpiration(const OptionTreeExpiration& expiry) = 0;
    virtual void invalidStrike(const OptionTreeExpiration& expiry, const OptionTreeStrikeRecord& record) = 0;

protected:
    ~OptionTreeVisitor() = default;
};

RequestStream& readOptionTreeHead(RequestStream& in, OptionTreeHead& head);

// Reads the head's expirations and their strikes, reporting each record, until the count is reached
// or the first invalid record; also stops when the body ends.
void walkOptionTree(RequestStream& in, const OptionTreeHead& head, bool wideIds, OptionTreeVisitor& visitor);

// How many strikes the walk of the body from `in` would report.
std::uint64_t countOptionTreeStrikes(RequestStream in, const OptionTreeHead& head, bool wideIds);

}  // namespace Packets::Incoming

// One option position of the risk requests: 74 bytes on the wire.
#pragma once

#include <cstddef>
#include <cstdint>

#include "packets/RequestStream.h"

namespace VO {

// Members in wire order except the last four, which the wire sends as tradePrice, deliveryMode,
// spare, indexForward.
struct OptionPosition {
    std::int64_t foreignId = 0;     // the client's option id, the library's foreign id
    float strike = 0.0f;
    double expiration = 0.0;        // a key only: sorted, grouped and echoed, never a date
    float volatility = 0.0f;        // percent
    float quantity = 0.0f;          // signed contracts of 100 shares
    std::uint8_t isPut = 0;         // nonzero for a put
    float dividendAmount = 0.0f;    // the one discrete dividend before expiration; 0 for none
    double dividendTime = 0.0;      // years, on the scale of timeToExpiry
    float interestRate = 0.0f;
    float costOfCarry = 0.0f;
    std::uint32_t pricingModel = 0; // the library's PricingModel code
    double timeToExpiry = 0.0;      // years, as the client computed it at the reference time
    float indexForward = 0.0f;      // forward price of an index underlying
    float spare = 0.0f;             // read and not used
    float tradePrice = 0.0f;        // per share
    std::uint8_t deliveryMode = 0;  // handed to the library's pricing calls
};

}  // namespace VO

namespace Packets::Incoming {

constexpr std::size_t OPTION_POSITION_WIRE_SIZE = 74;

RequestStream& parseOptionPosition(RequestStream& in, VO::OptionPosition& position);

}  // namespace Packets::Incoming

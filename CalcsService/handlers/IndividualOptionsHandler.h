// CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv2 and v3: feeds a snapshot of underlying and option quotes
// to the library, whose results come back later as RESULT_CALC_OPTIONS_THEOS_AND_GREEKS packets.
#pragma once

#include "handlers/BaseHandler.h"
#include "packets/IndividualOptionsPacket.h"

namespace Handlers {

// Packet is the v2 or the v3 request; a parse error does not stop the feed: the library gets the
// blocks read before it.
template <class Packet>
class IndividualOptionsHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

extern template class IndividualOptionsHandler<Packets::Incoming::v2::CalculateIndividualOptionTheosAndGreeksPacket>;
extern template class IndividualOptionsHandler<Packets::Incoming::v3::CalculateIndividualOptionTheosAndGreeksPacket>;

using CalculateIndividualTheoasAndGreeksHandler =
    IndividualOptionsHandler<Packets::Incoming::v2::CalculateIndividualOptionTheosAndGreeksPacket>;

namespace v3 {
using CalculateIndividualTheoasAndGreeksHandler =
    IndividualOptionsHandler<Packets::Incoming::v3::CalculateIndividualOptionTheosAndGreeksPacket>;
}  // namespace v3

}  // namespace Handlers

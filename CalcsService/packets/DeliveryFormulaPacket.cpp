#include "packets/DeliveryFormulaPacket.h"

#include "packets/RequestReaders.h"

namespace Packets::Incoming {

namespace {

// An empty symbol string and the share count.
constexpr std::size_t MIN_COMPONENT_WIRE_SIZE = 4 + 8;

RequestStream& readComponent(RequestStream& in, std::pair<std::string, double>& component) {
    readString(in, component.first);
    return readQword(in, component.second);
}

}  // namespace

RequestStream& parseDeliveryFormulaPacket(RequestStream& in, DeliveryFormulaPacket& packet) {
    std::uint32_t componentCount = 0;
    readString(in, packet.symbol);
    readString(in, packet.formula);
    readQword(in, packet.cashAmount);
    packet.components.clear();
    if (readDword(in, componentCount))
        readList<MIN_COMPONENT_WIRE_SIZE>(in, componentCount, packet.components, &readComponent);
    // The body may end before the formula value, which then keeps its default.
    if (in && in.remaining() != 0)
        readDword(in, packet.formulaValue);
    return in;
}

}  // namespace Packets::Incoming

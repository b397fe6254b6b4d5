// libFuzzer target: request packets through the packet processor into every request parser and
// the stock settings model. The first input byte picks how the rest is sent: with its high bit
// set the rest is a raw packet, header included; otherwise it picks a request type and the rest
// is that request's body behind a valid header, so the parsers are reached without guessing one.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <vector>

#include <boost/log/core.hpp>

#include "models/StockSettingsData.h"
#include "packets/DeliveryFormulaPacket.h"
#include "packets/GreeksByExpirationPacket.h"
#include "packets/IndividualOptionsPacket.h"
#include "packets/OptionCalculatorPacket.h"
#include "packets/PacketHeader.h"
#include "packets/PacketProcessor.h"
#include "packets/PacketTypes.h"
#include "packets/ProxyInfoPacket.h"
#include "packets/RiskChartDataPacket.h"
#include "packets/RiskTablePacket.h"
#include "packets/SetAutoUpdateParamsPacket.h"
#include "packets/StockSettingsPacket.h"

namespace {

using namespace Packets;
using namespace Packets::Incoming;
using Bytes = std::vector<std::uint8_t>;

template <class Packet, RequestStream& (*Parse)(RequestStream&, Packet&)>
class ParseOnly : public Handlers::BaseHandler {
public:
    void handle(RequestStream& request, Bytes&, const Bytes&) override {
        Packet packet;
        Parse(request, packet);
    }
};

// Settings reach maps keyed by expirations off the wire.
class ApplyStockSettings : public Handlers::BaseHandler {
public:
    void handle(RequestStream& request, Bytes&, const Bytes&) override {
        StockSettingsPacket packet;
        parseStockSettingsPacket(request, packet);
        models::StockSettingsData settings;
        settings.applySettings(std::move(packet));
    }
};

class ApplyDeliveryFormula : public Handlers::BaseHandler {
public:
    void handle(RequestStream& request, Bytes&, const Bytes&) override {
        DeliveryFormulaPacket packet;
        parseDeliveryFormulaPacket(request, packet);
        models::StockSettingsData settings;
        settings.setDeliveryValue(packet.formula, packet.formulaValue);
        settings.setDeliveryComponents(packet.formula, packet.components);
    }
};

template <class Handler>
std::shared_ptr<Handlers::BaseHandler> make() {
    return std::make_shared<Handler>();
}

const PacketProcessor::HandlerTable& handlerTable() {
    static const PacketProcessor::HandlerTable table = {
        {CALC_RISK_CHART_DATA, make<ParseOnly<RiskChartDataPacket, parseRiskChartDataPacket>>()},
        {CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv2,
         make<ParseOnly<v2::CalculateIndividualOptionTheosAndGreeksPacket, parseIndividualOptionTheosAndGreeks>>()},
        {CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv3,
         make<ParseOnly<v3::CalculateIndividualOptionTheosAndGreeksPacket, parseIndividualOptionTheosAndGreeksV3>>()},
        {RISK_TABLE_INPUT_DATA, make<ParseOnly<RiskTablePacket, parseRiskTablePacket>>()},
        {GREEKS_BY_EXPIRATION, make<ParseOnly<GreeksByExpirationPacket, parseGreeksByExpirationPacket>>()},
        {OPTION_CALCULATOR, make<ParseOnly<OptionCalculatorPacket, parseOptionCalculatorPacket>>()},
        {SET_AUTOUPDATE_INFO, make<ParseOnly<SetAutoUpdateParamsPacket, parseSetAutoUpdateParamsPacket>>()},
        {USE_PROXY, make<ParseOnly<ProxyInfoPacket, parseProxyInfoPacket>>()},
        {SET_CALCULATION_SETTINGS, make<ApplyStockSettings>()},
        {SET_DELIVERY_FORMULA, make<ApplyDeliveryFormula>()},
    };
    return table;
}

Bytes framed(std::uint32_t type, const std::uint8_t* body, std::size_t size) {
    const std::uint32_t header[3] = {type, PROTOCOL_VERSION, static_cast<std::uint32_t>(PACKET_HEADER_SIZE + size)};
    Bytes packet(PACKET_HEADER_SIZE, 0);
    std::memcpy(packet.data(), header, sizeof(header));
    packet.insert(packet.end(), body, body + size);
    return packet;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Parse errors are printed and logged; neither is what is being tested, and both are slow.
    boost::log::core::get()->set_logging_enabled(false);
    std::cout.setstate(std::ios::badbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const PacketProcessor processor(handlerTable());
    const std::uint8_t selector = data[0];
    Bytes packet;
    if (selector & 0x80) {
        packet.assign(data + 1, data + size);
    } else {
        auto entry = handlerTable().begin();
        std::advance(entry, selector % handlerTable().size());
        packet = framed(static_cast<std::uint32_t>(entry->first), data + 1, size - 1);
    }
    Bytes reply;
    processor.process(packet, reply);
    return 0;
}

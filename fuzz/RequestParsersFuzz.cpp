// libFuzzer target: request packets through the packet processor into every request parser and
// the stock settings model. The first input byte picks how the rest is sent: with its high bit
// set the rest is a raw packet, header included; otherwise it picks a request type and the rest
// is that request's body behind a valid header, so the parsers are reached without guessing one.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <vector>

#include <boost/log/core.hpp>

#include "FuzzedPacket.h"

#include "models/StockSettingsData.h"
#include "packets/DeliveryFormulaPacket.h"
#include "packets/GreeksByExpirationPacket.h"
#include "packets/IndividualOptionsPacket.h"
#include "packets/OptionCalculatorPacket.h"
#include "packets/OptionTreePacket.h"
#include "packets/PacketHeader.h"
#include "packets/PacketProcessor.h"
#include "packets/PacketTypes.h"
#include "packets/ProxyInfoPacket.h"
#include "packets/RequestReaders.h"
#include "packets/RiskChart2DPacket.h"
#include "packets/RiskChartDataPacket.h"
#include "packets/RiskTablePacket.h"
#include "packets/Root2UnderlyingMapPacket.h"
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

// An option tree walked to its end or its first invalid record, with nothing registered.
template <bool WideIds>
class WalkOptionTree : public Handlers::BaseHandler, private OptionTreeVisitor {
public:
    void handle(RequestStream& request, Bytes&, const Bytes&) override {
        OptionTreeHead head;
        readOptionTreeHead(request, head);
        walkOptionTree(request, head, WideIds, *this);
    }

private:
    void expiration(const OptionTreeExpiration&) override {}
    void strike(const OptionTreeExpiration&, const OptionTreeStrikeRecord&) override {}
    void invalidExpiration(const OptionTreeExpiration&) override {}
    void invalidStrike(const OptionTreeExpiration&, const OptionTreeStrikeRecord&) override {}
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
        {RISK_2D, make<ParseOnly<RiskChart2DInputsPacket, parseRiskChart2DInputsPacket>>()},
        {BUILD_OPTION_TREE, make<WalkOptionTree<false>>()},
        {BUILD_OPTION_TREEv3, make<WalkOptionTree<true>>()},
        {ROOT2UNDERLYING_MAP, make<ParseOnly<Root2UnderlyingMapPacket, parseRoot2UnderlyingMapPacket>>()},
        {DUMP_STOCK, make<ParseOnly<std::string, readString>>()},
    };
    return table;
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
    const Bytes packet = Fuzz::fuzzedPacket(data, size, handlerTable(), PROTOCOL_VERSION);
    Bytes reply;
    processor.process(packet, reply);
    return 0;
}

#include "handlers/UnderlyingHandlers.h"

#include <sstream>
#include <string>
#include <utility>

#include "CalcDll/BrkCalcDll.h"
#include "calcdll_api/DllBridge.h"
#include "calcdll_api/LibraryRequests.h"
#include "calcdll_api/SettingsFeed.h"
#include "handlers/HandlerGuard.h"
#include "models/Calculations.h"
#include "packets/DeliveryFormulaPacket.h"
#include "packets/RequestLimits.h"
#include "packets/RequestReaders.h"
#include "packets/Root2UnderlyingMapPacket.h"
#include "packets/StockSettingsPacket.h"

namespace Handlers {

namespace {

Calculations& model() { return CalculationsSingleton::get_mutable_instance(); }

// "\n\t" and "(first,second) " per rate pair.
std::string ratesText(const Packets::Incoming::StockSettingsPacket& packet) {
    std::ostringstream text;
    for (std::size_t i = 0; i < packet.rates1.size(); ++i)
        text << (i == 0 ? "\n\t" : "") << "(" << packet.rates1[i] << "," << packet.rates2[i] << ") ";
    return text.str();
}

}  // namespace

void SetStockSettingsHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                     const std::vector<std::uint8_t>&) {
    runGuarded("SetStockSettingsHandler", reply, [&] {
        // Parsed whole before anything is stored: a body that ends inside the lists changes nothing.
        Packets::Incoming::StockSettingsPacket packet;
        if (!Packets::Incoming::parseStockSettingsPacket(request, packet)) {
            LOG_SEV(error) << "settings for " << packet.symbol << " refused: the packet ends inside them";
            return;
        }
        if (packet.expirations.size() > Packets::Incoming::MAX_SETTINGS_EXPIRATIONS ||
            packet.dividendDates.size() > Packets::Incoming::MAX_SETTINGS_DIVIDENDS) {
            LOG_SEV(error) << "settings for " << packet.symbol << " refused: " << packet.expirations.size()
                           << " expirations and " << packet.dividendDates.size() << " dividends, at most "
                           << Packets::Incoming::MAX_SETTINGS_EXPIRATIONS << " and "
                           << Packets::Incoming::MAX_SETTINGS_DIVIDENDS;
            return;
        }
        const std::string symbol = packet.symbol;
        LOG_SEV(info) << "received settings for " << symbol << ", expires: " << packet.expirations.size()
                      << ", divs: " << packet.dividendDates.size() << ", useUserInputs: "
                      << (packet.useUserInputs != 0 ? 1 : 0) << ", ratesSource: " << packet.ratesSource
                      << ", rates: " << packet.rates1.size() << " : " << ratesText(packet);
        models::StockSettingsData& settings = model()[symbol];
        settings.applySettings(std::move(packet));
        setSettings(symbol, settings);
    });
}

void SetDeliveryFormulaHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                       const std::vector<std::uint8_t>&) {
    runGuarded("SetDeliveryFormulaHandler", reply, [&] {
        Packets::Incoming::DeliveryFormulaPacket packet;
        Packets::Incoming::parseDeliveryFormulaPacket(request, packet);
        LOG_SEV(info) << "SetDeliveryFormulaHandler:" << packet.symbol << "-" << packet.formula;
        if (packet.components.size() > Packets::Incoming::MAX_DELIVERY_COMPONENTS) {
            LOG_SEV(error) << "delivery formula " << packet.formula << " of " << packet.symbol << " refused: "
                           << packet.components.size() << " components, at most "
                           << Packets::Incoming::MAX_DELIVERY_COMPONENTS;
            return;
        }
        models::StockSettingsData& settings = model()[packet.symbol];
        settings.setDeliveryValue(packet.formula, packet.formulaValue);
        settings.setDeliveryComponents(packet.formula, packet.components);
        setDeliveryFormula(packet.symbol, packet.formula, &packet.cashAmount, packet.components);
    });
}

// The library's failures reach the packet processor's catch.
void Root2UnderlyingMapHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>&,
                                       const std::vector<std::uint8_t>&) {
    Packets::Incoming::Root2UnderlyingMapPacket packet;
    Packets::Incoming::parseRoot2UnderlyingMapPacket(request, packet);
    LOG_SEV(info) << "Loaded root to underling mapping:" << packet.count;
    for (const auto& [root, underlying] : packet.pairs) {
        if (root.empty())
            continue;
        LOG_SEV(debug) << "map:" << root << "->" << underlying;
        addRoot2UnderlyingMapping(underlying, root);
    }
}

void ResetDataHandler::handle(Packets::RequestStream&, std::vector<std::uint8_t>& reply,
                              const std::vector<std::uint8_t>&) {
    runGuarded("ResetDataHandler", reply, [] { Bridge::Reset(); });
}

// The library's failures reach the packet processor's catch.
void DumpStockHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>&,
                              const std::vector<std::uint8_t>&) {
    std::string symbol;
    Packets::readString(request, symbol);
    CBrkCalcDll::Instance().DumpStock(symbol.c_str());
}

}  // namespace Handlers

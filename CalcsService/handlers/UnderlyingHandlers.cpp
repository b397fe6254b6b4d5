#include "handlers/UnderlyingHandlers.h"

#include <sstream>
#include <string>
#include <utility>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/ClientText.h"
#include "calcdll_api/DllBridge.h"
#include "calcdll_api/LibraryText.h"
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

// The line that tells what a settings request brings: its sizes, flags and rate pairs.
std::string receivedText(const Packets::Incoming::StockSettingsPacket& packet) {
    std::ostringstream text;
    text << "received settings for " << Logging::EscapeClientText(packet.symbol)
         << ", expires: " << packet.expirations.size() << ", divs: " << packet.dividendDates.size()
         << ", useUserInputs: " << (packet.useUserInputs != 0 ? 1 : 0) << ", ratesSource: " << packet.ratesSource
         << ", rates: " << packet.rates1.size() << " : ";
    for (std::size_t i = 0; i < packet.rates1.size(); ++i)
        text << (i == 0 ? "\n\t" : "") << "(" << packet.rates1[i] << "," << packet.rates2[i] << ") ";
    return text.str();
}

}  // namespace

void SetStockSettingsHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                     const std::vector<std::uint8_t>&) {
    runGuarded("SetStockSettingsHandler", reply, [&] {
        // Parsed whole and checked before anything is stored: a refused request changes nothing.
        Packets::Incoming::StockSettingsPacket packet;
        if (!Packets::Incoming::parseStockSettingsPacket(request, packet)) {
            LOG_SEV(error) << "settings for " << Logging::EscapeClientText(packet.symbol)
                           << " refused: the packet ends inside them";
            return;
        }
        if (packet.expirations.size() > Packets::Incoming::MAX_SETTINGS_EXPIRATIONS ||
            packet.dividendDates.size() > Packets::Incoming::MAX_SETTINGS_DIVIDENDS) {
            LOG_SEV(error) << "settings for " << Logging::EscapeClientText(packet.symbol) << " refused: "
                           << packet.expirations.size() << " expirations and " << packet.dividendDates.size()
                           << " dividends, at most " << Packets::Incoming::MAX_SETTINGS_EXPIRATIONS << " and "
                           << Packets::Incoming::MAX_SETTINGS_DIVIDENDS;
            return;
        }
        if (!Bridge::fitsLibraryText(packet.symbol, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "settings symbol"))
            return;
        const std::string received = receivedText(packet);
        const std::string symbol = packet.symbol;
        if (const auto refusal = model().settings().applySettings(std::move(packet))) {
            LOG_SEV(error) << "settings for " << Logging::EscapeClientText(symbol) << " refused: " << *refusal;
            return;
        }
        LOG_SEV(info) << received;
        setSettings(symbol, *model().findSettings(symbol));
    });
}

void SetDeliveryFormulaHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                       const std::vector<std::uint8_t>&) {
    runGuarded("SetDeliveryFormulaHandler", reply, [&] {
        Packets::Incoming::DeliveryFormulaPacket packet;
        Packets::Incoming::parseDeliveryFormulaPacket(request, packet);
        const std::string symbol = Logging::EscapeClientText(packet.symbol);
        const std::string formula = Logging::EscapeClientText(packet.formula);
        LOG_SEV(info) << "SetDeliveryFormulaHandler:" << symbol << "-" << formula;
        if (packet.components.size() > Packets::Incoming::MAX_DELIVERY_COMPONENTS) {
            LOG_SEV(error) << "delivery formula " << formula << " of " << symbol << " refused: "
                           << packet.components.size() << " components, at most "
                           << Packets::Incoming::MAX_DELIVERY_COMPONENTS;
            return;
        }
        // Texts the library cannot take are refused before the formula is kept.
        if (!Bridge::deliveryFormulaFits(packet.symbol, packet.formula, packet.components))
            return;
        if (const auto refusal = model().settings().setDeliveryFormula(packet.symbol, packet.formula,
                                                                         packet.formulaValue, packet.components)) {
            LOG_SEV(error) << "delivery formula " << formula << " of " << symbol << " refused: " << *refusal;
            return;
        }
        setDeliveryFormula(packet.symbol, packet.formula, &packet.cashAmount, packet.components);
    });
}

// The library's failures reach the packet processor's catch.
void Root2UnderlyingMapHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>&,
                                       const std::vector<std::uint8_t>&) {
    Packets::Incoming::Root2UnderlyingMapPacket packet;
    Packets::Incoming::parseRoot2UnderlyingMapPacket(request, packet);
    LOG_SEV(info) << "Loaded root to underling mapping:" << packet.count;
    Bridge::mapRootsToUnderlyings(packet.pairs);
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

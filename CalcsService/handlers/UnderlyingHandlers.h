// The handlers that tell the library about underlyings and take no reply: stock settings, delivery
// formulas, root-to-underlying mappings, the reset and the stock dump.
#pragma once

#include "handlers/BaseHandler.h"

namespace Handlers {

// SET_CALCULATION_SETTINGS: replaces all of the underlying's settings, or, when the body ends
// inside them, they hold more expirations or dividends than a request may, the symbol is too long
// for the library or they would take the stored settings past a cap, none, then hands them to the
// library.
class SetStockSettingsHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// SET_DELIVERY_FORMULA: keeps the formula in the stock settings and hands it to the library; a formula
// of more components than a request may have, of texts the library cannot take, or that would take
// the stored formulas past a cap is refused whole.
class SetDeliveryFormulaHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// ROOT2UNDERLYING_MAP: maps each non-empty option root to its underlying, or none when the new roots
// would take the library's mappings past their cap.
class Root2UnderlyingMapHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// RESET_DATA: empties the library and the bridge.
class ResetDataHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// DUMP_STOCK: has the library write the underlying and its options to the log.
class DumpStockHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

}  // namespace Handlers

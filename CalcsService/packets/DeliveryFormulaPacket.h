// SET_DELIVERY_FORMULA: what one adjusted option delivers.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

// (component symbol, number of shares), in request order.
using DeliveryComponentList = std::vector<std::pair<std::string, double>>;

// The formula value when the body ends before it.
constexpr std::uint32_t DEFAULT_FORMULA_VALUE = 100;

struct DeliveryFormulaPacket {
    std::string symbol;
    std::string formula;
    double cashAmount = 0.0;
    DeliveryComponentList components;
    std::uint32_t formulaValue = DEFAULT_FORMULA_VALUE;
};

RequestStream& parseDeliveryFormulaPacket(RequestStream& in, DeliveryFormulaPacket& packet);

}  // namespace Packets::Incoming

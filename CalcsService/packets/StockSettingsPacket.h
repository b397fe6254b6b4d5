// SET_CALCULATION_SETTINGS: one underlying's expirations with their two rates, and its dividends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

// The vectors of one group always have equal lengths: expirations, rates1 and rates2; and
// dividendDates, dividendAmounts and dividendTypes.
struct StockSettingsPacket {
    double time = 0.0;  // "now" of the dividend forwards, ms since 1970
    std::string symbol;
    std::uint8_t useUserInputs = 0;
    std::vector<double> expirations;  // ms since 1970
    std::uint32_t ratesSource = 0;
    std::vector<float> rates1;
    std::vector<float> rates2;
    std::vector<double> dividendDates;  // ms since 1970
    std::vector<float> dividendAmounts;
    std::vector<std::int32_t> dividendTypes;
};

// An expiration is kept only with both its rates: a body that ends inside the rates drops the
// expirations it has no rates for. NaN expirations are dropped with their rates and a warning,
// since expirations become map keys.
RequestStream& parseStockSettingsPacket(RequestStream& in, StockSettingsPacket& packet);

}  // namespace Packets::Incoming

// OPTION_CALCULATOR and IMPLIED_VOLATILITY: one option described completely, 106 bytes, no strings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

constexpr std::size_t OPTION_CALCULATOR_BODY_SIZE = 106;

// Members in the order the models declare them; the wire order is in the parser.
struct OptionCalculatorPacket {
    std::int16_t exerciseStyle = 0;           // 0 American, any other value European
    std::uint32_t daysToExpiration = 0;
    std::int32_t dividendInterval = 0;        // days; -1: use secondDividendInterval
    std::int32_t secondDividendInterval = 0;  // days
    std::uint32_t treeSteps = 0;              // binomial tree steps
    double expirationDate = 0.0;              // ms since 1970
    double firstDividendDate = 0.0;           // ms since 1970
    double strike = 0.0;
    double underlyingPrice = 0.0;
    double volatility = 0.0;                  // percent
    double interestRate = 0.0;
    double costOfCarry = 0.0;
    double dividendAmount = 0.0;              // per dividend; 0 or less: no dividends
    double valuationDate = 0.0;               // ms since 1970
    double putPrice = 0.0;                    // for the implied volatility
    double callPrice = 0.0;                   // for the implied volatility
};

RequestStream& parseOptionCalculatorPacket(RequestStream& in, OptionCalculatorPacket& packet);

}  // namespace Packets::Incoming

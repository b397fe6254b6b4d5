// What the chart pass and the greeks pass both need to price one position of an underlying: the
// underlying's base price and ratio, and the position's sign, library arguments and index price.
#pragma once

#include <cstdint>
#include <vector>

#include "models/IndexSymbol.h"
#include "models/PositionGreeks.h"
#include "packets/OptionPosition.h"
#include "packets/RiskChart2DPacket.h"

namespace models::RiskChart {

// The centre of the underlying's axis: the request's base price, or the current price without one;
// and base / current price (1.0 without a current price).
struct StockBase {
    double base;
    double ratio;
    StockBase(const VO::RiskChart::PerStockInfo& stock, double basePrice)
        : base(basePrice == 0.0 ? stock.currentPrice : basePrice),
          ratio(stock.currentPrice == 0.0 ? 1.0 : base / stock.currentPrice) {}
};

inline int typeOf(const VO::OptionPosition& p) { return p.isPut ? 'p' : 'c'; }
// The library takes the delivery mode as a signed byte.
inline int deliveryModeOf(const VO::OptionPosition& p) { return static_cast<std::int8_t>(p.deliveryMode); }

// At most one discrete dividend, as the library takes dividends.
struct DividendList {
    std::vector<double> amounts;
    std::vector<double> times;
    void set(double amount, double time) {
        amounts.assign(1, amount);
        times.assign(1, time);
    }
};

}  // namespace models::RiskChart

// One cell of the risk table reply: a portfolio's summed greeks and value at one price and volatility.
#pragma once

namespace VO {

struct RiskTableCell {
    double delta = 0.0;  // share-equivalent: the stock plus option deltas × quantity
    double vega = 0.0;
    double gamma = 0.0;
    double theta = 0.0;
    double rho = 0.0;
    double value = 0.0;  // profit or loss, the stock included
};

}  // namespace VO

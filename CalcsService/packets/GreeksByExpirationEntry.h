// One expiration of the greeks-by-expiration reply: the summed greeks of its positions.
#pragma once

namespace Packets::Outgoing {

struct GreeksByExpirationEntry {
    double vega = 0.0;  // each greek summed as quantity × the library's output
    double theta = 0.0;
    double rho = 0.0;
    double delta = 0.0;  // signed, share-equivalent
    double gamma = 0.0;
    double timeValue = 0.0;     // 100 × quantity × time value, summed
    double dollarDelta = 0.0;   // delta × the base price
    double callQuantity = 0.0;  // non-expired calls
    double putQuantity = 0.0;   // non-expired puts
    double expiration = 0.0;    // the group's key
};

}  // namespace Packets::Outgoing

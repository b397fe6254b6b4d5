// The model an option is priced with, and the tolerances the pricers share.
#pragma once

namespace Pricing {

// Model numbers as they travel through the records and the exported interface.
enum PricingModel : int {
    BS = 0,       // Black-Scholes with cost of carry
    CRR = 1,      // Cox-Ross-Rubinstein tree
    BJ = 2,       // Bjerksund-Stensland
    RGW = 3,      // Roll-Geske-Whaley
    MaxBSBJ = 4,  // the larger of the European value and Bjerksund-Stensland
};

// Tolerance of the price, strike and time tests.
constexpr double EPS = 1e-6;

}  // namespace Pricing

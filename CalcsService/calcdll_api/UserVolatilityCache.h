// The user volatility of each option of the last individual-option requests, as a fraction, for the
// library's user-volatility callback.
#pragma once

#include <cstdint>

// The library's user-volatility callback (pfUserVolatilityCallback): the option's cached fraction
// through `volatility` and true, or false with `volatility` untouched.
int getUserVolatilityCallback(std::int64_t foreignId, double* volatility);

namespace Bridge {

// Stores the option's user volatility, percent as the client sends it, as a fraction.
void storeUserVolatility(std::int64_t foreignId, double percent);

void clearUserVolatilities();

}  // namespace Bridge

// The 12-byte key that names one option to the library, and the registration of an option tree's
// call and put of one strike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "brkCalcsLib.h"

namespace Bridge {

// Strike in thousandths, rounded to the nearest (7.14f is 7140); none for a strike that is not
// finite or does not fit 32 unsigned bits.
std::optional<std::uint32_t> keyStrike(float strike);

// The key of an option expiring on year (four digits), month (0 = January), day: the first five
// characters of the root, year - 2000, 'A' + month for a call or 'M' + month for a put, the day and
// the strike. None, with an error line, when the date or the strike cannot be put into the key.
std::optional<OptionKey> makeOptionKey(const std::string& root, int year, int month, int day, float strike, bool isPut);

}  // namespace Bridge

// One strike of an option tree (BUILD_OPTION_TREE carries 32-bit ids, sign-extended here; v3 64-bit).
struct OptionTreeStrike {
    std::uint16_t year = 0;  // four digits
    std::uint8_t month = 0;  // 0 = January
    std::uint8_t day = 0;
    float strike = 0.0f;
    std::uint8_t deliveryMode = 0;
    std::int64_t callId = 0;
    std::int64_t putId = 0;
};

// Registers the call, then the put, with the library; the put's internal id (-1 on failure), or -1
// with nothing registered when the key cannot be built.
int registerOptionPair(const std::string& root, const OptionTreeStrike& strike);

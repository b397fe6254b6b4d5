// The expiry dates an option key can hold: the key keeps year - 2000 in one byte, the month 0-11
// and the day of the month. Option trees are checked against it before any key is built.
#pragma once

namespace Packets {

constexpr int FIRST_KEY_YEAR = 2000;
constexpr int LAST_KEY_YEAR = FIRST_KEY_YEAR + 255;

constexpr bool representableExpiry(int year, int month, int day) {
    return year >= FIRST_KEY_YEAR && year <= LAST_KEY_YEAR && month >= 0 && month <= 11 && day >= 1 && day <= 31;
}

}  // namespace Packets

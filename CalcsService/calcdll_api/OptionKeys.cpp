#include "calcdll_api/OptionKeys.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "packets/OptionKeyExpiry.h"

namespace Bridge {

namespace {

constexpr std::size_t kRootLength = sizeof(OptionKey{}.root);

}  // namespace

std::optional<std::uint32_t> keyStrike(float strike) {
    const double thousandths = static_cast<double>(strike) * 1000.0;
    if (!std::isfinite(thousandths))
        return std::nullopt;
    const double rounded = std::round(thousandths);
    if (rounded < 0.0 || rounded > static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
        return std::nullopt;
    return static_cast<std::uint32_t>(rounded);
}

std::optional<OptionKey> makeOptionKey(const std::string& root, int year, int month, int day, float strike, bool isPut) {
    if (!Packets::representableExpiry(year, month, day)) {
        LOG_SEV(error) << "invalid data (expiry), option skipped, root: " << Logging::EscapeClientText(root) << ", year: " << year
                       << ", month: " << month << ", day: " << day;
        return std::nullopt;
    }
    const auto thousandths = keyStrike(strike);
    if (!thousandths) {
        LOG_SEV(error) << "invalid data (strike), option skipped, root: " << Logging::EscapeClientText(root) << ", strike: " << strike;
        return std::nullopt;
    }
    OptionKey key{};
    std::memcpy(key.root, root.data(), std::min(root.size(), kRootLength));
    key.year = static_cast<std::uint8_t>(year - Packets::FIRST_KEY_YEAR);
    key.monthCode = static_cast<char>((isPut ? 'M' : 'A') + month);
    key.day = static_cast<std::uint8_t>(day);
    key.strike = *thousandths;
    return key;
}

}  // namespace Bridge

int registerOptionPair(const std::string& root, const OptionTreeStrike& strike) {
    const auto call = Bridge::makeOptionKey(root, strike.year, strike.month, strike.day, strike.strike, false);
    const auto put = Bridge::makeOptionKey(root, strike.year, strike.month, strike.day, strike.strike, true);
    if (!call || !put)
        return -1;
    CBrkCalcDll& dll = CBrkCalcDll::Instance();
    dll.RegisterOption(&*call, strike.callId, strike.deliveryMode);
    return dll.RegisterOption(&*put, strike.putId, strike.deliveryMode);
}

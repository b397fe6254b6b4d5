#include "calendar/GroupDividends.h"

#include <algorithm>
#include <array>

#include "Logging/ClientText.h"
#include "Logging/Log.h"

namespace {

constexpr double kEps = 1e-6;
constexpr int kExcludedFromScheduleKind = 11;

bool IsSpecialKind(int kind) { return kind == 42 || kind == 100; }

}  // namespace

std::optional<SGroupDividends> FetchDividends(PFN_DIVI_CALLBACK callback, const std::string& underlyingSymbol,
                                              const DllDateTime& tapeTime, const DllDate& groupExpiry) {
    if (!callback) {
        LOG_SEV(error) << "pfDiviCallback wasn't set\n";
        return std::nullopt;
    }
    DllDateTime now = tapeTime;
    if (!TimestampToSeconds(now)) {
        LOG_SEV(warning) << "FetchDividends skipped for " << Logging::EscapeClientText(underlyingSymbol) << ": invalid tape date "
                         << FormatDate(DateOf(now));
        return std::nullopt;
    }

    std::array<DividendEntry, SGroupDividends::kCapacity> buffer{};
    const DllDate start = DateOf(now);
    const int returned = callback(underlyingSymbol.c_str(), &start, &groupExpiry, buffer.data(), SGroupDividends::kCapacity);
    const int n = std::clamp(returned, 0, SGroupDividends::kCapacity);

    SGroupDividends dividends;
    for (int i = 0; i < n; ++i) {
        const DividendEntry& entry = buffer[i];
        const DllDate date = entry.date;
        const double amount = entry.dAmount;
        const int kind = entry.nKind;
        DllDateTime exDate = TimestampAt(date, 0, 0);
        const auto t = CalcCalendarTime(now, exDate);
        if (!t) {
            LOG_SEV(warning) << "FetchDividends: dividend of " << Logging::EscapeClientText(underlyingSymbol) << " with invalid date "
                             << FormatDate(date) << " skipped";
            continue;
        }
        if (dividends.m_firstAmount < kEps)
            dividends.m_firstAmount = amount;
        ++dividends.m_receivedCount;
        if (IsSpecialKind(kind)) {
            dividends.m_specialDivTime = std::max(*t, 0.0001);
            dividends.m_specialDivAmount = amount;
        }
        if (amount > kEps && *t > kEps) {
            dividends.m_divAmounts.push_back(amount);
            dividends.m_divTimes.push_back(*t);
        }
        if (kind != kExcludedFromScheduleKind && IsDateNotAfter(date, groupExpiry)) {
            dividends.m_divToExpiryAmounts.push_back(amount);
            dividends.m_divToExpiryTimes.push_back(std::max(*t - kEps, 0.0));
        }
        dividends.m_divTotal += amount;
    }
    dividends.m_divCount = static_cast<int>(dividends.m_divAmounts.size());
    return dividends;
}

#include "calendar/ExpirationTime.h"

#include <cstdio>
#include <cstdlib>

#include "Logging/Log.h"
#include "calendar/CalendarTable.h"
#include "calendar/CivilDate.h"
#include "calendar/ExpiryTypeTable.h"

namespace {

constexpr int kSaturday = 6;
constexpr int kWednesday = 3;

}  // namespace

SExpiryKind LookupExpiryKind(const std::string& root, const DllDate& expiry, PFN_EXPIRY_TYPE_CALLBACK callback,
                             bool& european) {
    const CCalendarTable& calendar = CCalendarTable::Instance();
    SExpiryKind kind;
    kind.m_code = calendar.ClassifyExpiry(expiry.day, expiry.month, expiry.year);
    const int weekday = calendar.Weekday(expiry.year, expiry.month, expiry.day);
    kind.m_bSaturday = weekday == kSaturday;
    kind.m_bWednesday = weekday == kWednesday;
    if (callback)
        callback(root.c_str(), kind.m_code, &kind.m_bAmSettled, &european);
    else {
        // The library's own table answers only the settlement; exercise style stays the option's.
        bool tableEuropean = european;
        CExpiryTypeTable::Instance().FindExpiryType(root, tableEuropean, kind.m_code, kind.m_bAmSettled);
    }
    return kind;
}

void SetExpirationTime(SGroupSettlement& settlement, const DllDate* firstOptionExpiry,
                       const std::string& underlyingSymbol, const SExpiryKind& kind) {
    settlement = SGroupSettlement();
    if (!firstOptionExpiry)
        return;
    const DllDate expiry = *firstOptionExpiry;
    const bool standard = underlyingSymbol == "^VIX" || underlyingSymbol == "^GVZ" ||
                          std::abs(expiry.day - ThirdFriday(expiry.year, expiry.month)) <= 1;

    settlement.m_adjustedExpiry = kind.m_bAmSettled ? TimestampAt(expiry, 9, 30) : TimestampAt(expiry, 16, 0);
    settlement.m_bAdjustedExpiryValid = true;

    const bool weekly = kind.m_code == eExpiryWeekly;
    const bool quarterly = kind.m_code == eExpiryQuarterly;
    if (!weekly && !quarterly && standard) {
        if (kind.m_bSaturday && IsCalendarDate(expiry.year, expiry.month, expiry.day)) {
            const SCivilDate friday = CivilFromDays(DaysFromCivil(expiry.year, expiry.month, expiry.day) - 1);
            settlement.m_adjustedExpiry.year = friday.year;
            settlement.m_adjustedExpiry.month = friday.month;
            settlement.m_adjustedExpiry.day = friday.day;
            settlement.m_bStandardExpiry = true;
        } else if (kind.m_bWednesday && underlyingSymbol == "^VIX") {
            settlement.m_bStandardExpiry = true;
        }
    }
    settlement.m_bExpiryTimeSet = true;
}

DllDateTime ExpirationStamp(const SGroupSettlement& settlement, const DllDate& optionExpiry) {
    return settlement.m_bAdjustedExpiryValid ? settlement.m_adjustedExpiry : TimestampAt(optionExpiry, 16, 0);
}

std::optional<double> TimeToExpiration(DllDateTime expiration, DllDateTime start) {
    if (!CompareTimestamps(expiration, start))
        return 0.0;
    return CalcCalendarTime(start, expiration);
}

void LogExpiryChain(const DllDate& groupExpiry) {
    char head[32];
    std::snprintf(head, sizeof head, "---%.4d%.2d%.2d------", groupExpiry.year, groupExpiry.month, groupExpiry.day);
    LOG_SEV(info) << head;
}

// Settlement time of an expiry group and time to expiration. The option group keeps an
// SGroupSettlement and calls these with its first option's expiry and its underlying's symbol.
#pragma once

#include <optional>
#include <string>

#include "brkCalcsLib.h"
#include "calendar/DateTime.h"
#include "calendar/ExpiryCode.h"

// The settlement fields of an option group.
struct SGroupSettlement {
    DllDateTime m_adjustedExpiry;
    bool m_bAdjustedExpiryValid = false;
    bool m_bStandardExpiry = false;
    bool m_bExpiryTimeSet = false;
};

// What an option's expiry date and root say about its group's settlement.
struct SExpiryKind {
    int m_code = eExpiryNone;  // EExpiryCode
    bool m_bSaturday = false;
    bool m_bWednesday = false;
    bool m_bAmSettled = false;
};

// Classifies the expiry (calendar table), then asks the host's expiry-type callback when it is set,
// else the library's expiry-type table for the AM settlement. `european` is the option's own flag,
// written only by the callback.
SExpiryKind LookupExpiryKind(const std::string& root, const DllDate& expiry, PFN_EXPIRY_TYPE_CALLBACK callback,
                             bool& european);

// Clears the settlement; with a first option (non-null expiry) sets the adjusted expiration:
// 09:30 when AM-settled, else 16:00, and a standard Saturday expiry moved back to its Friday.
void SetExpirationTime(SGroupSettlement& settlement, const DllDate* firstOptionExpiry,
                       const std::string& underlyingSymbol, const SExpiryKind& kind);

// The group's adjusted expiration when valid, else the option's expiry date at 16:00.
DllDateTime ExpirationStamp(const SGroupSettlement& settlement, const DllDate& optionExpiry);

// Years from start to expiration; 0 when the expiration is not later than start. None when either
// date cannot be converted (the calculation is skipped).
std::optional<double> TimeToExpiration(DllDateTime expiration, DllDateTime start);

// Logs at info "---", the group's expiry as yyyymmdd, "------": the head line of a group dump,
// followed by the group's option lines.
void LogExpiryChain(const DllDate& groupExpiry);

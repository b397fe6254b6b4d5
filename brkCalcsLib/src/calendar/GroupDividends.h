// The dividends of one expiry group, fetched from the host's dividend callback. The group keeps an
// SGroupDividends and replaces it under its lock with what FetchDividends returns.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brkCalcsLib.h"
#include "calendar/DateTime.h"

struct SGroupDividends {
    static constexpr int kCapacity = 100;

    // Every dividend with amount and time (years from the tape time) above 1e-6.
    std::vector<double> m_divAmounts;
    std::vector<double> m_divTimes;
    // Dividends of any kind but 11 dated on or before the group's expiry, time less 1e-6 and
    // floored at 0: the schedule the group's implied-volatility calculations receive.
    std::vector<double> m_divToExpiryAmounts;
    std::vector<double> m_divToExpiryTimes;
    double m_divTotal = 0.0;          // sum of all amounts received
    double m_specialDivTime = 0.0;    // last dividend of kind 42 or 100: time (at least 0.0001)
    double m_specialDivAmount = 0.0;  // and amount
    int m_divCount = 0;               // size of m_divAmounts

    // For the underlying: the entries used (the underlying has dividends when above 0), and the
    // amount its stored first dividend takes while that is still below 1e-6.
    int m_receivedCount = 0;
    double m_firstAmount = 0.0;
};

// Asks the callback for the dividends between the tape time's date and the group's expiry and
// sorts them into the group's sequences. None when there is no callback (logged at error) or the
// tape time has no valid date (logged at warning); the group then keeps what it has. The host's
// count is clamped to 0..100 and entries with impossible dates are skipped with a log line.
std::optional<SGroupDividends> FetchDividends(PFN_DIVI_CALLBACK callback, const std::string& underlyingSymbol,
                                              const DllDateTime& tapeTime, const DllDate& groupExpiry);

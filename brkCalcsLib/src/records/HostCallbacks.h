// The host's callbacks, as installed by the library's initialisation. Read by any thread.
#pragma once

#include <atomic>

#include "brkCalcsLib.h"

class CHostCallbacks {
public:
    static CHostCallbacks& Instance();

    void Install(const CalcDllSettings& settings);
    void Clear();

    PFN_RESULT_CALLBACK Result() const { return m_result; }
    PFN_DIVI_CALLBACK Dividends() const { return m_dividends; }
    PFN_YIELD_CURVE_CALLBACK YieldCurve() const { return m_yieldCurve; }
    PFN_USER_VOLATILITY_CALLBACK UserVolatility() const { return m_userVolatility; }
    PFN_ROOT_TO_SYMBOL_CALLBACK RootToSymbol() const { return m_rootToSymbol; }
    PFN_EXPIRY_TYPE_CALLBACK ExpiryType() const { return m_expiryType; }

private:
    std::atomic<PFN_RESULT_CALLBACK> m_result{nullptr};
    std::atomic<PFN_DIVI_CALLBACK> m_dividends{nullptr};
    std::atomic<PFN_YIELD_CURVE_CALLBACK> m_yieldCurve{nullptr};
    std::atomic<PFN_USER_VOLATILITY_CALLBACK> m_userVolatility{nullptr};
    std::atomic<PFN_ROOT_TO_SYMBOL_CALLBACK> m_rootToSymbol{nullptr};
    std::atomic<PFN_EXPIRY_TYPE_CALLBACK> m_expiryType{nullptr};
};

#include "records/HostCallbacks.h"

CHostCallbacks& CHostCallbacks::Instance() {
    static CHostCallbacks callbacks;
    return callbacks;
}

void CHostCallbacks::Install(const CalcDllSettings& settings) {
    m_result = settings.pfResultCallback;
    m_dividends = settings.pfDiviCallback;
    m_yieldCurve = settings.pfYieldCurveCallback;
    m_userVolatility = settings.pfUserVolatilityCallback;
    m_rootToSymbol = settings.pfRootToSymbolCallback;
    m_expiryType = settings.pfExpiryTypeCallback;
}

void CHostCallbacks::Clear() { Install(CalcDllSettings{}); }

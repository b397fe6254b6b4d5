// A stand-in for the calculation library with every export the service binds (or all but
// BriskoDllDumpStock when built with WITHOUT_DUMP_STOCK), recording what reaches it.
#define BRKCALCSLIB_BUILD
#include "FakeCalcsLibrary.h"

namespace {
FakeCalcsCalls g_calls;
}

extern "C" {

BRKCALCS_EXPORT FakeCalcsCalls* FakeCalcsRecorded() { return &g_calls; }

BRKCALCS_EXPORT void InitalizeDll(const CalcDllSettings* settings) {
    ++g_calls.initialize;
    g_calls.lastSettings.pfResultCallback = settings->pfResultCallback;
    g_calls.lastSettings.nThreads = settings->nThreads;
    g_calls.lastSettings.tradeDate = settings->tradeDate;
}
BRKCALCS_EXPORT void DeInitalizeDll() { ++g_calls.deinitialize; }
BRKCALCS_EXPORT void BriskoDllInitLogger(const char*) {}
BRKCALCS_EXPORT int16_t BriskoDllSetGlobalDate(int year, uint8_t, uint8_t) {
    g_calls.lastYear = year;
    return static_cast<int16_t>(year);
}
BRKCALCS_EXPORT void BriskoDllProcessMessage(const FeedMessage*, int, int64_t) {}
BRKCALCS_EXPORT int BriskoDllRegisterOption(const OptionKey*, int64_t, int) { return 7; }
BRKCALCS_EXPORT int BriskoDllRequestOptionCalcInputs(int64_t, OptionCalcInputs*) { return -1; }
BRKCALCS_EXPORT void BriskoDllGetOptionInputs(int64_t, float*, double*, double*, char*, double*, double*, double*,
                                              double*, int*, double*) {}
BRKCALCS_EXPORT void BriskoDllGetUnderlyingData(const char*, double*, double*, double*) {}
BRKCALCS_EXPORT int BriskoDllSetYieldCurve(const char*, const YieldCurvePoint*, int) { return 0; }
BRKCALCS_EXPORT void BriskoDllUseUserRates(const char*, int) {}
BRKCALCS_EXPORT void BriskoDllRefreshDividends(const char*) {}
BRKCALCS_EXPORT void BriskoDllSetOptionDelivery(const char*, const char*, const double*,
                                                const std::vector<DeliveryComponent>*) {}
BRKCALCS_EXPORT void BriskoDllAddRoot2SymbolMapping(const char*, const char*) {}
BRKCALCS_EXPORT bool BriskoDllSetStockSettings(const char*, const StockSettings*) { return false; }
BRKCALCS_EXPORT void BriskoDllSetOptionExpiryTypes(const ExpiryTypeEntry*, int) {}
BRKCALCS_EXPORT bool BriskoDllGetOptionsIdGroupedByExpiry(const char*, OptionIdsByExpiry*) { return false; }
BRKCALCS_EXPORT double BriskoDllCalcWeightedTimeToExpiration(int64_t, const double*) { return 0.25; }
BRKCALCS_EXPORT double BriskoDllCalcCalendarTimeToExpiration(int64_t, const double*) { return 0.25; }
BRKCALCS_EXPORT double BriskoDllCalcTheoPrice(int, int, int, int, const double*, const double*, const double*,
                                              const double*, const double*, const double*, const std::vector<double>*,
                                              const std::vector<double>*) {
    return 1.5;
}
BRKCALCS_EXPORT void BriskoDllCalcGreeks(int, int, int, const double*, const double*, const double*, const double*,
                                         const double*, const double*, int, const std::vector<double>*,
                                         const std::vector<double>*, double*, double*, double*, double*, double*) {}
BRKCALCS_EXPORT int BriskoDllGlobalCalcIV(double*, int, const std::vector<double>*, const std::vector<double>*, double,
                                          double, double, double, double, double, int, double, int, int) {
    return 0;
}
BRKCALCS_EXPORT void BriskoDllCleanUpRecords() {}
BRKCALCS_EXPORT void BriskoDllPurgeProcessingQueues() {}
BRKCALCS_EXPORT void BriskoDllTerminateThreads() {}
#ifndef WITHOUT_DUMP_STOCK
BRKCALCS_EXPORT void BriskoDllDumpStock(const char*) { ++g_calls.dumpStock; }
#endif
}

// A stand-in for the calculation library with every export the service binds (or all but
// BriskoDllDumpStock when built with WITHOUT_DUMP_STOCK), recording what reaches it.
#define BRKCALCSLIB_BUILD
#include "FakeCalcsLibrary.h"

namespace {
FakeCalcsCalls g_calls;
}

// Forwards to the test's hook when it set one.
#define FAKE_HOOK(name, ...)               \
    if (g_calls.hooks.name) {              \
        return g_calls.hooks.name(__VA_ARGS__); \
    }

extern "C" {

BRKCALCS_EXPORT FakeCalcsCalls* FakeCalcsRecorded() { return &g_calls; }

BRKCALCS_EXPORT void InitalizeDll(const CalcDllSettings* settings) {
    ++g_calls.initialize;
    if (g_calls.hooks.initialize) g_calls.hooks.initialize(settings);
    g_calls.lastSettings.pfResultCallback = settings->pfResultCallback;
    g_calls.lastSettings.nThreads = settings->nThreads;
    g_calls.lastSettings.tradeDate = settings->tradeDate;
}
BRKCALCS_EXPORT void DeInitalizeDll() {
    ++g_calls.deinitialize;
    FAKE_HOOK(deinitialize)
}
BRKCALCS_EXPORT void BriskoDllInitLogger(const char* pattern) { FAKE_HOOK(initLogger, pattern) }
BRKCALCS_EXPORT int16_t BriskoDllSetGlobalDate(int year, uint8_t month, uint8_t day) {
    g_calls.lastYear = year;
    FAKE_HOOK(setGlobalDate, year, month, day)
    return static_cast<int16_t>(year);
}
BRKCALCS_EXPORT void BriskoDllProcessMessage(const FeedMessage* message, int id32, int64_t foreignId) {
    FAKE_HOOK(processMessage, message, id32, foreignId)
}
BRKCALCS_EXPORT int BriskoDllRegisterOption(const OptionKey* key, int64_t foreignId, int deliveryMode) {
    FAKE_HOOK(registerOption, key, foreignId, deliveryMode)
    return 7;
}
BRKCALCS_EXPORT int BriskoDllRequestOptionCalcInputs(int64_t id, OptionCalcInputs* inputs) {
    FAKE_HOOK(requestOptionCalcInputs, id, inputs)
    return -1;
}
BRKCALCS_EXPORT void BriskoDllGetOptionInputs(int64_t foreignId, float* strike, double* expiration, double* volatility,
                                              char* isPut, double* dividendAmount, double* dividendTime, double* rate,
                                              double* carry, int* model, double* mid) {
    FAKE_HOOK(getOptionInputs, foreignId, strike, expiration, volatility, isPut, dividendAmount, dividendTime, rate,
              carry, model, mid)
}
BRKCALCS_EXPORT void BriskoDllGetUnderlyingData(const char*, double*, double*, double*) {}
BRKCALCS_EXPORT int BriskoDllSetYieldCurve(const char* symbol, const YieldCurvePoint* points, int count) {
    FAKE_HOOK(setYieldCurve, symbol, points, count)
    return 0;
}
BRKCALCS_EXPORT void BriskoDllUseUserRates(const char* symbol, int flag) { FAKE_HOOK(useUserRates, symbol, flag) }
BRKCALCS_EXPORT void BriskoDllRefreshDividends(const char* symbol) { FAKE_HOOK(refreshDividends, symbol) }
BRKCALCS_EXPORT void BriskoDllSetOptionDelivery(const char* symbol, const char* root, const double* cash,
                                                const std::vector<DeliveryComponent>* components) {
    FAKE_HOOK(setOptionDelivery, symbol, root, cash, components)
}
BRKCALCS_EXPORT void BriskoDllAddRoot2SymbolMapping(const char* symbol, const char* root) {
    FAKE_HOOK(addRoot2SymbolMapping, symbol, root)
}
BRKCALCS_EXPORT bool BriskoDllSetStockSettings(const char*, const StockSettings*) { return false; }
BRKCALCS_EXPORT void BriskoDllSetOptionExpiryTypes(const ExpiryTypeEntry*, int) {}
BRKCALCS_EXPORT bool BriskoDllGetOptionsIdGroupedByExpiry(const char*, OptionIdsByExpiry*) { return false; }
BRKCALCS_EXPORT double BriskoDllCalcWeightedTimeToExpiration(int64_t foreignId, const double* time) {
    FAKE_HOOK(weightedTime, foreignId, time)
    return 0.25;
}
BRKCALCS_EXPORT double BriskoDllCalcCalendarTimeToExpiration(int64_t, const double*) { return 0.25; }
BRKCALCS_EXPORT double BriskoDllCalcTheoPrice(int model, int european, int deliveryMode, int type, const double* S,
                                              const double* X, const double* T, const double* r, const double* b,
                                              const double* sigma, const std::vector<double>* amounts,
                                              const std::vector<double>* times) {
    FAKE_HOOK(calcTheoPrice, model, european, deliveryMode, type, S, X, T, r, b, sigma, amounts, times)
    return 1.5;
}
BRKCALCS_EXPORT void BriskoDllCalcGreeks(int style, int deliveryMode, int type, const double* S, const double* r,
                                         const double* b, const double* T, const double* sigma, const double* X,
                                         int model, const std::vector<double>* amounts,
                                         const std::vector<double>* times, double* vega, double* theta, double* rho,
                                         double* delta, double* gamma) {
    FAKE_HOOK(calcGreeks, style, deliveryMode, type, S, r, b, T, sigma, X, model, amounts, times, vega, theta, rho,
              delta, gamma)
}
BRKCALCS_EXPORT int BriskoDllGlobalCalcIV(double* volatility, int type, const std::vector<double>* amounts,
                                          const std::vector<double>* times, double S, double X, double T, double r,
                                          double b, double price, int model, double guess, int steps, int verbose) {
    FAKE_HOOK(globalCalcIV, volatility, type, amounts, times, S, X, T, r, b, price, model, guess, steps, verbose)
    return 0;
}
BRKCALCS_EXPORT void BriskoDllCleanUpRecords() { FAKE_HOOK(cleanUpRecords) }
BRKCALCS_EXPORT void BriskoDllPurgeProcessingQueues() { FAKE_HOOK(purgeProcessingQueues) }
BRKCALCS_EXPORT void BriskoDllTerminateThreads() {}
#ifndef WITHOUT_DUMP_STOCK
BRKCALCS_EXPORT void BriskoDllDumpStock(const char* symbol) {
    ++g_calls.dumpStock;
    FAKE_HOOK(dumpStock, symbol)
}
#endif
}

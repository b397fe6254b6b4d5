#include "CalcDll/BrkCalcDll.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "Logging/Log.h"

template <class F>
F CBrkCalcDll::Slot<F>::Get() const {
    const F f = fn.load();
    if (!f)
        throw std::runtime_error(std::string(name) + " is null");
    return f;
}

// One export to resolve: its name and the slot it fills.
struct CBrkCalcDll::Binding {
    const char* exportName;
    std::function<void(void*)> store;
};

namespace {

template <class F>
std::function<void(void*)> Into(std::atomic<F>& slot) {
    return [&slot](void* address) { slot = reinterpret_cast<F>(address); };
}

}  // namespace

CBrkCalcDll& CBrkCalcDll::Instance() {
    static CBrkCalcDll binding;
    return binding;
}

CBrkCalcDll::CBrkCalcDll(std::chrono::milliseconds unloadPause) : m_settings{}, m_unloadPause(unloadPause) {
    m_settings.nThreads = 2;
    m_settings.dRegularDayWeight = 1.0;
    m_settings.dWeekendDayWeight = 1.0;
    m_settings.dHolidayWeight = 1.0;
    m_settings.dEarlyCloseDayWeight = 1.0;
}

void CBrkCalcDll::SetCallbacks(PFN_RESULT_CALLBACK result, PFN_DIVI_CALLBACK dividends,
                               PFN_YIELD_CURVE_CALLBACK yieldCurve, PFN_USER_VOLATILITY_CALLBACK userVolatility,
                               PFN_ROOT_TO_SYMBOL_CALLBACK rootToSymbol) {
    m_settings.pfResultCallback = result;
    m_settings.pfDiviCallback = dividends;
    m_settings.pfYieldCurveCallback = yieldCurve;
    m_settings.pfUserVolatilityCallback = userVolatility;
    m_settings.pfRootToSymbolCallback = rootToSymbol;
}

void CBrkCalcDll::SetThreadCount(uint32_t n) { m_settings.nThreads = n; }

// The order in which the exports are looked up.
std::vector<CBrkCalcDll::Binding> CBrkCalcDll::Bindings() {
    return {
        {"BriskoDllProcessMessage", Into(m_pfProcessMessage.fn)},
        {"InitalizeDll", Into(m_pfInitalizeDll.fn)},
        {"DeInitalizeDll", Into(m_pfDeInitalizeDll.fn)},
        {"BriskoDllSetGlobalDate", Into(m_pfSetGlobalDate.fn)},
        {"BriskoDllSetYieldCurve", Into(m_pfSetYieldCurve.fn)},
        {"BriskoDllPurgeProcessingQueues", Into(m_pfPurgeProcessingQueues.fn)},
        {"BriskoDllRefreshDividends", Into(m_pfRefreshDividends.fn)},
        {"BriskoDllCleanUpRecords", Into(m_pfCleanUpRecords.fn)},
        {"BriskoDllTerminateThreads", Into(m_pfTerminateThreads.fn)},
        {"BriskoDllGetOptionInputs", Into(m_pfGetOptionInputs.fn)},
        {"BriskoDllCalcGreeks", Into(m_pfCalcGreeks.fn)},
        {"BriskoDllCalcTheoPrice", Into(m_pfCalcTheoPrice.fn)},
        {"BriskoDllGlobalCalcIV", Into(m_pfGlobalCalcIV.fn)},
        {"BriskoDllSetOptionExpiryTypes", Into(m_pfSetOptionExpiryTypes.fn)},
        {"BriskoDllSetStockSettings", Into(m_pfSetStockSettings.fn)},
        {"BriskoDllGetOptionsIdGroupedByExpiry", Into(m_pfGetOptionsIdGroupedByExpiry.fn)},
        {"BriskoDllRequestOptionCalcInputs", Into(m_pfRequestOptionCalcInputs.fn)},
        {"BriskoDllRegisterOption", Into(m_pfRegisterOption.fn)},
        {"BriskoDllGetUnderlyingData", Into(m_pfGetUnderlyingData.fn)},
        {"BriskoDllCalcWeightedTimeToExpiration", Into(m_pfGetWeightedTimeToExpiration.fn)},
        {"BriskoDllCalcCalendarTimeToExpiration", Into(m_pfGetCalendarTimeToExpiration.fn)},
        {"BriskoDllInitLogger", Into(m_pfInitLogger.fn)},
        {"BriskoDllUseUserRates", Into(m_pfUseUserRates.fn)},
        {"BriskoDllAddRoot2SymbolMapping", Into(m_pfAddRoot2SymbolMapping.fn)},
        {"BriskoDllSetOptionDelivery", Into(m_pfSetOptionDelivery.fn)},
        {"BriskoDllDumpStock", Into(m_pfDumpStock.fn)},
    };
}

bool CBrkCalcDll::Load(const char* path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_hModule)
        return false;
    std::string error;
    m_hModule = platform::LoadLibrary(path ? path : "", error);
    if (!m_hModule) {
        LOG_SEV(error) << "loading " << (path ? path : "(null)") << ": " << error;
        throw std::runtime_error("can't load calculation library");
    }
    for (const Binding& binding : Bindings()) {
        void* address = platform::GetProcAddress(m_hModule, binding.exportName);
        if (!address) {
            FreeModule();
            ClearFunctionTable();
            throw std::runtime_error("can't find definition of functions in the calculation library");
        }
        binding.store(address);
    }
    if (!m_bInitialized) {
        m_settings.tradeDate = DllDate{};
        m_pfInitalizeDll.fn.load()(&m_settings);
        m_bInitialized = true;
    }
    return true;
}

void CBrkCalcDll::Unload() {
    BOOST_LOG_FUNCTION();
    try {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (const PFN_DeInitalizeDll deinitialize = m_pfDeInitalizeDll.fn.load())
            deinitialize();
        std::this_thread::sleep_for(m_unloadPause);
        FreeModule();
        ClearFunctionTable();
        m_bInitialized = false;
    } catch (...) {
        LOG_SEV(fatal) << "unknown exception";
    }
}

void CBrkCalcDll::ClearFunctionTable() {
    for (const Binding& binding : Bindings())
        binding.store(nullptr);
    m_hModule = nullptr;
}

void CBrkCalcDll::FreeModule() {
    // The platform refuses a null handle; a released library stays mapped while a thread may run in it.
    if (m_hModule)
        platform::FreeLibrary(m_hModule);
}

void CBrkCalcDll::ProcessMessage(const FeedMessage* message, int id32, int64_t foreignId) {
    if (const PFN_ProcessMessage f = m_pfProcessMessage.fn.load())
        f(message, id32, foreignId);
}

int16_t CBrkCalcDll::SetGlobalDate(int year, uint8_t month, uint8_t day) {
    return m_pfSetGlobalDate.Get()(year, month, day);
}

int CBrkCalcDll::RequestOptionCalcInputs(int64_t id, OptionCalcInputs* inputs) {
    return m_pfRequestOptionCalcInputs.Get()(id, inputs);
}

int CBrkCalcDll::SetYieldCurve(const char* symbol, const YieldCurvePoint* points, int count) {
    return m_pfSetYieldCurve.Get()(symbol, points, count);
}

void CBrkCalcDll::PurgeProcessingQueues() { m_pfPurgeProcessingQueues.Get()(); }

void CBrkCalcDll::RefreshDividends(const char* symbol) { m_pfRefreshDividends.Get()(symbol); }

void CBrkCalcDll::GetOptionInputs(int64_t foreignId, float* strike, double* expiration, double* volatility,
                                  char* isPut, double* dividendAmount, double* dividendTime, double* rate,
                                  double* carry, int* model, double* mid) {
    m_pfGetOptionInputs.Get()(foreignId, strike, expiration, volatility, isPut, dividendAmount, dividendTime, rate,
                              carry, model, mid);
}

void CBrkCalcDll::CalcGreeks(int style, int deliveryMode, int type, const double* S, const double* r, const double* b,
                             const double* T, const double* sigma, const double* X, int model,
                             const std::vector<double>* amounts, const std::vector<double>* times, double* vega,
                             double* theta, double* rho, double* delta, double* gamma) {
    m_pfCalcGreeks.Get()(style, deliveryMode, type, S, r, b, T, sigma, X, model, amounts, times, vega, theta, rho,
                         delta, gamma);
}

double CBrkCalcDll::CalcTheoPrice(int model, int european, int deliveryMode, int type, const double* S,
                                  const double* X, const double* T, const double* r, const double* b,
                                  const double* sigma, const std::vector<double>* amounts,
                                  const std::vector<double>* times) {
    return m_pfCalcTheoPrice.Get()(model, european, deliveryMode, type, S, X, T, r, b, sigma, amounts, times);
}

int CBrkCalcDll::GlobalCalcIV(double* volatility, int type, const std::vector<double>* amounts,
                              const std::vector<double>* times, double S, double X, double T, double r, double b,
                              double price, int model, double guess, int steps, int verbose) {
    return m_pfGlobalCalcIV.Get()(volatility, type, amounts, times, S, X, T, r, b, price, model, guess, steps, verbose);
}

void CBrkCalcDll::CleanUpRecords() { m_pfCleanUpRecords.Get()(); }

int CBrkCalcDll::RegisterOption(const OptionKey* key, int64_t foreignId, int deliveryMode) {
    return m_pfRegisterOption.Get()(key, foreignId, deliveryMode);
}

void CBrkCalcDll::SetOptionDelivery(const char* symbol, const char* root, const double* cash,
                                    const std::vector<DeliveryComponent>* components) {
    m_pfSetOptionDelivery.Get()(symbol, root, cash, components);
}

double CBrkCalcDll::GetWeightedTimeToExpiration(int64_t foreignId, const double* time) {
    return m_pfGetWeightedTimeToExpiration.Get()(foreignId, time);
}

void CBrkCalcDll::InitLogger(const char* fileNamePattern) { m_pfInitLogger.Get()(fileNamePattern); }

void CBrkCalcDll::UseUserRates(const char* symbol, int flag) { m_pfUseUserRates.Get()(symbol, flag); }

void CBrkCalcDll::DumpStock(const char* symbol) { m_pfDumpStock.Get()(symbol); }

void CBrkCalcDll::AddRoot2SymbolMapping(const char* symbol, const char* root) {
    m_pfAddRoot2SymbolMapping.Get()(symbol, root);
}

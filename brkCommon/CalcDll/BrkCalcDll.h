// The calculations service's one binding to the calculation library: the library is loaded at run
// time by file name, its exports are resolved by name into nullable entry points, and every call
// goes through a wrapper that names the missing entry point when there is none.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "brkCalcsLib.h"
#include "platform/DynamicLibrary.h"

class CBrkCalcDll {
public:
    static constexpr std::chrono::milliseconds kUnloadPause{2500};

    // The process's binding.
    static CBrkCalcDll& Instance();

    // The pause lets the library's threads settle before it is released.
    explicit CBrkCalcDll(std::chrono::milliseconds unloadPause = kUnloadPause);
    CBrkCalcDll(const CBrkCalcDll&) = delete;
    CBrkCalcDll& operator=(const CBrkCalcDll&) = delete;

    // Both before Load.
    void SetCallbacks(PFN_RESULT_CALLBACK result, PFN_DIVI_CALLBACK dividends, PFN_YIELD_CURVE_CALLBACK yieldCurve,
                      PFN_USER_VOLATILITY_CALLBACK userVolatility, PFN_ROOT_TO_SYMBOL_CALLBACK rootToSymbol);
    void SetThreadCount(uint32_t n);

    // Loads the library, binds every entry point and starts the library once. False when a library is
    // loaded already. Throws "can't load calculation library" or "can't find definition of functions in
    // the calculation library"; the binding is then left empty.
    bool Load(const char* path);
    // Stops the library, waits, releases it and empties the binding. Never throws.
    void Unload();
    void ClearFunctionTable();
    void FreeModule();

    // The wrappers: each forwards to its export, or throws "<member> is null" when it is not bound.
    // ProcessMessage alone does nothing when unbound.
    void ProcessMessage(const FeedMessage* message, int id32, int64_t foreignId);
    int16_t SetGlobalDate(int year, uint8_t month, uint8_t day);
    int RequestOptionCalcInputs(int64_t id, OptionCalcInputs* inputs);
    int SetYieldCurve(const char* symbol, const YieldCurvePoint* points, int count);
    void PurgeProcessingQueues();
    void RefreshDividends(const char* symbol);
    void GetOptionInputs(int64_t foreignId, float* strike, double* expiration, double* volatility, char* isPut,
                         double* dividendAmount, double* dividendTime, double* rate, double* carry, int* model,
                         double* mid);
    void CalcGreeks(int style, int deliveryMode, int type, const double* S, const double* r, const double* b,
                    const double* T, const double* sigma, const double* X, int model,
                    const std::vector<double>* amounts, const std::vector<double>* times, double* vega,
                    double* theta, double* rho, double* delta, double* gamma);
    double CalcTheoPrice(int model, int european, int deliveryMode, int type, const double* S, const double* X,
                         const double* T, const double* r, const double* b, const double* sigma,
                         const std::vector<double>* amounts, const std::vector<double>* times);
    int GlobalCalcIV(double* volatility, int type, const std::vector<double>* amounts,
                     const std::vector<double>* times, double S, double X, double T, double r, double b,
                     double price, int model, double guess, int steps, int verbose);
    void CleanUpRecords();
    int RegisterOption(const OptionKey* key, int64_t foreignId, int deliveryMode);
    void SetOptionDelivery(const char* symbol, const char* root, const double* cash,
                           const std::vector<DeliveryComponent>* components);
    double GetWeightedTimeToExpiration(int64_t foreignId, const double* time);
    void InitLogger(const char* fileNamePattern);
    void UseUserRates(const char* symbol, int flag);
    void DumpStock(const char* symbol);
    void AddRoot2SymbolMapping(const char* symbol, const char* root);

private:
    // An entry point; written by Load and Unload only, read by any thread.
    template <class F>
    struct Slot {
        std::atomic<F> fn{nullptr};
        const char* name;
        explicit Slot(const char* memberName) : name(memberName) {}
        F Get() const;
    };

    struct Binding;
    std::vector<Binding> Bindings();

    Slot<PFN_ProcessMessage> m_pfProcessMessage{"m_pfProcessMessage"};
    Slot<PFN_InitalizeDll> m_pfInitalizeDll{"m_pfInitalizeDll"};
    Slot<PFN_DeInitalizeDll> m_pfDeInitalizeDll{"m_pfDeInitalizeDll"};
    Slot<PFN_SetGlobalDate> m_pfSetGlobalDate{"m_pfSetGlobalDate"};
    Slot<PFN_RequestOptionCalcInputs> m_pfRequestOptionCalcInputs{"m_pfRequestOptionCalcInputs"};
    Slot<PFN_SetYieldCurve> m_pfSetYieldCurve{"m_pfSetYieldCurve"};
    Slot<PFN_PurgeProcessingQueues> m_pfPurgeProcessingQueues{"m_pfPurgeProcessingQueues"};
    Slot<PFN_RefreshDividends> m_pfRefreshDividends{"m_pfRefreshDividends"};
    Slot<PFN_GetOptionInputs> m_pfGetOptionInputs{"m_pfGetOptionInputs"};
    Slot<PFN_CalcGreeks> m_pfCalcGreeks{"m_pfCalcGreeks"};
    Slot<PFN_CalcTheoPrice> m_pfCalcTheoPrice{"m_pfCalcTheoPrice"};
    Slot<PFN_GlobalCalcIV> m_pfGlobalCalcIV{"m_pfGlobalCalcIV"};
    Slot<PFN_CleanUpRecords> m_pfCleanUpRecords{"m_pfCleanUpRecords"};
    Slot<PFN_TerminateThreads> m_pfTerminateThreads{"m_pfTerminateThreads"};
    Slot<PFN_SetOptionExpiryTypes> m_pfSetOptionExpiryTypes{"m_pfSetOptionExpiryTypes"};
    Slot<PFN_SetStockSettings> m_pfSetStockSettings{"m_pfSetStockSettings"};
    Slot<PFN_GetOptionsIdGroupedByExpiry> m_pfGetOptionsIdGroupedByExpiry{"m_pfGetOptionsIdGroupedByExpiry"};
    Slot<PFN_GetUnderlyingData> m_pfGetUnderlyingData{"m_pfGetUnderlyingData"};
    Slot<PFN_RegisterOption> m_pfRegisterOption{"m_pfRegisterOption"};
    Slot<PFN_SetOptionDelivery> m_pfSetOptionDelivery{"m_pfSetOptionDelivery"};
    Slot<PFN_CalcWeightedTimeToExpiration> m_pfGetWeightedTimeToExpiration{"m_pfGetWeightedTimeToExpiration"};
    Slot<PFN_CalcCalendarTimeToExpiration> m_pfGetCalendarTimeToExpiration{"m_pfGetCalendarTimeToExpiration"};
    Slot<PFN_InitLogger> m_pfInitLogger{"m_pfInitLogger"};
    Slot<PFN_UseUserRates> m_pfUseUserRates{"m_pfUseUserRates"};
    Slot<PFN_DumpStock> m_pfDumpStock{"m_pfDumpStock"};
    Slot<PFN_AddRoot2SymbolMapping> m_pfAddRoot2SymbolMapping{"m_pfAddRoot2SymbolMapping"};

    CalcDllSettings m_settings;
    std::mutex m_mutex;
    bool m_bInitialized = false;
    platform::ModuleHandle m_hModule = nullptr;
    const std::chrono::milliseconds m_unloadPause;
};

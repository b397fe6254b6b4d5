// The boundary of the calculation library: every record and callback that passes between the
// library and its host.
//
// The records with a fixed layout are packed and little-endian; the static_asserts below are the
// contract. CalcDllSettings carries pointers and a std::string, so its layout is that of this
// 64-bit build (both sides are compiled with one toolchain): its offsets are asserted here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/unordered_map.hpp>

#pragma pack(push, 1)

struct DllDate {
    uint16_t year;
    uint8_t month;
    uint8_t day;
};

// One quote or trade; the record class sits in the top three bits of `type`, the subtype in the low five.
struct FeedMessage {
    uint8_t unused0;
    uint8_t type;
    uint8_t unused2;
    uint8_t flag;  // underlyings: nonzero keeps their option montage from being recalculated
    uint8_t unused4[4];
    uint32_t time;  // HHMMSSmmm
    char key[16];   // underlying symbol, or an OptionKey
    float last;
    float bid;
    float ask;
};

struct OptionKey {
    char root[5];       // NUL-padded, not necessarily NUL-terminated
    uint8_t year;       // year - 2000
    char monthCode;     // 'A'..'L' calls, 'M'..'X' puts, for months 1..12
    uint8_t day;
    uint32_t strike;    // thousandths
};

struct OptionCalcInputs {
    double timeToExpiration;
    double rate;
    double carry;
    double underlyingPrice;
    double volatility;
    double strike;
    uint8_t model;
    double midIV;
    double dividendAmount;
    double dividendTime;
};

struct YieldCurvePoint {
    double dRate;
    double dRate2;
    DllDate date;
    uint8_t padding[4];
};

struct DividendEntry {
    double dAmount;
    int32_t nKind;
    DllDate date;
};

struct DeliveryComponent {
    double dShares;
    char symbol[6];  // NUL-terminated within the field
    uint8_t padding[2];
};

struct ExpiryTypeEntry {
    char root[6];
    char expiry;          // 'Q', 'S' or 'W'
    char amSettled;       // '1' or '0'
    char european;        // '1' or '0'
    char closingTime[9];  // "HH:MM"
};

struct StockSettings {
    uint8_t mask;  // bit 0: value is valid
    uint8_t padding[3];
    int32_t value;
};

// Result kinds handed to the result callback.
enum EResultKind { eResultExpirySummary = 10, eResultUnderlying = 11, eResultOption = 12 };

// Kind 12: one option after its calculation.
struct OptionResult {
    double bidIV;
    double askIV;
    double midIV;
    double theo;
    double probabilityITM;  // percent
    double delta;           // x100, absolute value
    double gamma;           // x100
    double theta;           // x100, per day
    double vega;
    double rho;
};

// Kind 11: implied volatilities at fixed maturities (30, 60, 90, 120, 180, 360, 720 days).
struct UnderlyingResult {
    double ivAtMaturity[7];
    uint8_t unused[24];
};

struct ExpirySummaryEntry {
    char root[5];
    uint8_t year;  // year - 2000
    uint8_t month;
    uint8_t day;
    double iv;
};

// Kind 10: up to four expiry groups of an underlying, in expiry order; unused entries are zero.
struct ExpirySummary {
    ExpirySummaryEntry entries[4];
    uint8_t unused[16];
};

#pragma pack(pop)

static_assert(sizeof(DllDate) == 4);
static_assert(sizeof(FeedMessage) == 40);
static_assert(offsetof(FeedMessage, type) == 1 && offsetof(FeedMessage, flag) == 3);
static_assert(offsetof(FeedMessage, time) == 8 && offsetof(FeedMessage, key) == 12);
static_assert(offsetof(FeedMessage, last) == 28 && offsetof(FeedMessage, bid) == 32 && offsetof(FeedMessage, ask) == 36);
static_assert(sizeof(OptionKey) == 12);
static_assert(offsetof(OptionKey, year) == 5 && offsetof(OptionKey, monthCode) == 6);
static_assert(offsetof(OptionKey, day) == 7 && offsetof(OptionKey, strike) == 8);
static_assert(sizeof(OptionCalcInputs) == 73);
static_assert(offsetof(OptionCalcInputs, strike) == 40 && offsetof(OptionCalcInputs, model) == 48);
static_assert(offsetof(OptionCalcInputs, midIV) == 49 && offsetof(OptionCalcInputs, dividendTime) == 65);
static_assert(sizeof(YieldCurvePoint) == 24 && offsetof(YieldCurvePoint, date) == 16);
static_assert(sizeof(DividendEntry) == 16);
static_assert(offsetof(DividendEntry, nKind) == 8 && offsetof(DividendEntry, date) == 12);
static_assert(sizeof(DeliveryComponent) == 16 && offsetof(DeliveryComponent, symbol) == 8);
static_assert(sizeof(ExpiryTypeEntry) == 18);
static_assert(offsetof(ExpiryTypeEntry, expiry) == 6 && offsetof(ExpiryTypeEntry, closingTime) == 9);
static_assert(sizeof(StockSettings) == 8 && offsetof(StockSettings, value) == 4);
static_assert(sizeof(OptionResult) == 80 && offsetof(OptionResult, rho) == 72);
static_assert(sizeof(UnderlyingResult) == 80);
static_assert(sizeof(ExpirySummaryEntry) == 16 && offsetof(ExpirySummaryEntry, iv) == 8);
static_assert(sizeof(ExpirySummary) == 80);

// Callbacks of the host. The library calls one only when its pointer is non-null.
typedef void (*PFN_RESULT_CALLBACK)(const void* data, int kind, int internalId, int foreignIdLow, int foreignIdHigh);
typedef int (*PFN_DIVI_CALLBACK)(const char* symbol, const DllDate* start, const DllDate* end, DividendEntry* buffer,
                                 int capacity);
typedef int (*PFN_YIELD_CURVE_CALLBACK)(const char* symbol, const DllDate* date, YieldCurvePoint* buffer, int capacity);
typedef int (*PFN_USER_VOLATILITY_CALLBACK)(int64_t foreignId, double* volatility);
typedef int (*PFN_ROOT_TO_SYMBOL_CALLBACK)(const char* root, int rootLength, char* symbol, int symbolCapacity);
typedef int (*PFN_EXPIRY_TYPE_CALLBACK)(const char* root, int expiryCode, bool* amSettled, bool* european);

// Passed by pointer to InitalizeDll; the library copies what it needs.
struct CalcDllSettings {
    PFN_RESULT_CALLBACK pfResultCallback;
    PFN_DIVI_CALLBACK pfDiviCallback;
    PFN_YIELD_CURVE_CALLBACK pfYieldCurveCallback;
    PFN_USER_VOLATILITY_CALLBACK pfUserVolatilityCallback;
    PFN_ROOT_TO_SYMBOL_CALLBACK pfRootToSymbolCallback;
    void* pReserved;
    PFN_EXPIRY_TYPE_CALLBACK pfExpiryTypeCallback;
    uint32_t nThreads;  // above 16 counts as 16; 0 starts none
    DllDate tradeDate;
    double dRegularDayWeight;
    double dWeekendDayWeight;
    double dHolidayWeight;
    double dEarlyCloseDayWeight;
    std::string strReserved;
};

static_assert(offsetof(CalcDllSettings, pfExpiryTypeCallback) == 48);
static_assert(offsetof(CalcDllSettings, nThreads) == 56 && offsetof(CalcDllSettings, tradeDate) == 60);
static_assert(offsetof(CalcDllSettings, dRegularDayWeight) == 64 && offsetof(CalcDllSettings, dEarlyCloseDayWeight) == 88);
static_assert(offsetof(CalcDllSettings, strReserved) == 96);

// Filled by BriskoDllGetOptionsIdGroupedByExpiry: adjusted expiration (seconds since 1970) -> foreign ids.
typedef boost::unordered_map<double, std::vector<int64_t>> OptionIdsByExpiry;

// The exported functions. The host binds them by name at run time; the typedefs below give the
// entry-point types it stores.
#if defined(BRKCALCSLIB_BUILD)
#define BRKCALCS_EXPORT __attribute__((visibility("default")))
#else
#define BRKCALCS_EXPORT
#endif

extern "C" {
BRKCALCS_EXPORT void InitalizeDll(const CalcDllSettings* settings);
BRKCALCS_EXPORT void DeInitalizeDll();
BRKCALCS_EXPORT void BriskoDllInitLogger(const char* fileNamePattern);
BRKCALCS_EXPORT int16_t BriskoDllSetGlobalDate(int year, uint8_t month, uint8_t day);
BRKCALCS_EXPORT void BriskoDllProcessMessage(const FeedMessage* message, int id32, int64_t foreignId);
BRKCALCS_EXPORT int BriskoDllRegisterOption(const OptionKey* key, int64_t foreignId, int deliveryMode);
BRKCALCS_EXPORT int BriskoDllRequestOptionCalcInputs(int64_t id, OptionCalcInputs* inputs);
BRKCALCS_EXPORT void BriskoDllGetOptionInputs(int64_t foreignId, float* strike, double* expiration, double* volatility,
                                              char* isPut, double* dividendAmount, double* dividendTime, double* rate,
                                              double* carry, int* model, double* mid);
BRKCALCS_EXPORT void BriskoDllGetUnderlyingData(const char* symbol, double* bid, double* ask, double* last);
BRKCALCS_EXPORT int BriskoDllSetYieldCurve(const char* symbol, const YieldCurvePoint* points, int count);
BRKCALCS_EXPORT void BriskoDllUseUserRates(const char* symbol, int flag);
BRKCALCS_EXPORT void BriskoDllRefreshDividends(const char* symbol);
BRKCALCS_EXPORT void BriskoDllSetOptionDelivery(const char* symbol, const char* root, const double* cash,
                                                const std::vector<DeliveryComponent>* components);
BRKCALCS_EXPORT void BriskoDllAddRoot2SymbolMapping(const char* symbol, const char* root);
BRKCALCS_EXPORT bool BriskoDllSetStockSettings(const char* symbol, const StockSettings* settings);
BRKCALCS_EXPORT void BriskoDllSetOptionExpiryTypes(const ExpiryTypeEntry* entries, int count);
BRKCALCS_EXPORT bool BriskoDllGetOptionsIdGroupedByExpiry(const char* symbol, OptionIdsByExpiry* ids);
BRKCALCS_EXPORT double BriskoDllCalcWeightedTimeToExpiration(int64_t foreignId, const double* time);
BRKCALCS_EXPORT double BriskoDllCalcCalendarTimeToExpiration(int64_t foreignId, const double* time);
BRKCALCS_EXPORT double BriskoDllCalcTheoPrice(int model, int european, int deliveryMode, int type, const double* S,
                                              const double* X, const double* T, const double* r, const double* b,
                                              const double* sigma, const std::vector<double>* amounts,
                                              const std::vector<double>* times);
BRKCALCS_EXPORT void BriskoDllCalcGreeks(int style, int deliveryMode, int type, const double* S, const double* r,
                                         const double* b, const double* T, const double* sigma, const double* X,
                                         int model, const std::vector<double>* amounts,
                                         const std::vector<double>* times, double* vega, double* theta, double* rho,
                                         double* delta, double* gamma);
BRKCALCS_EXPORT int BriskoDllGlobalCalcIV(double* volatility, int type, const std::vector<double>* amounts,
                                          const std::vector<double>* times, double S, double X, double T, double r,
                                          double b, double price, int model, double guess, int steps, int verbose);
BRKCALCS_EXPORT double BriskoDllCalcTheoPriceHrr();
BRKCALCS_EXPORT void BriskoDllCleanUpRecords();
BRKCALCS_EXPORT void BriskoDllPurgeProcessingQueues();
BRKCALCS_EXPORT void BriskoDllTerminateThreads();
BRKCALCS_EXPORT void BriskoDllDumpStock(const char* symbol);
}

typedef decltype(&InitalizeDll) PFN_InitalizeDll;
typedef decltype(&DeInitalizeDll) PFN_DeInitalizeDll;
typedef decltype(&BriskoDllInitLogger) PFN_InitLogger;
typedef decltype(&BriskoDllSetGlobalDate) PFN_SetGlobalDate;
typedef decltype(&BriskoDllProcessMessage) PFN_ProcessMessage;
typedef decltype(&BriskoDllRegisterOption) PFN_RegisterOption;
typedef decltype(&BriskoDllRequestOptionCalcInputs) PFN_RequestOptionCalcInputs;
typedef decltype(&BriskoDllGetOptionInputs) PFN_GetOptionInputs;
typedef decltype(&BriskoDllGetUnderlyingData) PFN_GetUnderlyingData;
typedef decltype(&BriskoDllSetYieldCurve) PFN_SetYieldCurve;
typedef decltype(&BriskoDllUseUserRates) PFN_UseUserRates;
typedef decltype(&BriskoDllRefreshDividends) PFN_RefreshDividends;
typedef decltype(&BriskoDllSetOptionDelivery) PFN_SetOptionDelivery;
typedef decltype(&BriskoDllAddRoot2SymbolMapping) PFN_AddRoot2SymbolMapping;
typedef decltype(&BriskoDllSetStockSettings) PFN_SetStockSettings;
typedef decltype(&BriskoDllSetOptionExpiryTypes) PFN_SetOptionExpiryTypes;
typedef decltype(&BriskoDllGetOptionsIdGroupedByExpiry) PFN_GetOptionsIdGroupedByExpiry;
typedef decltype(&BriskoDllCalcWeightedTimeToExpiration) PFN_CalcWeightedTimeToExpiration;
typedef decltype(&BriskoDllCalcCalendarTimeToExpiration) PFN_CalcCalendarTimeToExpiration;
typedef decltype(&BriskoDllCalcTheoPrice) PFN_CalcTheoPrice;
typedef decltype(&BriskoDllCalcGreeks) PFN_CalcGreeks;
typedef decltype(&BriskoDllGlobalCalcIV) PFN_GlobalCalcIV;
typedef decltype(&BriskoDllCleanUpRecords) PFN_CleanUpRecords;
typedef decltype(&BriskoDllPurgeProcessingQueues) PFN_PurgeProcessingQueues;
typedef decltype(&BriskoDllTerminateThreads) PFN_TerminateThreads;
typedef decltype(&BriskoDllDumpStock) PFN_DumpStock;

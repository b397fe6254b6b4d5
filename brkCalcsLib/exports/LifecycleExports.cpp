// Start-up, stop, logging and the processing queues.
#include <algorithm>
#include <array>

#include "ExportGuard.h"
#include "LibraryState.h"
#include "brkCalcsLib.h"
#include "calendar/ExpirationTimeCalculator.h"
#include "calendar/TapeClock.h"
#include "rates/RateStore.h"
#include "records/HostCallbacks.h"
#include "records/RecordProcessor.h"
#include "records/RecordRegistry.h"

namespace {

constexpr int kYieldCurveCapacity = 120;

CalcDllSettings DefaultSettings() {
    CalcDllSettings settings{};
    settings.nThreads = CProcessingThreadPool::kDefaultThreadCount;
    settings.dRegularDayWeight = 1.0;
    settings.dWeekendDayWeight = 1.0;
    settings.dHolidayWeight = 1.0;
    settings.dEarlyCloseDayWeight = 1.0;
    return settings;
}

// The fields the library uses; the reserved string of the host's block is never touched.
CalcDllSettings UsedPart(const CalcDllSettings& given) {
    CalcDllSettings settings{};
    settings.pfResultCallback = given.pfResultCallback;
    settings.pfDiviCallback = given.pfDiviCallback;
    settings.pfYieldCurveCallback = given.pfYieldCurveCallback;
    settings.pfUserVolatilityCallback = given.pfUserVolatilityCallback;
    settings.pfRootToSymbolCallback = given.pfRootToSymbolCallback;
    settings.pfExpiryTypeCallback = given.pfExpiryTypeCallback;
    settings.nThreads = given.nThreads;
    settings.tradeDate = given.tradeDate;
    settings.dRegularDayWeight = given.dRegularDayWeight;
    settings.dWeekendDayWeight = given.dWeekendDayWeight;
    settings.dHolidayWeight = given.dHolidayWeight;
    settings.dEarlyCloseDayWeight = given.dEarlyCloseDayWeight;
    return settings;
}

}  // namespace

extern "C" {

BRKCALCS_EXPORT void InitalizeDll(const CalcDllSettings* given) {
    Guarded("InitalizeDll", [&] {
        const CalcDllSettings settings = given ? UsedPart(*given) : DefaultSettings();
        CTapeClock::Instance().ResetToDate(settings.tradeDate);
        CExpirationTimeCalculator::Instance().LoadHolidays(settings.dRegularDayWeight, settings.dWeekendDayWeight,
                                                           settings.dHolidayWeight, settings.dEarlyCloseDayWeight);
        CRecordProcessor::Instance().Threads().Start(settings.nThreads);
        CHostCallbacks::Instance().Install(settings);
        if (settings.pfYieldCurveCallback) {
            std::array<YieldCurvePoint, kYieldCurveCapacity> points{};
            const DllDate tradeDate = settings.tradeDate;
            const int count = settings.pfYieldCurveCallback(nullptr, &tradeDate, points.data(), kYieldCurveCapacity);
            CRateStore::Instance().SetYieldCurve(nullptr, points.data(), std::clamp(count, 0, kYieldCurveCapacity));
        }
        g_bShuttingDown = false;
    });
}

BRKCALCS_EXPORT void DeInitalizeDll() {
    Guarded("DeInitalizeDll", [] {
        // From a host callback the stop would wait for its own caller: refuse it before anything stops.
        if (CRecordBarrier::HeldByThisThread()) {
            LOG_SEV(error) << "DeInitalizeDll cannot run from inside a calculation or a library call";
            return;
        }
        g_bShuttingDown = true;
        BriskoDllPurgeProcessingQueues();
        BriskoDllTerminateThreads();
        BriskoDllCleanUpRecords();
    });
}

BRKCALCS_EXPORT void BriskoDllInitLogger(const char* fileNamePattern) {
    if (fileNamePattern)
        Logging::initLogging(fileNamePattern);
}

BRKCALCS_EXPORT int16_t BriskoDllSetGlobalDate(int year, uint8_t month, uint8_t day) {
    return Guarded("BriskoDllSetGlobalDate", static_cast<int16_t>(year), [&] {
        CTapeClock::Instance().SetGlobalDate(year, month, day);
        return static_cast<int16_t>(year);
    });
}

BRKCALCS_EXPORT void BriskoDllCleanUpRecords() {
    Guarded("BriskoDllCleanUpRecords", [] {
        LOG_SCOPE("BriskoDllCleanUpRecords");
        if (!CRecordRegistry::Instance().ReleaseAllRecords())
            return;
        LOG_SEV(info) << "Clear feed time";
        CTapeClock::Instance().Clear();
    });
}

BRKCALCS_EXPORT void BriskoDllPurgeProcessingQueues() {
    Guarded("BriskoDllPurgeProcessingQueues", [] {
        LOG_SEV(info) << "BriskoDllPurgeProcessingQueues";
        CRecordProcessor::Instance().Threads().Purge();
    });
}

BRKCALCS_EXPORT void BriskoDllTerminateThreads() {
    Guarded("BriskoDllTerminateThreads", [] {
        LOG_SEV(info) << "BriskoDllTerminateThreads";
        CRecordProcessor::Instance().Threads().Terminate();
    });
}

}  // extern "C"

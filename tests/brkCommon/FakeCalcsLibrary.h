// What a fake calculation library saw of its host, read by the tests through FakeCalcsRecorded, and
// the hooks through which a test scripts its answers: a set hook receives the export's arguments and
// gives its result; an export without a hook answers with a fixed value.
#pragma once

#include "brkCalcsLib.h"

struct FakeCalcsHooks {
    PFN_InitalizeDll initialize = nullptr;
    PFN_DeInitalizeDll deinitialize = nullptr;
    PFN_InitLogger initLogger = nullptr;
    PFN_SetGlobalDate setGlobalDate = nullptr;
    PFN_ProcessMessage processMessage = nullptr;
    PFN_RegisterOption registerOption = nullptr;
    PFN_RequestOptionCalcInputs requestOptionCalcInputs = nullptr;
    PFN_GetOptionInputs getOptionInputs = nullptr;
    PFN_SetYieldCurve setYieldCurve = nullptr;
    PFN_UseUserRates useUserRates = nullptr;
    PFN_RefreshDividends refreshDividends = nullptr;
    PFN_SetOptionDelivery setOptionDelivery = nullptr;
    PFN_AddRoot2SymbolMapping addRoot2SymbolMapping = nullptr;
    PFN_CalcWeightedTimeToExpiration weightedTime = nullptr;
    PFN_CalcTheoPrice calcTheoPrice = nullptr;
    PFN_CalcGreeks calcGreeks = nullptr;
    PFN_GlobalCalcIV globalCalcIV = nullptr;
    PFN_CleanUpRecords cleanUpRecords = nullptr;
    PFN_PurgeProcessingQueues purgeProcessingQueues = nullptr;
    PFN_DumpStock dumpStock = nullptr;
};

struct FakeCalcsCalls {
    int initialize = 0;
    int deinitialize = 0;
    int dumpStock = 0;
    CalcDllSettings lastSettings{};
    int lastYear = 0;
    FakeCalcsHooks hooks;
};

extern "C" typedef FakeCalcsCalls* (*PFN_FakeCalcsRecorded)();

// The library loaded the way the calculations service loads it: by its module name, through the
// platform's dynamic loading, with every export resolved by name.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "brkCalcsLib.h"
#include "platform/DynamicLibrary.h"

struct LoadedLibrary {
    platform::ModuleHandle handle = nullptr;
    PFN_InitalizeDll Initalize = nullptr;
    PFN_DeInitalizeDll DeInitalize = nullptr;
    PFN_InitLogger InitLogger = nullptr;
    PFN_SetGlobalDate SetGlobalDate = nullptr;
    PFN_ProcessMessage ProcessMessage = nullptr;
    PFN_RegisterOption RegisterOption = nullptr;
    PFN_RequestOptionCalcInputs RequestOptionCalcInputs = nullptr;
    PFN_GetOptionInputs GetOptionInputs = nullptr;
    PFN_GetUnderlyingData GetUnderlyingData = nullptr;
    PFN_SetYieldCurve SetYieldCurve = nullptr;
    PFN_GetOptionsIdGroupedByExpiry GetOptionsIdGroupedByExpiry = nullptr;
    PFN_CalcWeightedTimeToExpiration WeightedTime = nullptr;
    PFN_CalcCalendarTimeToExpiration CalendarTime = nullptr;
    PFN_CalcTheoPrice CalcTheoPrice = nullptr;
    PFN_CalcGreeks CalcGreeks = nullptr;
    PFN_GlobalCalcIV GlobalCalcIV = nullptr;
    PFN_PurgeProcessingQueues PurgeProcessingQueues = nullptr;
    PFN_CleanUpRecords CleanUpRecords = nullptr;
    PFN_SetOptionDelivery SetOptionDelivery = nullptr;

    LoadedLibrary() {
        std::string error;
        handle = platform::LoadLibrary("brkcalcslib.dll", error);
        EXPECT_NE(handle, nullptr) << error;
        Bind(Initalize, "InitalizeDll");
        Bind(DeInitalize, "DeInitalizeDll");
        Bind(InitLogger, "BriskoDllInitLogger");
        Bind(SetGlobalDate, "BriskoDllSetGlobalDate");
        Bind(ProcessMessage, "BriskoDllProcessMessage");
        Bind(RegisterOption, "BriskoDllRegisterOption");
        Bind(RequestOptionCalcInputs, "BriskoDllRequestOptionCalcInputs");
        Bind(GetOptionInputs, "BriskoDllGetOptionInputs");
        Bind(GetUnderlyingData, "BriskoDllGetUnderlyingData");
        Bind(SetYieldCurve, "BriskoDllSetYieldCurve");
        Bind(GetOptionsIdGroupedByExpiry, "BriskoDllGetOptionsIdGroupedByExpiry");
        Bind(WeightedTime, "BriskoDllCalcWeightedTimeToExpiration");
        Bind(CalendarTime, "BriskoDllCalcCalendarTimeToExpiration");
        Bind(CalcTheoPrice, "BriskoDllCalcTheoPrice");
        Bind(CalcGreeks, "BriskoDllCalcGreeks");
        Bind(GlobalCalcIV, "BriskoDllGlobalCalcIV");
        Bind(PurgeProcessingQueues, "BriskoDllPurgeProcessingQueues");
        Bind(CleanUpRecords, "BriskoDllCleanUpRecords");
        Bind(SetOptionDelivery, "BriskoDllSetOptionDelivery");
    }

    template <class F>
    void Bind(F& slot, const char* name) {
        slot = reinterpret_cast<F>(platform::GetProcAddress(handle, name));
        ASSERT_NE(slot, nullptr) << name;
    }
};

// The one binding a test program shares between its files.
inline LoadedLibrary& Library() {
    static LoadedLibrary library;
    return library;
}

// Polls the condition for at most five seconds.
inline bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// A binding of its own to the scriptable fake calculation library, loaded once per test program, and
// the fake's hooks. Tests set the hooks they need; FakeCalcsHooksScope empties them afterwards.
#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

#include "CalcDll/BrkCalcDll.h"
#include "brkCommon/FakeCalcsLibrary.h"

inline CBrkCalcDll& FakeCalcsDll() {
    static CBrkCalcDll dll(std::chrono::milliseconds(0));
    [[maybe_unused]] static const bool loaded = dll.Load("fakecalcscomplete.dll");
    return dll;
}

inline FakeCalcsCalls& FakeCalcsCalled() {
    static FakeCalcsCalls& calls = []() -> FakeCalcsCalls& {
        std::string error;
        platform::ModuleHandle handle = platform::LoadLibrary("fakecalcscomplete.dll", error);
        auto recorded = handle ? reinterpret_cast<PFN_FakeCalcsRecorded>(
                                     platform::GetProcAddress(handle, "FakeCalcsRecorded"))
                               : nullptr;
        if (!recorded)
            throw std::runtime_error("fake calculation library not found: " + error);
        return *recorded();
    }();
    return calls;
}

struct FakeCalcsHooksScope {
    FakeCalcsHooks& hooks = FakeCalcsCalled().hooks;
    ~FakeCalcsHooksScope() { hooks = FakeCalcsHooks{}; }
};

// What a fake calculation library saw of its host, read by the tests through FakeCalcsRecorded.
#pragma once

#include "brkCalcsLib.h"

struct FakeCalcsCalls {
    int initialize = 0;
    int deinitialize = 0;
    int dumpStock = 0;
    CalcDllSettings lastSettings{};
    int lastYear = 0;
};

extern "C" typedef FakeCalcsCalls* (*PFN_FakeCalcsRecorded)();

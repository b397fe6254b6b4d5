// A symbol's stock settings as the library takes them: its yield curve (one point per expiration)
// and its dividends, handed over by setSettings and asked for by the library's callbacks.
#pragma once

#include <string>

#include "brkCalcsLib.h"
#include "models/StockSettingsData.h"

// Applies the symbol's user-rates switch and yield curve to the library, then has it fetch the
// symbol's dividends again.
void setSettings(const std::string& symbol, const models::StockSettingsData& settings);

// The library's yield-curve callback (pfYieldCurveCallback): the symbol's points, at most capacity;
// 0 for the default curve (null symbol) and for a symbol without settings.
int brkCalcDllYieldCurveCallback(const char* symbol, const DllDate* date, YieldCurvePoint* buffer, int capacity);

// The library's dividend callback (pfDiviCallback): the symbol's dividends with an ex-date from 16:15
// local time on `start` to 16:15 on `end`, at most capacity; 0 for a symbol without settings.
int brkCalcDllDividendCallback(const char* symbol, const DllDate* start, const DllDate* end, DividendEntry* buffer,
                               int capacity);

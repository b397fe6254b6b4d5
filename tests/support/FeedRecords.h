// The library's input records as a host fills them: feed quotes, option keys and engine settings.
#pragma once

#include <cstdint>
#include <cstring>

#include "brkCalcsLib.h"

// A quote for a record of the given class at 10:00:00.000; symbol null for a quote by record id.
inline FeedMessage QuoteMessage(int recordClass, const char* symbol, double bid, double ask) {
    FeedMessage message{};
    message.type = static_cast<uint8_t>((recordClass << 5) | 2);
    message.time = 100000000;  // 10:00:00.000
    if (symbol)
        std::strncpy(message.key, symbol, sizeof message.key - 1);
    message.bid = static_cast<float>(bid);
    message.ask = static_cast<float>(ask);
    return message;
}

// An option of 2015 on root (at most its size), expiring on day of the month monthCode names ('A'-'L'
// calls, 'M'-'X' puts), with the strike in dollars.
inline OptionKey OptionKeyOf(const char* root, char monthCode, int day, double strike) {
    OptionKey key{};
    std::memcpy(key.root, root, std::strlen(root));
    key.year = 15;
    key.monthCode = monthCode;
    key.day = static_cast<uint8_t>(day);
    key.strike = static_cast<uint32_t>(strike * 1000.0 + 0.5);
    return key;
}

// Engine settings trading on 2015-01-12 with every kind of day weighing the same; no callbacks.
inline CalcDllSettings EngineSettings(unsigned threads) {
    CalcDllSettings settings{};
    settings.nThreads = threads;
    settings.tradeDate = DllDate{2015, 1, 12};
    settings.dRegularDayWeight = settings.dWeekendDayWeight = 1.0;
    settings.dHolidayWeight = settings.dEarlyCloseDayWeight = 1.0;
    return settings;
}

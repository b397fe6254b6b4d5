// Date and date-time records for tests, from plain numbers.
#pragma once

#include <cstdint>

#include "brkCalcsLib.h"
#include "calendar/DateTime.h"

inline DllDate Date(int y, int m, int d) {
    return DllDate{static_cast<uint16_t>(y), static_cast<uint8_t>(m), static_cast<uint8_t>(d)};
}

inline DllDateTime Stamp(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    DllDateTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.millisecond = ms;
    return t;
}

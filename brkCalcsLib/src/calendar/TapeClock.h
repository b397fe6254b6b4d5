// The library's current time (`tapeTime`): the host thread writes it, processing threads read it.
// Readers take a consistent copy and compute its seconds on the copy; every write leaves the
// stored record with no cached seconds. Every calculation reads the clock, so reading writes no
// shared memory, and a feed time equal to the stored one writes nothing.
#pragma once

#include <mutex>

#include "calendar/DateTime.h"
#include "engine/SeqLocked.h"

class CTapeClock {
public:
    static CTapeClock& Instance();

    DllDateTime Snapshot() const { return m_time.Load(); }

    // Clears the time and sets the date (library start-up).
    void ResetToDate(const DllDate& date);
    // Sets the date and keeps the clock time; logs the change when the date differs.
    void SetGlobalDate(int year, int month, int day);
    // Sets the clock time of a feed message; the date stays.
    void SetTimeOfDay(int hour, int minute, int second, int millisecond);
    // Zeroes date and time.
    void Clear();

private:
    std::mutex m_writeMutex;
    CSeqLocked<DllDateTime> m_time;
};

// The library's current time (`tapeTime`): the host thread writes it, processing threads read it.
// Readers take a consistent copy and compute its seconds on the copy; every write leaves the
// stored record with no cached seconds.
//
// Every calculation reads the clock, so reading writes no shared memory: a writer (one at a time)
// makes the sequence number odd while it changes the fields, and a reader retries until it read
// them between two equal even numbers. A feed time equal to the stored one writes nothing.
#pragma once

#include <array>
#include <atomic>
#include <mutex>

#include "calendar/DateTime.h"

class CTapeClock {
public:
    static CTapeClock& Instance();

    DllDateTime Snapshot() const;

    // Clears the time and sets the date (library start-up).
    void ResetToDate(const DllDate& date);
    // Sets the date and keeps the clock time; logs the change when the date differs.
    void SetGlobalDate(int year, int month, int day);
    // Sets the clock time of a feed message; the date stays.
    void SetTimeOfDay(int hour, int minute, int second, int millisecond);
    // Zeroes date and time.
    void Clear();

private:
    enum Field { kYear, kMonth, kDay, kHour, kMinute, kSecond, kMillisecond, kFieldCount };

    // The caller holds m_writeMutex.
    void Store(const DllDateTime& time);

    std::mutex m_writeMutex;
    std::atomic<unsigned> m_sequence{0};
    std::array<std::atomic<int>, kFieldCount> m_fields{};
};

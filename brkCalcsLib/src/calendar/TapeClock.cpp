#include "calendar/TapeClock.h"

#include "Logging/Log.h"

CTapeClock& CTapeClock::Instance() {
    static CTapeClock clock;
    return clock;
}

DllDateTime CTapeClock::Snapshot() const {
    DllDateTime time;
    for (;;) {
        const unsigned before = m_sequence.load(std::memory_order_acquire);
        time.year = m_fields[kYear].load(std::memory_order_relaxed);
        time.month = m_fields[kMonth].load(std::memory_order_relaxed);
        time.day = m_fields[kDay].load(std::memory_order_relaxed);
        time.hour = m_fields[kHour].load(std::memory_order_relaxed);
        time.minute = m_fields[kMinute].load(std::memory_order_relaxed);
        time.second = m_fields[kSecond].load(std::memory_order_relaxed);
        time.millisecond = m_fields[kMillisecond].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && m_sequence.load(std::memory_order_relaxed) == before)
            return time;
    }
}

void CTapeClock::Store(const DllDateTime& time) {
    const unsigned sequence = m_sequence.load(std::memory_order_relaxed);
    m_sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_fields[kYear].store(time.year, std::memory_order_relaxed);
    m_fields[kMonth].store(time.month, std::memory_order_relaxed);
    m_fields[kDay].store(time.day, std::memory_order_relaxed);
    m_fields[kHour].store(time.hour, std::memory_order_relaxed);
    m_fields[kMinute].store(time.minute, std::memory_order_relaxed);
    m_fields[kSecond].store(time.second, std::memory_order_relaxed);
    m_fields[kMillisecond].store(time.millisecond, std::memory_order_relaxed);
    m_sequence.store(sequence + 2, std::memory_order_release);
}

void CTapeClock::ResetToDate(const DllDate& date) {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    Store(TimestampAt(date, 0, 0));
}

void CTapeClock::SetGlobalDate(int year, int month, int day) {
    DllDateTime previous;
    {
        std::lock_guard<std::mutex> lock(m_writeMutex);
        previous = Snapshot();
        DllDateTime time = previous;
        time.year = year;
        time.month = month;
        time.day = day;
        Store(time);
    }
    if (previous.year != year || previous.month != month || previous.day != day)
        LOG_SEV(info) << "Global Date Changed from " << previous.year << "-" << previous.month << "-" << previous.day
                      << " to " << year << "-" << month << "-" << day;
}

void CTapeClock::SetTimeOfDay(int hour, int minute, int second, int millisecond) {
    auto unchanged = [&](const DllDateTime& time) {
        return time.hour == hour && time.minute == minute && time.second == second && time.millisecond == millisecond;
    };
    // Most feed messages carry the time already stored: nothing is locked or written for them.
    if (unchanged(Snapshot()))
        return;
    std::lock_guard<std::mutex> lock(m_writeMutex);
    DllDateTime time = Snapshot();
    if (unchanged(time))
        return;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    time.millisecond = millisecond;
    Store(time);
}

void CTapeClock::Clear() {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    Store(DllDateTime());
}

#include "calendar/TapeClock.h"

#include "Logging/Log.h"

CTapeClock& CTapeClock::Instance() {
    static CTapeClock clock;
    return clock;
}

void CTapeClock::ResetToDate(const DllDate& date) {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    m_time.Store(TimestampAt(date, 0, 0));
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
        m_time.Store(time);
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
    m_time.Store(time);
}

void CTapeClock::Clear() {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    m_time.Store(DllDateTime());
}

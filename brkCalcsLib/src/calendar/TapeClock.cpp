#include "calendar/TapeClock.h"

#include "Logging/Log.h"

CTapeClock& CTapeClock::Instance() {
    static CTapeClock clock;
    return clock;
}

DllDateTime CTapeClock::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_time;
}

void CTapeClock::ResetToDate(const DllDate& date) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_time = TimestampAt(date, 0, 0);
}

void CTapeClock::SetGlobalDate(int year, int month, int day) {
    DllDateTime previous;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        previous = m_time;
        m_time.year = year;
        m_time.month = month;
        m_time.day = day;
        m_time.seconds = 0.0;
    }
    if (previous.year != year || previous.month != month || previous.day != day)
        LOG_SEV(info) << "Global Date Changed from " << previous.year << "-" << previous.month << "-" << previous.day
                      << " to " << year << "-" << month << "-" << day;
}

void CTapeClock::SetTimeOfDay(int hour, int minute, int second, int millisecond) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_time.hour = hour;
    m_time.minute = minute;
    m_time.second = second;
    m_time.millisecond = millisecond;
    m_time.seconds = 0.0;
}

void CTapeClock::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_time = DllDateTime();
}

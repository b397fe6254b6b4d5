#include "calendar/CalendarTable.h"

#include "calendar/CivilDate.h"

namespace {

constexpr int kFriday = 5;
constexpr int kSaturday = 6;
constexpr int kWednesday = 3;
constexpr int kThirdWeek = 2;

uint32_t EncodeCalendarDay(int yearOffset, int month, int day, int weekday, int ordinal) {
    const auto offset = static_cast<uint32_t>(yearOffset);
    return (offset & 0xFu) | static_cast<uint32_t>(month) << 4 | static_cast<uint32_t>(day) << 8 |
           static_cast<uint32_t>(weekday) << 13 | static_cast<uint32_t>(ordinal) << 16 | (offset >> 4) << 24;
}

int DateKey(int year, int month, int day) { return year * 10000 + month * 100 + day; }

bool IsThirdFriday(const SCalendarDay& d) { return d.weekday == kFriday && d.weekdayOrdinal == kThirdWeek; }

}  // namespace

SCalendarDay DecodeCalendarDay(uint32_t entry) {
    SCalendarDay d;
    d.year = CCalendarTable::kFirstYear + static_cast<int>((entry & 0xFu) | (entry >> 24) << 4);
    d.month = static_cast<int>(entry >> 4 & 0xFu);
    d.day = static_cast<int>(entry >> 8 & 0x1Fu);
    d.weekday = static_cast<int>(entry >> 13 & 0x7u);
    d.weekdayOrdinal = static_cast<int>(entry >> 16 & 0xFFu);
    return d;
}

const CCalendarTable& CCalendarTable::Instance() {
    static const CCalendarTable table;
    return table;
}

CCalendarTable::CCalendarTable() {
    int weekday = kFriday;  // 2010-01-01
    for (int year = kFirstYear; year <= kLastYear; ++year) {
        for (int month = 1; month <= 12; ++month) {
            int ordinals[7] = {0, 0, 0, 0, 0, 0, 0};
            for (int day = 1; day <= DaysInMonth(year, month); ++day) {
                m_days.Push(EncodeCalendarDay(year - kFirstYear, month, day, weekday, ordinals[weekday]++));
                weekday = (weekday + 1) % 7;
            }
        }
    }
}

std::optional<uint32_t> CCalendarTable::GetCalendarDay(int index) const {
    const uint32_t* entry = m_days.Slot(index);
    if (!entry)
        return std::nullopt;
    return *entry;
}

std::optional<SCalendarDay> CCalendarTable::DayAt(int index) const {
    const auto entry = GetCalendarDay(index);
    if (!entry)
        return std::nullopt;
    return DecodeCalendarDay(*entry);
}

int CCalendarTable::FindCalendarDayIndex(int year, int month, int day) const {
    const int key = DateKey(year, month, day);
    int low = 0;
    int high = Size() - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        const SCalendarDay d = DecodeCalendarDay(*GetCalendarDay(middle));
        const int found = DateKey(d.year, d.month, d.day);
        if (found == key)
            return middle;
        if (found < key)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

int CCalendarTable::ClassifyExpiry(int day, int month, int year) const {
    const int index = FindCalendarDayIndex(year, month, day);
    if (index < 0)
        return eExpiryNone;
    const SCalendarDay d = *DayAt(index);
    if (d.weekday == kSaturday) {
        const auto before = DayAt(index - 1);
        if (before && IsThirdFriday(*before))
            return eExpiryStandard;
    }
    if (d.weekday == kWednesday) {
        const auto twoLater = DayAt(index + 2);
        if (twoLater && IsThirdFriday(*twoLater))
            return eExpiryStandard;
    }
    if (d.weekday == kFriday && !IsThirdFriday(d))
        return eExpiryWeekly;
    const bool quarterMonth = d.month % 3 == 0;
    if (quarterMonth && DaysInMonth(d.year, d.month) - d.day < 4)
        return eExpiryQuarterly;
    return eExpiryNone;
}

int CCalendarTable::Weekday(int year, int month, int day) const {
    const int index = FindCalendarDayIndex(year, month, day);
    return index < 0 ? 0 : DayAt(index)->weekday;
}

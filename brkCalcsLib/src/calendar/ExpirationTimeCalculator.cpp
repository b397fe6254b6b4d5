#include "calendar/ExpirationTimeCalculator.h"

#include <algorithm>
#include <numeric>

#include "calendar/CivilDate.h"
#include "calendar/ExchangeDays.h"

static_assert(kExchangeHolidays.size() <= CExpirationTimeCalculator::kMaxHolidays);
static_assert(kExchangeEarlyCloses.size() <= CExpirationTimeCalculator::kMaxEarlyCloses);

namespace {

constexpr int kSlotSeconds = 1800;
constexpr int kDaySeconds = 86400;

bool IsListed(const std::vector<uint32_t>& days, uint32_t key) {
    return std::binary_search(days.begin(), days.end(), key);
}

int SecondOfDay(const DllDateTime& t) { return t.hour * 3600 + t.minute * 60 + t.second; }

}  // namespace

CExpirationTimeCalculator& CExpirationTimeCalculator::Instance() {
    static CExpirationTimeCalculator calculator;
    return calculator;
}

CExpirationTimeCalculator::CExpirationTimeCalculator() {
    // By half-hour from midnight: nothing before 01:00, pre-market, the session with its heavier
    // open and close, nothing from 16:00.
    m_intradayWeights.fill(0.0);
    std::fill(&m_intradayWeights[2], &m_intradayWeights[6], 1.5);
    std::fill(&m_intradayWeights[6], &m_intradayWeights[19], 1.0);
    const double session[] = {2.75, 2.5, 2.25, 2.0, 1.75, 1.75, 1.75, 1.75, 1.75, 2.0, 2.25, 2.5, 3.0};
    std::copy(std::begin(session), std::end(session), &m_intradayWeights[19]);
    SetDayWeights(1.0, 0.5, 0.5, 0.75);
}

void CExpirationTimeCalculator::LoadHolidays(double regular, double weekend, double holiday, double earlyClose) {
    // Assigned, not appended: initialising the library again must not grow the lists.
    m_holidays.assign(kExchangeHolidays.begin(), kExchangeHolidays.end());
    m_earlyCloses.assign(kExchangeEarlyCloses.begin(), kExchangeEarlyCloses.end());
    SetDayWeights(regular, weekend, holiday, earlyClose);
}

void CExpirationTimeCalculator::SetDayWeights(double regular, double weekend, double holiday, double earlyClose) {
    m_intradayNormaliser = kSlots / std::accumulate(m_intradayWeights.begin(), m_intradayWeights.end(), 0.0);

    DllDateTime start;
    start.year = 2012;
    start.month = 1;
    start.day = 1;
    DllDateTime end = start;
    end.year = 2013;
    SDayKindValues days;
    CalcDayKindFractions(start, end, days);

    const double weightedYear =
        days.regular * regular + days.weekend * weekend + days.holiday * holiday + days.earlyClose * earlyClose;
    // Weights that give no weighted day at all are kept as they are rather than divided by zero.
    const double scale = weightedYear > 0.0 ? 365.0 / weightedYear : 1.0;
    m_dayWeights.regular = regular * scale;
    m_dayWeights.weekend = weekend * scale;
    m_dayWeights.holiday = holiday * scale;
    m_dayWeights.earlyClose = earlyClose * scale;
}

double CExpirationTimeCalculator::CalcIntradayFraction(int fromSecond, int toSecond) const {
    double sum = 0.0;
    for (int slot = 0; slot < kSlots; ++slot) {
        const int covered = std::min(toSecond, (slot + 1) * kSlotSeconds) - std::max(fromSecond, slot * kSlotSeconds);
        if (covered > 0)
            sum += m_intradayWeights[slot] * covered / kSlotSeconds;
    }
    return sum * m_intradayNormaliser / kSlots;
}

int CExpirationTimeCalculator::CalcDayKindFractions(const DllDateTime& start, const DllDateTime& end,
                                                    SDayKindValues& fractions) const {
    if (!IsValidDateTime(start) || !IsValidDateTime(end) || CompareTimestamps(start, end))
        return -1;
    const int64_t first = DaysFromCivil(start.year, start.month, start.day);
    const int64_t last = DaysFromCivil(end.year, end.month, end.day);
    for (int64_t day = first; day <= last && day - first < kMaxDays; ++day) {
        double share = 1.0;
        if (day == first || day == last)
            share = CalcIntradayFraction(day == first ? SecondOfDay(start) : 0, day == last ? SecondOfDay(end) : kDaySeconds);
        const SCivilDate date = CivilFromDays(day);
        const int weekday = WeekdayOf(date.year, date.month, date.day);
        const auto key = static_cast<uint32_t>(date.year * 10000 + date.month * 100 + date.day);
        if (weekday == 0 || weekday == 6)
            fractions.weekend += share;
        else if (IsListed(m_holidays, key))
            fractions.holiday += share;
        else if (IsListed(m_earlyCloses, key))
            fractions.earlyClose += share;
        else
            fractions.regular += share;
    }
    return 0;
}

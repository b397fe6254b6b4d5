#include "rates/RateCurves.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr double kEps = 1e-6;

uint32_t DateKey(const DllDate& d) { return static_cast<uint32_t>(d.year) * 10000u + d.month * 100u + d.day; }

}  // namespace

CDefaultRateCurve::CDefaultRateCurve(const DllDate& base) : m_base(base) {}

int CDefaultRateCurve::SlotIndex(const DllDate& date) const {
    if (DateKey(date) < DateKey(m_base))
        return -1;
    return (date.year - m_base.year) * 12 + (date.month - m_base.month);
}

int CDefaultRateCurve::ReadSlot(const DllDate& date) const { return std::clamp(SlotIndex(date), 0, kSlotCount - 1); }

void CDefaultRateCurve::SetRate(const DllDate& date, double rate) {
    const int slot = SlotIndex(date);
    if (slot >= 0 && slot < kSlotCount)
        m_rates[slot] = rate;
}

void CDefaultRateCurve::SetSecondRate(const DllDate& date, double value) {
    const int slot = SlotIndex(date);
    if (slot >= 0 && slot < kSlotCount)
        m_secondRates[slot] = value;
}

void CDefaultRateCurve::FillRateGaps() {
    auto isSet = [this](int slot) { return m_rates[slot] > kEps; };
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (isSet(slot))
            continue;
        int before = slot - 1;
        while (before >= 0 && !isSet(before))
            --before;
        int after = slot + 1;
        while (after < kSlotCount && !isSet(after))
            ++after;
        const bool hasBefore = before >= 0;
        const bool hasAfter = after < kSlotCount;
        if (hasBefore && hasAfter) {
            const double w1 = 1.0 / (slot - before);
            const double w2 = 1.0 / (after - slot);
            m_rates[slot] = w1 + w2 >= 1.0 ? (m_rates[before] * w1 + m_rates[after] * w2) / (w1 + w2) : 0.0;
        } else if (hasAfter) {
            m_rates[slot] = m_rates[after];
        } else if (hasBefore) {
            m_rates[slot] = m_rates[before];
        }
    }
}

CNamedRateCurve::CNamedRateCurve(const std::vector<YieldCurvePoint>& points) {
    m_points.reserve(points.size());
    for (const YieldCurvePoint& point : points)
        m_points.push_back(SPoint{DateKey(point.date), point.dRate, point.dRate2});
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const SPoint& a, const SPoint& b) { return a.m_date < b.m_date; });
    // Of points on one date the last (in the given order) stays.
    auto kept = m_points.begin();
    for (auto point = m_points.begin(); point != m_points.end(); ++point) {
        if (kept != m_points.begin() && std::prev(kept)->m_date == point->m_date)
            *std::prev(kept) = *point;
        else
            *kept++ = *point;
    }
    m_points.erase(kept, m_points.end());
    m_points.shrink_to_fit();
}

double CNamedRateCurve::PointAt(const DllDate& date, double SPoint::*value) const {
    if (m_points.empty())
        return 0.0;
    const auto next = std::upper_bound(m_points.begin(), m_points.end(), DateKey(date),
                                       [](uint32_t key, const SPoint& point) { return key < point.m_date; });
    if (next == m_points.begin())
        return (*next).*value;
    return (*std::prev(next)).*value;
}

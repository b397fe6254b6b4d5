#include "rates/RateStore.h"

#include <cmath>
#include <ctime>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace {

DllDate LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    DllDate today;
    today.year = static_cast<uint16_t>(fields.tm_year + 1900);
    today.month = static_cast<uint8_t>(fields.tm_mon + 1);
    today.day = static_cast<uint8_t>(fields.tm_mday);
    return today;
}

void SetPoints(CDefaultRateCurve& curve, const std::vector<YieldCurvePoint>& points) {
    for (const YieldCurvePoint& point : points) {
        const DllDate date = point.date;
        curve.SetRate(date, point.dRate);
        curve.SetSecondRate(date, point.dRate2);
    }
}

// A point the store can hold: a real month, and rates that price (a NaN or infinite rate would
// reach every option of the curve).
bool IsUsable(const YieldCurvePoint& point) {
    return point.date.month >= 1 && point.date.month <= 12 && std::isfinite(point.dRate) &&
           std::isfinite(point.dRate2);
}

}  // namespace

CRateStore& CRateStore::Instance() {
    static CRateStore store;
    return store;
}

CRateStore::CRateStore() : m_default(LocalToday()) {}

int CRateStore::SetYieldCurve(const char* symbol, const YieldCurvePoint* points, int count) {
    if (!points || count <= 0)
        return 0;
    std::vector<YieldCurvePoint> usable;
    for (int i = 0; i < count; ++i)
        if (IsUsable(points[i]))
            usable.push_back(points[i]);
    if (usable.empty())
        return 0;

    if (!symbol) {
        CDefaultRateCurve curve(usable.front().date);
        SetPoints(curve, usable);
        curve.FillRateGaps();
        std::unique_lock<std::shared_mutex> lock(m_lock);
        m_default = curve;
    } else {
        auto curve = std::make_shared<const CNamedRateCurve>(usable);
        std::unique_lock<std::shared_mutex> lock(m_lock);
        m_named[symbol] = std::move(curve);
    }
    return static_cast<int>(usable.size());
}

const CNamedRateCurve* CRateStore::FindCurveLocked(const char* symbol) const {
    if (!symbol)
        return nullptr;
    const auto found = m_named.find(symbol);
    return found == m_named.end() ? nullptr : found->second.get();
}

// Read under the lock: a curve is never changed, only replaced, and copying its pointer out would
// have every calculation write the curve's shared count.
double CRateStore::GetCurveRate(const char* symbol, const DllDate& date) const {
    std::shared_lock<std::shared_mutex> lock(m_lock);
    const CNamedRateCurve* curve = FindCurveLocked(symbol);
    return curve ? curve->Rate(date) : m_default.Rate(date);
}

double CRateStore::GetCurveSecondRate(const char* symbol, const DllDate& date) const {
    std::shared_lock<std::shared_mutex> lock(m_lock);
    const CNamedRateCurve* curve = FindCurveLocked(symbol);
    return curve ? curve->SecondRate(date) : m_default.SecondRate(date);
}

double CRateStore::GetRateSlot(const DllDate& date) const {
    std::shared_lock<std::shared_mutex> lock(m_lock);
    return m_default.Rate(date);
}

double CRateStore::GetSecondRateSlot(const DllDate& date) const {
    std::shared_lock<std::shared_mutex> lock(m_lock);
    return m_default.SecondRate(date);
}

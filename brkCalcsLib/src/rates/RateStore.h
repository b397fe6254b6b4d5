// The process-wide store of interest rates: the default curve and one named curve per underlying
// symbol. A reload builds the new curve aside and swaps it in under the exclusive lock, so a
// reader sees the old curve or the new one, never a half-loaded one.
#pragma once

#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "brkCalcsLib.h"
#include "rates/RateCurves.h"

class CRateStore {
public:
    static CRateStore& Instance();

    // The default curve starts empty, based on today's local date.
    CRateStore();

    // Replaces the curve of the symbol (null: the default curve) by the points: the first usable
    // point's date becomes the base date, each point stores its rate and second value, and the
    // default curve's empty months are filled. Points with a month outside 1..12, or whose rate or
    // second value is NaN or infinite, are skipped.
    // Returns the number of points loaded; 0 (and nothing changes) for a null list, a count
    // below 1 or no usable point.
    int SetYieldCurve(const char* symbol, const YieldCurvePoint* points, int count);

    // The named curve of the symbol when it has one, else the default curve's slot of the date.
    double GetCurveRate(const char* symbol, const DllDate& date) const;
    double GetCurveSecondRate(const char* symbol, const DllDate& date) const;
    // The default curve's slot of the date.
    double GetRateSlot(const DllDate& date) const;
    double GetSecondRateSlot(const DllDate& date) const;

private:
    // The caller holds m_lock.
    const CNamedRateCurve* FindCurveLocked(const char* symbol) const;

    mutable std::shared_mutex m_lock;
    CDefaultRateCurve m_default;
    std::unordered_map<std::string, std::shared_ptr<const CNamedRateCurve>> m_named;
};

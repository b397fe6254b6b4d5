// The two kinds of rate curve of the rate store, as values that a reload builds aside.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "brkCalcsLib.h"

// The default curve: 120 monthly slots from a base date, slot i covering the i-th month after the
// base month, and the second values of the same points.
class CDefaultRateCurve {
public:
    static constexpr int kSlotCount = 120;

    explicit CDefaultRateCurve(const DllDate& base);

    // Dates before the base date read slot 0, dates 120 or more months on read slot 119.
    double Rate(const DllDate& date) const { return m_rates[ReadSlot(date)]; }
    double SecondRate(const DllDate& date) const { return m_secondRates[ReadSlot(date)]; }
    // Ignored for dates before the base date or 120 or more months after it.
    void SetRate(const DllDate& date, double rate);
    void SetSecondRate(const DllDate& date, double value);
    // Fills empty slots (at most 1e-6) of the rate table from their nearest set neighbours.
    void FillRateGaps();

    const DllDate& BaseDate() const { return m_base; }

private:
    // (year - base year) * 12 + (month - base month); negative before the base date.
    int SlotIndex(const DllDate& date) const;
    int ReadSlot(const DllDate& date) const;

    DllDate m_base;
    std::array<double, kSlotCount> m_rates{};
    std::array<double, kSlotCount> m_secondRates{};
};

// A named curve: dated points, read as a step function.
class CNamedRateCurve {
public:
    // The points in any order; of points on one date the later one counts.
    explicit CNamedRateCurve(const std::vector<YieldCurvePoint>& points);

    // The point dated on the date or, failing that, the latest before it; the first point when
    // every point is later; 0 for an empty curve.
    double Rate(const DllDate& date) const { return PointAt(date, &SPoint::m_rate); }
    double SecondRate(const DllDate& date) const { return PointAt(date, &SPoint::m_secondRate); }

private:
    // One flat entry per date: a curve is kept per symbol for the life of the library, and a tree
    // node per point and value took five times the room.
    struct SPoint {
        uint32_t m_date;  // yyyymmdd
        double m_rate;
        double m_secondRate;
    };

    double PointAt(const DllDate& date, double SPoint::*value) const;

    std::vector<SPoint> m_points;  // by date
};

// Time to an option's expiration at a moment the host names in seconds since 1970.
#include <cmath>
#include <ctime>
#include <optional>

#include "ExportGuard.h"
#include "brkCalcsLib.h"
#include "records/OptionRecord.h"
#include "records/RecordRegistry.h"

namespace {

// 1970-01-01 up to 3000-12-31, the range the host's platform converts.
constexpr double kLatestTime = 32535215999.0;

// The moment as local calendar fields, milliseconds 0; none outside the convertible range.
std::optional<DllDateTime> LocalMoment(const double* time) {
    if (!time || !std::isfinite(*time) || *time < 0.0 || *time > kLatestTime)
        return std::nullopt;
    const std::time_t seconds = static_cast<std::time_t>(*time);
    std::tm fields{};
    if (!localtime_r(&seconds, &fields))
        return std::nullopt;
    return TimestampFromTm(fields);
}

template <class TimeOf>
double TimeToExpiration(const char* exportName, int64_t foreignId, const double* time, TimeOf timeOf) {
    return GuardedOnRecords(exportName, 0.0, [&] {
        const CBaseOptionRecord* option = CRecordRegistry::Instance().FindOptionByForeignId(foreignId);
        const auto now = LocalMoment(time);
        if (!option || !now)
            return 0.0;
        const auto lists = option->LockLists();
        return timeOf(*option, *now);
    });
}

}  // namespace

extern "C" {

BRKCALCS_EXPORT double BriskoDllCalcWeightedTimeToExpiration(int64_t foreignId, const double* time) {
    return TimeToExpiration("BriskoDllCalcWeightedTimeToExpiration", foreignId, time,
                            [](const CBaseOptionRecord& o, const DllDateTime& now) { return o.CalcWeightedTimeToExpiration(now); });
}

BRKCALCS_EXPORT double BriskoDllCalcCalendarTimeToExpiration(int64_t foreignId, const double* time) {
    return TimeToExpiration("BriskoDllCalcCalendarTimeToExpiration", foreignId, time,
                            [](const CBaseOptionRecord& o, const DllDateTime& now) { return o.CalcCalendarTimeToExpiration(now); });
}

}  // extern "C"

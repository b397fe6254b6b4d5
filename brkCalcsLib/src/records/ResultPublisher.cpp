#include "records/ResultPublisher.h"

#include <cstdint>
#include <cstring>

#include "records/HostCallbacks.h"
#include "records/OptionRecord.h"
#include "records/UnderlyingRecord.h"

namespace {

constexpr std::size_t kEntriesPerSummary = 4;

int LowHalf(int64_t id) { return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(id))); }
int HighHalf(int64_t id) { return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(id) >> 32)); }

}  // namespace

void PublishOptionResults(const CBaseOptionRecord& option, const SOptionResults& results) {
    const PFN_RESULT_CALLBACK callback = CHostCallbacks::Instance().Result();
    if (!callback)
        return;
    OptionResult record;
    record.bidIV = results.bidIV;
    record.askIV = results.askIV;
    record.midIV = results.midIV;
    record.theo = results.theo;
    record.probabilityITM = results.probabilityITM;
    record.delta = results.delta;
    record.gamma = results.gamma;
    record.theta = results.theta;
    record.vega = results.vega;
    record.rho = results.rho;
    const int64_t id = option.ForeignId();
    callback(&record, eResultOption, option.InternalId(), LowHalf(id), HighHalf(id));
}

void PublishUnderlyingResults(const CBaseUnderlyingRecord& underlying, const std::vector<ExpirySummaryEntry>& groups) {
    const PFN_RESULT_CALLBACK callback = CHostCallbacks::Instance().Result();
    if (!callback)
        return;
    const int64_t id = underlying.ForeignId();
    UnderlyingResult terms;
    std::memset(&terms, 0, sizeof terms);
    callback(&terms, eResultUnderlying, underlying.InternalId(), LowHalf(id), HighHalf(id));

    for (std::size_t first = 0; first < groups.size(); first += kEntriesPerSummary) {
        ExpirySummary summary;
        std::memset(&summary, 0, sizeof summary);
        for (std::size_t i = 0; i < kEntriesPerSummary && first + i < groups.size(); ++i)
            summary.entries[i] = groups[first + i];
        callback(&summary, eResultExpirySummary, underlying.InternalId(), LowHalf(id), HighHalf(id));
    }
}

// Yield curves and the deliverables of non-standard options.
#include <memory>

#include "ExportGuard.h"
#include "brkCalcsLib.h"
#include "rates/RateStore.h"
#include "records/OptionRecord.h"
#include "records/RecordRegistry.h"
#include "records/UnderlyingRecord.h"

namespace {

// The underlying of the symbol, created without a foreign id when it is new.
CBaseUnderlyingRecord* FindOrCreateUnderlying(const std::string& symbol) {
    CRecordRegistry& registry = CRecordRegistry::Instance();
    CBaseUnderlyingRecord* underlying = registry.FindUnderlyingRecord(symbol);
    if (!underlying) {
        underlying = registry.CreateBrkUnderlyingRecord(symbol, -1);
        if (underlying)
            underlying->GetOrCreateOptionData();
    }
    return underlying;
}

}  // namespace

extern "C" {

BRKCALCS_EXPORT int BriskoDllSetYieldCurve(const char* symbol, const YieldCurvePoint* points, int count) {
    if (!points || count <= 0)
        return 0;
    return GuardedOnRecords("BriskoDllSetYieldCurve", 0, [&] {
        if (CRateStore::Instance().SetYieldCurve(symbol, points, count) == 0 || !symbol)
            return 0;
        CBaseUnderlyingRecord* underlying = CRecordRegistry::Instance().FindUnderlyingRecord(symbol);
        return underlying ? underlying->MarkGroupsForRecalculation() : 0;
    });
}

BRKCALCS_EXPORT void BriskoDllSetOptionDelivery(const char* symbol, const char* root, const double* cash,
                                                const std::vector<DeliveryComponent>* components) {
    if (!symbol || !root || !cash || !components)
        return;
    GuardedOnRecords("BriskoDllSetOptionDelivery", [&] {
        CBaseUnderlyingRecord* underlying = FindOrCreateUnderlying(symbol);
        if (!underlying)
            return;
        // Components are records of the library, which outlive every deliverable that names them.
        const ComponentResolver resolve = [](const std::string& component) -> std::shared_ptr<IQuoteSource> {
            CBaseUnderlyingRecord* record = FindOrCreateUnderlying(component);
            return record ? std::shared_ptr<IQuoteSource>(record, [](IQuoteSource*) {}) : nullptr;
        };
        underlying->GetOrCreateDeliverable(root)->SetDeliverable(*cash, *components, resolve);
        // The root's options are recalculated now, so their results reach the host before this returns.
        for (CBaseOptionRecord* option : underlying->OptionsOfRoot(root))
            option->Process(0);
    });
}

}  // extern "C"

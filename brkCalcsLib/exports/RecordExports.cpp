// Feeding, registering and reading the records.
#include <string>

#include "ExportGuard.h"
#include "LibraryState.h"
#include "Logging/ClientText.h"
#include "brkCalcsLib.h"
#include "calendar/ExpiryTypeTable.h"
#include "records/FeedProcessing.h"
#include "records/OptionGroup.h"
#include "records/OptionRecord.h"
#include "records/RecordRegistry.h"
#include "records/UnderlyingRecord.h"

namespace {

CBaseUnderlyingRecord* FindUnderlying(const char* symbol) {
    return symbol ? CRecordRegistry::Instance().FindUnderlyingRecord(symbol) : nullptr;
}

template <class T>
void Put(T* out, T value) {
    if (out)
        *out = value;
}

}  // namespace

extern "C" {

BRKCALCS_EXPORT void BriskoDllProcessMessage(const FeedMessage* message, int id32, int64_t foreignId) {
    if (!message || g_bShuttingDown)
        return;
    GuardedOnRecords("BriskoDllProcessMessage", [&] { ProcessFeedMessage(*message, id32, foreignId); });
}

BRKCALCS_EXPORT int BriskoDllRegisterOption(const OptionKey* key, int64_t foreignId, int deliveryMode) {
    if (!key)
        return -1;
    return GuardedOnRecords("BriskoDllRegisterOption", -1, [&] {
        CRecordRegistry& registry = CRecordRegistry::Instance();
        if (const auto known = registry.FindOptionIndexByForeignId(foreignId))
            return *known;
        CBaseOptionRecord* option = registry.CreateBrkOptionRecord(*key, foreignId, deliveryMode);
        if (!option) {
            LOG_SEV(error) << "Can't create option record: " << foreignId;
            return -1;
        }
        return option->InternalId();
    });
}

BRKCALCS_EXPORT int BriskoDllRequestOptionCalcInputs(int64_t id, OptionCalcInputs* inputs) {
    if (!inputs)
        return -1;
    return GuardedOnRecords("BriskoDllRequestOptionCalcInputs", -1, [&] {
        const int internalId = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(id)));
        const CBaseOptionRecord* option = CRecordRegistry::Instance().GetOptionRecordSlot(internalId);
        if (!option)
            return -1;
        const SOptionSnapshot snapshot = option->Snapshot();
        OptionCalcInputs filled{};
        filled.timeToExpiration = snapshot.inputs.T;
        filled.rate = snapshot.inputs.r;
        filled.carry = snapshot.inputs.carry;
        filled.underlyingPrice = snapshot.inputs.S;
        filled.volatility = snapshot.volatilityUsed;
        filled.strike = option->Strike();
        filled.model = static_cast<uint8_t>(snapshot.inputs.model);
        filled.midIV = snapshot.inputs.midIV;
        filled.dividendAmount = snapshot.inputs.dividendAmount;
        filled.dividendTime = snapshot.inputs.dividendTime;
        *inputs = filled;
        return internalId;
    });
}

BRKCALCS_EXPORT void BriskoDllGetOptionInputs(int64_t foreignId, float* strike, double* expiration, double* volatility,
                                              char* isPut, double* dividendAmount, double* dividendTime, double* rate,
                                              double* carry, int* model, double* mid) {
    GuardedOnRecords("BriskoDllGetOptionInputs", [&] {
        const CBaseOptionRecord* option = CRecordRegistry::Instance().FindOptionByForeignId(foreignId);
        if (!option)
            return;
        const SOptionSnapshot snapshot = option->Snapshot();
        DllDateTime stamp;
        {
            const auto lists = option->LockLists();
            stamp = option->ExpirationStamp();
        }
        Put(strike, static_cast<float>(option->Strike()));
        Put(expiration, TimestampToSeconds(stamp).value_or(0.0));
        Put(volatility, snapshot.volatilityUsed * 100.0);
        Put(isPut, static_cast<char>(option->IsPut() ? 1 : 0));
        Put(dividendAmount, snapshot.inputs.dividendAmount);
        Put(dividendTime, snapshot.inputs.dividendTime);
        Put(rate, snapshot.inputs.r);
        Put(carry, snapshot.inputs.carry);
        Put(model, snapshot.inputs.model);
        Put(mid, (option->Bid() + option->Ask()) * 0.5);
    });
}

BRKCALCS_EXPORT void BriskoDllGetUnderlyingData(const char* symbol, double* bid, double* ask, double* last) {
    GuardedOnRecords("BriskoDllGetUnderlyingData", [&] {
        SUnderlyingQuote quote;
        if (const CBaseUnderlyingRecord* underlying = FindUnderlying(symbol))
            quote = underlying->GetUnderlyingQuote();
        Put(bid, quote.bid);
        Put(ask, quote.ask);
        Put(last, quote.last);
    });
}

BRKCALCS_EXPORT void BriskoDllUseUserRates(const char* symbol, int flag) {
    GuardedOnRecords("BriskoDllUseUserRates", [&] {
        CBaseUnderlyingRecord* underlying = FindUnderlying(symbol);
        if (!underlying)
            return;
        if (!underlying->HasOptions()) {
            LOG_SEV(warning) << "BriskoDllUseUserRates: underlying wasn't initialized, "
                             << Logging::EscapeClientText(symbol);
            return;
        }
        underlying->SetUseUserRates(static_cast<uint8_t>(flag) != 0);
    });
}

BRKCALCS_EXPORT void BriskoDllRefreshDividends(const char* symbol) {
    GuardedOnRecords("BriskoDllRefreshDividends", [&] {
        if (CBaseUnderlyingRecord* underlying = FindUnderlying(symbol))
            underlying->RefreshDividends();
    });
}

BRKCALCS_EXPORT void BriskoDllAddRoot2SymbolMapping(const char* symbol, const char* root) {
    if (!symbol || !root)
        return;
    GuardedOnRecords("BriskoDllAddRoot2SymbolMapping",
                     [&] { CRecordRegistry::Instance().AddRootMapping(symbol, root); });
}

BRKCALCS_EXPORT bool BriskoDllSetStockSettings(const char* symbol, const StockSettings* settings) {
    return GuardedOnRecords("BriskoDllSetStockSettings", false, [&] {
        CBaseUnderlyingRecord* underlying = FindUnderlying(symbol);
        if (!underlying)
            return false;
        if (settings && (settings->mask & 1))
            underlying->SetStockSettings(settings->value);
        return true;
    });
}

BRKCALCS_EXPORT void BriskoDllSetOptionExpiryTypes(const ExpiryTypeEntry* entries, int count) {
    Guarded("BriskoDllSetOptionExpiryTypes", [&] { CExpiryTypeTable::Instance().ReplaceExpiryTypes(entries, count); });
}

BRKCALCS_EXPORT bool BriskoDllGetOptionsIdGroupedByExpiry(const char* symbol, OptionIdsByExpiry* ids) {
    return GuardedOnRecords("BriskoDllGetOptionsIdGroupedByExpiry", false, [&] {
        const CBaseUnderlyingRecord* underlying = FindUnderlying(symbol);
        if (!underlying || !ids)
            return false;
        for (auto& [stamp, groupIds] : underlying->ForeignIdsByGroup()) {
            if (const auto seconds = TimestampToSeconds(stamp))
                (*ids)[*seconds] = std::move(groupIds);
        }
        return true;
    });
}

BRKCALCS_EXPORT void BriskoDllDumpStock(const char* symbol) {
    GuardedOnRecords("BriskoDllDumpStock", [&] {
        if (const CBaseUnderlyingRecord* underlying = FindUnderlying(symbol))
            underlying->LogUnderlyingRecord();
    });
}

}  // extern "C"

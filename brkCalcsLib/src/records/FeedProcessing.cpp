#include "records/FeedProcessing.h"

#include <cmath>

#include "calendar/TapeClock.h"
#include "container/FixedText.h"
#include "records/HostCallbacks.h"
#include "records/OptionRecord.h"
#include "records/RecordProcessor.h"
#include "records/RecordRegistry.h"
#include "records/UnderlyingRecord.h"

namespace {

enum ERecordClass { eClassStock = 2, eClassOption = 4, eClassIndex = 7 };
enum ESubtype { eTrade = 1, eQuote = 2 };

void SetTapeTime(uint32_t time) {
    const int hour = static_cast<int>(time / 10000000);
    const int minute = static_cast<int>(time % 10000000 / 100000);
    const int second = static_cast<int>(time % 100000 / 1000);
    const int millisecond = static_cast<int>(time % 1000);
    // A time of day that cannot be keeps the previous one.
    if (hour > 23 || minute > 59 || second > 59)
        return;
    CTapeClock::Instance().SetTimeOfDay(hour, minute, second, millisecond);
}

void ProcessUnderlyingMessage(const FeedMessage& message, int subtype, int64_t foreignId) {
    CRecordRegistry& registry = CRecordRegistry::Instance();
    const std::string symbol = FixedText(message.key, sizeof message.key);
    CBaseUnderlyingRecord* underlying = registry.FindUnderlyingRecord(symbol);
    if (!underlying) {
        underlying = registry.CreateBrkUnderlyingRecord(symbol, foreignId);
        if (!underlying)
            return;
        underlying->GetOrCreateOptionData();
    }
    const bool feedFlag = message.flag != 0;
    CBaseUnderlyingRecord::EPriceChange change = CBaseUnderlyingRecord::eUnchanged;
    if (subtype == eTrade)
        change = underlying->ApplyTrade(message.last, feedFlag);
    else if (subtype == eQuote)
        change = underlying->ApplyQuote(message.bid, message.ask, feedFlag);
    if (change == CBaseUnderlyingRecord::eUnchanged)
        return;
    CRecordProcessor& processor = CRecordProcessor::Instance();
    // Options quoted before the underlying had a price were calculated without one.
    if (change == CBaseUnderlyingRecord::eFirstUsablePrice)
        for (CBaseOptionRecord* option : underlying->GiveFirstPriceToQuotedOptions())
            processor.Post(option);
    processor.Post(underlying);
}

void ProcessOptionMessage(const FeedMessage& message, int subtype, int id32, int64_t foreignId) {
    CRecordRegistry& registry = CRecordRegistry::Instance();
    CBaseOptionRecord* option = registry.FindOptionByForeignId(id32 != -1 ? static_cast<int64_t>(id32) : foreignId);
    if (!option || subtype != eQuote)
        return;
    const double bid = message.bid;
    const double ask = message.ask;
    if (!std::isfinite(bid) || !std::isfinite(ask))
        return;
    const bool moved = option->SetQuote(bid, ask);

    if (const PFN_USER_VOLATILITY_CALLBACK userVolatility = CHostCallbacks::Instance().UserVolatility()) {
        double volatility = 0.0;
        userVolatility(foreignId, &volatility);
        if (!std::isfinite(volatility))
            volatility = 0.0;
        if (volatility != option->UserVolatility())
            option->SetDirty();
        option->SetUserVolatility(volatility);
    }
    if (CBaseUnderlyingRecord* underlying = option->m_pUnderlyingRecord) {
        if (underlying->HasOptionData()) {
            option->SetUnderlyingValue(underlying->CalcPrice());
            // The underlying's first price, stored meanwhile, may have been handed to this option
            // and overwritten just now.
            option->TakeFirstUnderlyingPrice(underlying->CalcPrice());
        }
    }
    CRecordProcessor& processor = CRecordProcessor::Instance();
    processor.Post(option);
    // A European pair prices on the underlying that both quotes imply.
    if (moved)
        if (CBaseOptionRecord* pair = option->PairPricedOnThisQuote())
            processor.Post(pair);
}

}  // namespace

void ProcessFeedMessage(const FeedMessage& message, int id32, int64_t foreignId) {
    SetTapeTime(message.time);
    const int recordClass = message.type >> 5;
    const int subtype = message.type & 0x1f;
    if (recordClass == eClassStock || recordClass == eClassIndex)
        ProcessUnderlyingMessage(message, subtype, foreignId);
    else if (recordClass == eClassOption)
        ProcessOptionMessage(message, subtype, id32, foreignId);
}

#include "records/UnderlyingRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calendar/ExpirationTime.h"
#include "calendar/GroupDividends.h"
#include "calendar/TapeClock.h"
#include "pricing/PricingModel.h"
#include "records/OptionGroup.h"
#include "records/OptionRecord.h"
#include "records/RecordRegistry.h"
#include "records/ResultPublisher.h"

using Pricing::EPS;

namespace {

constexpr double kPriceChange = 0.001;
constexpr int kMaxStrikeSteps = 1000;

bool IsQuoteUsable(double f, double bid, double ask) {
    return ask > EPS && ask > bid + EPS && (std::fabs(ask - bid) < 0.05 * f || std::fabs(ask - bid) / ask < 0.01 * f);
}

bool SameExpiry(const CBaseOptionRecord& a, const DllDate& expiry) { return IsDateEqual(a.Expiry(), expiry); }

// The nearest pairs hanging on the main list before and after a main-list option.
CBaseOptionRecord* PreviousPair(const CBaseOptionRecord* mainOption) {
    for (CBaseOptionRecord* o = mainOption->m_pPrev; o; o = o->m_pPrev)
        if (o->m_pPair)
            return o->m_pPair;
    return nullptr;
}

CBaseOptionRecord* NextPair(const CBaseOptionRecord* mainOption) {
    for (CBaseOptionRecord* o = mainOption->m_pNext; o; o = o->m_pNext)
        if (o->m_pPair)
            return o->m_pPair;
    return nullptr;
}

// Hangs `put` on the main-list option `call` and links it into the chain of pair puts.
void HangPair(CBaseOptionRecord* call, CBaseOptionRecord* put) {
    call->m_pPair = put;
    put->m_pPair = call;
    put->m_pPrev = PreviousPair(call);
    put->m_pNext = NextPair(call);
    if (put->m_pPrev)
        put->m_pPrev->m_pNext = put;
    if (put->m_pNext)
        put->m_pNext->m_pPrev = put;
}

}  // namespace

CBaseUnderlyingRecord::CBaseUnderlyingRecord(const std::string& symbol, PFN_DIVI_CALLBACK dividendCallback)
    : m_symbol(symbol), m_dividendCallback(dividendCallback) {}

CBaseUnderlyingRecord::~CBaseUnderlyingRecord() = default;

int CBaseUnderlyingRecord::RegisterForeignId(int32_t id) {
    m_foreignId = id;
    if (id == -1)
        return -1;
    CRecordRegistry::Instance().MapUnderlyingId(id, m_internalId);
    return id;
}

SUnderlyingQuote CBaseUnderlyingRecord::GetUnderlyingQuote() const {
    std::shared_lock<std::shared_mutex> lock(m_quoteLock);
    return SUnderlyingQuote{m_last, m_bid, m_ask};
}

CBaseUnderlyingRecord::EPriceChange CBaseUnderlyingRecord::ApplyTrade(double last, bool feedFlag) {
    if (!std::isfinite(last))
        return eUnchanged;
    {
        std::unique_lock<std::shared_mutex> lock(m_quoteLock);
        if (std::fabs(last - m_last) <= kPriceChange)
            return eUnchanged;
        m_last = last;
    }
    m_bFeedFlag = feedFlag;
    return UpdateUnderlyingPrice(true) ? eFirstUsablePrice : eChanged;
}

CBaseUnderlyingRecord::EPriceChange CBaseUnderlyingRecord::ApplyQuote(double bid, double ask, bool feedFlag) {
    if (!std::isfinite(bid) || !std::isfinite(ask))
        return eUnchanged;
    {
        std::unique_lock<std::shared_mutex> lock(m_quoteLock);
        if (std::fabs(bid - m_bid) <= kPriceChange && std::fabs(ask - m_ask) <= kPriceChange)
            return eUnchanged;
        m_bid = bid;
        m_ask = ask;
    }
    const bool first = UpdateUnderlyingPrice(false);
    m_bFeedFlag = feedFlag;
    return first ? eFirstUsablePrice : eChanged;
}

bool CBaseUnderlyingRecord::UpdateUnderlyingPrice(bool trade) {
    CUnderlyingOptionData* data = m_pOptionDataView.load(std::memory_order_acquire);
    if (!data)
        return false;
    const SUnderlyingQuote quote = GetUnderlyingQuote();
    double price = 0.0;
    if (trade) {
        if (quote.last > EPS)
            price = quote.last;
    } else {
        // Before the first price a wider spread is accepted.
        const double f = data->m_calcPrice < EPS ? 5.0 : 1.0;
        if (quote.bid > EPS && IsQuoteUsable(f, quote.bid, quote.ask))
            price = (quote.bid + quote.ask) * 0.5;
    }
    // One exchange: of two feed threads, only one finds the price missing before.
    return price > EPS && data->m_calcPrice.exchange(price) < EPS;
}

std::vector<CBaseOptionRecord*> CBaseUnderlyingRecord::GiveFirstPriceToQuotedOptions() {
    std::vector<CBaseOptionRecord*> recalculate;
    const double price = CalcPrice();
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (!m_pOptionData)
        return recalculate;
    for (const auto& group : m_pOptionData->m_groups)
        group->ForEachOption([&](CBaseOptionRecord* o) {
            if (o->HasQuote() && o->TakeFirstUnderlyingPrice(price) && o->PricesOnUnderlying())
                recalculate.push_back(o);
        });
    return recalculate;
}

std::shared_ptr<CUnderlyingOptionData> CBaseUnderlyingRecord::GetOrCreateOptionData() {
    std::unique_lock<std::shared_mutex> lock(m_lock);
    CreateOptionDataLocked();
    return m_pOptionData;
}

void CBaseUnderlyingRecord::CreateOptionDataLocked() {
    if (m_pOptionData)
        return;
    m_pOptionData = std::make_shared<CUnderlyingOptionData>();
    m_pOptionDataView.store(m_pOptionData.get(), std::memory_order_release);
}

double CBaseUnderlyingRecord::CalcPrice() const {
    const CUnderlyingOptionData* data = m_pOptionDataView.load(std::memory_order_acquire);
    return data ? data->m_calcPrice.load() : 0.0;
}

int CBaseUnderlyingRecord::AttachOptionToUnderlying(CBaseOptionRecord* option, const SExpiryKind& kind) {
    std::shared_ptr<COptionGroup> newAloneGroup;
    int result = -1;
    {
        std::unique_lock<std::shared_mutex> lock(m_lock);
        CreateOptionDataLocked();
        if (option->Strike() < EPS) {
            std::printf("if( pOptionRecord->m_pData->m_strike < EPS )\n");
            return -1;
        }
        auto& groups = m_pOptionData->m_groups;
        const DllDate& expiry = option->Expiry();
        std::shared_ptr<COptionGroup> group;

        std::size_t i = 0;
        for (; i < groups.size(); ++i) {
            CBaseOptionRecord* first = groups[i]->m_pFirstOption;
            if (SameExpiry(*first, expiry) && first->Root() == option->Root())
                break;
            if (!IsDateBefore(first->Expiry(), expiry) && !SameExpiry(*first, expiry))
                break;
        }

        if (i < groups.size() && SameExpiry(*groups[i]->m_pFirstOption, expiry) &&
            groups[i]->m_pFirstOption->Root() == option->Root()) {
            group = groups[i];
            CBaseOptionRecord* previous = nullptr;
            CBaseOptionRecord* current = group->m_pFirstOption;
            int steps = 0;
            bool paired = false;
            while (current && current->Strike() < option->Strike() + EPS) {
                if (std::fabs(current->Strike() - option->Strike()) < EPS) {
                    if (current->m_pPair || current->IsPut() == option->IsPut())
                        return -1;
                    if (!current->IsPut()) {
                        HangPair(current, option);
                    } else {
                        // A call takes the place of the lone put, which then hangs on it.
                        option->m_pPrev = current->m_pPrev;
                        option->m_pNext = current->m_pNext;
                        if (option->m_pPrev)
                            option->m_pPrev->m_pNext = option;
                        else
                            group->m_pFirstOption = option;
                        if (option->m_pNext)
                            option->m_pNext->m_pPrev = option;
                        HangPair(option, current);
                    }
                    paired = true;
                    break;
                }
                previous = current;
                current = current->m_pNext;
                if (++steps > kMaxStrikeSteps)
                    return -1;
            }
            if (!paired) {
                option->m_pPrev = previous;
                option->m_pNext = current;
                if (previous)
                    previous->m_pNext = option;
                else
                    group->m_pFirstOption = option;
                if (current)
                    current->m_pPrev = option;
            }
            result = static_cast<int>(i);
        } else {
            group = std::make_shared<COptionGroup>(this, static_cast<int>(i), option);
            groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(i), group);
            for (std::size_t j = i + 1; j < groups.size(); ++j)
                groups[j]->m_index = static_cast<int>(j);
            result = static_cast<int>(i);
            newAloneGroup = group;
        }

        option->m_pUnderlyingRecord = this;
        option->m_pOptionGroup = group;
        group->m_pOwner = this;
        SetExpirationTime(group->m_settlement, &group->m_pFirstOption->Expiry(), m_symbol, kind);
    }
    // The option is linked now: a failed dividend fetch must not undo its creation.
    if (newAloneGroup) {
        try {
            FetchGroupDividends(newAloneGroup);
        } catch (const std::exception& e) {
            LOG_SEV(error) << "dividends of a new group of " << Logging::EscapeClientText(m_symbol)
                           << " failed: " << e.what();
        }
    }
    return result;
}

CBaseOptionRecord* CBaseUnderlyingRecord::FindOptionRecord(const std::string& root, int type, const DllDate& expiry,
                                                           double strike) const {
    const char typeChar = type == 0 ? 'c' : 'p';
    auto matches = [&](const CBaseOptionRecord* o) {
        return o && o->Type() == typeChar && o->Root() == root && SameExpiry(*o, expiry) &&
               std::fabs(o->Strike() - strike) < EPS;
    };
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (!m_pOptionData)
        return nullptr;
    for (const auto& group : m_pOptionData->m_groups) {
        if (!group->m_pFirstOption)
            break;
        if (!SameExpiry(*group->m_pFirstOption, expiry))
            continue;
        for (CBaseOptionRecord* o = group->m_pFirstOption; o; o = o->m_pNext) {
            if (matches(o))
                return o;
            if (matches(o->m_pPair))
                return o->m_pPair;
        }
    }
    return nullptr;
}

void CBaseUnderlyingRecord::FetchGroupDividends(const std::shared_ptr<COptionGroup>& group) {
    DllDate expiry;
    {
        std::shared_lock<std::shared_mutex> lock(m_lock);
        if (!group->m_pFirstOption)
            return;
        expiry = group->m_pFirstOption->Expiry();
    }
    // The host answers on this thread and may call into the library: no lock is held here.
    auto dividends = FetchDividends(m_dividendCallback, m_symbol, CTapeClock::Instance().Snapshot(), expiry);
    if (!dividends)
        return;
    group->SetDividends(std::move(*dividends));
    std::shared_lock<std::shared_mutex> lock(m_lock);
    group->ForEachOption([](CBaseOptionRecord* o) { o->SetDirty(); });
}

void CBaseUnderlyingRecord::RefreshDividends() {
    std::vector<std::shared_ptr<COptionGroup>> groups;
    {
        std::shared_lock<std::shared_mutex> lock(m_lock);
        if (!m_pOptionData) {
            LOG_SEV(warning) << "RefreshDividends skipped, m_pOptionData is NULL";
            return;
        }
        groups = m_pOptionData->m_groups;
    }
    LOG_SEV(info) << "RefreshDividends, option groups: " << groups.size();
    for (const auto& group : groups)
        FetchGroupDividends(group);
}

std::shared_ptr<CDeliverable> CBaseUnderlyingRecord::GetOrCreateDeliverable(const std::string& root) {
    std::unique_lock<std::shared_mutex> lock(m_deliveryLock);
    auto& deliverable = m_deliveries[root];
    if (!deliverable)
        deliverable = std::make_shared<CDeliverable>();
    return deliverable;
}

double CBaseUnderlyingRecord::DeliveryValue(const std::string& root) const {
    std::shared_ptr<CDeliverable> deliverable;
    {
        std::shared_lock<std::shared_mutex> lock(m_deliveryLock);
        const auto found = m_deliveries.find(root);
        if (found == m_deliveries.end())
            return 0.0;
        deliverable = found->second;
    }
    return deliverable->DeliveryValue();
}

std::vector<CBaseOptionRecord*> CBaseUnderlyingRecord::OptionsInOrder() const {
    std::vector<CBaseOptionRecord*> options;
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (m_pOptionData)
        for (const auto& group : m_pOptionData->m_groups)
            group->ForEachOption([&](CBaseOptionRecord* o) { options.push_back(o); });
    return options;
}

std::vector<CBaseOptionRecord*> CBaseUnderlyingRecord::OptionsOfRoot(const std::string& root) const {
    std::vector<CBaseOptionRecord*> options;
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (m_pOptionData)
        for (const auto& group : m_pOptionData->m_groups)
            if (group->m_pFirstOption && group->m_pFirstOption->Root() == root)
                group->ForEachOption([&](CBaseOptionRecord* o) { options.push_back(o); });
    return options;
}

std::vector<std::pair<DllDateTime, std::vector<int64_t>>> CBaseUnderlyingRecord::ForeignIdsByGroup() const {
    std::vector<std::pair<DllDateTime, std::vector<int64_t>>> groups;
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (!m_pOptionData)
        return groups;
    for (const auto& group : m_pOptionData->m_groups) {
        std::vector<int64_t> ids;
        group->ForEachOption([&](CBaseOptionRecord* o) { ids.push_back(o->ForeignId()); });
        groups.emplace_back(group->ExpirationStamp(), std::move(ids));
    }
    return groups;
}

int CBaseUnderlyingRecord::MarkGroupsForRecalculation() {
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (!m_pOptionData)
        return 0;
    for (const auto& group : m_pOptionData->m_groups)
        group->ForEachOption([](CBaseOptionRecord* o) { o->SetDirty(); });
    return static_cast<int>(m_pOptionData->m_groups.size());
}

bool CBaseUnderlyingRecord::HasOptions() const {
    std::shared_lock<std::shared_mutex> lock(m_lock);
    return m_pOptionData && !m_pOptionData->m_groups.empty();
}

void CBaseUnderlyingRecord::LogUnderlyingRecord() const {
    const SUnderlyingQuote quote = GetUnderlyingQuote();
    LOG_SEV(info) << ForeignId() << ", " << Logging::EscapeClientText(m_symbol) << ", " << quote.bid << "/"
                  << quote.ask << "/" << quote.last;
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (!m_pOptionData)
        return;
    for (const auto& group : m_pOptionData->m_groups) {
        if (!group->m_pFirstOption)
            continue;
        LogExpiryChain(group->m_pFirstOption->Expiry());
        group->ForEachOption([](const CBaseOptionRecord* o) { o->LogOptionRecord(); });
    }
}

void CBaseUnderlyingRecord::Process(int) {
    const DllDateTime tape = CTapeClock::Instance().Snapshot();
    std::vector<ExpirySummaryEntry> summaries;
    {
        std::shared_lock<std::shared_mutex> lock(m_lock);
        if (!m_pOptionData || m_pOptionData->m_groups.empty()) {
            std::printf("underlying update skipped %s\n", m_symbol.c_str());
            return;
        }
        RefreshExpiryGroups(tape);
        for (const auto& group : m_pOptionData->m_groups) {
            const CBaseOptionRecord* first = group->m_pFirstOption;
            if (!first)
                continue;
            ExpirySummaryEntry entry;
            std::memset(&entry, 0, sizeof entry);
            std::memcpy(entry.root, first->Root().data(), std::min(first->Root().size(), sizeof entry.root));
            entry.year = static_cast<uint8_t>(first->Expiry().year + 48);  // year - 2000, modulo 256
            entry.month = first->Expiry().month;
            entry.day = first->Expiry().day;
            summaries.push_back(entry);
        }
    }
    PublishUnderlyingResults(*this, summaries);
}

void CBaseUnderlyingRecord::RefreshExpiryGroups(const DllDateTime& tape) {
    for (const auto& group : m_pOptionData->m_groups) {
        CBaseOptionRecord* first = group->m_pFirstOption;
        if (!first)
            break;
        group->UpdateAtmOption(tape);
        if (first->m_pUnderlyingRecord)
            CalcMontage(tape);
    }
}

void CBaseUnderlyingRecord::CalcMontage(const DllDateTime& tape) {
    if (m_bFeedFlag)
        return;
    std::printf("Montage is calculated for %s\n", m_symbol.c_str());
    const double calcPrice = m_pOptionData->m_calcPrice;
    for (const auto& group : m_pOptionData->m_groups) {
        if (!group->m_pFirstOption)
            break;
        // Nothing a calculation of the pass writes moves the at-the-money pair or the carry derived
        // from it, so one search per group serves all of its options.
        const SGroupCarry carry = group->UpdateAtmOption(tape);
        if (!CompareTimestamps(group->ExpirationStamp(), tape))
            continue;
        const SGroupSettlement& settlement = group->m_settlement;
        for (CBaseOptionRecord* o = group->m_pFirstOption; o; o = o->m_pNext) {
            o->TakeGroupCarry(carry.carry, carry.parityValue, calcPrice);
            const bool datesValid = settlement.m_bAdjustedExpiryValid ? IsValidDateTime(settlement.m_adjustedExpiry)
                                                                       : IsValidDate(TimestampAt(o->Expiry(), 16, 0));
            if (!datesValid)
                continue;
            if (o->IsDirty())
                o->CalculateIVGreeks(tape, carry);
            if (o->m_pPair && o->m_pPair->IsDirty())
                o->m_pPair->CalculateIVGreeks(tape, carry);
        }
    }
}

#include "records/OptionGroup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "pricing/PricingModel.h"
#include "records/OptionRecord.h"
#include "records/RecordProcessor.h"
#include "records/UnderlyingRecord.h"

using Pricing::EPS;

namespace {

constexpr double kNoCandidate = 1e5;
constexpr double kDividendTotalForShift = 0.08;
constexpr double kShortTermForShift = 0.20833333333333334;  // 2.5 months
// A carry that moves the forward to expiry by less than this share of it leaves the options as
// they are (a cent on a stock at 100): the quotes of the at-the-money pair move it by as much
// between the call's quote and the put's, and the group must not be recalculated for every tick.
constexpr double kCarryForwardTolerance = 1e-4;

// ln(ratio) / T when that is a number, else none.
bool FiniteCarry(double ratio, double T, double& carry) {
    if (!(ratio > 0.0))
        return false;
    const double value = std::log(ratio) / T;
    if (!std::isfinite(value))
        return false;
    carry = value;
    return true;
}

}  // namespace

COptionGroup::COptionGroup(CBaseUnderlyingRecord* owner, int index, CBaseOptionRecord* firstOption)
    : m_pOwner(owner), m_index(index), m_pFirstOption(firstOption) {}

DllDateTime COptionGroup::ExpirationStamp() const {
    return ::ExpirationStamp(m_settlement, m_pFirstOption ? m_pFirstOption->Expiry() : DllDate{});
}

void COptionGroup::ForEachOption(const std::function<void(CBaseOptionRecord*)>& visit) const {
    for (CBaseOptionRecord* o = m_pFirstOption; o; o = o->m_pNext) {
        visit(o);
        if (o->m_pPair)
            visit(o->m_pPair);
    }
}

SGroupCarry COptionGroup::Carry() const { return m_carry.Load(); }

SGroupCarry COptionGroup::UpdateAtmOption(const DllDateTime& tape, const CBaseOptionRecord* calculating) {
    CBaseOptionRecord* atm = FindAtmOption(tape);
    const SGroupCarry current = Carry();
    SGroupCarry updated = current;
    bool derived = false;
    double T = 0.0;
    if (atm) {
        T = atm->CalcWeightedTimeToExpiration(tape);
        updated = UpdateGroupCarry(*atm, current, tape, T, derived);
    }
    updated.atmOption = atm;
    // Within a burst of quotes the pair and the carry mostly stay; then nothing is written, and the
    // threads calculating the group's options keep reading their own copies of it.
    if (std::memcmp(&updated, &current, sizeof updated) != 0) {
        std::lock_guard<std::mutex> lock(m_carryWriters);
        m_carry.Store(updated);
    }
    if (derived && TakeCarryForOptions(updated.carry, T))
        RecalculateCarryTakers(calculating);
    return updated;
}

bool COptionGroup::TakeCarryForOptions(double carry, double T) {
    auto leaves = [&] {
        return !m_optionsHaveCarry.load() || std::fabs(carry - m_optionsCarry.load()) * T > kCarryForwardTolerance;
    };
    if (!leaves())  // the common case, without the lock
        return false;
    std::lock_guard<std::mutex> lock(m_carryWriters);
    if (!leaves())
        return false;
    m_optionsCarry = carry;
    m_optionsHaveCarry = true;
    return true;
}

void COptionGroup::RecalculateCarryTakers(const CBaseOptionRecord* calculating) const {
    CRecordProcessor& processor = CRecordProcessor::Instance();
    ForEachOption([&](CBaseOptionRecord* option) {
        if (option != calculating && option->HasQuote() && option->TakesGroupCarry())
            processor.Post(option);
    });
}

CBaseOptionRecord* COptionGroup::FindAtmOption(const DllDateTime& tape) const {
    CBaseOptionRecord* candidate = nullptr;
    double bound = kNoCandidate;
    for (CBaseOptionRecord* option = m_pFirstOption; option; option = option->m_pNext) {
        const CBaseOptionRecord* pair = option->m_pPair;
        if (option->DeliveryMode() != 0 || !pair)
            continue;
        const double ask = option->Ask(), pairAsk = pair->Ask();
        if (option->Strike() <= EPS || ask <= EPS || pairAsk <= EPS)
            continue;
        const double distance = std::fabs((ask + option->Bid()) * 0.5 - (pairAsk + pair->Bid()) * 0.5);
        if (distance < bound) {
            bound = distance;
            candidate = option;
        }
    }
    // Close to a large dividend the in-the-money side is distorted: move up while the next
    // strike's pair still quotes well. Each step moves along the list, so the walk ends.
    const double dividendTotal = DividendTotal();
    while (candidate && candidate->UnderlyingValue() > candidate->Strike() && dividendTotal > kDividendTotalForShift &&
           candidate->CalcWeightedTimeToExpiration(tape) < kShortTermForShift) {
        CBaseOptionRecord* next = candidate->m_pNext;
        if (!next || !next->IsPairQuoteUsable(candidate->UnderlyingValue(), tape))
            break;
        candidate = next;
    }
    return candidate;
}

SGroupCarry COptionGroup::UpdateGroupCarry(CBaseOptionRecord& atm, SGroupCarry carry, const DllDateTime& tape,
                                          double T, bool& derived) const {
    if (T < EPS)
        return carry;
    if (m_pOwner->UsesUserRates()) {
        carry.carry = atm.GetSecondRate();
        derived = true;
        return carry;
    }
    const double r = atm.GetActiveInterestRate();
    double S = atm.UnderlyingValue();
    if (atm.DeliveryMode() == 1) {
        S = m_pOwner->DeliveryValue(atm.Root());
        if (S < EPS) {
            carry.carry = r;
            derived = true;
            return carry;
        }
    }

    const double firstAmount = FirstScheduledAmount();
    if (atm.SelectPricingModel('c', 0.0, r) == Pricing::RGW && firstAmount >= 0.01) {
        const double tau = std::max(T - FirstScheduledTime(), 0.0);
        derived = FiniteCarry((S * std::exp(r * T) - firstAmount * std::exp(r * tau)) / S, T, carry.carry);
        return carry;
    }

    if (atm.Bid() >= 0.009999 && S > EPS && atm.IsPairQuoteUsable(S, tape)) {
        const CBaseOptionRecord& call = atm.IsPut() && atm.m_pPair ? *atm.m_pPair : atm;
        carry.parityValue = CBaseOptionRecord::CalcParityImpliedUnderlying(call, tape, carry.forward, carry.carryTerm);
        derived = FiniteCarry(carry.forward / S, T, carry.carry);
        carry.forwardMinusS = carry.forward - S;
        carry.atmStrike = atm.Strike();
        carry.atmBid = atm.Bid();
        carry.atmAsk = atm.Ask();
    } else {
        carry.parityValue = 0.0;
    }
    return carry;
}

void COptionGroup::SetDividends(SGroupDividends dividends) {
    std::unique_lock<std::shared_mutex> lock(m_groupLock);
    m_dividends = std::move(dividends);
    const auto& amounts = m_dividends.m_divToExpiryAmounts;
    const auto& times = m_dividends.m_divToExpiryTimes;
    m_dividendCount = m_dividends.m_divCount;
    m_firstScheduledAmount = amounts.empty() ? 0.0 : amounts.front();
    m_firstScheduledTime = times.empty() ? 0.0 : times.front();
    m_dividendTotal = m_dividends.m_divTotal;
    m_hasSchedule = !amounts.empty() || !times.empty();
}

void COptionGroup::CopyDividendSchedule(std::vector<double>& amounts, std::vector<double>& times) const {
    if (!m_hasSchedule.load(std::memory_order_acquire)) {
        amounts.clear();
        times.clear();
        return;
    }
    std::shared_lock<std::shared_mutex> lock(m_groupLock);
    amounts = m_dividends.m_divToExpiryAmounts;
    times = m_dividends.m_divToExpiryTimes;
}

int COptionGroup::DividendCount() const { return m_dividendCount; }

double COptionGroup::FirstScheduledAmount() const { return m_firstScheduledAmount; }

double COptionGroup::FirstScheduledTime() const { return m_firstScheduledTime; }

double COptionGroup::DividendTotal() const { return m_dividendTotal; }

// One expiration and root of an underlying: a strike-ordered list of call/put pairs, the group's
// settlement time, its dividends, and the carry implied by its at-the-money pair.
//
// The list and the settlement change under the underlying's m_lock held exclusively. The
// dividends are guarded by the group lock, the carry state's writers by their own mutex; both are
// taken last, after any option's calculation mutex. Every calculation of the group reads the carry
// state and the four dividend figures it asks for several times, so those are read without a lock:
// the carry through a sequence lock, the figures as atomics.
//
// The group's options take its carry when they are calculated. So that none keeps a carry the group
// has since left, the calculation that first derives the carry, or moves it by more than a small
// tolerance from the carry the options were last sent off with, sends the group's other quoted
// options that take the carry to the processing threads again.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "calendar/ExpirationTime.h"
#include "calendar/GroupDividends.h"
#include "engine/SeqLocked.h"

class CBaseOptionRecord;
class CBaseUnderlyingRecord;

// What the at-the-money pair says about the group.
struct SGroupCarry {
    double parityValue = 0.0;  // parity-implied underlying price; 0 when the pair's quote is not usable
    double forward = 0.0;      // X + (call mid - put mid) e^(rT)
    double carryTerm = 0.0;    // forward - parityValue
    double forwardMinusS = 0.0;
    double atmStrike = 0.0;
    double atmBid = 0.0;
    double atmAsk = 0.0;
    double carry = 0.0;  // the group's implied cost of carry
    CBaseOptionRecord* atmOption = nullptr;
};

class COptionGroup {
public:
    COptionGroup(CBaseUnderlyingRecord* owner, int index, CBaseOptionRecord* firstOption);

    // Under the underlying's m_lock.
    CBaseUnderlyingRecord* m_pOwner;
    int m_index;
    CBaseOptionRecord* m_pFirstOption;
    SGroupSettlement m_settlement;

    // The adjusted expiration when set, else the first option's expiry at 16:00.
    DllDateTime ExpirationStamp() const;

    // Each option of the main list followed by its pair, in strike order.
    void ForEachOption(const std::function<void(CBaseOptionRecord*)>& visit) const;

    // Finds the at-the-money pair and derives the carry from it; returns the carry it stored. The
    // caller holds the underlying's m_lock shared; `calculating`, the option whose calculation asks,
    // if any, is not sent off again.
    SGroupCarry UpdateAtmOption(const DllDateTime& tape, const CBaseOptionRecord* calculating = nullptr);
    SGroupCarry Carry() const;

    void SetDividends(SGroupDividends dividends);
    // The schedule the calculations use: dividends up to the expiration.
    void CopyDividendSchedule(std::vector<double>& amounts, std::vector<double>& times) const;
    int DividendCount() const;
    double FirstScheduledAmount() const;
    double FirstScheduledTime() const;
    double DividendTotal() const;

private:
    CBaseOptionRecord* FindAtmOption(const DllDateTime& tape) const;
    // The carry state after updating it from the ATM option, T years before its expiration;
    // `current` is the state before. `derived`: whether the carry was set.
    SGroupCarry UpdateGroupCarry(CBaseOptionRecord& atm, SGroupCarry current, const DllDateTime& tape, double T,
                                 bool& derived) const;
    // Whether a derived carry leaves the one the options were last sent off with, first or by more
    // than the tolerance; if so, it becomes that carry.
    bool TakeCarryForOptions(double carry, double T);
    void RecalculateCarryTakers(const CBaseOptionRecord* calculating) const;

    // Its own cache line: the dividend readers' lock writes do not evict the list and settlement.
    alignas(64) mutable std::shared_mutex m_groupLock;
    SGroupDividends m_dividends;
    // Most groups have no dividend before expiry: their readers skip the lock.
    std::atomic<bool> m_hasSchedule{false};
    std::atomic<int> m_dividendCount{0};
    std::atomic<double> m_firstScheduledAmount{0.0};
    std::atomic<double> m_firstScheduledTime{0.0};
    std::atomic<double> m_dividendTotal{0.0};

    std::mutex m_carryWriters;
    CSeqLocked<SGroupCarry> m_carry;
    // The carry the options were last sent off with; none until the first one is derived.
    std::atomic<bool> m_optionsHaveCarry{false};
    std::atomic<double> m_optionsCarry{0.0};
};

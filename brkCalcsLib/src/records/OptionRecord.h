// One option the host registered: its identity, its quote, its place in its underlying's expiry
// group, and the results of its last calculation.
//
// Threads: the quote fields are atomics written by the feed thread. The results and the inputs
// they came from are guarded by the record's calculation mutex; every calculation of the record
// holds it, so two threads never calculate one option at once. The list links (group, neighbours,
// pair, underlying) change only under the underlying's m_lock held exclusively and are read under
// it shared. Lock order: underlying m_lock, then one option's calculation mutex, then the group's
// own locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "brkCalcsLib.h"
#include "calendar/DateTime.h"
#include "records/MontageSolveMemo.h"
#include "records/Record.h"

class COptionGroup;
class CBaseUnderlyingRecord;
struct SGroupCarry;

// What the last calculation used.
struct SOptionInputs {
    char type = '0';
    double S = 0.0;
    double X = 0.0;
    double T = 0.0;
    double r = 0.0;
    double underlyingCalcPrice = 0.0;
    double parityValue = 0.0;
    DllDateTime tapeTime;
    double carry = 0.0;
    double midPrice = 0.0;
    int model = 0;
    double midIV = 0.0;
    double dividendAmount = 0.0;
    double dividendTime = 0.0;
};

// What the last calculation produced; the Greeks are scaled as the pricers give them.
struct SOptionResults {
    double bidIV = 0.0;
    double askIV = 0.0;
    double midIV = 0.0;
    double theo = 0.0;
    double probabilityITM = 0.0;
    double delta = 0.0;
    double gamma = 0.0;
    double theta = 0.0;
    double vega = 0.0;
    double rho = 0.0;
};

// One consistent copy of a record's results and inputs, for the host.
struct SOptionSnapshot {
    SOptionResults results;
    SOptionInputs inputs;
    double volatilityUsed = 0.0;
};

class CBaseOptionRecord : public IRecord {
public:
    CBaseOptionRecord(const std::string& root, char type, const DllDate& expiry, double strike, int deliveryMode,
                      const std::string& underlyingSymbol);

    // Stores the id and maps it to the record's internal id; -1 is refused with a warning.
    void SetForeignId(int64_t id) override;
    // Full calculation under the underlying's lock, then the kind-12 result to the host.
    void Process(int a) override;

    // The montage's calculation of the implied volatilities (no theo, no Greeks), with the group's
    // carry as the montage refreshed it for this pass. The caller holds the underlying's m_lock shared.
    void CalculateIVGreeks(const DllDateTime& tape, const SGroupCarry& groupCarry);
    // The montage's check before it recalculates: takes the group's carry and parity value and
    // marks the option and its pair dirty when the carry or the underlying price moved.
    void TakeGroupCarry(double groupCarry, double parityValue, double calcPrice);

    // Quote, from the feed thread; true when the bid or the ask moved by more than 0.001.
    bool SetQuote(double bid, double ask);
    // Whether the host has quoted the option: only then is it recalculated for its inputs' sake.
    bool HasQuote() const { return m_bQuoted; }
    double Bid() const { return m_bid; }
    double Ask() const { return m_ask; }
    double UserVolatility() const { return m_userVolatility; }
    void SetUserVolatility(double volatility) { m_userVolatility = volatility; }
    double UnderlyingValue() const { return m_underlyingValue; }
    void SetUnderlyingValue(double value) { m_underlyingValue.store(value); }
    // Stores the underlying's first usable price unless the option holds a price already; true
    // when stored.
    bool TakeFirstUnderlyingPrice(double price);
    // Whether the calculation prices on the underlying's price (not on its pair's or a deliverable's).
    bool PricesOnUnderlying() const { return !m_bEuropean && m_deliveryMode != 1; }
    // Whether the calculation uses the group's carry; the caller holds the underlying's m_lock.
    bool TakesGroupCarry() const;
    // The European pair whose underlying price this option's quote enters, when that pair has an
    // ask to pair it with; null otherwise.
    CBaseOptionRecord* PairPricedOnThisQuote() const;
    bool IsDirty() const { return m_bDirty; }
    void SetDirty(bool dirty = true) { m_bDirty = dirty; }

    // Time to the expiration in years: 0 once expired (weighted), negative after it (calendar).
    // 0 as well when a date cannot be converted.
    double CalcWeightedTimeToExpiration(const DllDateTime& now) const;
    double CalcCalendarTimeToExpiration(const DllDateTime& now) const;
    // The group's adjusted expiration, else the expiry date at 16:00.
    DllDateTime ExpirationStamp() const;
    // For callers outside a calculation: the underlying's m_lock held shared (nothing to hold
    // without an underlying), so the group's settlement cannot change while it is read.
    std::shared_lock<std::shared_mutex> LockLists() const;

    double GetActiveInterestRate() const;
    double GetSecondRate() const;
    int SelectPricingModel(char type, double carry, double r) const;
    // Whether this option's and its pair's quotes are good enough to imply the forward.
    bool IsPairQuoteUsable(double referencePrice, const DllDateTime& tape) const;
    // From a call and its pair: the parity-implied underlying price (0 when not computable); the
    // forward and the carry term (forward minus that price) through the out-parameters.
    static double CalcParityImpliedUnderlying(const CBaseOptionRecord& call, const DllDateTime& tape, double& forward,
                                              double& carryTerm);
    static double CalcDividendCarry(const std::vector<double>& times, double S, double r, double T,
                                    const std::vector<double>& amounts);

    SOptionSnapshot Snapshot() const;
    void LogOptionRecord() const;

    const std::string& Root() const { return m_root; }
    char Type() const { return m_type; }
    bool IsPut() const { return m_type == 'p'; }
    const DllDate& Expiry() const { return m_expiry; }
    double Strike() const { return m_strike; }
    int DeliveryMode() const { return m_deliveryMode; }
    const std::string& UnderlyingSymbol() const { return m_underlyingSymbol; }
    bool IsEuropean() const { return m_bEuropean; }
    void SetEuropean(bool european) { m_bEuropean = european; }
    int InternalId() const { return m_internalId; }
    void SetInternalId(int id) { m_internalId = id; }

    // Links, under the underlying's m_lock.
    std::shared_ptr<COptionGroup> m_pOptionGroup;
    CBaseOptionRecord* m_pNext = nullptr;
    CBaseOptionRecord* m_pPrev = nullptr;
    CBaseOptionRecord* m_pPair = nullptr;
    CBaseUnderlyingRecord* m_pUnderlyingRecord = nullptr;

private:
    // Steps shared by both calculations; false when the calculation is to be skipped.
    bool CheckCalculable(const DllDateTime& tape);
    void CalcTheoBlock(const DllDateTime& tape);
    void CalculateIVGreeksLocked(const DllDateTime& tape, const SGroupCarry& groupCarry);
    // The montage's ask, bid and mid solves into the results; true when the bid solve failed.
    bool SolveMontageVolatilities(double S, double T, double r, double carry, int model, double bid, double ask,
                                  double midPrice, const std::vector<double>& amounts,
                                  const std::vector<double>& times);
    // parityValue: the group's, as the calculation took it.
    void StoreCalcInputs(double S, double X, double T, double r, const DllDateTime& tape, double carry,
                         double parityValue, double midPrice, int model, const std::vector<double>& amounts,
                         const std::vector<double>& times);
    void CalcProbabilityITM(const DllDateTime& tape);
    // S of a delivery-mode-1 option: its deliverable's value, 0 when there is none.
    double DeliverableValue() const;

    const std::string m_root;
    const char m_type;
    const DllDate m_expiry;
    const double m_strike;
    const int m_deliveryMode;
    const std::string m_underlyingSymbol;
    bool m_bEuropean = false;  // set before the record is attached, read-only afterwards
    int m_internalId = -1;

    // The quote, written by the feed thread and read by every calculation of the group (the
    // at-the-money search): on a cache line that the calculations do not write.
    alignas(64) std::atomic<double> m_bid{0.0};
    std::atomic<double> m_ask{0.0};
    std::atomic<double> m_userVolatility{0.0};
    std::atomic<double> m_underlyingValue{0.0};
    std::atomic<bool> m_bQuoted{false};

    // From here on, written by this option's calculations.
    alignas(64) std::atomic<bool> m_bDirty{true};
    // Written by this option's calculations and, for a European pair, by its pair's.
    std::atomic<double> m_parityValue{0.0};
    std::atomic<double> m_groupCarry{0.0};

    mutable std::mutex m_calcMutex;
    SOptionResults m_results;
    SOptionInputs m_inputs;
    double m_volatilityUsed = 0.0;
    int64_t m_lastProcessArg = 0;
    SMontageSolveMemo m_montageMemo;  // under the calculation mutex
};

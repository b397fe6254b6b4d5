// One underlying (stock or index): its quote, its calculation price, its deliverables and its
// options grouped by expiration and root.
#pragma once

#include <atomic>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "brkCalcsLib.h"
#include "calendar/DateTime.h"
#include "calendar/ExpirationTime.h"
#include "rates/Deliverable.h"
#include "records/Record.h"

class CBaseOptionRecord;
class COptionGroup;

// The underlying's options: its groups in expiry order and the price they are calculated with.
struct CUnderlyingOptionData {
    std::vector<std::shared_ptr<COptionGroup>> m_groups;  // under the underlying's m_lock
    std::atomic<double> m_calcPrice{0.0};
};

class CBaseUnderlyingRecord : public IRecord, public IQuoteSource {
public:
    CBaseUnderlyingRecord(const std::string& symbol, PFN_DIVI_CALLBACK dividendCallback);
    ~CBaseUnderlyingRecord() override;

    // Stores the id (sign-extended) and maps it; -1 maps nothing and returns -1.
    int RegisterForeignId(int32_t id);
    // Refreshes the expiry groups, runs the montage and publishes kinds 11 and 10.
    void Process(int a) override;

    // Quote, under the quote lock.
    SUnderlyingQuote GetUnderlyingQuote() const override;
    enum EPriceChange { eUnchanged = 0, eChanged, eFirstUsablePrice };
    // Stores a changed price and updates the calculation price: eUnchanged when it moved by 0.001
    // or less, eFirstUsablePrice when it gave the underlying its first calculation price.
    EPriceChange ApplyTrade(double last, bool feedFlag);
    EPriceChange ApplyQuote(double bid, double ask, bool feedFlag);
    // Gives the calculation price to the quoted options that were quoted before there was one; of
    // those, the ones that price on it, to be recalculated.
    std::vector<CBaseOptionRecord*> GiveFirstPriceToQuotedOptions();

    // The option data, created on first use.
    std::shared_ptr<CUnderlyingOptionData> GetOrCreateOptionData();
    // The option data for a caller that holds m_lock.
    const std::shared_ptr<CUnderlyingOptionData>& OptionDataHeld() const { return m_pOptionData; }
    // Both without m_lock, for the feed thread.
    bool HasOptionData() const { return m_pOptionDataView.load(std::memory_order_acquire) != nullptr; }
    double CalcPrice() const;

    // Links a new option into its group (creating the group when needed): the group index, or -1.
    // Fetches the group's dividends afterwards when the option is alone in a new group.
    int AttachOptionToUnderlying(CBaseOptionRecord* option, const SExpiryKind& kind);
    // The option with this root, type (0 call, 1 put), expiry and strike, or null.
    CBaseOptionRecord* FindOptionRecord(const std::string& root, int type, const DllDate& expiry, double strike) const;
    // Re-fetches the dividends of every group through the dividend callback.
    void RefreshDividends();

    // The deliverable of an option root, created empty when absent.
    std::shared_ptr<CDeliverable> GetOrCreateDeliverable(const std::string& root);
    // The value of the root's deliverable; 0 when there is none.
    double DeliveryValue(const std::string& root) const;

    // Every option of every group, each followed by its pair, in group and strike order.
    std::vector<CBaseOptionRecord*> OptionsInOrder() const;
    // The same for the groups whose first option has this root.
    std::vector<CBaseOptionRecord*> OptionsOfRoot(const std::string& root) const;
    // Per group in order: its expiration stamp and its options' foreign ids, each followed by its pair's.
    std::vector<std::pair<DllDateTime, std::vector<int64_t>>> ForeignIdsByGroup() const;
    // Marks every option for recalculation (new rates); the number of groups.
    int MarkGroupsForRecalculation();
    bool HasOptions() const;
    // For the host's dump: the underlying line, then per group its head line and option lines.
    void LogUnderlyingRecord() const;

    const std::string& Symbol() const { return m_symbol; }
    bool IsIndex() const { return !m_symbol.empty() && m_symbol[0] == '^'; }
    int InternalId() const { return m_internalId; }
    void SetInternalId(int id) { m_internalId = id; }
    bool UsesUserRates() const { return m_bUseUserRates; }
    void SetUseUserRates(bool use) { m_bUseUserRates = use; }
    int StockSettings() const { return m_stockSettings; }
    void SetStockSettings(int value) { m_stockSettings = value; }

private:
    // True when the calculation price was none before.
    bool UpdateUnderlyingPrice(bool trade);
    // Creates the option data once; the caller holds m_lock exclusively.
    void CreateOptionDataLocked();
    // Refreshes each group's ATM option and carry and runs the montage; the caller holds m_lock shared.
    void RefreshExpiryGroups(const DllDateTime& tape);
    void CalcMontage(const DllDateTime& tape);
    void FetchGroupDividends(const std::shared_ptr<COptionGroup>& group);

    const std::string m_symbol;
    const PFN_DIVI_CALLBACK m_dividendCallback;
    int m_internalId = -1;

    mutable std::shared_mutex m_quoteLock;
    double m_last = 0.0;
    double m_bid = 0.0;
    double m_ask = 0.0;

    std::atomic<bool> m_bUseUserRates{false};
    std::atomic<bool> m_bFeedFlag{false};
    std::atomic<int> m_stockSettings{0};

    std::shared_ptr<CUnderlyingOptionData> m_pOptionData;  // under m_lock
    // The same object for the feed thread, without m_lock: it is created once and lives as long as
    // the record, and every calculation takes m_lock, so the lock's cache line is kept off the feed.
    std::atomic<CUnderlyingOptionData*> m_pOptionDataView{nullptr};

    mutable std::shared_mutex m_deliveryLock;
    std::unordered_map<std::string, std::shared_ptr<CDeliverable>> m_deliveries;
};

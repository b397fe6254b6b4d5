// What the client tells the service about one underlying that the library cannot know by itself:
// its option expirations with two rates each, its discrete dividends, whether the client's own
// rates apply, and its delivery formulas. The library bridge hands these to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <shared_mutex>
#include <string>
#include <vector>

#include "packets/DeliveryFormulaPacket.h"
#include "packets/StockSettingsPacket.h"
#include "packets/WireDoubleOrder.h"

namespace models {

// The figures of one distinct expiration: its two rates and what its dividends add up to there.
struct ExpirationFigures {
    double expiration = 0.0;  // ms since 1970
    double rate1 = 0.0;
    double rate2 = 0.0;
    double firstCashDividendForward = 0.0;  // forward at the expiration of the first cash dividend
    double cashDividendForwardSum = 0.0;
    double firstCashDividendDate = 0.0;  // 0.0: none
    std::int32_t dividendCount = 0;      // dividends of any kind
    std::int32_t cashDividendCount = 0;
};

class StockSettingsData {
public:
    StockSettingsData();

    // Replaces expirations, rates, flags and dividends with those of one settings request (whose
    // parallel vectors have equal lengths) and rebuilds the figures for the request's time.
    void applySettings(Packets::Incoming::StockSettingsPacket request);

    // Rebuilds the figures from the vectors, for dividends after `now` (ms since 1970). With no
    // expirations the figures of the last request that had any stay.
    void updateDividendForwards(double now);

    // The figures of the expiration (NaN-safe wire order: all NaNs are one key); null when it has none.
    const ExpirationFigures* figuresAt(double expiration) const;

    void setDeliveryValue(const std::string& formula, std::uint32_t value);
    void setDeliveryComponents(const std::string& formula, const Packets::Incoming::DeliveryComponentList& components);

    // What the record holds against the stored settings' caps: expirations (or, after a request
    // without any, the figures kept from an earlier one) and dividends; formulas; their components.
    std::size_t storedEntries() const;
    std::size_t storedFormulas() const { return deliveryValues.size(); }
    std::size_t storedComponents() const;

    std::vector<double> expirations;  // in the order the client sent them
    std::vector<float> rates1;        // parallel to expirations
    std::vector<float> rates2;        // parallel to expirations
    std::vector<double> dividendDates;
    std::vector<float> dividendAmounts;       // parallel to dividendDates
    std::vector<std::int32_t> dividendTypes;  // parallel to dividendDates; the library's nKind
    std::uint32_t ratesSource = 0;            // 1, with useUserInputs: the library's second rate is rates2
    bool useUserInputs = false;
    bool isStock = false;  // false for an index (symbol beginning with '^')

    // One entry per distinct expiration, in wire order: one flat record instead of a tree node per
    // expiration in each of seven maps, which took six times the memory of the request itself.
    std::vector<ExpirationFigures> figures;

    std::map<std::string, std::uint32_t> deliveryValues;                               // per formula
    std::map<std::string, Packets::Incoming::DeliveryComponentList> deliveryComponents;  // per formula

    // The record's lock, taken exclusively by the operations above; copies share it.
    std::shared_ptr<std::shared_mutex> settingsMutex;

private:
    // updateDividendForwards under the lock, which the caller holds exclusively.
    void rebuildFigures(double now);
};

// A request the stored settings refused: which total it would take past its cap.
struct SettingsRefusal {
    const char* what;  // "symbols", "expirations and dividends", "delivery formulas", "delivery components"
    std::size_t held;
    std::size_t asked;  // what the store would hold with the request
    std::size_t cap;
};

std::ostream& operator<<(std::ostream& out, const SettingsRefusal& refusal);

// Underlying symbol -> its settings, ordered bytewise by symbol. Records are never removed (the
// client's settings outlive its sessions), so what they may hold in all is capped: a request that
// would take a total past its cap is refused whole, and one that needs no more room than its
// symbol holds is always taken.
class StockSettingsMap {
public:
    struct Caps {
        std::size_t symbols;
        std::size_t entries;  // expirations and dividends
        std::size_t formulas;
        std::size_t components;
    };
    static const Caps kCaps;

    explicit StockSettingsMap(const Caps& caps = kCaps);

    // The symbol's settings; null when it has none. Records stay where they are.
    StockSettingsData* find(const std::string& symbol);

    // Replaces the symbol's settings by the request's, creating its record when new; or, when that
    // would pass a cap, changes nothing and says why.
    std::optional<SettingsRefusal> applySettings(Packets::Incoming::StockSettingsPacket request);

    // Stores the formula's value and components under the symbol, creating its record when new; or,
    // when that would pass a cap, changes nothing and says why.
    std::optional<SettingsRefusal> setDeliveryFormula(const std::string& symbol, const std::string& formula,
                                                      std::uint32_t value,
                                                      const Packets::Incoming::DeliveryComponentList& components);

    std::size_t symbols() const;
    std::size_t entries() const;
    std::size_t formulas() const;
    std::size_t components() const;

private:
    // What a record holds against the caps.
    struct Held {
        std::size_t entries = 0, formulas = 0, components = 0;
    };
    static Held heldBy(const StockSettingsData* record);
    // The caller holds m_mutex: the refusal of a change that takes one record from `before` to `after`
    // (adding the record when `added`), or none.
    std::optional<SettingsRefusal> refusalLocked(bool added, const Held& before, const Held& after) const;
    // The caller holds m_mutex: the totals after one record went from `before` to `after`.
    void recountLocked(const Held& before, const Held& after);

    const Caps m_caps;
    mutable std::mutex m_mutex;  // the library's callbacks may look symbols up from its own threads
    std::map<std::string, StockSettingsData> m_records;
    std::size_t m_entries = 0;
    std::size_t m_formulas = 0;
    std::size_t m_components = 0;
};

}  // namespace models

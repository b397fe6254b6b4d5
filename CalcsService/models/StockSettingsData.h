// What the client tells the service about one underlying that the library cannot know by itself:
// its option expirations with two rates each, its discrete dividends, whether the client's own
// rates apply, and its delivery formulas. The library bridge hands these to the library.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "packets/DeliveryFormulaPacket.h"
#include "packets/StockSettingsPacket.h"
#include "packets/WireDoubleOrder.h"

namespace models {

class StockSettingsData {
public:
    // Expirations (ms since 1970) come off the wire: keyed in the NaN-safe wire order.
    template <class Value>
    using ByExpiration = std::map<double, Value, Packets::WireDoubleLess>;

    StockSettingsData();

    // Replaces expirations, rates, flags and dividends with those of one settings request (whose
    // parallel vectors have equal lengths) and rebuilds the maps for the request's time.
    void applySettings(Packets::Incoming::StockSettingsPacket request);

    // Rebuilds the rate maps and the derived dividend maps from the vectors, for dividends after
    // `now` (ms since 1970). With no expirations every map keeps its earlier contents.
    void updateDividendForwards(double now);

    void setDeliveryValue(const std::string& formula, std::uint32_t value);
    void setDeliveryComponents(const std::string& formula, const Packets::Incoming::DeliveryComponentList& components);

    std::vector<double> expirations;  // in the order the client sent them
    std::vector<float> rates1;        // parallel to expirations
    std::vector<float> rates2;        // parallel to expirations
    std::vector<double> dividendDates;
    std::vector<float> dividendAmounts;       // parallel to dividendDates
    std::vector<std::int32_t> dividendTypes;  // parallel to dividendDates; the library's nKind
    std::uint32_t ratesSource = 0;            // 1, with useUserInputs: the library's second rate is rates2
    bool useUserInputs = false;
    bool isStock = false;  // false for an index (symbol beginning with '^')

    ByExpiration<double> rate1ByExpiration;
    ByExpiration<double> rate2ByExpiration;
    ByExpiration<double> firstCashDividendForward;  // forward at the expiration of the first cash dividend
    ByExpiration<double> cashDividendForwardSum;
    ByExpiration<double> firstCashDividendDate;     // 0.0: none
    ByExpiration<std::int32_t> dividendCount;       // dividends of any kind
    ByExpiration<std::int32_t> cashDividendCount;

    std::map<std::string, std::uint32_t> deliveryValues;                               // per formula
    std::map<std::string, Packets::Incoming::DeliveryComponentList> deliveryComponents;  // per formula

    // The record's lock, taken exclusively by the operations above; copies share it.
    std::shared_ptr<std::shared_mutex> settingsMutex;

private:
    // updateDividendForwards under the lock, which the caller holds exclusively.
    void rebuildMaps(double now);
};

// Underlying symbol -> its settings, ordered bytewise by symbol.
using StockSettingsMap = std::map<std::string, StockSettingsData>;

}  // namespace models

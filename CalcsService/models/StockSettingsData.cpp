#include "models/StockSettingsData.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>

namespace models {

namespace {

constexpr double MS_PER_DAY = 86400000.0;
constexpr double DAYS_PER_YEAR = 365.0;

// Dividend kinds that are not cash dividends for the derived figures.
bool isCashDividend(std::int32_t kind) {
    return kind != 11 && kind != 99;
}

}  // namespace

StockSettingsData::StockSettingsData() : settingsMutex(std::make_shared<std::shared_mutex>()) {}

void StockSettingsData::applySettings(Packets::Incoming::StockSettingsPacket request) {
    {
        std::unique_lock<std::shared_mutex> lock(*settingsMutex);
        isStock = request.symbol.empty() || request.symbol[0] != '^';
        useUserInputs = request.useUserInputs != 0;
        ratesSource = request.ratesSource;
        expirations = std::move(request.expirations);
        rates1 = std::move(request.rates1);
        rates2 = std::move(request.rates2);
        dividendDates = std::move(request.dividendDates);
        dividendAmounts = std::move(request.dividendAmounts);
        dividendTypes = std::move(request.dividendTypes);
    }
    updateDividendForwards(request.time);
}

void StockSettingsData::updateDividendForwards(double now) {
    std::unique_lock<std::shared_mutex> lock(*settingsMutex);
    if (expirations.empty())
        return;

    rate1ByExpiration.clear();
    rate2ByExpiration.clear();
    firstCashDividendForward.clear();
    cashDividendForwardSum.clear();
    firstCashDividendDate.clear();
    dividendCount.clear();
    cashDividendCount.clear();

    // The vectors are public: bound every index by all the vectors it reads.
    const std::size_t n = std::min({expirations.size(), rates1.size(), rates2.size()});
    const std::size_t m = std::min({dividendDates.size(), dividendAmounts.size(), dividendTypes.size()});
    for (std::size_t i = 0; i < n; ++i) {
        rate1ByExpiration[expirations[i]] = rates1[i];
        rate2ByExpiration[expirations[i]] = rates2[i];
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double e = expirations[i];
        const double rate = rate1ByExpiration[e];
        cashDividendForwardSum[e] = 0.0;
        firstCashDividendDate[e] = 0.0;
        firstCashDividendForward[e] = 0.0;
        dividendCount[e] = 0;
        cashDividendCount[e] = 0;
        for (std::size_t j = 0; j < m; ++j) {
            const double d = dividendDates[j];
            if (!(d < e && now < d))
                continue;
            ++dividendCount[e];
            if (!isCashDividend(dividendTypes[j]))
                continue;
            ++cashDividendCount[e];
            // The client's rate, continuously compounded over calendar days / 365.
            const double forward = dividendAmounts[j] * std::exp((e - d) / MS_PER_DAY / DAYS_PER_YEAR * rate);
            if (firstCashDividendDate[e] == 0.0) {
                firstCashDividendForward[e] = forward;
                firstCashDividendDate[e] = d;
            }
            cashDividendForwardSum[e] += forward;
        }
    }
}

void StockSettingsData::setDeliveryValue(const std::string& formula, std::uint32_t value) {
    std::unique_lock<std::shared_mutex> lock(*settingsMutex);
    deliveryValues[formula] = value;
}

void StockSettingsData::setDeliveryComponents(const std::string& formula,
                                              const Packets::Incoming::DeliveryComponentList& components) {
    std::unique_lock<std::shared_mutex> lock(*settingsMutex);
    deliveryComponents[formula] = components;
}

}  // namespace models

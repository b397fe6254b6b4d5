#include "packets/StockSettingsPacket.h"

#include <cmath>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "packets/RequestReaders.h"

namespace Packets::Incoming {

namespace {

constexpr std::size_t RATE_PAIR_WIRE_SIZE = 4 + 4;
constexpr std::size_t DIVIDEND_WIRE_SIZE = 8 + 4 + 4;

struct RatePair {
    float first = 0.0f;
    float second = 0.0f;
};

struct Dividend {
    double date = 0.0;
    float amount = 0.0f;
    std::int32_t kind = 0;
};

RequestStream& readRatePair(RequestStream& in, RatePair& rates) {
    readDword(in, rates.first);
    return readDword(in, rates.second);
}

RequestStream& readDividend(RequestStream& in, Dividend& dividend) {
    readQword(in, dividend.date);
    readDword(in, dividend.amount);
    return readDword(in, dividend.kind);
}

}  // namespace

RequestStream& parseStockSettingsPacket(RequestStream& in, StockSettingsPacket& packet) {
    std::uint32_t expirationCount = 0;
    std::uint32_t dividendCount = 0;
    std::vector<double> expirations;
    std::vector<RatePair> rates;
    std::vector<Dividend> dividends;

    readQword(in, packet.time);
    readString(in, packet.symbol);
    readByte(in, packet.useUserInputs);
    if (readDword(in, expirationCount))
        readList<sizeof(double)>(in, expirationCount, expirations, &readQword<double>);
    readDword(in, packet.ratesSource);
    readList<RATE_PAIR_WIRE_SIZE>(in, expirations.size(), rates, &readRatePair);
    if (readDword(in, dividendCount))
        readList<DIVIDEND_WIRE_SIZE>(in, dividendCount, dividends, &readDividend);

    // Reserved to size: the settings keep these vectors as they are.
    packet.expirations.clear();
    packet.rates1.clear();
    packet.rates2.clear();
    packet.expirations.reserve(rates.size());
    packet.rates1.reserve(rates.size());
    packet.rates2.reserve(rates.size());
    for (std::size_t i = 0; i < rates.size(); ++i) {
        if (std::isnan(expirations[i])) {
            LOG_SEV(warning) << "settings for " << Logging::EscapeClientText(packet.symbol) << ": expiration " << i
                             << " is not a number, skipped";
            continue;
        }
        packet.expirations.push_back(expirations[i]);
        packet.rates1.push_back(rates[i].first);
        packet.rates2.push_back(rates[i].second);
    }

    packet.dividendDates.clear();
    packet.dividendAmounts.clear();
    packet.dividendTypes.clear();
    packet.dividendDates.reserve(dividends.size());
    packet.dividendAmounts.reserve(dividends.size());
    packet.dividendTypes.reserve(dividends.size());
    for (const Dividend& dividend : dividends) {
        packet.dividendDates.push_back(dividend.date);
        packet.dividendAmounts.push_back(dividend.amount);
        packet.dividendTypes.push_back(dividend.kind);
    }
    return in;
}

}  // namespace Packets::Incoming

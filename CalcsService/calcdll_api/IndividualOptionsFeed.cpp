#include "calcdll_api/IndividualOptionsFeed.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calcdll_api/LibraryText.h"
#include "calcdll_api/OptionKeys.h"
#include "calcdll_api/UserVolatilityCache.h"
#include "calcdll_api/WireTime.h"
#include "models/IndexSymbol.h"

namespace {

using Packets::Incoming::IndividualOption;
using Packets::Incoming::UnderlyingBlock;

// FeedMessage type bytes: record class in the top three bits, subtype in the low five.
constexpr std::uint8_t kClassOption = 0x80;
constexpr std::uint8_t kClassStock = 0x40;
constexpr std::uint8_t kClassIndex = 0xE0;
constexpr std::uint8_t kTrade = 1;
constexpr std::uint8_t kQuote = 2;
constexpr std::uint8_t kOptionMarker = 0xFE;
// No record id of the library's own: it finds records by symbol or foreign id.
constexpr int kNoId32 = -1;
constexpr std::int64_t kNoForeignId = -1;

// The local wall-clock time of the request as HHMMSSmmm.
std::uint32_t wallClock(const std::tm& fields, std::int64_t milliseconds) {
    return static_cast<std::uint32_t>(((fields.tm_hour * 100 + fields.tm_min) * 100 + fields.tm_sec) * 1000 +
                                      milliseconds);
}

void feedUnderlying(const std::string& symbol, const UnderlyingBlock& block, std::uint32_t time) {
    FeedMessage message{};
    const bool trade = block.price == block.last;
    const std::uint8_t recordClass = models::isIndexSymbol(symbol) ? kClassIndex : kClassStock;
    message.type = static_cast<std::uint8_t>(recordClass | (trade ? kTrade : kQuote));
    message.flag = 1;
    message.time = time;
    std::memcpy(message.key, symbol.data(), symbol.size());
    if (trade) {
        message.last = block.last;
    } else {
        message.bid = block.bid;
        message.ask = block.ask;
    }
    CBrkCalcDll::Instance().ProcessMessage(&message, kNoId32, kNoForeignId);
}

void sendOptionQuote(const IndividualOption& option, const std::tm& expiry, std::uint32_t time,
                     const std::string& root) {
    const auto key = Bridge::makeOptionKey(root, expiry.tm_year + 1900, expiry.tm_mon, expiry.tm_mday, option.strike,
                                           option.isPut != 0);
    if (!key)
        return;
    // Before the message: the library asks for it while it takes the quote.
    Bridge::storeUserVolatility(option.foreignId, option.userVolatility);
    FeedMessage message{};
    message.type = kClassOption | kQuote;
    message.unused2 = kOptionMarker;
    message.time = time;
    std::memcpy(message.key, &*key, sizeof *key);
    message.bid = option.bid;
    message.ask = option.ask;
    CBrkCalcDll::Instance().ProcessMessage(&message, kNoId32, option.foreignId);
}

void feedExpirationQuotes(const std::string& root, std::uint32_t time, const UnderlyingBlock& block) {
    for (const auto& expiry : block.expirations) {
        const auto moment = Bridge::localMomentOf(expiry.expiration);
        if (!moment) {
            LOG_SEV(warning) << "individual options of " << Logging::EscapeClientText(root) << ": expiration " << expiry.expiration
                             << " ms skipped with its " << expiry.options.size() << " options";
            continue;
        }
        for (const IndividualOption& option : expiry.options)
            sendOptionQuote(option, moment->fields, time, root);
    }
}

}  // namespace

void setGlobalDate(double timeMs, std::int64_t* seconds, std::tm* fields) {
    const auto moment = Bridge::localMomentOf(timeMs);
    if (!moment)
        throw std::logic_error("can't recognize datetime in CalculateIndividualOptionTheosAndGreeksPacket");
    const DllDate date = Bridge::dllDateOf(moment->fields);
    CBrkCalcDll::Instance().SetGlobalDate(date.year, date.month, date.day);
    if (seconds)
        *seconds = moment->seconds;
    if (fields)
        *fields = moment->fields;
}

void feedIndividualOptions(const Packets::Incoming::IndividualOptionsSnapshot& packet) {
    std::int64_t seconds = 0;
    std::tm fields{};
    setGlobalDate(packet.time, &seconds, &fields);
    const auto milliseconds = static_cast<std::int64_t>(packet.time - static_cast<double>(seconds) * 1000.0);
    const std::uint32_t time = wallClock(fields, milliseconds);
    for (const auto& [names, block] : packet.blocks) {
        const auto& [symbol, root] = names;
        if (!Bridge::fitsLibraryText(symbol, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "underlying symbol"))
            continue;
        feedUnderlying(symbol, block, time);
        feedExpirationQuotes(root, time, block);
    }
}

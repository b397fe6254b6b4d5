#include "packets/IndividualOptionsPacket.h"

#include <iostream>

#include "Logging/Log.h"
#include "packets/RequestReaders.h"

namespace Packets::Incoming {

namespace {

// Parse errors go to standard output as "[error]" and the message, without a line end, as the
// service has always reported them; the log gets the same text, so a bad packet leaves a log line.
void reportParseError(const std::string& message) {
    std::cout << "[error]" << message << std::flush;
    LOG_SEV(error) << message;
}

struct V2Layout {
    static constexpr std::size_t OPTION_WIRE_SIZE = 29;

    static RequestStream& readQuote(RequestStream& in, UnderlyingBlock& block) {
        std::uint32_t unused = 0;
        readDword(in, block.price);
        readDword(in, block.bid);
        readDword(in, unused);
        readDword(in, block.ask);
        readDword(in, unused);
        readDword(in, block.last);
        readDword(in, unused);
        return readDword(in, unused);
    }

    static RequestStream& readOption(RequestStream& in, IndividualOption& option) {
        readQword(in, option.foreignId);
        readDword(in, option.strike);
        readByte(in, option.isPut);
        readQword(in, option.userVolatility);
        readDword(in, option.ask);
        return readDword(in, option.bid);
    }
};

struct V3Layout {
    static constexpr std::size_t OPTION_WIRE_SIZE = 25;

    static RequestStream& readQuote(RequestStream& in, UnderlyingBlock& block) {
        readDword(in, block.price);
        readDword(in, block.bid);
        readDword(in, block.ask);
        return readDword(in, block.last);
    }

    static RequestStream& readOption(RequestStream& in, IndividualOption& option) {
        float userVolatility = 0.0f;
        readQword(in, option.foreignId);
        readDword(in, option.strike);
        readByte(in, option.isPut);
        if (readDword(in, userVolatility))
            option.userVolatility = userVolatility;
        readDword(in, option.ask);
        return readDword(in, option.bid);
    }
};

// Reads the expirations of one block up to the 0.0 that ends them (a NaN is not 0.0). Returns
// false when an expiration has too many options: the block is then dropped and parsing ends.
template <class Layout>
bool readExpirations(RequestStream& in, UnderlyingBlock& block) {
    double expiration = 0.0;
    if (!readQword(in, expiration))
        return true;
    while (expiration != 0.0) {
        std::uint32_t count = 0;
        if (!readDword(in, count))
            return true;
        if (count > MAX_OPTIONS_PER_EXPIRATION) {
            reportParseError(
                "wrong options block in packet IndividualOptionTheosAndGreeksPacket, len > 5000: len=" +
                std::to_string(count));
            return false;
        }
        ExpiryBlock expiry;
        expiry.expiration = expiration;
        readList<Layout::OPTION_WIRE_SIZE>(in, count, expiry.options, &Layout::readOption);
        block.expirations.push_back(std::move(expiry));
        if (!readQword(in, expiration))
            return true;
    }
    return true;
}

template <class Layout>
RequestStream& parseSnapshot(RequestStream& in, IndividualOptionsSnapshot& packet) {
    readQword(in, packet.time);
    // Blocks follow until the body ends; a body that ends between blocks is complete.
    while (in && in.remaining() != 0) {
        std::uint32_t symbolLength = 0;
        if (!readDword(in, symbolLength))
            break;
        if (symbolLength == 0 || symbolLength > MAX_SYMBOL_LENGTH) {
            reportParseError("bad packet IndividualOptionTheosAndGreeksPacket, len > 16 || len == 0");
            break;
        }
        std::string symbol(symbolLength, '\0');
        std::string root;
        UnderlyingBlock block;
        in.read(&symbol[0], symbolLength);
        readString(in, root);
        // A block whose quote the body ends inside is not stored: its zeros would reach the
        // library as a made-up trade or quote.
        if (!Layout::readQuote(in, block))
            break;
        if (!readExpirations<Layout>(in, block))
            break;
        packet.blocks[{symbol, root}] = std::move(block);
    }
    return in;
}

}  // namespace

RequestStream& parseIndividualOptionTheosAndGreeks(RequestStream& in, v2::CalculateIndividualOptionTheosAndGreeksPacket& packet) {
    return parseSnapshot<V2Layout>(in, packet);
}

RequestStream& parseIndividualOptionTheosAndGreeksV3(RequestStream& in, v3::CalculateIndividualOptionTheosAndGreeksPacket& packet) {
    return parseSnapshot<V3Layout>(in, packet);
}

}  // namespace Packets::Incoming

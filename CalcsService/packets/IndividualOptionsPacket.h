// CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv2 and v3: a snapshot of underlying and option quotes
// for the library. The versions differ only in the wire layout of the quote fields and options.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

// The longest underlying symbol and the most options of one expiration a request may carry.
constexpr std::uint32_t MAX_SYMBOL_LENGTH = 16;
constexpr std::uint32_t MAX_OPTIONS_PER_EXPIRATION = 5000;

struct IndividualOption {
    std::int64_t foreignId = 0;
    float strike = 0.0f;
    std::uint8_t isPut = 0;
    double userVolatility = 0.0;  // percent; f64 on the v2 wire, f32 on the v3 wire
    float ask = 0.0f;
    float bid = 0.0f;
};

struct ExpiryBlock {
    double expiration = 0.0;  // ms since 1970
    std::vector<IndividualOption> options;
};

struct UnderlyingBlock {
    float price = 0.0f;
    float bid = 0.0f;
    float ask = 0.0f;
    float last = 0.0f;
    std::vector<ExpiryBlock> expirations;
};

// (underlying symbol, option root) -> block, ordered bytewise by symbol, then root.
using UnderlyingBlocks = std::map<std::pair<std::string, std::string>, UnderlyingBlock>;

struct IndividualOptionsSnapshot {
    double time = 0.0;  // request time, ms since 1970
    UnderlyingBlocks blocks;
};

namespace v2 {
struct CalculateIndividualOptionTheosAndGreeksPacket : IndividualOptionsSnapshot {};
}  // namespace v2

namespace v3 {
struct CalculateIndividualOptionTheosAndGreeksPacket : IndividualOptionsSnapshot {};
}  // namespace v3

// Both read underlying blocks until the body ends. A bad symbol length or an expiration of more
// than MAX_OPTIONS_PER_EXPIRATION options ends parsing with an "[error]" line on standard output
// (and a log line); blocks stored before it stay.
RequestStream& parseIndividualOptionTheosAndGreeks(RequestStream& in, v2::CalculateIndividualOptionTheosAndGreeksPacket& packet);
RequestStream& parseIndividualOptionTheosAndGreeksV3(RequestStream& in, v3::CalculateIndividualOptionTheosAndGreeksPacket& packet);

}  // namespace Packets::Incoming

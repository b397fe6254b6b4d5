// Option results that the library computes on its processing threads: kept per option until the
// session collects them as RESULT_CALC_OPTIONS_THEOS_AND_GREEKS (261) packets.
//
// Packet: u32 type 261, u32 0, u32 size (32 + 81 n), 16 zero bytes of request id, u32 n, then n
// entries of 81 packed bytes in ascending signed id order: i64 id; f32 delta, gamma, rho, vega, theta,
// ask IV %, bid IV %, mid IV %, theo, probability ITM %; f32 carry, first dividend amount, its time;
// u8 model; f32 mid IV (fraction), rate, underlying price, time to expiration, volatility used %.
#pragma once

#include <cstddef>
#include <cstdint>

#include "brkCalcsLib.h"

// The library's results callback (pfResultCallback): keeps kind 12, the newest per option.
void calcDllMessageCallback(const void* data, int kind, int internalId, int foreignIdLow, int foreignIdHigh);

namespace Bridge {

constexpr std::size_t RESULTS_PACKET_HEAD_SIZE = 32;
constexpr std::size_t RESULT_ENTRY_SIZE = 81;
// A packet stays within the session's 5 MiB packet limit.
constexpr std::size_t MAX_RESULTS_PACKET_SIZE = 5 * 1024 * 1024;
constexpr std::size_t MAX_RESULTS_PER_PACKET =
    (MAX_RESULTS_PACKET_SIZE - RESULTS_PACKET_HEAD_SIZE) / RESULT_ENTRY_SIZE;
static_assert(MAX_RESULTS_PER_PACKET == 64726);

// One option's collected result.
struct AsyncOptionResult {
    OptionResult result;
    OptionCalcInputs inputs;  // of the option's last calculation; zero when the library no longer knows it
    std::int64_t foreignId;
};

}  // namespace Bridge

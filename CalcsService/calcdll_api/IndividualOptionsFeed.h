// The library's date, and the quotes of an individual-option request turned into the library's
// quote and trade messages.
#pragma once

#include <cstdint>
#include <ctime>

#include "packets/IndividualOptionsPacket.h"

// Sets the library's date to the local date of `timeMs` (ms since 1970) and gives the whole seconds
// and the local fields when asked. Throws std::logic_error "can't recognize datetime in
// CalculateIndividualOptionTheosAndGreeksPacket", calling nothing, for a time without a local date.
void setGlobalDate(double timeMs, std::int64_t* seconds = nullptr, std::tm* fields = nullptr);

// Sets the date from the request time, then feeds each underlying (a trade when its price equals its
// last, else a quote) followed by its options' quotes. v2 and v3 requests alike.
void feedIndividualOptions(const Packets::Incoming::IndividualOptionsSnapshot& packet);

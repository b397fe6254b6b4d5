// The service's side of the conversation with the calculation library: start-up and release, the
// callbacks the library calls, feeding option trees, quotes, settings and dates, and the results the
// library computes later on its own threads.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Loads the library (null: "brkcalcslib.dll") with the service's callbacks and points its logging at
// the service's log file (null: the service's own pattern). False, with the error logged, on failure.
bool InitCalcDLL(const char* libraryFileName, const char* logFilePattern);

namespace ExternalCalculations {
// Stops and releases the library; no library call may be in flight.
void ReleaseCalcDll();
}  // namespace ExternalCalculations

// Appends to `packets` the results packets (type 261) of every result published since the last call,
// in ascending id order; several packets when one would pass the packet size limit, none when there
// is no result.
void takeAsyncResults(std::vector<std::vector<std::uint8_t>>& packets);

// Drops every uncollected result.
void wakeAsyncResults();

namespace ExternalCalcs {
// Forgets the user volatilities, the uncollected results and the mapped roots (the library has
// released its records: a client went away or reset).
void Clear();
}  // namespace ExternalCalcs

namespace Bridge {
// The client's reset: purges the library's queues, releases its records and clears the bridge.
void Reset();
}  // namespace Bridge

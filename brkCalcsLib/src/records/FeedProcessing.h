// Applies the host's quotes and trades to the records and queues them for recalculation.
#pragma once

#include <cstdint>

#include "brkCalcsLib.h"

// Sets the clock time of the library's current time from the message, then, for an underlying
// (class 2 or 7), stores a changed trade or quote; for an option (class 4), found by id32 when it
// is not -1, else by foreignId, stores the quote and the host's user volatility. A record whose
// price was stored is posted to the processing threads.
void ProcessFeedMessage(const FeedMessage& message, int id32, int64_t foreignId);

// Hands results to the host's result callback. Called with no library lock held, since the host
// may call back into the library from its callback.
#pragma once

#include <vector>

#include "brkCalcsLib.h"

class CBaseOptionRecord;
class CBaseUnderlyingRecord;
struct SOptionResults;

// Kind 12: one option's results.
void PublishOptionResults(const CBaseOptionRecord& option, const SOptionResults& results);
// Kind 11 (the term volatilities, always zero), then kind 10 with the groups' summaries, four per call.
void PublishUnderlyingResults(const CBaseUnderlyingRecord& underlying, const std::vector<ExpirySummaryEntry>& groups);

// What the valuation of one request met that is worth one log line for the request, not one per cell.
#pragma once

#include <string>

namespace models {

struct ValuationNotes {
    bool nonFiniteTheo = false;  // a theoretical price that was not finite, counted as 0

    // One warning per note taken, naming the request's symbol.
    void log(const std::string& symbol) const;
};

}  // namespace models

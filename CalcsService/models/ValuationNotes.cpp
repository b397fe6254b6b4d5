#include "models/ValuationNotes.h"

#include "Logging/ClientText.h"
#include "Logging/Log.h"

namespace models {

void ValuationNotes::log(const std::string& symbol) const {
    if (nonFiniteTheo)
        LOG_SEV(warning) << "non-finite theoretical price counted as 0, symbol: " << Logging::EscapeClientText(symbol);
}

}  // namespace models

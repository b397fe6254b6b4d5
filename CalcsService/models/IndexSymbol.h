// Whether an underlying is an index: the client marks index symbols with a leading '^'. An index has
// no shares to deliver, so its positions are priced and valued differently.
#pragma once

#include <string>

namespace models {

inline bool isIndexSymbol(const std::string& symbol) { return !symbol.empty() && symbol[0] == '^'; }

}  // namespace models

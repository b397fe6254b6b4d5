// The lengths of the texts the library keeps: longer texts are refused, never cut.
#pragma once

#include <cstddef>
#include <string>

namespace Bridge {

// Underlying symbols and option roots of the root map.
constexpr std::size_t MAX_LIBRARY_SYMBOL_LENGTH = 15;
// The symbol field of a delivery component.
constexpr std::size_t MAX_COMPONENT_SYMBOL_LENGTH = 6;

// True when the text fits `limit`; otherwise a warning naming `what` and the text, and false.
bool fitsLibraryText(const std::string& text, std::size_t limit, const char* what);

}  // namespace Bridge

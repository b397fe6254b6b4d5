// The requests the service passes to the library almost as they come: delivery formulas, root to
// underlying mappings, and an option's current mid price.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "packets/DeliveryFormulaPacket.h"

namespace Bridge {

// True when the library can take the formula's texts: the symbol and the formula within the
// library's symbol length, every component symbol within its field; otherwise a warning and false.
bool deliveryFormulaFits(const std::string& symbol, const std::string& formula,
                         const Packets::Incoming::DeliveryComponentList& components);

// Maps every (option root, underlying) pair, skipping those with an empty root and, with a warning,
// those too long for the library; or, when their roots new to the library would take it past
// MAX_ROOT_MAPPINGS, maps none and logs why. Roots already mapped are always remapped.
void mapRootsToUnderlyings(const std::vector<std::pair<std::string, std::string>>& pairs);

// Forgets which roots the library holds: it has just released them with its records.
void forgetRootMappings();

}  // namespace Bridge

// Hands the formula's cash and components to the library, which recalculates the root's options
// before it returns. Refused with a warning when the formula's texts do not fit the library.
void setDeliveryFormula(const std::string& symbol, const std::string& formula, double* cash,
                        const Packets::Incoming::DeliveryComponentList& components);

// The option's (bid + ask) / 2 through `mid`; unchanged when the library does not know the option.
void queryOptionInputs(std::int64_t foreignId, double* mid);

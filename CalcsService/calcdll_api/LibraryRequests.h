// The requests the service passes to the library almost as they come: delivery formulas, root to
// underlying mappings, and an option's current mid price.
#pragma once

#include <cstdint>
#include <string>

#include "packets/DeliveryFormulaPacket.h"

// Hands the formula's cash and components to the library, which recalculates the root's options
// before it returns. Refused with a warning when the symbol or a component symbol is too long.
void setDeliveryFormula(const std::string& symbol, const std::string& formula, double* cash,
                        const Packets::Incoming::DeliveryComponentList& components);

// Maps the option root to its underlying. Refused with a warning when either is too long.
void addRoot2UnderlyingMapping(const std::string& underlying, const std::string& root);

// The option's (bid + ask) / 2 through `mid`; unchanged when the library does not know the option.
void queryOptionInputs(std::int64_t foreignId, double* mid);

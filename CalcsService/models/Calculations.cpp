#include "models/Calculations.h"

namespace {

// Built during start-up, before the service's main function starts any thread.
[[maybe_unused]] const Calculations& g_calculationsAtStartup = CalculationsSingleton::get_const_instance();

}  // namespace

Calculations::Calculations(CBrkCalcDll& dll) : m_dll(dll) {}

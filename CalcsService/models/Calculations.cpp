#include "models/Calculations.h"

namespace {

// Built during start-up, before the service's main function starts any thread.
[[maybe_unused]] const Calculations& g_calculationsAtStartup = CalculationsSingleton::get_const_instance();

}  // namespace

Calculations::Calculations(CBrkCalcDll& dll) : m_dll(dll) {}

models::StockSettingsData& Calculations::operator[](const std::string& symbol) {
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    return m_settings[symbol];
}

models::StockSettingsData* Calculations::findSettings(const std::string& symbol) {
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    const auto found = m_settings.find(symbol);
    return found == m_settings.end() ? nullptr : &found->second;
}

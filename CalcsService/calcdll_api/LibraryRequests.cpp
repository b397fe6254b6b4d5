#include "calcdll_api/LibraryRequests.h"

#include <cstring>
#include <mutex>
#include <unordered_set>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calcdll_api/LibraryText.h"
#include "packets/RequestLimits.h"

namespace {

// The roots the library maps since it last released its records: it keeps them until then, so
// this is what counts against the cap.
std::mutex rootsMutex;
std::unordered_set<std::string> mappedRoots;

bool rootPairFits(const std::pair<std::string, std::string>& pair) {
    using Bridge::fitsLibraryText;
    return fitsLibraryText(pair.second, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "mapped underlying symbol") &&
           fitsLibraryText(pair.first, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "mapped option root");
}

}  // namespace

namespace Bridge {

bool deliveryFormulaFits(const std::string& symbol, const std::string& formula,
                         const Packets::Incoming::DeliveryComponentList& components) {
    if (!fitsLibraryText(symbol, MAX_LIBRARY_SYMBOL_LENGTH, "delivery formula symbol") ||
        !fitsLibraryText(formula, MAX_LIBRARY_SYMBOL_LENGTH, "delivery formula"))
        return false;
    for (const auto& component : components)
        if (!fitsLibraryText(component.first, MAX_COMPONENT_SYMBOL_LENGTH, "delivery component symbol"))
            return false;
    return true;
}

void mapRootsToUnderlyings(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<const std::pair<std::string, std::string>*> taken;
    for (const auto& pair : pairs)
        if (!pair.first.empty() && rootPairFits(pair))
            taken.push_back(&pair);

    std::lock_guard<std::mutex> lock(rootsMutex);
    std::unordered_set<std::string> added;
    for (const auto* pair : taken)
        if (mappedRoots.count(pair->first) == 0)
            added.insert(pair->first);
    if (mappedRoots.size() + added.size() > Packets::Incoming::MAX_ROOT_MAPPINGS) {
        LOG_SEV(error) << "root to underlying mapping refused: " << added.size() << " new roots with "
                       << mappedRoots.size() << " mapped, at most " << Packets::Incoming::MAX_ROOT_MAPPINGS;
        return;
    }
    for (const auto* pair : taken) {
        LOG_SEV(debug) << "map:" << Logging::EscapeClientText(pair->first) << "->"
                       << Logging::EscapeClientText(pair->second);
        CBrkCalcDll::Instance().AddRoot2SymbolMapping(pair->second.c_str(), pair->first.c_str());
        mappedRoots.insert(pair->first);
    }
}

void forgetRootMappings() {
    std::unordered_set<std::string> dropped;
    std::lock_guard<std::mutex> lock(rootsMutex);
    dropped.swap(mappedRoots);
}

}  // namespace Bridge

void setDeliveryFormula(const std::string& symbol, const std::string& formula, double* cash,
                        const Packets::Incoming::DeliveryComponentList& components) {
    if (!Bridge::deliveryFormulaFits(symbol, formula, components))
        return;
    std::vector<DeliveryComponent> library;
    library.reserve(components.size());
    for (const auto& [component, shares] : components) {
        DeliveryComponent entry{};
        entry.dShares = shares;
        std::memcpy(entry.symbol, component.data(), component.size());
        library.push_back(entry);
    }
    CBrkCalcDll::Instance().SetOptionDelivery(symbol.c_str(), formula.c_str(), cash, &library);
}

void queryOptionInputs(std::int64_t foreignId, double* mid) {
    float strike = 0.0f;
    double expiration = 0.0, volatility = 0.0, dividendAmount = 0.0, dividendTime = 0.0, rate = 0.0, carry = 0.0;
    char isPut = 0;
    int model = 0;
    CBrkCalcDll::Instance().GetOptionInputs(foreignId, &strike, &expiration, &volatility, &isPut, &dividendAmount,
                                            &dividendTime, &rate, &carry, &model, mid);
}

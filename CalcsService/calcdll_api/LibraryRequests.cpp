#include "calcdll_api/LibraryRequests.h"

#include <cstring>
#include <vector>

#include "CalcDll/BrkCalcDll.h"
#include "calcdll_api/LibraryText.h"

void setDeliveryFormula(const std::string& symbol, const std::string& formula, double* cash,
                        const Packets::Incoming::DeliveryComponentList& components) {
    using Bridge::fitsLibraryText;
    if (!fitsLibraryText(symbol, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "delivery formula symbol"))
        return;
    std::vector<DeliveryComponent> library;
    library.reserve(components.size());
    for (const auto& [component, shares] : components) {
        if (!fitsLibraryText(component, Bridge::MAX_COMPONENT_SYMBOL_LENGTH, "delivery component symbol"))
            return;
        DeliveryComponent entry{};
        entry.dShares = shares;
        std::memcpy(entry.symbol, component.data(), component.size());
        library.push_back(entry);
    }
    CBrkCalcDll::Instance().SetOptionDelivery(symbol.c_str(), formula.c_str(), cash, &library);
}

void addRoot2UnderlyingMapping(const std::string& underlying, const std::string& root) {
    using Bridge::fitsLibraryText;
    if (!fitsLibraryText(underlying, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "mapped underlying symbol") ||
        !fitsLibraryText(root, Bridge::MAX_LIBRARY_SYMBOL_LENGTH, "mapped option root"))
        return;
    CBrkCalcDll::Instance().AddRoot2SymbolMapping(underlying.c_str(), root.c_str());
}

void queryOptionInputs(std::int64_t foreignId, double* mid) {
    float strike = 0.0f;
    double expiration = 0.0, volatility = 0.0, dividendAmount = 0.0, dividendTime = 0.0, rate = 0.0, carry = 0.0;
    char isPut = 0;
    int model = 0;
    CBrkCalcDll::Instance().GetOptionInputs(foreignId, &strike, &expiration, &volatility, &isPut, &dividendAmount,
                                            &dividendTime, &rate, &carry, &model, mid);
}

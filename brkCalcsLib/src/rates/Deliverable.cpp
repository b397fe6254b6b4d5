#include "rates/Deliverable.h"

#include <mutex>
#include <utility>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "container/FixedText.h"

void CDeliverable::SetDeliverable(double cash, const std::vector<DeliveryComponent>& components,
                                  const ComponentResolver& resolve) {
    std::vector<SComponent> resolved;
    for (const DeliveryComponent& component : components) {
        const std::string symbol = FixedText(component.symbol, sizeof component.symbol);
        auto underlying = resolve ? resolve(symbol) : nullptr;
        if (!underlying) {
            LOG_SEV(warning) << "deliverable component " << Logging::EscapeClientText(symbol) << " has no underlying record, left out";
            continue;
        }
        resolved.push_back(SComponent{component.dShares, std::move(underlying)});
    }

    std::unique_lock<std::shared_mutex> lock(m_lock);
    m_kind = kSet;
    m_cash = cash;
    m_components.swap(resolved);
}

void CDeliverable::ClearDeliverable() {
    std::vector<SComponent> released;  // let go after the lock
    std::unique_lock<std::shared_mutex> lock(m_lock);
    m_kind = 0;
    m_cash = 0.0;
    m_components.swap(released);
}

double CDeliverable::DeliveryValue() const {
    std::shared_lock<std::shared_mutex> lock(m_lock);
    if (m_kind != kSet)
        return 0.0;
    double value = m_cash * 0.01;
    for (const SComponent& component : m_components) {
        const SUnderlyingQuote quote = component.m_pUnderlying->GetUnderlyingQuote();
        double price;
        if (quote.last > 0.01)
            price = quote.last;
        else if (quote.ask > 0.01)
            price = (quote.bid + quote.ask) / 2.0;
        else
            continue;
        if (price >= 0.01)
            value += price * component.m_shares * 0.01;
    }
    return value;
}

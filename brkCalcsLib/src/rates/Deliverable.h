// The deliverable of a non-standard option: cash plus a basket of underlyings, whose value per
// share replaces the underlying price of options in delivery mode.
#pragma once

#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "brkCalcsLib.h"

struct SUnderlyingQuote {
    double last = 0.0;
    double bid = 0.0;
    double ask = 0.0;
};

// A component of a deliverable: an underlying whose quote is read under its own quote lock.
class IQuoteSource {
public:
    virtual ~IQuoteSource() = default;
    virtual SUnderlyingQuote GetUnderlyingQuote() const = 0;
};

// Finds or creates the underlying of a component symbol; null when it cannot be had.
using ComponentResolver = std::function<std::shared_ptr<IQuoteSource>(const std::string& symbol)>;

class CDeliverable {
public:
    // Resolves every component first, then under the exclusive lock: set, the cash, the share
    // counts and underlyings in order. The resolver runs without the lock held, since it may call
    // back into the host. A component that cannot be resolved is left out with a warning.
    void SetDeliverable(double cash, const std::vector<DeliveryComponent>& components, const ComponentResolver& resolve);
    // Empty: no cash, no components, value 0.
    void ClearDeliverable();
    // Value per share: cash x 0.01 plus, per component with a price, price x shares x 0.01 (the
    // amounts are per 100-share contract); the price is the last trade above 0.01, else the mid of
    // an ask above 0.01. 0 when not set. Takes each component's quote lock inside this lock.
    double DeliveryValue() const;

private:
    static constexpr int kSet = 1;

    struct SComponent {
        double m_shares;
        std::shared_ptr<IQuoteSource> m_pUnderlying;
    };

    mutable std::shared_mutex m_lock;
    int m_kind = 0;
    double m_cash = 0.0;
    std::vector<SComponent> m_components;
};

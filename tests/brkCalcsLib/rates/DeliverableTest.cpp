#include "rates/Deliverable.h"

#include <cstring>
#include <map>
#include <memory>

#include <gtest/gtest.h>

namespace {

class CFixedQuote : public IQuoteSource {
public:
    CFixedQuote(double last, double bid, double ask) : m_quote{last, bid, ask} {}
    SUnderlyingQuote GetUnderlyingQuote() const override { return m_quote; }

private:
    SUnderlyingQuote m_quote;
};

DeliveryComponent Component(double shares, const char* symbol) {
    DeliveryComponent c{};
    c.dShares = shares;
    std::memcpy(c.symbol, symbol, std::min(std::strlen(symbol), sizeof c.symbol));
    return c;
}

ComponentResolver Resolver(std::map<std::string, std::shared_ptr<IQuoteSource>> quotes) {
    return [quotes](const std::string& symbol) {
        const auto found = quotes.find(symbol);
        return found == quotes.end() ? nullptr : found->second;
    };
}

TEST(Deliverable, CashAndSharesValuedPerShareOfTheContract) {
    CDeliverable deliverable;
    EXPECT_EQ(deliverable.DeliveryValue(), 0.0);  // never set
    const auto resolve = Resolver({{"MID", std::make_shared<CFixedQuote>(0.0, 49.0, 51.0)},
                                   {"LAST", std::make_shared<CFixedQuote>(20.5, 49.0, 51.0)},
                                   {"NONE", std::make_shared<CFixedQuote>(0.01, 0.0, 0.01)}});
    deliverable.SetDeliverable(5000.0, {Component(100, "MID")}, resolve);
    EXPECT_DOUBLE_EQ(deliverable.DeliveryValue(), 0.01 * 5000 + 50 * 100 * 0.01);

    // The last trade wins over the mid; a component without a usable price is left out.
    deliverable.SetDeliverable(1000.0, {Component(100, "LAST"), Component(50, "NONE")}, resolve);
    EXPECT_DOUBLE_EQ(deliverable.DeliveryValue(), 10 + 20.5);

    deliverable.ClearDeliverable();
    EXPECT_EQ(deliverable.DeliveryValue(), 0.0);
}

TEST(Deliverable, SymbolsFillingTheirFieldAndUnknownComponents) {
    CDeliverable deliverable;
    const auto resolve = Resolver({{"ABCDEF", std::make_shared<CFixedQuote>(10.0, 0.0, 0.0)}});
    deliverable.SetDeliverable(0.0, {Component(10, "ABCDEF"), Component(10, "GONE")}, resolve);
    EXPECT_DOUBLE_EQ(deliverable.DeliveryValue(), 1.0);
}

// A host callback made while resolving may come back into the library and read the deliverable.
TEST(Deliverable, ResolvesComponentsBeforeTakingItsLock) {
    CDeliverable deliverable;
    deliverable.SetDeliverable(300.0, {}, nullptr);
    double seenWhileResolving = -1.0;
    ComponentResolver reentrant = [&](const std::string&) {
        seenWhileResolving = deliverable.DeliveryValue();
        return std::make_shared<CFixedQuote>(2.0, 0.0, 0.0);
    };
    deliverable.SetDeliverable(100.0, {Component(50, "X")}, reentrant);
    EXPECT_DOUBLE_EQ(seenWhileResolving, 3.0);
    EXPECT_DOUBLE_EQ(deliverable.DeliveryValue(), 2.0);
}

}  // namespace

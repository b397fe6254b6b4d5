#include "models/RiskChart/GreeksPass.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "models/Calculations.h"
#include "models/RequestStop.h"
#include "models/RiskChart/PositionPricing.h"

namespace models::RiskChart {

namespace {

using Packets::Outgoing::GREEKS_BY_EXP;

constexpr std::int64_t COUNT_MIN = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t COUNT_MAX = std::numeric_limits<std::int32_t>::max();

// Adds to a contract count, saturating at the ends of its range.
void addCount(std::int32_t& count, std::int64_t amount) {
    const std::int64_t sum = std::int64_t{count} + std::max(COUNT_MIN, std::min(COUNT_MAX, amount));
    count = static_cast<std::int32_t>(std::max(COUNT_MIN, std::min(COUNT_MAX, sum)));
}

// A quantity truncated toward zero: NaN counts nothing, values beyond the range saturate.
std::int64_t wholeContracts(float quantity) {
    if (std::isnan(quantity))
        return 0;
    return static_cast<std::int64_t>(std::max<double>(COUNT_MIN, std::min<double>(COUNT_MAX, std::trunc(quantity))));
}

}  // namespace

void greeks(const Packets::Incoming::RiskChart2DInputsPacket& inputs, Packets::Outgoing::GreeksByExpiration& greeks) {
    LOG_SCOPE("RiskChart::greeks");
    try {
        for (const auto& stock : inputs.stocks)
            greeksStock(*stock, inputs.evalTime, inputs.basePrice, greeks);
    } catch (const RequestStopped&) {
        // The request's thread finds the flag set too, and drops the reply.
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception: " << Logging::EscapeClientText(e.what());
    } catch (...) {
        LOG_SEV(error) << "unknown exception";
    }
}

void greeksStock(const VO::RiskChart::PerStockInfo& stock, double evalTime, double basePrice,
                 Packets::Outgoing::GreeksByExpiration& greeks) {
    const StockBase at(stock, basePrice);
    const bool isIndex = isIndexSymbol(stock.symbol);
    std::size_t skipped = 0;
    for (const VO::OptionPosition& p : stock.positions) {
        giveWayIfStopping();
        if (!greeksPosition(p, evalTime, at.base, isIndex, at.ratio, greeks))
            ++skipped;
    }
    if (skipped != 0)
        LOG_SEV(warning) << stock.symbol << ": " << skipped << " positions without an expiration left out of the greeks";

    // Long stock counts as long calls and short puts.
    GREEKS_BY_EXP& entry = greeks[Packets::Outgoing::GREEKS_STOCK_KEY];
    entry.delta += stock.stockQty;
    entry.dollarDelta += stock.stockQty * at.base;
    addCount(entry.callContracts, stock.stockQty / 100);
    addCount(entry.putContracts, stock.stockQty / -100);
}

bool greeksPosition(const VO::OptionPosition& p, double evalTime, double base, bool isIndex, double ratio,
                    Packets::Outgoing::GreeksByExpiration& greeks) {
    if (std::isnan(p.expiration))
        return false;  // it would land on another entry's key
    CBrkCalcDll& dll = CBrkCalcDll::Instance();
    const double seconds = evalTime / 1000.0;
    const double T = dll.GetWeightedTimeToExpiration(p.foreignId, &seconds);
    const double dT = p.timeToExpiry - T;
    const double sign = signOf(p);
    const double quantity = p.quantity;
    GREEKS_BY_EXP& entry = greeks[p.expiration];

    if (T > 0.0) {
        DividendList dividend;
        if (p.dividendTime > 0.0 && p.dividendTime - dT > 0.0)
            dividend.set(p.dividendAmount, p.dividendTime - dT);
        const double S = isIndex ? indexAdjustedPrice(p, base, base / ratio, T) : base;
        const double X = p.strike, r = p.interestRate, b = p.costOfCarry, sigma = p.volatility / 100.0;
        const int model = static_cast<int>(p.pricingModel);
        double theo = dll.CalcTheoPrice(model, isIndex ? 1 : 0, deliveryModeOf(p), typeOf(p), &S, &X, &T, &r, &b,
                                        &sigma, &dividend.amounts, &dividend.times);
        if (!std::isfinite(theo))
            theo = 0.0;
        const PositionGreeks g = CalculationsSingleton::get_mutable_instance().positionGreeks(
            p, isIndex, S, T, sigma, dividend.amounts, dividend.times);
        addGreeks(entry, g, p);
        addCount(p.isPut ? entry.putContracts : entry.callContracts, wholeContracts(p.quantity));
        entry.contracts += quantity;
        entry.timeValue += SHARES_PER_CONTRACT * quantity * timeValueOf(p, theo, S, base);
        entry.dollarDelta += base * sign * quantity * g.delta;
    } else if (T <= 0.0 && expiresInTheMoney(p, base)) {
        entry.delta += sign * quantity * SHARES_PER_CONTRACT;
    }
    return true;
}

void sumGreeksByExpiration(Packets::Outgoing::GreeksByExpiration::const_iterator first,
                           Packets::Outgoing::GreeksByExpiration::const_iterator last,
                           Packets::Outgoing::GREEKS_BY_EXP& total) {
    for (; first != last; ++first) {
        const GREEKS_BY_EXP& g = first->second;
        total.timeValue += g.timeValue;
        total.contracts += g.contracts;
        addCount(total.callContracts, g.callContracts);
        addCount(total.putContracts, g.putContracts);
        total.gamma += g.gamma;
        total.delta += g.delta;
        total.theta += g.theta;
        total.vega += g.vega;
        total.rho += g.rho;
        total.dollarDelta += g.dollarDelta;
    }
}

}  // namespace models::RiskChart

#include "models/RiskChart/ChartPass.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "models/Calculations.h"
#include "models/RequestStop.h"

namespace models::RiskChart {

namespace {

using namespace Packets::Outgoing;

constexpr double DAYS_PER_YEAR = 365.0;
constexpr double UNDER_A_DAY_TIME = 1e-8;    // what a time under one day is taken as
constexpr double NO_VALUE_CHANGE = 1e-6;     // a value change this small counts as none
constexpr double NO_NOW_VALUE = 0.001;       // a now value this small at a point counts as none

// The library's inputs for one position in one scenario at one point.
struct Pricing {
    const VO::OptionPosition& p;
    const ScenarioTime& time;
    const PointContext& ctx;
    double S;

    double theo(double sigma) const {
        const double X = p.strike, r = p.interestRate, b = p.costOfCarry;
        return CalculationsSingleton::get_mutable_instance().calcTheoPriceAtTime(
            static_cast<int>(p.pricingModel), ctx.isIndex ? 1 : 0, deliveryModeOf(p), typeOf(p), &S, &X, &time.T, &r,
            &b, &sigma, &time.dividend.amounts, &time.dividend.times);
    }

    // Adds the position's greeks at sigma into the five slots from `first`.
    void addGreeks(double sigma, PointRecord& record, std::size_t first) const {
        const PositionGreeks g = CalculationsSingleton::get_mutable_instance().positionGreeks(
            p, ctx.isIndex, S, time.T, sigma, time.dividend.amounts, time.dividend.times);
        const double q = p.quantity;
        record[first + DELTA] += signOf(p) * q * g.delta;
        record[first + VEGA] += q * g.vega;
        record[first + GAMMA] += q * g.gamma;
        record[first + THETA] += q * g.theta;
        record[first + RHO] += q * g.rho;
    }
};

// A position's precomputed scenarios and the volatility shift of its expiration.
struct PositionScenarios {
    ScenarioTime now;
    ScenarioTime eval;
    double shift;
};

void addGreeksToTotals(RISK_TOTALS& t, std::size_t i, const PointRecord& r, std::size_t first, RiskCurve delta,
                       RiskCurve vega, RiskCurve gamma, RiskCurve theta, RiskCurve rho, double shares) {
    t.curves[delta][i] += r[first + DELTA] + shares;
    t.curves[vega][i] += r[first + VEGA];
    t.curves[gamma][i] += r[first + GAMMA];
    t.curves[theta][i] += r[first + THETA];
    t.curves[rho][i] += r[first + RHO];
}

double stockValueAt(double P, double currentPrice, std::int32_t stockQty) {
    return (P - currentPrice) * static_cast<double>(stockQty);
}

// One scenario's value at a point, added to its curve's slot. Exercised options are shares at their
// average strike, valued at P (also when calls and puts cancel to no shares: their strikes still
// differ); then the options' own value and the stock's.
void addValue(double& slot, const PointRecord& r, double P, std::size_t exShares, std::size_t exAmount, double value,
              double stockValue) {
    slot += P * r[exShares] - r[exAmount];
    slot += value + stockValue;
}

}  // namespace

ScenarioTime nowTime(const VO::OptionPosition& p) {
    ScenarioTime now;
    now.T = p.timeToExpiry;
    if (p.dividendAmount > 0.0f && p.dividendTime > 0.0)
        now.dividend.set(p.dividendAmount, p.dividendTime);
    return now;
}

ScenarioTime evalTime(const VO::OptionPosition& p, double refTime, double evalTime) {
    ScenarioTime eval;
    if (refTime == evalTime) {
        eval.T = p.timeToExpiry;
    } else {
        const double seconds = evalTime / 1000.0;
        eval.T = CBrkCalcDll::Instance().GetWeightedTimeToExpiration(p.foreignId, &seconds);
    }
    if (eval.T > 0.0 && DAYS_PER_YEAR * eval.T < 1.0)
        eval.T = UNDER_A_DAY_TIME;
    const double dT = p.timeToExpiry - eval.T;
    if (p.dividendAmount > 0.0f && p.dividendTime - dT > 0.0)
        eval.dividend.set(p.dividendAmount, p.dividendTime - dT);
    return eval;
}

void chart(const Packets::Incoming::RiskChart2DInputsPacket& inputs, const std::map<double, double>& volShifts,
           RISK_TOTALS& totals) {
    LOG_SCOPE("RiskChart::chart");
    try {
        for (const auto& stock : inputs.stocks)
            chartStock(*stock, inputs, volShifts, totals);
    } catch (const RequestStopped&) {
        // The request's thread finds the flag set too, and drops the reply.
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception: " << Logging::EscapeClientText(e.what());
    } catch (...) {
        LOG_SEV(error) << "unknown exception";
    }
}

std::vector<double> priceAxis(const VO::RiskChart::PerStockInfo& stock, double base, std::uint32_t steps,
                              std::size_t n) {
    if (!stock.prices.empty())
        return std::vector<double>(stock.prices.begin(), stock.prices.begin() + std::min(n, stock.prices.size()));
    std::vector<double> axis(n, 0.0);
    const double step = n > 1 ? steps * base * stock.pctPerStep / 50.0 / static_cast<double>(n - 1) : 0.0;
    double x = (1.0 - stock.pctPerStep * steps / 100.0) * base;
    for (double& point : axis) {
        point = x < 0.0 ? 0.0 : x;
        x += step;
    }
    return axis;
}

void chartStock(const VO::RiskChart::PerStockInfo& stock, const Packets::Incoming::RiskChart2DInputsPacket& inputs,
                const std::map<double, double>& volShifts, RISK_TOTALS& totals) {
    const bool isIndex = isIndexSymbol(stock.symbol);
    const StockBase at(stock, inputs.basePrice);
    const std::size_t n = totals.curves[0].size();
    const std::vector<double> axis = priceAxis(stock, at.base, inputs.steps, n);

    std::vector<PositionScenarios> scenarios;
    scenarios.reserve(stock.positions.size());
    for (const VO::OptionPosition& p : stock.positions) {
        const auto shift = volShifts.find(p.expiration);
        scenarios.push_back({nowTime(p), evalTime(p, inputs.refTime, inputs.evalTime),
                             shift == volShifts.end() ? 0.0 : shift->second});
    }
    auto pointAt = [&](double price) {
        PointRecord r{};
        const PointContext ctx{at.base, price, isIndex, isIndex ? 'e' : 'a', at.ratio};
        for (std::size_t k = 0; k < stock.positions.size(); ++k) {
            giveWayIfStopping();
            combinedProcess(stock.positions[k], scenarios[k].now, scenarios[k].eval, ctx, scenarios[k].shift, r);
        }
        return r;
    };

    StockCurve own{stock.symbol, {}};
    own.curves.emplace_back(n, 0.0);
    for (std::size_t i = 0; i < axis.size(); ++i) {
        const PointRecord r = pointAt(axis[i]);
        addToTotals(totals, i, r, axis[i], stock.currentPrice, stock.stockQty);
        addEvalValue(own.curves[0][i], r, axis[i], stock.currentPrice, stock.stockQty);
    }
    totals.perStock.push_back(std::move(own));

    if (inputs.skipStrikeTables != 0)
        return;
    StockStrikes strikes{stock.symbol, {}};
    for (const VO::OptionPosition& p : stock.positions)
        strikes.strikes.insert(p.strike);
    StockStrikeTable table{stock.symbol, {}};
    table.rows.reserve(strikes.strikes.size());
    // Each strike is one point of its own: its row is written straight from a one-point total.
    RISK_TOTALS atStrike;
    for (double strike : strikes.strikes) {
        atStrike.resize(1);
        addToTotals(atStrike, 0, pointAt(strike), strike, stock.currentPrice, stock.stockQty);
        StrikeRow& row = table.rows.emplace_back();
        for (std::size_t k = 0; k < RISK_CURVE_COUNT; ++k)
            row[k] = atStrike.curves[k][0];
    }
    totals.perStrike.push_back(std::move(table));
    totals.strikeSets.push_back(std::move(strikes));
}

void combinedProcess(const VO::OptionPosition& p, const ScenarioTime& now, const ScenarioTime& eval,
                     const PointContext& ctx, double shift, PointRecord& r) {
    LOG_SCOPE("combinedProcess");
    try {
        processRecord(p, now, ctx, r, 0.0, NOW_EX_SHARES, NOW_EX_AMOUNT, NOW_GREEKS, UP_GREEKS, DOWN_GREEKS, NOW_VALUE,
                      false);
        processRecord(p, eval, ctx, r, shift, EVAL_EX_SHARES, EVAL_EX_AMOUNT, EVAL_GREEKS, UP_GREEKS, DOWN_GREEKS,
                      EVAL_VALUE, true);
    } catch (const std::exception& e) {
        LOG_SEV(error) << Logging::EscapeClientText(e.what());
    }
}

void processRecord(const VO::OptionPosition& p, const ScenarioTime& time, const PointContext& ctx, PointRecord& r,
                   double shift, std::size_t exShares, std::size_t exAmount, std::size_t greeks, std::size_t upGreeks,
                   std::size_t downGreeks, std::size_t value, bool withShift) {
    if (ctx.price == 0.0)
        return;
    const double q = p.quantity;
    const double trade = p.tradePrice;
    const double sign = signOf(p);
    if (time.T <= 0.0) {
        // Expired: the premium is gone; in the money at the base price it became shares at its strike.
        r[value] -= q * trade * SHARES_PER_CONTRACT;
        if (expiresInTheMoney(p, ctx.basePrice)) {
            r[exShares] += sign * q * SHARES_PER_CONTRACT;
            r[exAmount] += sign * q * SHARES_PER_CONTRACT * p.strike;
            r[greeks + DELTA] += SHARES_PER_CONTRACT * q * sign;
        }
        return;
    }

    const double S = ctx.isIndex ? indexAdjustedPrice(p, ctx.price, ctx.basePrice / ctx.ratio, time.T) : ctx.price;
    const Pricing pricing{p, time, ctx, S};
    const double sigma = p.volatility / 100.0;
    double d = pricing.theo(sigma) - trade;
    if (std::fabs(d) <= NO_VALUE_CHANGE)
        d = 0.0;
    r[value] += q * d * SHARES_PER_CONTRACT;
    if (withShift) {
        if (shift == 0.0) {
            r[UP_VALUE] += q * d * SHARES_PER_CONTRACT;
            r[DOWN_VALUE] += q * d * SHARES_PER_CONTRACT;
        } else {
            const double up = p.volatility * (1.0 + shift) / 100.0;
            const double down = p.volatility * (1.0 - shift) / 100.0;
            r[UP_VALUE] += q * (pricing.theo(up) - trade) * SHARES_PER_CONTRACT;
            r[DOWN_VALUE] += q * (pricing.theo(down) - trade) * SHARES_PER_CONTRACT;
            pricing.addGreeks(up, r, upGreeks);
            pricing.addGreeks(down, r, downGreeks);
        }
    }
    pricing.addGreeks(sigma, r, greeks);
}

void addToTotals(RISK_TOTALS& t, std::size_t i, const PointRecord& r, double P, double currentPrice,
                 std::int32_t stockQty) {
    const double q = stockQty;
    const double stockValue = stockValueAt(P, currentPrice, stockQty);
    const double now = std::fabs(r[NOW_VALUE]) < NO_NOW_VALUE ? 0.0 : r[NOW_VALUE];
    addValue(t.curves[nowValue][i], r, P, NOW_EX_SHARES, NOW_EX_AMOUNT, now, stockValue);
    addValue(t.curves[evalValue][i], r, P, EVAL_EX_SHARES, EVAL_EX_AMOUNT, r[EVAL_VALUE], stockValue);
    addValue(t.curves[downValue][i], r, P, EVAL_EX_SHARES, EVAL_EX_AMOUNT, r[DOWN_VALUE], stockValue);
    addValue(t.curves[upValue][i], r, P, EVAL_EX_SHARES, EVAL_EX_AMOUNT, r[UP_VALUE], stockValue);

    addGreeksToTotals(t, i, r, NOW_GREEKS, nowDelta, nowVega, nowGamma, nowTheta, nowRho, q);
    addGreeksToTotals(t, i, r, UP_GREEKS, upDelta, upVega, upGamma, upTheta, upRho, q);
    addGreeksToTotals(t, i, r, DOWN_GREEKS, downDelta, downVega, downGamma, downTheta, downRho, q);
    addGreeksToTotals(t, i, r, EVAL_GREEKS, evalDelta, evalVega, evalGamma, evalTheta, evalRho, q);
}

void addEvalValue(double& value, const PointRecord& r, double P, double currentPrice, std::int32_t stockQty) {
    addValue(value, r, P, EVAL_EX_SHARES, EVAL_EX_AMOUNT, r[EVAL_VALUE], stockValueAt(P, currentPrice, stockQty));
}

}  // namespace models::RiskChart

#include "models/RiskChart/RiskChart2D.h"

#include <algorithm>
#include <exception>

#include <boost/thread/scoped_thread.hpp>
#include <boost/thread/thread.hpp>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calcdll_api/LibraryRequests.h"
#include "models/Calculations.h"
#include "models/RequestStop.h"
#include "models/RiskChart/ChartPass.h"
#include "models/RiskChart/FittedSkew.h"
#include "models/RiskChart/GreeksPass.h"
#include "models/RiskChart/RiskTotals.h"

namespace models::RiskChart {

namespace {

using namespace Packets::Outgoing;

// Volatility mode 1, before either pass starts, so that the greeks pass reads the fitted
// volatilities and nothing writes the positions while the passes run. False when it failed.
bool fitStocks(Packets::Incoming::RiskChart2DInputsPacket& inputs) {
    try {
        for (const auto& stock : inputs.stocks) {
            calcFittedSkewSpline(*stock);
            markStockToMid(*stock);
        }
        return true;
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception: " << Logging::EscapeClientText(e.what());
    } catch (...) {
        LOG_SEV(error) << "unknown exception";
    }
    return false;
}

void fillResult(RISK_TOTALS& totals, bool useVolShifts, RiskChart2DResult& result) {
    result.curves = std::move(totals.curves);
    if (!useVolShifts) {
        std::fill(result.curves[upValue].begin(), result.curves[upValue].end(), 0.0);
        std::fill(result.curves[downValue].begin(), result.curves[downValue].end(), 0.0);
    }
    result.stockCurves = std::move(totals.perStock);
    result.strikeLists = std::move(totals.strikeSets);
    result.strikeTables = std::move(totals.perStrike);
}

}  // namespace

void prepareStock(VO::RiskChart::PerStockInfo& stock) {
    std::sort(stock.positions.begin(), stock.positions.end(), lessByExpiryThenStrike);
    unifyTimesByExpiration(stock.positions, [](double a, double b) { return Packets::wireDoubleLess(b, a); });
    if (stock.keepTradePrices)
        return;
    ValuationNotes notes;
    CalculationsSingleton::get_mutable_instance().markPositionsToTheo(stock.positions, stock.symbol,
                                                                      stock.currentPrice, notes);
    notes.log(stock.symbol);
}

void markStockToMid(VO::RiskChart::PerStockInfo& stock) {
    for (VO::OptionPosition& p : stock.positions) {
        double mid = 0.0;
        queryOptionInputs(p.foreignId, &mid);
        p.tradePrice = static_cast<float>(mid);
    }
}

void calcRiskChart2D(Packets::Incoming::RiskChart2DInputsPacket& inputs, RiskChart2DResult& result) {
    RISK_TOTALS totals;
    totals.resize(std::size_t{inputs.steps} + 1);
    for (const auto& stock : inputs.stocks)
        prepareStock(*stock);
    // A failed fit ends the chart as a failure inside its pass would: its curves stay zero.
    const bool chartable = inputs.volMode != 1 || fitStocks(inputs);

    {
        // Should a thread fail to start, leaving the block joins the one already running before the
        // request's data can go.
        // Both passes give way to the stop the request's own thread would.
        const std::atomic<int>* const stopping = currentStopFlag();
        boost::scoped_thread<> chartThread;
        if (chartable)
            chartThread = boost::scoped_thread<>(boost::thread([&] {
                const StopScope scope(stopping);
                chart(inputs, inputs.volShifts, totals);
            }));
        boost::scoped_thread<> greeksThread(boost::thread([&] {
            const StopScope scope(stopping);
            greeks(inputs, result.greeks);
        }));
        greeksThread.join();
        GREEKS_BY_EXP total;
        sumGreeksByExpiration(result.greeks.begin(), result.greeks.end(), total);
        result.greeks[GREEKS_TOTAL_KEY] = total;
        if (chartThread.joinable())
            chartThread.join();
    }
    // A pass that gave way left its part unfinished.
    giveWayIfStopping();
    fillResult(totals, inputs.useVolShifts != 0, result);
}

}  // namespace models::RiskChart

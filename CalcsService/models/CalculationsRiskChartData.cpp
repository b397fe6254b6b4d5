// CALC_RISK_CHART_DATA: profit or loss of two position lists on a grid of prices and days, one list
// per thread.
#include <algorithm>
#include <exception>

#include <boost/thread/scoped_thread.hpp>
#include <boost/thread/thread.hpp>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "models/Calculations.h"
#include "models/RequestStop.h"

namespace {

constexpr int CENTRE_ROW = static_cast<int>(VO::CHART_ROWS / 2);

}  // namespace

models::ValuationNotes Calculations::calcPoints(Packets::Incoming::RiskChartDataPacket& packet, VO::ChartTable& table,
                                               bool second) {
    LOG_SCOPE("Calculations::calcPoints");
    const std::string symbol = packet.symbol;
    models::ValuationNotes notes;
    try {
        models::PositionList& positions = second ? packet.positions2 : packet.positions1;
        std::sort(positions.begin(), positions.end(), models::lessByExpiryThenStrike);
        models::unifyTimesByExpiration(positions);
        if (!packet.keepTradePrices)
            markPositionsToTheo(positions, symbol, packet.currentPrice, notes);

        const double current = packet.currentPrice;
        const double base = packet.basePrice == 0.0 ? current : packet.basePrice;
        const double stockQuantity = second ? packet.stockQuantity2 : packet.stockQuantity1;
        const double ratio = current == 0.0 ? 1.0 : base / current;
        const int dayStep = static_cast<int>(std::min(packet.dayStep, MAX_CHART_DAY_STEP));

        for (std::size_t i = 0; i < VO::CHART_ROWS; ++i) {
            const double move = (static_cast<int>(i) - CENTRE_ROW) * packet.priceStep;
            table[i][0] = (move + 1.0) * base;
            table[i][1] = move * 100.0;
        }
        // Column by column: the positions' times depend on the day only, not on the row's price.
        for (std::size_t k = 0; k < VO::CHART_DAY_COLUMNS; ++k) {
            const std::vector<double> times =
                positionTimes(positions, packet.evaluationTime, packet.referenceTime, dayStep * static_cast<int>(k));
            for (VO::ChartRow& row : table) {
                models::giveWayIfStopping();
                const double price = row[0];
                const double stockPL = (price - current) * stockQuantity;
                row[2 + k] = valuePositions(symbol, base, price, positions, times, 1.0, ratio, notes) + stockPL;
            }
        }
    } catch (const models::RequestStopped&) {
        // The request's thread finds the flag set too, and drops the reply.
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception: " << Logging::EscapeClientText(e.what());
    } catch (...) {
        LOG_SEV(error) << "unknown exception";
    }
    return notes;
}

void Calculations::calcRiskChartData(Packets::Incoming::RiskChartDataPacket& packet, VO::ChartDataPoints& reply) {
    models::ValuationNotes notes1, notes2;  // logged once for the request
    {
        // Should the second thread fail to start, leaving the block joins the first before the packet
        // and the reply can go.
        // Both give way to the stop the request's own thread would.
        const std::atomic<int>* const stopping = models::currentStopFlag();
        boost::scoped_thread<> first(boost::thread([&] {
            const models::StopScope scope(stopping);
            notes1 = calcPoints(packet, reply.table1, false);
        }));
        boost::scoped_thread<> second(boost::thread([&] {
            const models::StopScope scope(stopping);
            notes2 = calcPoints(packet, reply.table2, true);
        }));
        first.join();
        second.join();
    }
    models::giveWayIfStopping();
    reply.stockQuantity2 = packet.stockQuantity2;
    notes1.nonFiniteTheo = notes1.nonFiniteTheo || notes2.nonFiniteTheo;
    notes1.log(packet.symbol);
}

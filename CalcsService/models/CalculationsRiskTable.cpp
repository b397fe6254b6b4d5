// The risk table: at every slide price the portfolio's value and summed greeks at the position
// volatilities, and at volatilities lowered and raised by the request's shift.
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "models/Calculations.h"
#include "models/IndexSymbol.h"
#include "models/PositionGreeks.h"
#include "models/RequestStop.h"
#include "packets/RequestLimits.h"

namespace {

using models::SHARES_PER_CONTRACT;

// The slide rounded to cents, halves up (slides are positive prices).
double slideInCents(float slide) { return std::trunc((slide + 0.005) * 100) / 100; }

}  // namespace

void Calculations::calcRiskTable(Packets::Incoming::RiskTablePacket& request,
                                 Packets::Outgoing::RiskTableResult& result) {
    const std::vector<float>& slides = request.slidePrices;
    const std::size_t n = slides.size();
    if (n > MAX_RISK_TABLE_SLIDES)
        throw std::invalid_argument("risk table of " + std::to_string(n) + " slides refused, at most " +
                                    std::to_string(MAX_RISK_TABLE_SLIDES));
    // Each slide values every position at one volatility, or at three with a shift.
    const std::uint64_t valuations =
        std::uint64_t{n} * request.positions.size() * (request.volatilityShift == 0.0f ? 1 : 3);
    if (valuations > Packets::Incoming::MAX_POSITION_VALUATIONS)
        throw std::invalid_argument("risk table of " + std::to_string(n) + " slides and " +
                                    std::to_string(request.positions.size()) + " positions refused: " +
                                    std::to_string(valuations) + " position valuations, at most " +
                                    std::to_string(Packets::Incoming::MAX_POSITION_VALUATIONS));
    std::vector<VO::RiskTableCell>& A = result.atVolatility;
    std::vector<VO::RiskTableCell>& B = result.volatilityDown;
    std::vector<VO::RiskTableCell>& C = result.volatilityUp;
    A.assign(n, VO::RiskTableCell{});
    B.assign(n, VO::RiskTableCell{});
    C.assign(n, VO::RiskTableCell{});

    models::PositionList& positions = request.positions;
    const std::string& symbol = request.symbol;
    const double current = request.currentPrice;
    models::ValuationNotes notes;
    models::unifyTimesByExpiration(positions);
    if (!request.keepTradePrices)
        markPositionsToTheo(positions, symbol, current, notes);

    const double base = request.basePrice == 0.0f ? current : request.basePrice;
    const double ratio = current == 0.0 ? 1.0 : base / current;
    const double shift = request.volatilityShift;
    const double stockQuantity = request.stockQuantity;
    const bool index = models::isIndexSymbol(symbol);
    const std::size_t mid = n / 2;
    // The times do not depend on the slide: asked once per position for the whole table. A position
    // of quantity 0 gets none (0.0), which adds nothing as its time would not either.
    const std::vector<double> times = positionTimes(positions, request.evaluationTime, request.referenceTime, 0);
    // Every position's greeks are asked with its one dividend, whatever its amount and time.
    std::vector<double> dividendAmounts(1), dividendTimes(1);

    for (std::size_t i = 0; i < n; ++i) {
        models::giveWayIfStopping();
        const double sp = i == mid && request.basePrice == 0.0f ? slides[i] : slideInCents(slides[i]);
        const double stockPL = stockQuantity * (sp - current);
        A[i].delta = B[i].delta = C[i].delta = stockQuantity;
        A[i].value = valuePositions(symbol, base, sp, positions, times, 1.0, ratio, notes) + stockPL;
        if (shift == 0.0) {
            B[i].value = C[i].value = A[i].value;
        } else {
            B[i].value = valuePositions(symbol, base, sp, positions, times, 1.0 - shift, ratio, notes) + stockPL;
            C[i].value = valuePositions(symbol, base, sp, positions, times, 1.0 + shift, ratio, notes) + stockPL;
        }

        for (std::size_t k = 0; k < positions.size(); ++k) {
            models::giveWayIfStopping();
            const VO::OptionPosition& p = positions[k];
            const double T = times[k];
            if (T > 0.0) {
                dividendAmounts[0] = p.dividendAmount;
                dividendTimes[0] = p.dividendTime;
                const double S = index ? models::indexAdjustedPrice(p, sp, base / ratio, T) : sp;
                const double sigma = p.volatility / 100.0;
                models::addGreeks(A[i], positionGreeks(p, index, S, T, sigma, dividendAmounts, dividendTimes), p);
                if (shift != 0.0) {
                    models::addGreeks(B[i], positionGreeks(p, index, S, T, (1.0 - shift) * sigma, dividendAmounts,
                                                           dividendTimes), p);
                    models::addGreeks(C[i], positionGreeks(p, index, S, T, (1.0 + shift) * sigma, dividendAmounts,
                                                           dividendTimes), p);
                }
            } else if (T <= 0.0 && models::expiresInTheMoney(p, base)) {
                const double shares = p.quantity * SHARES_PER_CONTRACT * models::signOf(p);
                A[i].delta += shares;
                B[i].delta += shares;
                C[i].delta += shares;
            }
        }
        if (shift == 0.0)
            B[i] = C[i] = A[i];
    }
    result.middlePrice = n > 0 ? slides[mid] : request.currentPrice;
    notes.log(symbol);
}

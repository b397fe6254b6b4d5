// Greeks by expiration: the portfolio's greeks, time value and call and put quantities summed per
// expiration, in ascending expiration order.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "models/Calculations.h"
#include "models/IndexSymbol.h"
#include "models/PositionGreeks.h"
#include "models/RequestStop.h"

namespace {

using models::SHARES_PER_CONTRACT;

}  // namespace

void Calculations::calcGreeksByExpiration(Packets::Incoming::GreeksByExpirationPacket& request,
                                          Packets::Outgoing::GreeksByExpirationResult& result) {
    models::PositionList& positions = request.positions;
    models::unifyTimesByExpiration(positions);
    // NaN-safe: a NaN expiration sorts last and can split no group.
    std::sort(positions.begin(), positions.end(), models::lessByExpiry);

    const double current = request.currentPrice;
    const double base = request.basePrice == 0.0f ? current : request.basePrice;
    const bool index = models::isIndexSymbol(request.symbol);
    // A position of quantity 0 gets no time (0.0): it still opens its group but adds nothing.
    const std::vector<double> times = positionTimes(positions, request.evaluationTime, request.referenceTime, 0);

    Packets::Outgoing::GreeksByExpirationEntry acc;
    double prevExp = 0.0;
    // Groups whose expiration is not positive (or not a number) are summed but never sent.
    auto close = [&] {
        if (prevExp > 0.0) {
            acc.expiration = prevExp;
            acc.dollarDelta = acc.delta * base;
            result.entries.push_back(acc);
        }
    };
    std::vector<double> dividendAmounts, dividendTimes;
    for (std::size_t k = 0; k < positions.size(); ++k) {
        models::giveWayIfStopping();
        const VO::OptionPosition& p = positions[k];
        const double T = times[k];
        dividendAmounts.clear();
        dividendTimes.clear();
        if (p.dividendTime > 0.0) {
            dividendAmounts.push_back(p.dividendAmount);
            dividendTimes.push_back(p.dividendTime);
        }
        const double S = index ? models::indexAdjustedPrice(p, base, current, T) : base;
        const double X = p.strike, r = p.interestRate, b = p.costOfCarry, sigma = p.volatility / 100.0;
        // The time as it is, not limited at 0.
        double theo = m_dll.CalcTheoPrice(static_cast<int>(p.pricingModel), index ? 1 : 0,
                                          static_cast<std::int8_t>(p.deliveryMode), p.isPut ? 'p' : 'c', &S, &X, &T,
                                          &r, &b, &sigma, &dividendAmounts, &dividendTimes);
        if (!std::isfinite(theo))
            theo = 0.0;

        if (!(p.expiration == prevExp)) {
            close();
            acc = Packets::Outgoing::GreeksByExpirationEntry{};
            prevExp = p.expiration;
        }
        if (T > 0.0) {
            models::addGreeks(acc, positionGreeks(p, index, S, T, sigma, dividendAmounts, dividendTimes), p);
            (p.isPut ? acc.putQuantity : acc.callQuantity) += p.quantity;
            acc.timeValue += SHARES_PER_CONTRACT * p.quantity * models::timeValueOf(p, theo, S, base);
        } else if (T <= 0.0 && models::expiresInTheMoney(p, base)) {
            acc.delta += models::signOf(p) * p.quantity * SHARES_PER_CONTRACT;
        }
    }
    close();
}

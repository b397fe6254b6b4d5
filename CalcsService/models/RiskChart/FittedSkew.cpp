#include "models/RiskChart/FittedSkew.h"

#include <cmath>
#include <sstream>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/Log.h"

namespace models::RiskChart {

namespace {

constexpr int MAX_BS_BJ = 4;          // the put points are priced with the larger of BS and BJ
constexpr int IV_TREE_STEPS = 100;
constexpr double NO_IV_VOLATILITY = 0.02;  // where the solver finds nothing

}  // namespace

void calcFittedSkewSpline(VO::RiskChart::PerStockInfo& stock) {
    if (stock.positions.empty())
        return;
    LOG_SEV(info) << "calcFittedSkewSpline";
    RepresentativePositions representatives;
    for (const VO::OptionPosition& p : stock.positions)
        representatives.emplace(p.expiration, &p);
    for (const auto& [expiration, points] : stock.curves)
        fitSkewSpline(expiration, points, representatives, stock);
}

void fitSkewSpline(double expiration, const VO::RiskChart::ExpiryCurve& points,
                   const RepresentativePositions& representatives, VO::RiskChart::PerStockInfo& stock) {
    static const VO::OptionPosition noPosition{};
    const auto found = representatives.find(expiration);
    const VO::OptionPosition& rep = found == representatives.end() ? noPosition : *found->second;
    // The library takes the representative's one dividend, also when it is zero.
    const std::vector<double> amounts{static_cast<double>(rep.dividendAmount)};
    const std::vector<double> times{rep.dividendTime};

    SkewStrikes x{};
    SkewVolatilities y{};
    const double mid = points[2].strike;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const VO::RiskChart::ExpiryCurvePoint& point = points[i];
        const bool call = mid < point.strike;
        const double price = call ? (point.callPrice1 + point.callPrice2) / 2 : (point.putPrice1 + point.putPrice2) / 2;
        const int model = call ? static_cast<int>(rep.pricingModel) : MAX_BS_BJ;
        double volatility = 0.0;
        CBrkCalcDll::Instance().GlobalCalcIV(&volatility, call ? 'c' : 'p', &amounts, &times, stock.currentPrice,
                                             point.strike, rep.timeToExpiry, rep.interestRate, rep.costOfCarry,
                                             price, model, 0.0, IV_TREE_STEPS, 0);
        x[i] = point.strike;
        y[i] = volatility == 0.0 ? NO_IV_VOLATILITY : volatility;
    }

    std::ostringstream fit;
    fit << "\nT: " << expiration << ", strikes: ";
    for (std::size_t i = 0; i < x.size(); ++i)
        fit << "(" << x[i] << "," << y[i] << "),";
    LOG_SEV(info) << fit.str();

    CubicSpline spline;
    buildSpline(spline, x.data(), y.data(), x.size());
    std::ostringstream applied;
    applySkewSpline(stock.positions, expiration, x, y, spline, applied);
    LOG_SEV(info) << applied.str();
}

void applySkewSpline(std::vector<VO::OptionPosition>& positions, double expiration, const SkewStrikes& x,
                     const SkewVolatilities& y, const CubicSpline& spline, std::ostream& notes) {
    for (VO::OptionPosition& p : positions) {
        if (p.expiration != expiration)
            continue;
        const float old = p.volatility;
        const double K = p.strike;
        const double fitted = 100.0 * (K <= x.front() ? y.front() : K >= x.back() ? y.back() : evalSpline(spline, K));
        if (!std::isfinite(fitted)) {
            // Equal or descending skew strikes leave no usable spline.
            LOG_SEV(warning) << "fitted volatility at strike " << K << " is not finite, " << old << " kept";
            continue;
        }
        p.volatility = static_cast<float>(fitted);
        notes << "\n" << K << (p.isPut ? " p" : " c") << " => " << old << " -> " << fitted;
    }
}

}  // namespace models::RiskChart

#include "pricing/ImpliedVolatility.h"

#include <cmath>
#include <cstdio>

#include "pricing/BjerksundStensland.h"
#include "pricing/BlackScholes.h"
#include "pricing/CrrDividendTrees.h"
#include "pricing/CrrTrees.h"
#include "pricing/DividendSchedule.h"
#include "pricing/FiniteGuard.h"
#include "pricing/MaxBSBJ.h"
#include "pricing/PricingModel.h"
#include "pricing/RollGeskeWhaley.h"

namespace Pricing {

namespace {

constexpr double kPriceTolerance = 0.0001;
constexpr double kFirstSigma = 0.02;
constexpr double kIntervalWidth = 2.0;
constexpr int kBracketTries = 20;
constexpr int kMaxSearchEvaluations = 30;
// Beyond this many dividends the discrete-dividend tree is too slow and the yield tree stands in.
constexpr std::size_t kMaxTreeDividends = 2;

// Everything the model value depends on except the volatility.
struct ModelInputs {
    char type;
    const std::vector<double>& times;
    const std::vector<double>& amounts;
    int model;
    int steps;
    double S, X, T, r, b;
    std::size_t dividendCount;
    double laterDividendsValue;  // RGW: present value of the dividends after the first
};

double LaterDividendsValue(const std::vector<double>& times, const std::vector<double>& amounts, std::size_t count,
                           double r) {
    double sum = 0.0;
    for (std::size_t i = 1; i < count; ++i)
        sum += amounts[i] * std::exp(-r * times[i]);
    return sum;
}

double ModelValue(const ModelInputs& in, double sigma) {
    switch (in.model) {
    case CRR:
        if (in.dividendCount > kMaxTreeDividends)
            return CrrYieldTree(in.type, in.steps, in.S, in.X, in.T, in.r, in.b, sigma);
        return CrrDividendTree(in.amounts, in.times, in.type, in.steps, in.S, in.X, in.T, in.r, sigma);
    case BJ:
        return BjerksundStensland(in.type, in.S, in.X, in.T, in.r, in.b, sigma);
    case RGW:
        if (in.type != 'c')
            break;
        if (in.dividendCount == 0)
            return RollGeskeWhaleyCall(in.S, in.X, in.r, sigma, in.T, 0.0, 0.0);
        // RGW takes the first dividend; the later ones only lower the price it starts from.
        return RollGeskeWhaleyCall(in.S - in.laterDividendsValue, in.X, in.r, sigma, in.T, in.amounts[0],
                                   in.times[0]);
    case MaxBSBJ:
        return MaxBSBJPrice(in.type, in.times, in.amounts, in.S, in.X, in.T, in.r, in.b, sigma);
    default:
        break;
    }
    return BlackScholesCarry(in.S, in.X, in.T, in.r, in.b, sigma, in.type);
}

struct Bracket {
    double sigmaLower;
    double sigmaUpper;
    double optionValueLower;
    double optionValueUpper;
};

void PrintBracket(const char* outcome, char type, double price, const Bracket& bracket, double S, double X,
                  double T) {
    std::printf("CalcIV: %s type(%c) price(%0.4lf) optionValueLower(%0.4lf) optionValueUpper(%0.4lf) "
                "sigmaLower(%0.6lf) sigmaUpper(%0.6lf) S(%0.4lf) X(%0.4lf) T(%0.4lf) \n",
                outcome, type, price, bracket.optionValueLower, bracket.optionValueUpper, bracket.sigmaLower,
                bracket.sigmaUpper, S, X, T);
}

struct SearchResult {
    bool success;
    int evaluations;   // iterCount of the trace
    double sigma;
    double lastValue;  // the model value at the last estimate
};

// Brent-style search inside a bracket whose ends straddle the price.
SearchResult SearchBracket(const ModelInputs& inputs, double price, double guess, Bracket bracket) {
    double& lo = bracket.sigmaLower;
    double& hi = bracket.sigmaUpper;
    double& fLo = bracket.optionValueLower;
    double& fHi = bracket.optionValueUpper;

    double s = (guess > lo + 1e-6 && guess < hi - 1e-6) ? guess : lo + (hi - lo) * (price - fLo) / (fHi - fLo);
    double c = hi;
    double fc = fLo;
    double d = 0.0;
    bool bisected = true;
    double f = 0.0;
    for (int n = 0;;) {
        const bool bisect = !std::isfinite(s) || s < lo || s > (lo + 3.0 * hi) / 4.0 ||
                            (bisected && std::fabs(lo - c) / 2.0 <= std::fabs(s - lo)) ||
                            (!bisected && std::fabs(c - d) / 2.0 <= std::fabs(s - lo)) ||
                            (!bisected && std::fabs(c - d) < 0.0001);
        if (bisect)
            s = lo + (hi - lo) / 2.0;
        bisected = bisect;

        f = ModelValue(inputs, s);
        if (std::fabs(price - f) < kPriceTolerance || hi - lo < 0.0001)
            return {true, n + 1, s, f};

        d = c;
        c = lo;
        fc = fLo;
        if (price < f) {
            hi = s;
            fHi = f;
        } else {
            lo = s;
            fLo = f;
        }

        if (std::fabs(fHi - fc) < 1e-6 || std::fabs(fLo - fc) < 1e-6)
            s = lo + (hi - lo) * (price - fLo) / (fHi - fLo);
        else
            s = lo * (fHi - price) * (fc - price) / ((fLo - fHi) * (fLo - fc)) +
                hi * (fc - price) * (fLo - price) / ((fHi - fLo) * (fHi - fc)) +
                c * (fLo - price) * (fHi - price) / ((fc - fHi) * (fc - fLo));

        if (++n == kMaxSearchEvaluations)
            return {false, n + 1, s, f};
    }
}

}  // namespace

int CalcIV(double& volatility, char type, const std::vector<double>& times, int model, int steps, bool verbose,
           double S, double X, double T, double r, double b, double price, double guess,
           const std::vector<double>& amounts, SFirstBracket* firstBracket) {
    volatility = 0.0;
    if (!AllFinite(S, X, T, r, b, price) || S <= 0.0 || X <= 0.0)
        return eCalcIVBadInput;
    if (T < 1e-6)
        return eCalcIVSuccess;

    const std::size_t dividendCount = DividendCount(times, amounts);
    const ModelInputs inputs{type, times, amounts, model, steps, S, X, T, r, b, dividendCount,
                             model == RGW ? LaterDividendsValue(times, amounts, dividendCount, r) : 0.0};
    Bracket bracket{kFirstSigma, kFirstSigma + kIntervalWidth, 0.0, 0.0};
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) {
            bracket.sigmaLower = bracket.sigmaUpper;
            bracket.sigmaUpper += kIntervalWidth;
        }
        if (attempt == 0 && firstBracket && firstBracket->known) {
            bracket.optionValueLower = firstBracket->lowerValue;
            bracket.optionValueUpper = firstBracket->upperValue;
        } else {
            bracket.optionValueLower =
                attempt == 0 ? ModelValue(inputs, bracket.sigmaLower) : bracket.optionValueUpper;
            bracket.optionValueUpper = ModelValue(inputs, bracket.sigmaUpper);
            if (attempt == 0 && firstBracket)
                *firstBracket = {true, bracket.optionValueLower, bracket.optionValueUpper};
        }
        if (std::fabs(price - bracket.optionValueLower) < kPriceTolerance) {
            if (verbose)
                PrintBracket("(presolved to sigmaLower)", type, price, bracket, S, X, T);
            volatility = bracket.sigmaLower;
            return eCalcIVSuccess;
        }
        if (std::fabs(price - bracket.optionValueUpper) < kPriceTolerance) {
            if (verbose)
                PrintBracket("(presolved to sigmaUpper)", type, price, bracket, S, X, T);
            volatility = bracket.sigmaUpper;
            return eCalcIVSuccess;
        }
        if (attempt == 0 && price < bracket.optionValueLower) {
            if (model == BJ) {
                if (verbose)
                    PrintBracket("model BJ eCalcIVFailedToBracket", type, price, bracket, S, X, T);
                return eCalcIVFailedToBracket;
            }
            if (verbose)
                PrintBracket("eCalcIVBidUnderwater", type, price, bracket, S, X, T);
            return eCalcIVBidUnderwater;
        }
        if ((price - bracket.optionValueLower) * (price - bracket.optionValueUpper) < 0.0)
            break;
        if (attempt + 1 == kBracketTries) {
            if (verbose)
                PrintBracket("eCalcIVFailedToBracket", type, price, bracket, S, X, T);
            return eCalcIVFailedToBracket;
        }
    }

    const SearchResult result = SearchBracket(inputs, price, guess, bracket);
    if (verbose)
        std::printf("CalcIV: success(%s) type(%c) iterCount(%d) iv(%0.6lf) price(%0.4lf) optionValueGuess(%0.4lf) "
                    "S(%0.4lf) X(%0.4lf) T(%0.4lf) \n",
                    result.success ? "true" : "false", type, result.evaluations, result.success ? result.sigma : 0.0,
                    price, result.lastValue, S, X, T);
    if (!result.success)
        return eCalcIVFailedToConverge;
    volatility = result.sigma;
    return eCalcIVSuccess;
}

}  // namespace Pricing

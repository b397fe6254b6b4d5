#include "models/BinomialTrees.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "packets/RequestRefused.h"

namespace models {

namespace {

// Below this spread of u and d the probability formula loses its digits: use even odds.
constexpr double MIN_UP_DOWN_SPREAD = 0.0001;
// A dividend this close to expiry (in years) counts as paid at expiry.
constexpr double DIVIDEND_AT_EXPIRY = 0.000001;

double exerciseValue(bool put, double price, double K) {
    return put ? K - price : price - K;
}

double intrinsic(bool put, double price, double K) {
    return std::max(exerciseValue(put, price, K), 0.0);
}

// x^n (n ≥ 0) by repeated squaring.
double integerPower(double x, int n) {
    double result = 1.0;
    for (; n > 0; n >>= 1, x *= x)
        if (n & 1)
            result *= x;
    return result;
}

struct CrrStep {
    double Rinv, u, d, p, q;
    // The formula's p lies in [0, 1], and where even odds replace it the rate is 0: they ignore the rate.
    bool inRange;
};

bool inUnitInterval(double p) {
    return p >= 0.0 && p <= 1.0;
}

CrrStep crrStep(double r, double sigma, double T, int steps) {
    const double dt = T / steps;
    const double R = std::exp(r * dt);
    CrrStep s;
    s.Rinv = 1.0 / R;
    s.u = std::exp(sigma * std::sqrt(dt));
    s.d = 1.0 / s.u;
    s.p = (R - s.d) / (s.u - s.d);
    s.q = 1.0 - s.p;
    s.inRange = inUnitInterval(s.p);
    if (s.u - s.d < MIN_UP_DOWN_SPREAD) {
        s.p = s.q = 0.5;
        s.inRange = s.inRange && r == 0.0;
    }
    return s;
}

// `steps` when its probability lies in [0, 1], else the fewest more steps, up to `limit`, whose does; 0
// when none does. p leaves [0, 1] when sigma·√dt < |r|·dt: from T·r²/sigma² steps on it is back inside.
int stepsInRange(double r, double sigma, double T, int steps, int limit) {
    if (crrStep(r, sigma, T, steps).inRange)
        return steps;
    const double needed = std::ceil(T * r * r / (sigma * sigma));
    if (!(needed <= limit))
        return 0;
    // Rounding can leave the bound itself a hair outside; a step or two more always settles it.
    const int first = std::max(steps, static_cast<int>(needed));
    for (int n = first; n <= limit && n <= first + 2; ++n)
        if (crrStep(r, sigma, T, n).inRange)
            return n;
    return 0;
}

double normalCdf(double x) {
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// Black-Scholes; 0 where it has no volatility or time, or no positive price or strike.
double blackScholes(bool put, double S, double K, double r, double sigma, double T) {
    const double spread = sigma * std::sqrt(T);
    if (!(spread > 0.0) || !(S > 0.0) || !(K > 0.0))
        return 0.0;
    const double d1 = (std::log(S / K) + (r + sigma * sigma / 2) * T) / spread;
    const double d2 = d1 - spread;
    const double discountedK = K * std::exp(-r * T);
    return put ? discountedK * normalCdf(-d2) - S * normalCdf(-d1) : S * normalCdf(d1) - discountedK * normalCdf(d2);
}

// What a tree tends to when no step count within its limit keeps p in [0, 1]: the volatility is negligible
// against the rate. The larger of Black-Scholes on S less the dividends' present value and the discounted
// exercise value along the stock's expected path S·e^(rt), less each dividend (floored at 0): at expiry,
// and for an American option also now and just before and after each dividend (between dividends that
// value only rises or only falls). Without time left, the intrinsic value.
double driftDominatedValue(bool put, bool american, double S, double K, double r, double sigma, double T,
                           const std::vector<double>& times, const std::vector<double>& amounts) {
    if (!(T > 0.0))
        return intrinsic(put, S, K);
    double best = american ? intrinsic(put, S, K) : 0.0;
    double price = S;
    double time = 0.0;
    double dividendsValue = 0.0;
    const auto exercise = [&] { best = std::max(best, std::exp(-r * time) * intrinsic(put, price, K)); };
    for (std::size_t i = 0; i < std::min(times.size(), amounts.size()); ++i) {
        const double t = std::min(std::max(times[i], 0.0), T);
        price *= std::exp(r * (t - time));
        time = t;
        if (american)
            exercise();
        price = std::max(price - amounts[i], 0.0);
        dividendsValue += amounts[i] * std::exp(-r * t);
        if (american)
            exercise();
    }
    price *= std::exp(r * (T - time));
    time = T;
    exercise();
    return std::max(best, blackScholes(put, S - dividendsValue, K, r, sigma, T));
}

// The m + 1 node prices m steps from S, lowest first.
std::vector<double> levelPrices(double S, const CrrStep& s, int m) {
    std::vector<double> P(static_cast<std::size_t>(m) + 1);
    P[0] = S * integerPower(s.d, m);
    for (int i = 1; i <= m; ++i)
        P[i] = P[i - 1] * s.u * s.u;
    return P;
}

// Backward induction from level m to the root with early exercise; on a tie the continuation stays.
double rollBack(std::vector<double>& P, std::vector<double>& V, const CrrStep& s, int m, double K, bool put) {
    for (int j = m - 1; j >= 0; --j) {
        for (int i = 0; i <= j; ++i) {
            V[i] = (s.p * V[i + 1] + s.q * V[i]) * s.Rinv;
            P[i] = s.d * P[i + 1];
            V[i] = std::max(V[i], exerciseValue(put, P[i], K));
        }
    }
    return V[0];
}

double crrAmerican(bool put, double S, double K, double r, double sigma, double T, int steps) {
    if (steps <= 0)
        return intrinsic(put, S, K);
    CrrStep s = crrStep(r, sigma, T, steps);
    if (!s.inRange) {
        steps = stepsInRange(r, sigma, T, steps, MAX_TREE_STEPS);
        if (steps == 0)
            return driftDominatedValue(put, true, S, K, r, sigma, T, {}, {});
        s = crrStep(r, sigma, T, steps);
    }
    std::vector<double> P = levelPrices(S, s, steps);
    std::vector<double> V(P.size());
    for (std::size_t i = 0; i < P.size(); ++i)
        V[i] = intrinsic(put, P[i], K);
    return rollBack(P, V, s, steps, K, put);
}

double crrAmericanWithDividends(bool put, double S, double K, double r, double sigma, double T, int steps,
                                const std::vector<double>& times, const std::vector<double>& amounts) {
    const std::size_t count = std::min(times.size(), amounts.size());
    if (count == 0)
        return crrAmerican(put, S, K, r, sigma, T, steps);
    // No time left (or no steps): t0 / T would be 0 / 0.
    if (steps <= 0 || !(T > 0.0))
        return intrinsic(put, S, K);
    steps = stepsInRange(r, sigma, T, steps, MAX_DIVIDEND_TREE_STEPS);
    if (steps == 0)
        return driftDominatedValue(put, true, S, K, r, sigma, T, times, amounts);

    double t0 = times[0];
    if (t0 >= T - DIVIDEND_AT_EXPIRY)
        t0 = T;
    // Steps before the dividend, kept inside the tree for a dividend before now or a NaN time.
    const double before = t0 / T * steps;
    const int m = !(before > 0.0) ? 0 : before >= steps ? steps : static_cast<int>(before);

    const CrrStep s = crrStep(r, sigma, T, steps);
    const double D = amounts[0];
    const std::vector<double> laterTimes(times.begin() + 1, times.begin() + count);
    const std::vector<double> laterAmounts(amounts.begin() + 1, amounts.begin() + count);
    std::vector<double> shiftedTimes(laterTimes.size());
    std::transform(laterTimes.begin(), laterTimes.end(), shiftedTimes.begin(), [t0](double t) { return t - t0; });

    std::vector<double> P = levelPrices(S, s, m);
    std::vector<double> V(P.size());
    for (int i = 0; i <= m; ++i) {
        // The dividend cannot take the stock below 0.
        const double alive = crrAmericanWithDividends(put, std::max(P[i] - D, 0.0), K, r, sigma, T - t0, steps - m,
                                                      shiftedTimes, laterAmounts);
        V[i] = std::max(alive, exerciseValue(put, P[i], K));
    }
    return rollBack(P, V, s, m, K, put);
}

// A tree of n levels with parameters t, rolled back from its last level.
double levelsTree(double S, double K, double T, double r, int n, const TreeParameters& t, bool put, bool american) {
    const double disc = std::exp(-(T / (n - 1)) * r);
    const double q = 1.0 - t.p;

    // Node i of the last level: S·u^i·d^(n−1−i).
    std::vector<double> P(n), V(n);
    for (int i = 0; i < n; ++i) {
        P[i] = S * std::pow(t.u, i) * std::pow(t.d, n - 1 - i);
        V[i] = intrinsic(put, P[i], K);
    }
    for (int j = n - 2; j >= 0; --j) {
        if (american) {
            // Jarrow-Rudd has u·d ≠ 1: a node's price comes from the one above it, not from d.
            for (int i = 0; i <= j; ++i) {
                P[i] = P[i + 1] / t.u;
                V[i] = std::max((t.p * V[i + 1] + q * V[i]) * disc, intrinsic(put, P[i], K));
            }
        } else {
            // No exercise before expiry: the prices are not needed.
            for (int i = 0; i <= j; ++i)
                V[i] = std::max((t.p * V[i + 1] + q * V[i]) * disc, 0.0);
        }
    }
    return V[0];
}

[[noreturn]] void programmingError(const char* message) {
    std::fputs(message, stderr);
    std::exit(1);
}

}  // namespace

double crrAmericanCall(double S, double K, double r, double sigma, double T, int steps) {
    return crrAmerican(false, S, K, r, sigma, T, steps);
}

double crrAmericanPut(double S, double K, double r, double sigma, double T, int steps) {
    return crrAmerican(true, S, K, r, sigma, T, steps);
}

double crrAmericanCallWithDividends(double S, double K, double r, double sigma, double T, int steps,
                                    const std::vector<double>& times, const std::vector<double>& amounts) {
    return crrAmericanWithDividends(false, S, K, r, sigma, T, steps, times, amounts);
}

double crrAmericanPutWithDividends(double S, double K, double r, double sigma, double T, int steps,
                                   const std::vector<double>& times, const std::vector<double>& amounts) {
    return crrAmericanWithDividends(true, S, K, r, sigma, T, steps, times, amounts);
}

void refuseStepCount(long long steps, int limit) {
    if (steps < 1 || steps > limit)
        throw Packets::RequestRefused("tree steps " + std::to_string(steps) + " outside 1 to " +
                                      std::to_string(limit));
}

TreeParameters binomialTreeParameters(double T, double sigma, double r, short method, int n) {
    const double dt = T / (n - 1);
    if (method == COX_ROSS_RUBINSTEIN) {
        const double u = std::exp(sigma * std::sqrt(dt));
        const double d = 1.0 / u;
        return {u, d, (std::exp(dt * r) - d) / (u - d)};
    }
    if (method == JARROW_RUDD) {
        const double a = sigma * std::sqrt(dt);
        const double c = (r - 0.5 * sigma * sigma) * dt;
        return {std::exp(c + a), std::exp(c - a), 0.5};
    }
    programmingError("ERROR: invalid method specified\n");
}

double binomialPrice(double S, double K, double T, double sigma, double r, int n, short optionType, short method) {
    refuseStepCount(n, MAX_TREE_STEPS);
    const TreeParameters t = binomialTreeParameters(T, sigma, r, method, n);
    if (optionType < EUROPEAN_CALL || optionType > AMERICAN_PUT)
        programmingError("ERROR: invalid option type\n");
    const bool put = optionType == EUROPEAN_PUT || optionType == AMERICAN_PUT;
    const bool american = optionType == AMERICAN_CALL || optionType == AMERICAN_PUT;
    if (method != COX_ROSS_RUBINSTEIN || n == 1 || inUnitInterval(t.p))
        return levelsTree(S, K, T, r, n, t, put, american);
    // Cox-Ross-Rubinstein's p is that of crrStep over n − 1 steps: keep it in [0, 1] the same way.
    const int levels = stepsInRange(r, sigma, T, n - 1, MAX_TREE_STEPS - 1) + 1;
    if (levels > 1) {
        const TreeParameters wider = binomialTreeParameters(T, sigma, r, method, levels);
        if (inUnitInterval(wider.p))
            return levelsTree(S, K, T, r, levels, wider, put, american);
    }
    return driftDominatedValue(put, american, S, K, r, sigma, T, {}, {});
}

}  // namespace models

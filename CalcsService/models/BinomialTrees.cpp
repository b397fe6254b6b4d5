#include "models/BinomialTrees.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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
};

CrrStep crrStep(double r, double sigma, double T, int steps) {
    const double dt = T / steps;
    const double R = std::exp(r * dt);
    CrrStep s;
    s.Rinv = 1.0 / R;
    s.u = std::exp(sigma * std::sqrt(dt));
    s.d = 1.0 / s.u;
    s.p = (R - s.d) / (s.u - s.d);
    s.q = 1.0 - s.p;
    if (s.u - s.d < MIN_UP_DOWN_SPREAD)
        s.p = s.q = 0.5;
    return s;
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
    const CrrStep s = crrStep(r, sigma, T, steps);
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
        const double alive = crrAmericanWithDividends(put, P[i] - D, K, r, sigma, T - t0, steps - m, shiftedTimes,
                                                      laterAmounts);
        V[i] = std::max(alive, exerciseValue(put, P[i], K));
    }
    return rollBack(P, V, s, m, K, put);
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
        throw INVALID_STEP_COUNT;
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
    const double disc = std::exp(-(T / (n - 1)) * r);
    const TreeParameters t = binomialTreeParameters(T, sigma, r, method, n);
    const double q = 1.0 - t.p;
    if (optionType < EUROPEAN_CALL || optionType > AMERICAN_PUT)
        programmingError("ERROR: invalid option type\n");
    const bool put = optionType == EUROPEAN_PUT || optionType == AMERICAN_PUT;
    const bool american = optionType == AMERICAN_CALL || optionType == AMERICAN_PUT;

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

}  // namespace models

#include "pricing/CrrDividendTrees.h"

#include <algorithm>
#include <cmath>

#include "pricing/CrrDriftDominated.h"
#include "pricing/CrrLattice.h"
#include "pricing/CrrTrees.h"
#include "pricing/DividendSchedule.h"
#include "pricing/FiniteGuard.h"

namespace Pricing {

namespace {

constexpr double kExpiryTolerance = 1e-6;
// What starting a tree costs besides its nodes (its vectors and lattice), in node updates.
constexpr double kTreeOverhead = 50.0;

// What stays the same in a tree and in every sub-tree it starts.
struct DividendTreeTerms {
    bool isCall;
    double X;
    double r;
    double sigma;
};

// Where the next dividend falls: its time from the tree's start (clamped to T at or near expiry) and
// its step k = trunc(steps * t0 / T).
struct ExDividendStep {
    double t0;
    int k;
};

ExDividendStep NextExDividendStep(int steps, double T, double dividendTime, double elapsed) {
    double t0 = std::max(dividendTime - elapsed, 0.0);
    if (t0 >= T - kExpiryTolerance)
        t0 = T;
    return {t0, static_cast<int>(steps * t0 / T)};
}

// Value of a tree of `steps` steps from S over T whose dividends are [next, end), their times counted
// from `elapsed` years before this tree starts. A dividend on the tree's first step (k = 0) only
// compares exercising now with the tree after it, so such dividends are walked in a loop, not by
// recursion: the depth of the recursion stays below the number of steps.
double DividendTreeValue(const DividendTreeTerms& terms, int steps, double S, double T, const CashDividend* next,
                         const CashDividend* end, double elapsed) {
    double exercisedNow = 0.0;
    for (;;) {
        if (steps <= 0 || T <= 0.0)
            return std::max(exercisedNow, ExerciseValue(terms.isCall, S, terms.X));
        if (next == end) {
            const double tree =
                AmericanTree(terms.isCall, steps, S, terms.X, PlainLattice(terms.r, terms.sigma, T / steps));
            return std::max(exercisedNow, tree);
        }
        const ExDividendStep exDividend = NextExDividendStep(steps, T, next->time, elapsed);
        if (exDividend.k > 0) {
            const CrrLattice lattice = PlainLattice(terms.r, terms.sigma, T / steps);
            const std::vector<double> prices = NodePrices(S, lattice.logStep, exDividend.k);
            std::vector<double> values(exDividend.k + 1);
            for (int j = 0; j <= exDividend.k; ++j) {
                const double price = prices[2 * j];
                const double afterDividend =
                    DividendTreeValue(terms, steps - exDividend.k, std::max(price - next->amount, 0.0),
                                      T - exDividend.t0, next + 1, end, elapsed + exDividend.t0);
                values[j] = std::max(afterDividend, ExerciseValue(terms.isCall, price, terms.X));
            }
            return std::max(exercisedNow, RollBack(terms.isCall, terms.X, lattice, prices, values, exDividend.k));
        }
        exercisedNow = std::max(exercisedNow, ExerciseValue(terms.isCall, S, terms.X));
        S = std::max(S - next->amount, 0.0);
        T -= exDividend.t0;
        elapsed += exDividend.t0;
        ++next;
    }
}

// Whether the tree stays within kMaxDividendTreeWork node updates. It walks the dividends the way
// DividendTreeValue does: the sub-trees started at one ex-dividend step all have the same shape.
bool DividendTreeFits(int steps, double T, const std::vector<CashDividend>& schedule) {
    double trees = 1.0;
    double work = 0.0;
    double elapsed = 0.0;
    for (const CashDividend& dividend : schedule) {
        work += trees * kTreeOverhead;
        if (steps <= 0 || T <= 0.0)
            return work <= kMaxDividendTreeWork;
        const ExDividendStep exDividend = NextExDividendStep(steps, T, dividend.time, elapsed);
        const double k = exDividend.k;
        work += trees * ((k + 1.0) * (k + 2.0) / 2.0 + 2.0 * k + 1.0);
        trees *= k + 1.0;
        if (work > kMaxDividendTreeWork)
            return false;
        steps -= exDividend.k;
        T -= exDividend.t0;
        elapsed += exDividend.t0;
    }
    const double n = std::max(steps, 0);
    work += trees * (kTreeOverhead + (n + 1.0) * (n + 2.0) / 2.0 + 2.0 * n + 1.0);
    return work <= kMaxDividendTreeWork;
}

int BoundedSteps(int steps, double T, const std::vector<CashDividend>& schedule) {
    steps = std::min(steps, kMaxTreeSteps);
    while (steps > 1 && !DividendTreeFits(steps, T, schedule))
        steps -= std::max(1, steps / 8);
    return steps;
}

double DividendTree(bool isCall, double S, double X, double r, double sigma, double T, int steps,
                    const std::vector<double>& times, const std::vector<double>& amounts) {
    if (!AllFinite(S, X, r, sigma, T))
        return 0.0;
    S = std::max(S, 0.0);
    if (steps <= 0 || T <= 0.0)
        return ExerciseValue(isCall, S, X);
    std::vector<CashDividend> schedule;
    if (!SortedDividends(times, amounts, schedule))
        return 0.0;
    // Below 1 % volatility a dividend tree is worth what it tends to without volatility, where the rate
    // still counts: a call is worth S less the dividends and the discounted strike, above its intrinsic value.
    if (std::fabs(sigma) < 0.01 && !schedule.empty())
        return FiniteOrZero(DriftDominatedValue(isCall, S, X, T, r, 0.0, sigma, schedule));
    // The fewest steps that keep the probability in [0, 1] may cost more than the work bound allows.
    steps = StepsWithProbabilityInRange(r, 0.0, sigma, T, std::min(steps, kMaxTreeSteps), kMaxTreeSteps);
    if (steps > 0)
        steps = BoundedSteps(steps, T, schedule);
    if (steps == 0 || !PlainLattice(r, sigma, T / steps).probabilityInRange)
        return FiniteOrZero(DriftDominatedValue(isCall, S, X, T, r, 0.0, sigma, schedule));
    const DividendTreeTerms terms{isCall, X, r, sigma};
    const CashDividend* first = schedule.data();
    return FiniteOrZero(DividendTreeValue(terms, steps, S, T, first, first + schedule.size(), 0.0));
}

}  // namespace

double CrrDividendCallTree(double S, double X, double r, double sigma, double T, int steps,
                           const std::vector<double>& times, const std::vector<double>& amounts) {
    return DividendTree(true, S, X, r, sigma, T, steps, times, amounts);
}

double CrrDividendPutTree(double S, double X, double r, double sigma, double T, int steps,
                          const std::vector<double>& times, const std::vector<double>& amounts) {
    return DividendTree(false, S, X, r, sigma, T, steps, times, amounts);
}

double CrrDividendTree(const std::vector<double>& amounts, const std::vector<double>& times, char type, int steps,
                       double S, double X, double T, double r, double sigma) {
    if (S <= 0.0 || X <= 0.0)
        return 0.0;
    if (type == 'c')
        return CrrDividendCallTree(S, X, r, sigma, T, steps, times, amounts);
    if (type == 'p')
        return CrrDividendPutTree(S, X, r, sigma, T, steps, times, amounts);
    return 0.0;
}

int BoundedDividendTreeSteps(int steps, double T, const std::vector<double>& times,
                             const std::vector<double>& amounts) {
    std::vector<CashDividend> schedule;
    if (steps <= 0 || !(T > 0.0) || !SortedDividends(times, amounts, schedule))
        return std::min(steps, kMaxTreeSteps);
    return BoundedSteps(steps, T, schedule);
}

}  // namespace Pricing

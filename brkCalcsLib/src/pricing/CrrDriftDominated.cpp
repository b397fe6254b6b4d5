#include "pricing/CrrDriftDominated.h"

#include <algorithm>
#include <cmath>

#include "pricing/BlackScholes.h"
#include "pricing/CrrLattice.h"

namespace Pricing {

namespace {

// The best discounted exercise value met so far along the expected path of the stock.
class ExpectedPath {
public:
    ExpectedPath(bool isCall, double S, double X, double r, double q)
        : isCall_(isCall), X_(X), r_(r), q_(q), price_(S), best_(ExerciseValue(isCall, S, X)) {}

    // Grows the price to time `end`. Between dividends S(t) e^(-rt) - X e^(-rt) has one turning point
    // at most, where q S(t) = r X; it is a candidate when it falls inside.
    void GrowTo(double end) {
        const double carry = r_ - q_;
        if (q_ != 0.0 && carry != 0.0) {
            const double turn = time_ + std::log(r_ * X_ / (q_ * price_)) / carry;
            if (turn > time_ && turn < end)
                ExerciseAt(turn, price_ * std::exp(carry * (turn - time_)));
        }
        price_ *= std::exp(carry * (end - time_));
        time_ = end;
        ExerciseAt(end, price_);
    }

    void PayDividend(double amount) {
        price_ = std::max(price_ - amount, 0.0);
        ExerciseAt(time_, price_);
    }

    double Best() const { return best_; }

private:
    void ExerciseAt(double t, double price) {
        best_ = std::max(best_, std::exp(-r_ * t) * ExerciseValue(isCall_, price, X_));
    }

    bool isCall_;
    double X_, r_, q_;
    double time_ = 0.0;
    double price_;
    double best_;
};

}  // namespace

double DriftDominatedValue(bool isCall, double S, double X, double T, double r, double q, double sigma,
                           const std::vector<CashDividend>& dividends) {
    ExpectedPath path(isCall, S, X, r, q);
    double dividendsValue = 0.0;
    for (const CashDividend& dividend : dividends) {
        const double time = std::min(dividend.time, T);
        path.GrowTo(time);
        path.PayDividend(dividend.amount);
        dividendsValue += dividend.amount * std::exp(-r * time);
    }
    path.GrowTo(T);
    const double european = BlackScholesCarry(S - dividendsValue, X, T, r, r - q, sigma, isCall ? 'c' : 'p');
    return std::max(path.Best(), european);
}

}  // namespace Pricing

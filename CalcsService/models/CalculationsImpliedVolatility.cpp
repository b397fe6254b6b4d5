// The implied volatility of the option calculator's request: the mean of the call's and the put's.
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "models/Calculations.h"

namespace {

constexpr double kNoTimeLeft = -100.0;
constexpr int kSolved = 0;  // the library's success status

// Halves round up; prices reach it only as non-negative numbers.
double roundHalfUp(double x) {
    const double whole = std::floor(x);
    if (x < 0)
        return std::ceil(x);
    return x - whole < 0.5 ? whole : std::ceil(x);
}

// Half of the client's price, in whole cents.
double halfInCents(double price) { return roundHalfUp(price * 0.5 * 100) / 100; }

}  // namespace

void Calculations::calcImpliedVolatility(const Packets::Incoming::OptionCalculatorPacket& request, double& out) {
    std::vector<double> amounts;
    std::vector<double> times;
    double sum = 0;
    const double adjusted = buildDividendSchedule(request, amounts, times, sum);
    const double T = static_cast<std::int32_t>(request.daysToExpiration) / 365.0;
    if (T <= 0) {
        out = kNoTimeLeft;
        return;
    }

    double total = 0;
    int solved = 0;
    for (const auto& [type, price] : {std::pair{'c', request.callPrice}, std::pair{'p', request.putPrice}}) {
        double iv = 0;
        if (m_dll.GlobalCalcIV(&iv, type, &amounts, &times, adjusted, request.strike, T, request.interestRate,
                             request.costOfCarry, halfInCents(price), 0, -1.0, 100, 0) == kSolved) {
            total += iv;
            ++solved;
        }
    }
    // A failed side is left out rather than counted as 0, which would halve the answer.
    out = solved > 0 ? total / solved * 100 : 0.0;
}

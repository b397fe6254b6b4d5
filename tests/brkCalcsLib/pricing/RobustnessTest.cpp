// No pricer throws, crashes or returns a NaN or an infinity, whatever it is given.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "pricing/BjerksundStensland.h"
#include "pricing/BlackScholes.h"
#include "pricing/CrrDividendTrees.h"
#include "pricing/CrrTrees.h"
#include "pricing/ForwardEuropean.h"
#include "pricing/Greeks.h"
#include "pricing/ImpliedVolatility.h"
#include "pricing/MaxBSBJ.h"
#include "pricing/PricingModel.h"
#include "pricing/RollGeskeWhaley.h"
#include "pricing/TheoPrice.h"

using namespace Pricing;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kPrices[] = {-1, 0, 1e-9, 50, 1e9, kNaN, kInf};
const double kTimes[] = {-1, 0, 1e-9, 0.5, 50, kNaN};
const double kRates[] = {-0.5, 0, 0.05, 5};
const double kVolatilities[] = {-0.3, 0, 1e-9, 0.3, 40, kNaN};

template <class Check>
void ForEachInput(Check check) {
    for (double S : kPrices)
        for (double X : {1e-9, 40.0, 1e9, kNaN})
            for (double T : kTimes)
                for (double r : kRates)
                    for (double sigma : kVolatilities)
                        check(S, X, T, r, r - 0.03, sigma);
}

}  // namespace

TEST(Robustness, ClosedFormsStayFinite) {
    const std::vector<double> times{0.25}, amounts{2.0};
    ForEachInput([&](double S, double X, double T, double r, double b, double sigma) {
        for (char type : {'c', 'p'}) {
            const double values[] = {
                BlackScholesCarry(S, X, T, r, b, sigma, type),
                BjerksundStensland(type, S, X, T, r, b, sigma),
                ForwardEuropean(amounts, times, type, S, T, X, r, sigma),
                MaxBSBJPrice(type, times, amounts, S, X, T, r, b, sigma),
                RollGeskeWhaleyCall(S, X, r, sigma, T, 2.0, 0.25),
                RollGeskeWhaleyCall(S, X, r, sigma, T, 1e6, 0.25),
                CalcTheoPrice(b, r, T, X, false, 0, RGW, type, S, sigma, amounts, times),
            };
            for (double value : values)
                ASSERT_TRUE(std::isfinite(value)) << type << " S " << S << " X " << X << " T " << T << " r " << r
                                                  << " sigma " << sigma;
            double greeks[5];
            CalcGreeks(false, 0, type, S, r, b, T, sigma, X, MaxBSBJ, amounts, times, greeks[0], greeks[1], greeks[2],
                       greeks[3], greeks[4]);
            for (double greek : greeks)
                ASSERT_TRUE(std::isfinite(greek)) << type << " S " << S << " X " << X << " T " << T;
        }
    });
}

TEST(Robustness, TreesStayFinite) {
    const std::vector<double> times{0.25, -1.0, 80.0}, amounts{2.0, 1e9, 1.0};
    ForEachInput([&](double S, double X, double T, double r, double b, double sigma) {
        const double values[] = {
            CrrCallTree(20, r, S, X, sigma, T),
            CrrPutTree(20, r, S, X, sigma, T),
            CrrYieldTree('c', 20, S, X, T, r, b, sigma),
            CrrYieldTree('p', 20, S, X, T, r, b, sigma),
            CrrDividendCallTree(S, X, r, sigma, T, 20, times, amounts),
            CrrDividendPutTree(S, X, r, sigma, T, 20, times, amounts),
        };
        for (double value : values) {
            ASSERT_TRUE(std::isfinite(value)) << "S " << S << " X " << X << " T " << T << " sigma " << sigma;
            ASSERT_GE(value, 0.0);
        }
    });
}

TEST(Robustness, SolverAlwaysAnswers) {
    for (int model : {BS, BJ, RGW, MaxBSBJ})
        for (double S : {1e-9, 50.0, 1e9})
            for (double T : {1e-5, 0.5, 50.0})
                for (double r : {-0.5, 0.05, 5.0})
                    for (double price : {0.0, 1e-3, 5.0, 1e12}) {
                        double volatility = kNaN;
                        const int code =
                            CalcIV(volatility, 'c', {0.25}, model, 20, false, S, 40, T, r, r, price, -1, {2.0});
                        ASSERT_GE(code, eCalcIVSuccess);
                        ASSERT_LE(code, eCalcIVFailedToConverge);
                        ASSERT_TRUE(std::isfinite(volatility));
                    }
}

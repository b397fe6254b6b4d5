// The option calculator: call and put of one option described completely by the request, priced
// with the service's own trees, greeks from the library.
#include <cstdint>
#include <vector>

#include "models/BinomialTrees.h"
#include "models/Calculations.h"

void Calculations::calcOptionCalculator(const Packets::Incoming::OptionCalculatorPacket& request,
                                        Packets::Outgoing::OptionCalculatorResult& result) {
    std::vector<double> amounts;
    std::vector<double> times;
    double sum = 0;
    const double adjusted = buildDividendSchedule(request, amounts, times, sum);
    // The client sends the day count unsigned but means it signed.
    const double T = static_cast<std::int32_t>(request.daysToExpiration) / 365.0;
    const double sigma = request.volatility / 100;
    const double K = request.strike;
    const double r = request.interestRate;
    const double b = request.costOfCarry;
    // The dividend trees grow a sub-tree per dividend: more than one dividend is priced European.
    const bool american = request.exerciseStyle == 0 && times.size() <= 1;

    double call = 0;
    double put = 0;
    if (american) {
        // The dividend tree takes its one dividend itself, so it starts from the unadjusted price;
        // without dividends the schedule is empty and the plain trees run.
        const double S = request.underlyingPrice;
        call = calcOptionPrice(0, models::AMERICAN_CALL, S, K, r, sigma, T, request.treeSteps, amounts, times,
                               models::COX_ROSS_RUBINSTEIN);
        put = calcOptionPrice(0, models::AMERICAN_PUT, S, K, r, sigma, T, request.treeSteps, amounts, times,
                              models::COX_ROSS_RUBINSTEIN);
    } else {
        // Through the dispatcher, which refuses a step count with the value the client sent.
        call = calcOptionPrice(1, models::EUROPEAN_CALL, adjusted, K, r, sigma, T, request.treeSteps, {}, {},
                               models::COX_ROSS_RUBINSTEIN);
        put = calcOptionPrice(1, models::EUROPEAN_PUT, adjusted, K, r, sigma, T, request.treeSteps, {}, {},
                              models::COX_ROSS_RUBINSTEIN);
    }

    // Gamma and vega are the same for both sides: one place each, the put's call writes last.
    const int style = american ? 'a' : 'e';
    double vega = 0, gamma = 0;
    double callTheta = 0, callRho = 0, callDelta = 0;
    double putTheta = 0, putRho = 0, putDelta = 0;
    m_dll.CalcGreeks(style, 0, 'c', &adjusted, &r, &b, &T, &sigma, &K, 0, &amounts, &times, &vega, &callTheta,
                   &callRho, &callDelta, &gamma);
    m_dll.CalcGreeks(style, 0, 'p', &adjusted, &r, &b, &T, &sigma, &K, 0, &amounts, &times, &vega, &putTheta, &putRho,
                   &putDelta, &gamma);

    result.rows.push_back({"Theoretical Value", call, put});
    result.rows.push_back({"Delta", callDelta, putDelta});
    result.rows.push_back({"Gamma", gamma, gamma});
    result.rows.push_back({"Theta", callTheta, putTheta});
    result.rows.push_back({"Vega", vega, vega});
    result.rows.push_back({"Rho", callRho, putRho});
}

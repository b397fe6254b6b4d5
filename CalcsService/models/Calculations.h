// The service's one model object: the per-underlying settings the client sends, and the portfolio
// computations the request handlers run on parsed requests. The members are spread over files by
// purpose: CalculationsValuation.cpp (positions), CalculationsRiskChartData.cpp, CalculationsTrees.cpp.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <boost/serialization/singleton.hpp>

#include "CalcDll/BrkCalcDll.h"
#include "models/PositionOrder.h"
#include "models/StockSettingsData.h"
#include "models/ValuationNotes.h"
#include "packets/ChartDataPoints.h"
#include "packets/RiskChartDataPacket.h"
// For the option calculator, implied volatility, risk table and greeks by expiration:
#include "models/PositionGreeks.h"
#include "packets/GreeksByExpirationPacket.h"
#include "packets/GreeksByExpirationResult.h"
#include "packets/OptionCalculatorPacket.h"
#include "packets/OptionCalculatorResult.h"
#include "packets/RiskTablePacket.h"
#include "packets/RiskTableResult.h"

class Calculations {
public:
    // Days between chart columns at most: seven steps stay well inside the years the library's time
    // exports convert, whatever the client sends.
    static constexpr std::uint32_t MAX_CHART_DAY_STEP = 3650;

    // Prices, greeks and times come from `dll`; the process's instance uses the process's binding.
    explicit Calculations(CBrkCalcDll& dll = CBrkCalcDll::Instance());
    Calculations(const Calculations&) = delete;
    Calculations& operator=(const Calculations&) = delete;

    // The client's settings per underlying, within their caps.
    models::StockSettingsMap& settings() { return m_settings; }
    // The settings of one underlying when it has an entry; null otherwise. Entries are never removed,
    // so the pointer stays valid; the record's own lock guards its contents.
    models::StockSettingsData* findSettings(const std::string& symbol) { return m_settings.find(symbol); }

    // Replaces each position's trade price by its theoretical price at S (an index position at its
    // own forward).
    void markPositionsToTheo(models::PositionList& positions, const std::string& symbol, double S,
                             models::ValuationNotes& notes);

    // Profit or loss of the positions at price S, `days` after baseMs (ms since 1970), volatilities
    // times volMult. X is the base price and ratio = base / current price (1.0 without a current price).
    double calcPositionsValue(const std::string& symbol, double X, double S, double baseMs, double refMs,
                              const models::PositionList& positions, int days, double volMult, double ratio,
                              models::ValuationNotes& notes);

    // calcPositionsValue in two halves, so that a grid asks the library for times once per column:
    // each position's time to expiry `days` after baseMs (its stored time when that is refMs exactly),
    // then the value at S with those times (one per position, else std::invalid_argument).
    std::vector<double> positionTimes(const models::PositionList& positions, double baseMs, double refMs, int days);
    double valuePositions(const std::string& symbol, double X, double S, const models::PositionList& positions,
                          const std::vector<double>& times, double volMult, double ratio, models::ValuationNotes& notes);

    // The library's price with a negative time taken as 0.
    double calcTheoPriceAtTime(int model, int european, int deliveryMode, int type, const double* S, const double* X,
                               const double* T, const double* r, const double* b, const double* sigma,
                               const std::vector<double>* amounts, const std::vector<double>* times);

    // One CALC_RISK_CHART_DATA table from the first or the second position list, and what its valuation
    // met. Never throws: what stops it is logged and the table stays as far as it got.
    models::ValuationNotes calcPoints(Packets::Incoming::RiskChartDataPacket& packet, VO::ChartTable& table,
                                      bool second);
    // Both tables, computed at the same time; sorts and marks the packet's lists.
    void calcRiskChartData(Packets::Incoming::RiskChartDataPacket& packet, VO::ChartDataPoints& reply);

    // The option calculator's trees. methodType 0: the Cox-Ross-Rubinstein American trees (optionType 2
    // or 3), with dividends when there are amounts; 1: binomialPrice with `method`. Throws
    // std::invalid_argument for another pair, Packets::RequestRefused for a step count outside the
    // trees' limits.
    static double calcOptionPrice(short methodType, short optionType, double S, double K, double r, double sigma,
                                  double T, std::uint32_t steps, const std::vector<double>& amounts,
                                  const std::vector<double>& times, short method);

    // Option calculator and implied volatility (CalculationsOptionCalculator.cpp,
    // CalculationsImpliedVolatility.cpp, their dividends in CalculationsDividendSchedule.cpp); risk table
    // and greeks by expiration (CalculationsRiskTable.cpp, CalculationsGreeksByExpiration.cpp).
    static constexpr std::size_t MAX_RISK_TABLE_SLIDES = 10000;  // a longer table is refused
    // Appends the request's dividends (cash per share, years from the valuation date) and their sum;
    // returns the underlying price less that sum. Throws std::invalid_argument for a refused schedule.
    static double buildDividendSchedule(const Packets::Incoming::OptionCalculatorPacket& request,
                                        std::vector<double>& amounts, std::vector<double>& times, double& sum);
    void calcOptionCalculator(const Packets::Incoming::OptionCalculatorPacket& request,
                              Packets::Outgoing::OptionCalculatorResult& result);
    // Volatility in percent; -100 when no time is left.
    void calcImpliedVolatility(const Packets::Incoming::OptionCalculatorPacket& request, double& out);
    // Both change the request's positions (unified times; marked trade prices, or sorted).
    void calcRiskTable(Packets::Incoming::RiskTablePacket& request, Packets::Outgoing::RiskTableResult& result);
    void calcGreeksByExpiration(Packets::Incoming::GreeksByExpirationPacket& request,
                                Packets::Outgoing::GreeksByExpirationResult& result);
    models::PositionGreeks positionGreeks(const VO::OptionPosition& p, bool index, double S, double T, double sigma,
                                          const std::vector<double>& amounts, const std::vector<double>& times);

private:
    CBrkCalcDll& m_dll;
    models::StockSettingsMap m_settings;
};

// The process's instance: boost::serialization::singleton<Calculations>::get_mutable_instance().
using CalculationsSingleton = boost::serialization::singleton<Calculations>;

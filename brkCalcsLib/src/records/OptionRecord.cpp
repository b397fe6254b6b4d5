#include "records/OptionRecord.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calendar/ExpirationTime.h"
#include "calendar/TapeClock.h"
#include "pricing/Greeks.h"
#include "pricing/ImpliedVolatility.h"
#include "pricing/NormalDistribution.h"
#include "pricing/PricingModel.h"
#include "pricing/TheoPrice.h"
#include "rates/RateStore.h"
#include "records/OptionGroup.h"
#include "records/RecordRegistry.h"
#include "records/ResultPublisher.h"
#include "records/UnderlyingRecord.h"

using Pricing::EPS;

namespace {

constexpr int kTreeSteps = 100;
constexpr double kNoVolatility = 0.0001;
constexpr double kMontageFallbackIV = 0.002;
constexpr double kMinimumAsk = 0.009;

// Seconds of the clock time of a record.
double SecondsOfDay(const DllDateTime& t) { return t.hour * 3600.0 + t.minute * 60.0 + t.second; }

}  // namespace

CBaseOptionRecord::CBaseOptionRecord(const std::string& root, char type, const DllDate& expiry, double strike,
                                     int deliveryMode, const std::string& underlyingSymbol)
    : m_root(root),
      m_type(type),
      m_expiry(expiry),
      m_strike(strike),
      m_deliveryMode(deliveryMode),
      m_underlyingSymbol(underlyingSymbol) {}

void CBaseOptionRecord::SetForeignId(int64_t id) {
    IRecord::SetForeignId(id);
    if (id == -1) {
        LOG_SEV(warning) << "wrong foreign id for option " << m_internalId;
        return;
    }
    CRecordRegistry::Instance().MapOptionForeignId(id, m_internalId);
}

bool CBaseOptionRecord::SetQuote(double bid, double ask) {
    const bool moved = std::fabs(bid - m_bid.load(std::memory_order_relaxed)) > 0.001 ||
                       std::fabs(ask - m_ask.load(std::memory_order_relaxed)) > 0.001;
    if (moved)
        m_bDirty.store(true, std::memory_order_release);
    m_bid.store(bid, std::memory_order_release);
    m_ask.store(ask, std::memory_order_release);
    m_bQuoted = true;
    return moved;
}

bool CBaseOptionRecord::TakeFirstUnderlyingPrice(double price) {
    if (price < EPS)
        return false;
    double current = m_underlyingValue;
    while (current < EPS) {
        if (m_underlyingValue.compare_exchange_weak(current, price))
            return true;
    }
    return false;
}

bool CBaseOptionRecord::TakesGroupCarry() const {
    return !m_bEuropean || (m_pUnderlyingRecord && m_pUnderlyingRecord->UsesUserRates());
}

CBaseOptionRecord* CBaseOptionRecord::PairPricedOnThisQuote() const {
    if (!m_bEuropean)
        return nullptr;
    const auto lists = LockLists();
    CBaseOptionRecord* pair = m_pPair;
    return pair && pair->Ask() >= EPS ? pair : nullptr;
}

void CBaseOptionRecord::Process(int a) {
    CBaseUnderlyingRecord* underlying = m_pUnderlyingRecord;
    if (!underlying)
        return;
    SOptionResults results;
    {
        std::shared_lock<std::shared_mutex> listLock(underlying->m_lock);
        if (!m_pOptionGroup)
            return;
        std::lock_guard<std::mutex> calc(m_calcMutex);
        CalcTheoBlock(CTapeClock::Instance().Snapshot());
        results = m_results;
    }
    // The host may call back into the library from its callback: no library lock is held here.
    PublishOptionResults(*this, results);
    if (a >= 0) {
        std::lock_guard<std::mutex> calc(m_calcMutex);
        m_lastProcessArg = a;
    }
}

bool CBaseOptionRecord::CheckCalculable(const DllDateTime& tape) {
    if (!m_pOptionGroup || !m_pUnderlyingRecord) {
        LOG_SEV(info) << "m_pOptionGroup == NULL || m_pUnderlyingRecord == NULL  for option " << ForeignId()
                      << ", skip IV calculations";
        m_bDirty = true;
        return false;
    }
    DllDateTime expiry = TimestampAt(m_expiry, 16, 0);
    if (!IsValidDateTime(tape) || !IsValidDate(expiry)) {
        LOG_SEV(info) << "m_pOptionGroup == NULL || !VALID_DATE_TIME(tapeTime) || !VALID_DATE(m_pData->m_expiry) for option "
                      << ForeignId() << ", skip IV calculations";
        return false;
    }
    if (m_strike < EPS) {
        m_bDirty = true;
        LOG_SEV(info) << "X < EPS for option " << ForeignId() << ", skip IV calculations";
        return false;
    }
    return true;
}

void CBaseOptionRecord::CalcTheoBlock(const DllDateTime& tape) {
    LOG_SCOPE("calcTheoBlock");
    if (!CheckCalculable(tape))
        return;
    COptionGroup& group = *m_pOptionGroup;

    const double X = m_strike;
    const double r = GetActiveInterestRate();
    const SGroupCarry groupCarry = group.UpdateAtmOption(tape, this);
    double carry = groupCarry.carry;
    m_groupCarry = carry;
    double S = m_underlyingValue;

    double T = CalcWeightedTimeToExpiration(tape);
    if (T <= 0.0)
        T = 1e-7;

    if (m_deliveryMode == 1)
        S = DeliverableValue();

    if (m_bEuropean) {
        // Both options of a European pair price on the underlying implied by the call's side.
        const CBaseOptionRecord* call = IsPut() ? m_pPair : this;
        double forward = 0.0, carryTerm = 0.0;
        S = call ? CalcParityImpliedUnderlying(*call, tape, forward, carryTerm) : 0.0;
        m_parityValue = S;
        if (m_pPair)
            m_pPair->m_parityValue = S;
    } else {
        m_parityValue = groupCarry.parityValue;
        if (S < EPS) {
            S = groupCarry.parityValue;
            carry = r;
        }
    }

    const int model = SelectPricingModel(m_type, carry, r);

    if (!std::isfinite(carry))
        carry = r;
    if (!m_bEuropean)
        carry = std::min(carry, r);
    else if (!m_pUnderlyingRecord->UsesUserRates())
        carry = r;

    if (S <= 0.0 || X <= 0.0)
        return;

    const double bid = m_bid;
    const double ask = m_ask;
    const double midPrice = (bid + ask) * 0.5;
    const double userVolatility = m_userVolatility;
    const double guess = userVolatility != 0.0 ? userVolatility * 0.01 : m_results.midIV;
    std::vector<double> amounts, times;
    group.CopyDividendSchedule(amounts, times);

    Pricing::SFirstBracket bracket;  // the three solves share their inputs
    auto solve = [&](double price, double& iv) {
        Pricing::CalcIV(iv, m_type, times, model, kTreeSteps, false, S, X, T, r, carry, price, guess, amounts,
                        &bracket);
    };
    solve(midPrice, m_results.midIV);
    if (m_results.midIV == 0.0)
        m_results.midIV = 0.02;
    solve(ask, m_results.askIV);
    solve(bid, m_results.bidIV);

    const double sigma = userVolatility != 0.0 ? userVolatility : (m_results.midIV != 0.0 ? m_results.midIV : kNoVolatility);
    m_volatilityUsed = sigma;

    m_results.theo = Pricing::CalcTheoPrice(carry, r, T, X, m_bEuropean, m_deliveryMode, model, m_type, S, sigma,
                                            amounts, times);
    Pricing::CalcGreeks(m_bEuropean, m_deliveryMode, m_type, S, r, carry, T, sigma, X, model, amounts, times,
                        m_results.vega, m_results.theta, m_results.rho, m_results.delta, m_results.gamma);

    StoreCalcInputs(S, X, T, r, tape, carry, groupCarry.parityValue, midPrice, model, amounts, times);
    CalcProbabilityITM(tape);
}

void CBaseOptionRecord::CalculateIVGreeks(const DllDateTime& tape, const SGroupCarry& groupCarry) {
    std::lock_guard<std::mutex> calc(m_calcMutex);
    CalculateIVGreeksLocked(tape, groupCarry);
}

void CBaseOptionRecord::CalculateIVGreeksLocked(const DllDateTime& tape, const SGroupCarry& groupCarry) {
    LOG_SCOPE("CalculateIVGreeks");
    if (!CheckCalculable(tape))
        return;
    COptionGroup& group = *m_pOptionGroup;
    if (group.m_settlement.m_bAdjustedExpiryValid) {
        if (!CompareTimestamps(group.m_settlement.m_adjustedExpiry, tape)) {
            LOG_SEV(info) << "m_adjustedExpiry <= tapeTime for option " << ForeignId() << ", skip IV calculations";
            return;
        }
    } else if (!CompareTimestamps(TimestampAt(m_expiry, 16, 0), tape)) {
        LOG_SEV(info) << "m_expiry <= tapeTime for option " << ForeignId() << ", skip IV calculations";
        return;
    }

    std::vector<double> amounts, times;
    group.CopyDividendSchedule(amounts, times);
    const double T = CalcWeightedTimeToExpiration(tape);
    const double r = GetActiveInterestRate();
    m_groupCarry = groupCarry.carry;
    m_parityValue = groupCarry.parityValue;
    const double parity = groupCarry.parityValue;

    double S = m_deliveryMode == 1 ? DeliverableValue() : static_cast<double>(m_underlyingValue);
    bool priceMissing = false;
    if (S < EPS) {
        S = parity;
        priceMissing = true;
    }

    const bool index = m_pUnderlyingRecord->IsIndex();
    double carry;
    if (m_deliveryMode != 0 && (m_bEuropean || index)) {
        m_bDirty = false;
        return;
    }
    if (m_deliveryMode != 0 && priceMissing) {
        m_bDirty = true;
        return;
    }
    if (m_deliveryMode == 0 && (m_bEuropean || priceMissing || index)) {
        if (parity > 0.0)
            S = parity;
        carry = r;
    } else {
        carry = m_pUnderlyingRecord->StockSettings() == 1 ? CalcDividendCarry(times, S, r, T, amounts)
                                                          : groupCarry.carry;
        carry = std::min(carry, r);
    }
    if (carry == 0.0 && parity == 0.0)
        carry = r;

    if (S < EPS) {
        m_bDirty = true;
        return;
    }
    const int model = SelectPricingModel(m_type, carry, r);
    if (model > 9) {
        m_bDirty = true;
        return;
    }

    const double X = m_strike;
    const double bid = m_bid;
    const double ask = m_ask;
    const double midPrice = (bid + ask) * 0.5;
    const SMontageSolveMemo::Key key{S, T, r, carry, static_cast<double>(model), bid, ask,
                                     m_results.askIV, m_results.bidIV, m_results.midIV};
    if (m_montageMemo.Matches(key, amounts, times)) {
        const SMontageSolveMemo::Outcome& outcome = m_montageMemo.Remembered();
        m_results.askIV = outcome.askIV;
        m_results.bidIV = outcome.bidIV;
        m_results.midIV = outcome.midIV;
        if (outcome.bidFailed)
            LOG_SEV(info) << ForeignId() << ": bidIV failed";
    } else {
        const bool bidFailed = SolveMontageVolatilities(S, T, r, carry, model, bid, ask, midPrice, amounts, times);
        m_montageMemo.Remember(key, amounts, times, {m_results.askIV, m_results.bidIV, m_results.midIV, bidFailed});
    }

    StoreCalcInputs(S, X, T, r, tape, carry, parity, midPrice, model, amounts, times);

    const double userVolatility = m_userVolatility;
    m_volatilityUsed = userVolatility != 0.0 ? userVolatility : (m_results.midIV != 0.0 ? m_results.midIV : kNoVolatility);
    m_bDirty = m_results.midIV < EPS;
}

bool CBaseOptionRecord::SolveMontageVolatilities(double S, double T, double r, double carry, int model, double bid,
                                                 double ask, double midPrice, const std::vector<double>& amounts,
                                                 const std::vector<double>& times) {
    const double X = m_strike;
    Pricing::SFirstBracket bracket;  // the three solves share their inputs
    auto solve = [&](double price, double guess, double& iv) {
        return Pricing::CalcIV(iv, m_type, times, model, kTreeSteps, false, S, X, T, r, carry, price, guess, amounts,
                               &bracket);
    };

    int askStatus = -1;
    if (ask >= kMinimumAsk)
        askStatus = solve(ask, m_results.askIV, m_results.askIV);
    if (ask < kMinimumAsk || askStatus != Pricing::eCalcIVSuccess || m_results.askIV < EPS) {
        m_results.askIV = kMontageFallbackIV;
        m_results.bidIV = 0.0;
        m_results.midIV = 0.0;
        m_bDirty = true;
    }

    bool bidFailed = false;
    if (bid > 0.0) {
        const double guess = m_results.bidIV < EPS ? 0.9 * m_results.askIV : m_results.bidIV;
        const int status = solve(bid, guess, m_results.bidIV);
        if (status != Pricing::eCalcIVSuccess && status != Pricing::eCalcIVBidUnderwater) {
            m_results.bidIV = kMontageFallbackIV;
            m_results.midIV = 0.0;
            m_bDirty = true;
            LOG_SEV(info) << ForeignId() << ": bidIV failed";
            bidFailed = true;
        }
    } else {
        m_results.bidIV = 0.0;
    }

    double midGuess;
    if (m_results.bidIV > EPS && m_results.askIV > EPS)
        midGuess = (m_results.bidIV + m_results.askIV) * 0.5;
    else if (m_results.midIV != 0.0)
        midGuess = m_results.midIV;
    else
        midGuess = 0.95 * m_results.askIV;
    double midIV = 0.0;
    if (solve(midPrice, midGuess, midIV) != Pricing::eCalcIVSuccess)
        midIV = kMontageFallbackIV;
    m_results.midIV = midIV;
    return bidFailed;
}

void CBaseOptionRecord::TakeGroupCarry(double groupCarry, double parityValue, double calcPrice) {
    double storedS;
    {
        std::lock_guard<std::mutex> calc(m_calcMutex);
        storedS = m_inputs.S;
    }
    const bool moved = std::fabs(groupCarry - m_groupCarry) > 0.01 || std::fabs(calcPrice - storedS) > 0.05;
    m_groupCarry = groupCarry;
    m_parityValue = parityValue;
    if (moved) {
        m_bDirty = true;
        if (m_pPair)
            m_pPair->SetDirty();
    }
}

void CBaseOptionRecord::StoreCalcInputs(double S, double X, double T, double r, const DllDateTime& tape, double carry,
                                        double parityValue, double midPrice, int model,
                                        const std::vector<double>& amounts, const std::vector<double>& times) {
    const auto& optionData = m_pUnderlyingRecord->OptionDataHeld();
    m_inputs.type = m_type;
    m_inputs.S = S;
    m_inputs.X = X;
    m_inputs.T = T;
    m_inputs.r = r;
    m_inputs.underlyingCalcPrice = optionData ? optionData->m_calcPrice.load() : 0.0;
    m_inputs.parityValue = parityValue;
    m_inputs.tapeTime = tape;
    m_inputs.carry = carry;
    m_inputs.midPrice = midPrice;
    m_inputs.model = model;
    m_inputs.midIV = m_results.midIV;
    const bool hasDividend = !amounts.empty() && !times.empty();
    m_inputs.dividendAmount = hasDividend ? amounts.front() : 0.0;
    m_inputs.dividendTime = hasDividend ? times.front() : 0.0;
}

void CBaseOptionRecord::CalcProbabilityITM(const DllDateTime& tape) {
    if (tape.hour >= 16) {
        m_results.probabilityITM = 0.0;
        return;
    }
    DllDateTime expiration = ExpirationStamp();
    DllDateTime now = tape;
    const auto to = TimestampToSeconds(expiration);
    const auto from = TimestampToSeconds(now);
    if (!to || !from) {
        m_results.probabilityITM = 0.0;
        return;
    }
    const double days = (*to - *from) / 86400.0;
    const double rest = (57600.0 - SecondsOfDay(tape)) / 34200.0;
    const double sigma = m_results.midIV;
    const double S = m_inputs.S;
    const double r = m_inputs.r;
    const double z = (std::log(m_strike) - std::log(S) - days * (r - sigma * sigma) * 0.5 / 365.0) /
                     (sigma * std::sqrt((days + rest) / 365.0));
    const double p = z == 0.0 ? 0.5 : Pricing::NormalCdfAS(z);
    const double probability = IsPut() ? p * 100.0 : (1.0 - p) * 100.0;
    // An expired option or a missing volatility leave no meaningful probability.
    m_results.probabilityITM = std::isfinite(probability) ? probability : 0.0;
}

DllDateTime CBaseOptionRecord::ExpirationStamp() const {
    return m_pOptionGroup ? m_pOptionGroup->m_settlement.m_bAdjustedExpiryValid
                                ? m_pOptionGroup->m_settlement.m_adjustedExpiry
                                : TimestampAt(m_expiry, 16, 0)
                          : TimestampAt(m_expiry, 16, 0);
}

std::shared_lock<std::shared_mutex> CBaseOptionRecord::LockLists() const {
    return m_pUnderlyingRecord ? std::shared_lock<std::shared_mutex>(m_pUnderlyingRecord->m_lock)
                               : std::shared_lock<std::shared_mutex>();
}

double CBaseOptionRecord::CalcWeightedTimeToExpiration(const DllDateTime& now) const {
    return TimeToExpiration(ExpirationStamp(), now).value_or(0.0);
}

double CBaseOptionRecord::CalcCalendarTimeToExpiration(const DllDateTime& now) const {
    DllDateTime start = now;
    DllDateTime end = ExpirationStamp();
    return CalcCalendarTime(start, end).value_or(0.0);
}

double CBaseOptionRecord::GetActiveInterestRate() const {
    LOG_SCOPE("CBaseOptionRecord::GetActiveInterestRate");
    try {
        return CRateStore::Instance().GetCurveRate(m_underlyingSymbol.c_str(), DateOf(ExpirationStamp()));
    } catch (const std::exception& e) {
        LOG_SEV(error) << "error: " << e.what();
    } catch (...) {
        LOG_SEV(error) << "unknown error";
    }
    return 0.0;
}

double CBaseOptionRecord::GetSecondRate() const {
    return CRateStore::Instance().GetCurveSecondRate(m_underlyingSymbol.c_str(), DateOf(ExpirationStamp()));
}

int CBaseOptionRecord::SelectPricingModel(char type, double carry, double r) const {
    if (m_bEuropean)
        return Pricing::BS;
    if (type == 'p')
        return Pricing::MaxBSBJ;
    if (m_deliveryMode != 0)
        return std::fabs(carry - r) < EPS ? Pricing::BS : Pricing::BJ;
    if (m_pOptionGroup && m_pOptionGroup->DividendCount() == 1 && m_pOptionGroup->FirstScheduledAmount() > EPS)
        return Pricing::RGW;
    return Pricing::BJ;
}

double CBaseOptionRecord::CalcParityImpliedUnderlying(const CBaseOptionRecord& call, const DllDateTime& tape,
                                                      double& forward, double& carryTerm) {
    forward = 0.0;
    carryTerm = 0.0;
    const CBaseOptionRecord* put = call.m_pPair;
    if (!put)
        return 0.0;
    const double callBid = call.m_bid, callAsk = call.m_ask;
    const double putBid = put->m_bid, putAsk = put->m_ask;
    if (callAsk < EPS || putAsk < EPS)
        return 0.0;
    const double r = call.GetActiveInterestRate();
    const double T = call.CalcWeightedTimeToExpiration(tape);
    // Exact put-call parity, C - P = (F - X)·e^(-rT), solved for the forward F; the underlying is F
    // discounted, and the carry term is what separates the two.
    const double growth = std::exp(r * T);
    const double impliedForward = call.m_strike + ((callBid + callAsk) * 0.5 - (putBid + putAsk) * 0.5) * growth;
    const double underlying = impliedForward / growth;
    if (impliedForward < EPS || !std::isfinite(underlying))
        return 0.0;
    forward = impliedForward;
    carryTerm = impliedForward - underlying;
    return underlying;
}

double CBaseOptionRecord::CalcDividendCarry(const std::vector<double>& times, double S, double r, double T,
                                            const std::vector<double>& amounts) {
    const std::size_t n = std::min(times.size(), amounts.size());
    if (T <= EPS || n == 0)
        return r;
    double sum = 0.0;
    for (std::size_t i = 0; i < n && times[i] < T - EPS; ++i)
        sum += amounts[i] * std::exp(r * (T - times[i]));
    if (std::fabs(sum) <= EPS)
        return r;
    const double ratio = (S * std::exp(r * T) - sum) / S;
    const double carry = std::log(ratio) / T;
    // A dividend worth more than the forward leaves no carry to speak of: keep the rate.
    return ratio > 0.0 && std::isfinite(carry) ? carry : r;
}

bool CBaseOptionRecord::IsPairQuoteUsable(double referencePrice, const DllDateTime& tape) const {
    const CBaseOptionRecord* pair = m_pPair;
    if (!pair)
        return false;
    double bid = m_bid, ask = m_ask;
    double pairBid = pair->m_bid, pairAsk = pair->m_ask;
    if (m_strike <= EPS || bid <= EPS || pairBid <= EPS || ask <= EPS || pairAsk <= EPS)
        return false;
    const CBaseOptionRecord& call = IsPut() ? *pair : *this;
    double forward = 0.0, carryTerm = 0.0;
    CalcParityImpliedUnderlying(call, tape, forward, carryTerm);
    const double F = forward > EPS ? forward : referencePrice;
    if (F - m_strike > EPS) {
        bid -= F - m_strike;
        ask -= F - m_strike;
    }
    if (pair->m_strike - F > EPS) {
        pairBid -= pair->m_strike - F;
        pairAsk -= pair->m_strike - F;
    }
    if (bid < 0.01 || pairBid < 0.01)
        return false;
    const double ratio = ask / bid;
    const double pairRatio = pairAsk / pairBid;
    if (ratio > 10.0 || pairRatio > 10.0)
        return false;
    return (ratio <= 1.5 && pairRatio <= 1.5) || (ratio < 5.0 / std::sqrt(ask) && pairRatio < 5.0 / std::sqrt(pairAsk));
}

double CBaseOptionRecord::DeliverableValue() const {
    return m_pUnderlyingRecord ? m_pUnderlyingRecord->DeliveryValue(m_root) : 0.0;
}

SOptionSnapshot CBaseOptionRecord::Snapshot() const {
    std::lock_guard<std::mutex> calc(m_calcMutex);
    SOptionSnapshot snapshot;
    snapshot.results = m_results;
    snapshot.inputs = m_inputs;
    snapshot.volatilityUsed = m_volatilityUsed;
    return snapshot;
}

void CBaseOptionRecord::LogOptionRecord() const {
    const SOptionSnapshot snapshot = Snapshot();
    LOG_SEV(info) << ForeignId() << ", " << m_deliveryMode << ", " << Logging::EscapeClientText(m_root) << ", "
                  << m_strike << ", " << m_type
                  << ", " << m_bid.load() << "/" << snapshot.results.theo << "/" << m_ask.load() << ", "
                  << snapshot.results.midIV << "/" << m_userVolatility.load();
}

// Stateless pricing: no record, no library time; any thread may call these at any time.
#include <vector>

#include "ExportGuard.h"
#include "brkCalcsLib.h"
#include "pricing/Greeks.h"
#include "pricing/ImpliedVolatility.h"
#include "pricing/TheoPrice.h"

namespace {

const std::vector<double> kNoDividends;

const std::vector<double>& OrNone(const std::vector<double>* dividends) { return dividends ? *dividends : kNoDividends; }

}  // namespace

extern "C" {

BRKCALCS_EXPORT double BriskoDllCalcTheoPrice(int model, int european, int deliveryMode, int type, const double* S,
                                              const double* X, const double* T, const double* r, const double* b,
                                              const double* sigma, const std::vector<double>* amounts,
                                              const std::vector<double>* times) {
    if (!S || !X || !T || !r || !b || !sigma)
        return 0.0;
    return Guarded("BriskoDllCalcTheoPrice", 0.0, [&] {
        return Pricing::CalcTheoPrice(*b, *r, *T, *X, european != 0, deliveryMode, model, static_cast<char>(type), *S,
                                      *sigma, OrNone(amounts), OrNone(times));
    });
}

BRKCALCS_EXPORT void BriskoDllCalcGreeks(int style, int deliveryMode, int type, const double* S, const double* r,
                                         const double* b, const double* T, const double* sigma, const double* X,
                                         int model, const std::vector<double>* amounts,
                                         const std::vector<double>* times, double* vega, double* theta, double* rho,
                                         double* delta, double* gamma) {
    if (!S || !r || !b || !T || !sigma || !X || !vega || !theta || !rho || !delta || !gamma)
        return;
    Guarded("BriskoDllCalcGreeks", [&] {
        Pricing::CalcGreeks(style == 'e', deliveryMode, static_cast<char>(type), *S, *r, *b, *T, *sigma, *X, model,
                            OrNone(amounts), OrNone(times), *vega, *theta, *rho, *delta, *gamma);
    });
}

BRKCALCS_EXPORT int BriskoDllGlobalCalcIV(double* volatility, int type, const std::vector<double>* amounts,
                                          const std::vector<double>* times, double S, double X, double T, double r,
                                          double b, double price, int model, double guess, int steps, int verbose) {
    if (!volatility)
        return Pricing::eCalcIVBadInput;
    return Guarded("BriskoDllGlobalCalcIV", static_cast<int>(Pricing::eCalcIVBadInput), [&] {
        return Pricing::CalcIV(*volatility, static_cast<char>(type), OrNone(times), model, steps, verbose != 0, S, X,
                               T, r, b, price, guess, OrNone(amounts));
    });
}

BRKCALCS_EXPORT double BriskoDllCalcTheoPriceHrr() {
    LOG_SEV(fatal) << "BriskoDllCalcTheoPriceHrr is called, but it is not ready!!";
    return 0.0;
}

}  // extern "C"

// The chance of finishing in the money as the records publish it, written out independently of them.
#pragma once

#include <cmath>

#include "brkCalcsLib/pricing/ReferenceFormulas.h"

namespace enginetest {

// A lognormal tail in percent: drift (r - sigma^2) / 2 over the calendar days left, variance over those
// days plus what is left of the session, (16:00 - now) / 9.5 hours; secondsOfDay is now's clock time.
inline double ExpectedProbabilityITM(bool put, double S, double X, double r, double sigma, double days,
                                     double secondsOfDay) {
    const double rest = (16.0 * 3600.0 - secondsOfDay) / (9.5 * 3600.0);
    const double z = (std::log(X / S) - days * (r - sigma * sigma) * 0.5 / 365.0) /
                     (sigma * std::sqrt((days + rest) / 365.0));
    const double below = PricingReference::NormalCdf(z);
    return (put ? below : 1.0 - below) * 100.0;
}

}  // namespace enginetest

// Greeks of the carry model, whatever model the option is priced with.
#pragma once

#include <vector>

namespace Pricing {

// The values are those of 100 shares: delta = 100 |dV/dS| (a put's delta is positive too),
// gamma = 100 d2V/dS2, vega = 100 x the change per volatility point (= dV/dsigma), theta = 100 x the
// change per calendar day (never positive), rho = dV/dr (= 100 x the change per rate point).
// Below 3 days to expiry theta is capped by 100 times the time value (CalcTheoPrice at sigma less at
// 0.0001) and gamma by 100 - delta. Values below 0.0001 in magnitude, NaN or infinite become 0.
// When d1 cannot be formed (T or sigma 0) the expiry limits: delta 100 in the money, else 0, every
// other Greek 0.
void CalcGreeks(bool european, int deliveryMode, char type, double S, double r, double b, double T, double sigma,
                double X, int model, const std::vector<double>& amounts, const std::vector<double>& times,
                double& vega, double& theta, double& rho, double& delta, double& gamma);

}  // namespace Pricing

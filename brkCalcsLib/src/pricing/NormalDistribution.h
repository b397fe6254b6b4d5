// Cumulative normal distributions used by the pricers.
#pragma once

namespace Pricing {

// N(x) to double precision (Hart's algorithm in West's form). Exactly 0.5 at 0, 0 or 1 beyond |x| = 37.
double NormalCdf(double x);

// N(x) to about seven digits (Abramowitz-Stegun 26.2.17); 0 below -6, 1 above 6.
double NormalCdfAS(double x);

// N(x) as its Taylor series with 100 terms after x gives it, evaluated through the series' closed form
// (agreeing with the summed terms to 1e-14). The series loses all accuracy far out in the tails, so
// beyond |x| = 8 the value comes from NormalCdf (the two agree to 1e-15 up to there).
double NormalCdfSeries(double x);

// M(a, b; rho), the bivariate normal distribution (Drezner 1978). Returns -99.9 where no branch of the
// method applies, including a NaN argument.
double BivariateNormal(double a, double b, double rho);

}  // namespace Pricing

// Roll-Geske-Whaley: American call on a stock paying one cash dividend D at time t1.
#pragma once

namespace Pricing {

// 0 when S or X is not positive or an argument is not finite. Without a dividend inside the option's
// life (D <= 0 or t1 >= T) the Black-Scholes call with b = r on S; with the dividend at (or within
// 1e-6 years of) the valuation time, max(S - X, Black-Scholes call on S - D), the limit of the formula.
double RollGeskeWhaleyCall(double S, double X, double r, double sigma, double T, double D, double t1);

}  // namespace Pricing

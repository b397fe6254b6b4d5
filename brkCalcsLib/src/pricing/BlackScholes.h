// Black-Scholes with a cost of carry b (b = r for a stock without dividends, r - q for a yield q).
#pragma once

namespace Pricing {

// d1 and d2 of the carry model. The caller passes sqrt(T), sigma*sqrt(T) and its reciprocal, which it
// usually has at hand. Returns -1 (d1 = d2 = 0) when sigma, sqrt(T), sigma*sqrt(T), S or X is below
// 1e-6 or not a number, else 0.
int CalcD1D2(double S, double X, double sqrtT, double T, double sigma, double b, double sigmaSqrtT,
             double invSigmaSqrtT, double& d1, double& d2);

// European value; type 'c' or 'p', anything else 0. Prices 0, not the intrinsic value, when S or X is
// not positive or when CalcD1D2 fails (sigma below 1e-6, T below 1e-12).
double BlackScholesCarry(double S, double X, double T, double r, double b, double sigma, char type);

// Theta per calendar day. carryFactor is e^((b-r)T); nd1 the normal density at d1; the four
// cumulative values N(d1), N(d2), N(-d1), N(-d2). A type other than 'c' or 'p' gives 0.
double BlackScholesTheta(char type, double S, double X, double invSqrtT, double T, double r, double b, double sigma,
                         double carryFactor, double nd1, double Nd1, double Nd2, double NMinusD1, double NMinusD2);

}  // namespace Pricing

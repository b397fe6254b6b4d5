// Bjerksund-Stensland (1993) approximation of American options with a flat exercise boundary.
#pragma once

namespace Pricing {

// American call; 0 for a non-finite argument or S or X not positive. Falls back to the Black-Scholes call when early
// exercise never pays (b >= r - 1e-6), when sigma is below 0.02 and when a phi term cannot be formed.
double BjerksundStenslandCall(double S, double X, double T, double r, double b, double sigma);

// The phi function of the approximation; false when it cannot be formed (S or H at most 1e-6, sigma
// below 0.01, a non-finite parameter, power or result).
bool BjerksundStenslandPhi(double S, double T, double gamma, double H, double I, double r, double b, double sigma,
                           double invSigmaSqrtT, double& phi);

// American value; a put by the put-call transformation, a type other than 'c' or 'p' 0.
double BjerksundStensland(char type, double S, double X, double T, double r, double b, double sigma);

}  // namespace Pricing

// An option's theoretical price by its pricing model.
#pragma once

#include <vector>

namespace Pricing {

// Model dispatch (BS, BJ, RGW for calls, MaxBSBJ; RGW puts, CRR and unknown models price 0), then the
// intrinsic value as a floor unless the option is European or deliveryMode is 1, then a floor of 0.
// RGW takes the first dividend of the schedule (none when it is empty) and a sigma of exactly 0 as 0.0001.
double CalcTheoPrice(double b, double r, double T, double X, bool european, int deliveryMode, int model, char type,
                     double S, double sigma, const std::vector<double>& amounts, const std::vector<double>& times);

}  // namespace Pricing

// A cubic spline through a few (x, y) knots, natural at its first knot; the fitted skew lays one
// through five (strike, implied volatility) points.
#pragma once

#include <cstddef>
#include <vector>

namespace models::RiskChart {

// Between knot j-1 and knot j the spline is a + b dx + c dx^2 / 2 + d dx^3 / 6 with dx = x - x_j:
// each polynomial is anchored at the right end of its interval. Knot 0 holds only a, x and c = 0.
struct SplineKnot {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double d = 0.0;
    double x = 0.0;
};

struct CubicSpline {
    std::vector<SplineKnot> knots;
};

// Lays the spline through n knots, replacing any earlier ones. With fewer than two knots the
// spline is left empty. Equal or descending x give non-finite coefficients.
void buildSpline(CubicSpline& spline, const double* x, const double* y, std::size_t n);

// The spline's value at x: below the first knot on the first interval's polynomial, above the last
// on the last one's. NaN for a spline with fewer than two knots.
double evalSpline(const CubicSpline& spline, double x);

}  // namespace models::RiskChart

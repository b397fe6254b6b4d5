#include "models/RiskChart/CubicSpline.h"

#include <limits>

namespace models::RiskChart {

void buildSpline(CubicSpline& spline, const double* x, const double* y, std::size_t n) {
    spline.knots.clear();
    if (n < 2)
        return;
    spline.knots.resize(n);
    std::vector<SplineKnot>& k = spline.knots;
    for (std::size_t i = 0; i < n; ++i) {
        k[i].x = x[i];
        k[i].a = y[i];
    }
    k[0].c = 0.0;

    // Forward sweep of the tridiagonal system for the second derivatives c.
    std::vector<double> alpha(n - 1, 0.0), beta(n - 1, 0.0);
    double A = 0.0, C = 0.0, F = 0.0;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        A = x[i] - x[i - 1];
        const double B = x[i + 1] - x[i];
        C = 2.0 * (A + B);
        F = 6.0 * ((y[i + 1] - y[i]) / B - (y[i] - y[i - 1]) / A);
        const double z = A * alpha[i - 1] + C;
        alpha[i] = -B / z;
        beta[i] = (F - A * beta[i - 1]) / z;
    }
    // The last row of the sweep closes the system at the last knot; two knots make a straight line.
    k[n - 1].c = n == 2 ? 0.0 : (F - A * beta[n - 2]) / (C + A * alpha[n - 2]);
    for (std::size_t i = n - 2; i >= 1; --i)
        k[i].c = alpha[i] * k[i + 1].c + beta[i];

    for (std::size_t i = n - 1; i >= 1; --i) {
        const double h = x[i] - x[i - 1];
        k[i].d = (k[i].c - k[i - 1].c) / h;
        k[i].b = h * (2.0 * k[i].c + k[i - 1].c) / 6.0 + (y[i] - y[i - 1]) / h;
    }
}

double evalSpline(const CubicSpline& spline, double x) {
    const std::vector<SplineKnot>& k = spline.knots;
    const std::size_t n = k.size();
    if (n < 2)
        return std::numeric_limits<double>::quiet_NaN();
    std::size_t j;
    if (x <= k[0].x) {
        j = 1;
    } else if (x >= k[n - 1].x) {
        j = n - 1;
    } else {
        // The first knot whose x is at or above x.
        std::size_t lo = 0, hi = n - 1;
        while (lo + 1 < hi) {
            const std::size_t m = lo + (hi - lo) / 2;
            if (x <= k[m].x)
                hi = m;
            else
                lo = m;
        }
        j = hi;
    }
    const double dx = x - k[j].x;
    return k[j].a + dx * (k[j].b + dx * (k[j].c * 0.5 + k[j].d * dx / 6.0));
}

}  // namespace models::RiskChart

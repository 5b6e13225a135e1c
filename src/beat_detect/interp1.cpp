// Linear interpolation onto a regular grid.
#include <cmath>

#include "beat_detect/rwave_tools.hpp"
#include "tessivar/rwave_tools.h"

extern "C" int32_t interp1(const double *y, int32_t n, double step, double *out)
{
    if (y == nullptr || out == nullptr || n < 2 || !(step > 0.0)) return -1;
    const int32_t points = int32_t(std::floor((n - 1) / step)) + 1;
    out[0] = y[0];
    for (int32_t k = 1; k < points; ++k) {
        const double t = k * step;
        // j: the first position beyond t; the grid's end point counts as n-1.
        int32_t j = int32_t(std::floor(t)) + 1;
        if (j > n - 1) {
            if (std::fabs((n - 1) - t) >= 1e-6) return k;
            j = n - 1;
        }
        out[k] = y[j - 1] + (t - (j - 1)) * (y[j] - y[j - 1]);
    }
    return points;
}

// Convolution helpers of the FIR filter.
//
// convWinograd takes the taps in pairs (h0, h1) and produces two outputs per
// pair of inputs with three multiplications, using
//   y[k+j]   += (x[j-1] - x[j]) * h1 + x[j] * (h0 + h1)  = x[j-1] h1 + x[j] h0
//   y[k+j+1] += x[j] * (h0 + h1) - (x[j] - x[j+1]) * h0  = x[j] h1 + x[j+1] h0
// The order of operations below is fixed: it determines the rounding of the
// whole-array FIR path.
#include "tessivar/conv.h"

#include "common/log_macros.hpp"

namespace {
constexpr const char *kConvTag = "fir_filter";

// Adds the contribution of the tap pair h[k], h[k+1] to y[k .. n-1].
void addTapPair(const double *x, int32_t n, double h0, double h1, int32_t k, double *y)
{
    if (k >= n) return;
    const int32_t span = n - k;  // outputs this pair reaches
    const double s = h0 + h1;
    double u = x[0] * s;
    y[k] += (0 - x[0]) * h1 + u;
    if (span > 1) {
        const double t = (x[0] - x[1]) * h0;
        y[k + 1] += u - t;
    }
    int32_t j = 2;
    for (; j < span - 1; j += 2) {
        u = x[j] * s;
        const double t = (x[j] - x[j + 1]) * h0;
        y[k + j] += (x[j - 1] - x[j]) * h1 + u;
        y[k + j + 1] += u - t;
    }
    if (j < span) y[k + j] += (x[j - 1] - x[j]) * h1 + x[j] * s;
}
}  // namespace

extern "C" int32_t convValid(const double *x, int32_t n, const double *h, int32_t m, double *y)
{
    if (x == nullptr || h == nullptr || y == nullptr || m < 1 || n < m) {
        TV_LOGE(kConvTag, "%s", tessivar::kBadInput);
        return -1;
    }
    for (int32_t i = 0; i <= n - m; ++i) {
        double s = 0.0;
        for (int32_t k = 0; k < m; ++k) s += h[k] * x[i + m - 1 - k];
        y[i] = s;
    }
    return n - m + 1;
}

extern "C" int32_t convWinograd(const double *x, int32_t n, const double *h, int32_t m, double *y)
{
    if (x == nullptr || h == nullptr || y == nullptr || n < 0 || m < 1) {
        TV_LOGE(kConvTag, "%s", tessivar::kBadInput);
        return -1;
    }
    int32_t k = 0;
    if (m % 2 == 1) {
        for (int32_t i = 0; i < n; ++i) y[i] += x[i] * h[0];
        k = 1;
    }
    for (; k < m; k += 2) addTapPair(x, n, h[k], h[k + 1], k, y);
    return n;
}

// The derivative of the R-wave detectors over whole arrays, and the full
// convolution it is built on.
#include <cmath>
#include <vector>

#include "beat_detect/rwave_tools.hpp"
#include "tessivar/rwave_tools.h"

namespace tessivar {
namespace {

// Room for the kernel at any rate a detector accepts.
constexpr int32_t kMaxKernel = 1024;

template <typename T>
int32_t derivativeFilt(const T *x, int32_t n, int32_t fs, T *out, T *outAbs)
{
    if (x == nullptr || out == nullptr || outAbs == nullptr || n < 1 || fs < 1) return -1;
    double kernel[kMaxKernel];
    const int32_t taps = rwave::derivativeKernel(fs, kernel, kMaxKernel);
    if (taps < 1) return -1;
    const int32_t count = rwave::convolveFull(x, n, kernel, taps, out);
    for (int32_t k = 0; k < count; ++k) outAbs[k] = std::fabs(out[k]);
    return count;
}

}  // namespace
}  // namespace tessivar

using namespace tessivar;

extern "C" {

int32_t derivativeFiltDouble(const double *x, int32_t n, int32_t fs, double *out, double *outAbs)
{
    return derivativeFilt(x, n, fs, out, outAbs);
}
int32_t derivativeFiltFloat(const float *x, int32_t n, int32_t fs, float *out, float *outAbs)
{
    return derivativeFilt(x, n, fs, out, outAbs);
}
int32_t convDouble(const double *x, int32_t n, const double *h, int32_t m, double *out)
{
    return rwave::convolveFull(x, n, h, m, out);
}
int32_t convFloat(const float *x, int32_t n, const double *h, int32_t m, float *out)
{
    return rwave::convolveFull(x, n, h, m, out);
}

}  // extern "C"

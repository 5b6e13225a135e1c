// Batch Lynn filters: high-pass (xpa), triangular smoothing (xpb, xpf) and
// slope (D) over whole arrays.
#include <cmath>
#include <cstdlib>

#include "beat_detect/rwave_tools.hpp"
#include "common/log_macros.hpp"
#include "tessivar/rwave_tools.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "Unknown TAG";

bool lynnArgsOk(const void *x, const void *out, int32_t n, int32_t fs, int32_t div)
{
    return x != nullptr && out != nullptr && fs > 0 && div > 0 && int64_t(n) >= 2 * int64_t(fs);
}

// The shifted triangular core of x with window N into a double array.
template <typename In>
bool triangular(const In *x, int32_t n, int32_t N, rwave::HeapArray<double> &work, const char *what)
{
    if (!work.reset(static_cast<std::size_t>(n))) {
        TV_LOGE(kTag, "%s", what);
        return false;
    }
    rwave::triangularCore(x, n, N, [&](int32_t k, double y) { work[std::size_t(k)] = y; });
    return true;
}

// xpa: the input minus its triangular baseline, divided by N^2 (double) or
// not divided (float, then scaled to a peak of 10).
template <typename Out>
int32_t xpaFilter(const int16_t *x, int32_t n, int32_t fs, int32_t div, Out *out, bool normalise)
{
    if (!lynnArgsOk(x, out, n, fs, div)) return -1;
    const int32_t N = rwave::roundHalfAway(double(fs) / div);
    rwave::HeapArray<double> work;
    if (!triangular(x, n, N, work, "xpaFilter malloc error.")) return -1;
    const double NN = double(N) * N;
    for (int32_t k = 0; k < n; ++k)
        work[std::size_t(k)] = normalise ? x[k] - work[std::size_t(k)] / N / N : NN * x[k] - work[std::size_t(k)];
    if (normalise) {
        for (int32_t k = 0; k < n; ++k) out[k] = Out(work[std::size_t(k)]);
    } else {
        rwave::scaleToTen(out, n, 2 * fs, work.data());
    }
    return 1;
}

template <typename T>
int32_t smoothFilter(const T *x, int32_t n, int32_t fs, int32_t N, T *out, bool scaled, const char *what)
{
    rwave::HeapArray<double> work;
    if (!triangular(x, n, N, work, what)) return -1;
    if (scaled) {
        rwave::scaleToTen(out, n, 2 * fs, work.data());
    } else {
        for (int32_t k = 0; k < n; ++k) out[k] = T(work[std::size_t(k)]);
    }
    return 1;
}

template <typename T>
int32_t xpbFilter(const T *x, int32_t n, int32_t fs, int32_t div, T *out, bool scaled)
{
    if (!lynnArgsOk(x, out, n, fs, div)) return -1;
    return smoothFilter(x, n, fs, rwave::roundHalfAway(double(fs) / div), out, scaled, "xpbFilter malloc error.");
}

template <typename T>
int32_t xpfFilter(const T *x, int32_t n, int32_t fs, T *out)
{
    if (!lynnArgsOk(x, out, n, fs, 1)) return -1;
    return smoothFilter(x, n, fs, rwave::roundHalfAway(fs / 40.0), out, true, "DFilter malloc error.");
}

template <typename T>
int32_t dFilter(const T *x, int32_t n, int32_t fs, T *out, bool scaled)
{
    if (!lynnArgsOk(x, out, n, fs, 1)) return -1;
    rwave::HeapArray<double> work;
    if (!work.reset(static_cast<std::size_t>(n))) {
        TV_LOGE(kTag, "DFilter malloc error.");
        return -1;
    }
    const double f = fs;
    work[0] = f * (double(x[1]) - x[0]);
    work[1] = (f / 2.0) * (double(x[2]) - x[0]);
    for (int32_t k = 2; k <= n - 3; ++k)
        work[std::size_t(k)] = (f / 8.0) * (double(x[k + 2]) + 2.0 * x[k + 1] - 2.0 * x[k - 1] - x[k - 2]);
    if (scaled) {
        rwave::scaleToTen(out, n, 2 * fs, work.data());
    } else {
        for (int32_t k = 0; k < n; ++k) out[k] = T(work[std::size_t(k)]);
    }
    return 1;
}

}  // namespace
}  // namespace tessivar

using namespace tessivar;

extern "C" {

int32_t xpaFilterDouble(const int16_t *x, int32_t n, int32_t fs, int32_t div, double *out)
{
    return xpaFilter(x, n, fs, div, out, true);
}
int32_t xpaFilterFloat(const int16_t *x, int32_t n, int32_t fs, int32_t div, float *out)
{
    return xpaFilter(x, n, fs, div, out, false);
}
int32_t xpbFilterDouble(const double *x, int32_t n, int32_t fs, int32_t div, double *out)
{
    return xpbFilter(x, n, fs, div, out, false);
}
int32_t xpbFilterFloat(const float *x, int32_t n, int32_t fs, int32_t div, float *out)
{
    return xpbFilter(x, n, fs, div, out, true);
}
int32_t DFilterDouble(const double *x, int32_t n, int32_t fs, double *out) { return dFilter(x, n, fs, out, false); }
int32_t DFilterFloat(const float *x, int32_t n, int32_t fs, float *out) { return dFilter(x, n, fs, out, true); }
int32_t xpfFilterDouble(const double *x, int32_t n, int32_t fs, double *out) { return xpfFilter(x, n, fs, out); }
int32_t xpfFilterFloat(const float *x, int32_t n, int32_t fs, float *out) { return xpfFilter(x, n, fs, out); }

}  // extern "C"

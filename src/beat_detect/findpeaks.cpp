// Extremum search and peak finding over whole arrays.
#include "beat_detect/rwave_tools.hpp"
#include "common/log_macros.hpp"
#include "tessivar/rwave_tools.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "Unknown TAG";

template <typename T>
int32_t peakSearchAll(const T *x, int32_t n, int32_t *idx, double thr)
{
    return rwave::peakSearch(x, n, idx, thr, n > 2 ? n - 2 : 0);
}

// Exported peak finding: working space sized from the input.
template <typename T>
int32_t findPeaksAll(const T *x, int32_t n, int32_t minDist, int32_t *idx, int32_t capacity)
{
    if (x == nullptr || idx == nullptr || n <= 2 || minDist < 0 || minDist >= n - 1 || capacity < 0) return -1;
    rwave::HeapArray<int32_t> ints(3 * std::size_t(n));
    rwave::HeapArray<uint8_t> flags(static_cast<std::size_t>(n));
    if (!ints.ok() || !flags.ok()) {
        TV_LOGE(kTag, "findPeaks malloc error.");
        return -2;
    }
    const rwave::PeakWork work{ints.data(), ints.data() + n, ints.data() + 2 * std::size_t(n), flags.data(), n};
    return rwave::findPeaks(x, n, minDist, idx, capacity, work);
}

}  // namespace
}  // namespace tessivar

using namespace tessivar;

extern "C" {

int32_t peakSearchDouble(const double *x, int32_t n, int32_t *idx, double thr) { return peakSearchAll(x, n, idx, thr); }
int32_t peakSearchFloat(const float *x, int32_t n, int32_t *idx, double thr) { return peakSearchAll(x, n, idx, thr); }
int32_t peakSearchForShort(const int16_t *x, int32_t n, int32_t *idx, double thr)
{
    return peakSearchAll(x, n, idx, thr);
}
int32_t findPeaksDouble(const double *x, int32_t n, int32_t minDist, int32_t *idx, int32_t capacity)
{
    return findPeaksAll(x, n, minDist, idx, capacity);
}
int32_t findPeaksFloat(const float *x, int32_t n, int32_t minDist, int32_t *idx, int32_t capacity)
{
    return findPeaksAll(x, n, minDist, idx, capacity);
}

}  // extern "C"

// Offline R-peak finder of method 1, double precision, and the wave-duration
// measurements on double arrays.
#include "beat_detect/detector_methods.hpp"
#include "beat_detect/rpeak_finder.hpp"
#include "tessivar/rwave_tools.h"

namespace tessivar {

int32_t inerFindRWithNonRealDouble(const int16_t *samples, int32_t length, BeatDetect *detector,
                                   int32_t *positions, int32_t capacity)
{
    return rpeak::findR<double>(samples, length, detector, positions, capacity, rpeak::Learning::rawChecked);
}

}  // namespace tessivar

extern "C" int32_t getWaveDuration(int32_t c, int32_t w, const double *x, int32_t n)
{
    int32_t on = 0, off = 0;
    return tessivar::rwave::waveDuration(c, w, x, n, &on, &off);
}

extern "C" int32_t getWaveDurationAndPeakAmp(int32_t c, int32_t w, const int16_t *raw, const double *x, int32_t n,
                                             int16_t ref, int16_t *amp)
{
    return tessivar::rwave::waveDurationAndPeakAmp(c, w, raw, x, n, ref, amp);
}

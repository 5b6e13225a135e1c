// Offline R-peak finder of method 1, single precision (the one findRPeak
// uses for a Corvane handle), and the wave-duration measurements on float
// arrays.
#include "beat_detect/detector_methods.hpp"
#include "beat_detect/rpeak_finder.hpp"
#include "tessivar/rwave_tools.h"

namespace tessivar {

int32_t inerFindRWithNonRealFloat(const int16_t *samples, int32_t length, BeatDetect *detector, int32_t *positions,
                                  int32_t capacity)
{
    return rpeak::findR<float>(samples, length, detector, positions, capacity, rpeak::Learning::fixed);
}

}  // namespace tessivar

extern "C" int32_t getWaveDurationFloat(int32_t c, int32_t w, const float *x, int32_t n)
{
    int32_t on = 0, off = 0;
    return tessivar::rwave::waveDuration(c, w, x, n, &on, &off);
}

extern "C" int32_t getWaveDurationAndPeakAmpFloat(int32_t c, int32_t w, const int16_t *raw, const float *x,
                                                  int32_t n, int16_t ref, int16_t *amp)
{
    return tessivar::rwave::waveDurationAndPeakAmp(c, w, raw, x, n, ref, amp);
}

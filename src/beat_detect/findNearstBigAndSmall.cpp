// Level scans (first sample above or below a level) and threshold-crossing
// location, for every sample type.
#include "beat_detect/rwave_tools.hpp"
#include "tessivar/rwave_tools.h"

using tessivar::rwave::findNearst;
using tessivar::rwave::thresholdCross;

extern "C" {

int32_t findNearstBiggerDouble(const double *x, int32_t n, double thr) { return findNearst(x, n, thr, true); }
int32_t findNearstBiggerForFloat(const float *x, int32_t n, double thr) { return findNearst(x, n, thr, true); }
int32_t findNearstBiggerForInt(const int32_t *x, int32_t n, double thr) { return findNearst(x, n, thr, true); }
int32_t findNearstBiggerForShort(const int16_t *x, int32_t n, double thr) { return findNearst(x, n, thr, true); }
int32_t findNearstSmallerDouble(const double *x, int32_t n, double thr) { return findNearst(x, n, thr, false); }
int32_t findNearstSmallerForFloat(const float *x, int32_t n, double thr) { return findNearst(x, n, thr, false); }
int32_t findNearstSmallerForInt(const int32_t *x, int32_t n, double thr) { return findNearst(x, n, thr, false); }
int32_t findNearstSmallerForShort(const int16_t *x, int32_t n, double thr) { return findNearst(x, n, thr, false); }

int32_t thresholdCrossForwardDouble(const double *x, int32_t n, double thr) { return thresholdCross(x, n, thr, true); }
int32_t thresholdCrossForwardForFloat(const float *x, int32_t n, double thr)
{
    return thresholdCross(x, n, thr, true);
}
int32_t thresholdCrossForwardForShort(const int16_t *x, int32_t n, double thr)
{
    return thresholdCross(x, n, thr, true);
}
int32_t thresholdCrossBackwardDouble(const double *x, int32_t n, double thr)
{
    return thresholdCross(x, n, thr, false);
}
int32_t thresholdCrossBackwardForFloat(const float *x, int32_t n, double thr)
{
    return thresholdCross(x, n, thr, false);
}
int32_t thresholdCrossBackwardForShort(const int16_t *x, int32_t n, double thr)
{
    return thresholdCross(x, n, thr, false);
}

}  // extern "C"

// Box moving average over whole arrays (full convolution, running sum).
#include "beat_detect/rwave_tools.hpp"
#include "tessivar/rwave_tools.h"

using namespace tessivar;

extern "C" {

int32_t movingAverageDouble(const double *x, int32_t n, int32_t w, double *out)
{
    return rwave::movingAverage(x, n, w, out);
}
int32_t movingAverageFloat(const double *x, int32_t n, int32_t w, float *out)
{
    return rwave::movingAverage(x, n, w, out);
}

}  // extern "C"

/* Moving-average high-pass filter (kind SIGNAL_FILTER_AVG).
 *
 * y[n] = x[n - delay] - (x[n] + ... + x[n-N+1]) / N with a running sum, so
 * the cost per sample does not depend on the window N. The delay is N/2,
 * set at creation only (setSignalFilterDelay may change it, 0 .. N). The DC
 * gain is 0: a constant input gives 0 from the first sample. */
#ifndef TESSIVAR_AVG_FILTER_H
#define TESSIVAR_AVG_FILTER_H

#include "signal_filter.h"

TESSIVAR_BEGIN_C

/* Moving-average object (high-pass and low-pass share it). A static
 * definition fills avg_num, head.delay and a window buf of avg_num doubles. */
typedef struct AvgFilter {
    SignalFilter head;
    int32_t avg_num; /* window length N, at least 1 */
    double sum;      /* running sum of the window (never re-accumulated) */
    int32_t index;   /* slot of the next sample; counts up modulo N */
    double *buf;     /* the window, N doubles */
} AvgFilter;

/* Null for a null record or name or avg_num < 1. */
TESSIVAR_API SignalFilter *newAvgFilter(const AvgFilterConf *conf);
TESSIVAR_API int delAvgFilter(SignalFilter **filter);
/* gainDC 0, next sample primes; delay untouched. 0 or -1. */
TESSIVAR_API int initAvgFilter(SignalFilter *filter);
TESSIVAR_API int initAvgFilterCustom(SignalFilter *filter, double x0, double y0);
TESSIVAR_API double doAvgFilter(SignalFilter *filter, double x);
/* out must differ from in. For n <= N the overall mean is removed. 0 or -1. */
TESSIVAR_API int doAvgFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n);

TESSIVAR_END_C

#endif /* TESSIVAR_AVG_FILTER_H */

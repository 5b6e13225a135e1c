/* IIR filter in direct form I (kind SIGNAL_FILTER_IIR_COMB).
 *
 * a[0]*y[n] = sum_{k<nb} b[k]*x[n-k] - sum_{1<=k<na} a[k]*y[n-k]; the output
 * is gain*y. b is the record's numerator times its gain, a its denominator.
 * Per sample both sums are taken in long double over circular histories,
 * then divided by a[0] and rounded to double. The DC gain is
 * sum(b)/sum(a), 0 when sum(a) is exactly 0 (high-pass designs), so priming
 * with a constant c starts the output at gainDC*c. The delay is the record's
 * `delay` (set at creation only). A zero a[0] is not refused: the outputs
 * are then not numbers. */
#ifndef TESSIVAR_IIR_COMB_FILTER_H
#define TESSIVAR_IIR_COMB_FILTER_H

#include "signal_filter.h"

TESSIVAR_BEGIN_C

/* IIR object. A static definition fills the coefficients and sizes and two
 * histories, xBuf of xLen = num_num and yBuf of yLen = den_num doubles. */
typedef struct IirCombFilter {
    SignalFilter head;
    const double *numData; /* b[0..num_num-1], record gain folded in */
    int32_t num_num;       /* nb, at least 1 */
    const double *denData; /* a[0..den_num-1], unscaled */
    int32_t den_num;       /* na, at least 1 */
    int32_t xIndex;        /* input-history slot of the next sample; counts down */
    int32_t xLen;          /* input-history length, nb */
    double *xBuf;          /* input history */
    int32_t yIndex;        /* output-history slot of the next output; counts down */
    int32_t yLen;          /* output-history length, na */
    double *yBuf;          /* output history (before gain) */
} IirCombFilter;

/* Null for a null record or name, null arrays or lengths < 1. */
TESSIVAR_API SignalFilter *newIirCombFilter(const IirCombFilterConf *conf);
TESSIVAR_API int delIirCombFilter(SignalFilter **filter);
/* gainDC recomputed, next sample primes; delay untouched. 0 or -1. */
TESSIVAR_API int initIirCombFilter(SignalFilter *filter);
TESSIVAR_API int initIirCombFilterCustom(SignalFilter *filter, double x0, double y0);
TESSIVAR_API double doIirCombFilter(SignalFilter *filter, double x);
/* Needs n >= nb, na, delay and n >= delay + max(nb, na) - 1. -1 on failure;
 * 0, or 1 when out is in. */
TESSIVAR_API int doIirCombFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n);

TESSIVAR_END_C

#endif /* TESSIVAR_IIR_COMB_FILTER_H */

/* FIR filter (kind SIGNAL_FILTER_FIR).
 *
 * y[n] = sum_{k=0..L-1} b[k] * x[n-k], with b the record's coefficients times
 * its gain. Per sample the sum runs over a circular history and is
 * accumulated in long double (64-bit mantissa on x86), then rounded to
 * double. The reported delay is L/2 (exactly (L-1)/2 for the odd-length
 * linear-phase designs). The whole-array path returns the response moved
 * `delay` samples earlier, the input extended at both ends by its edge
 * values; it needs n >= delay + 2(L-1). */
#ifndef TESSIVAR_FIR_FILTER_H
#define TESSIVAR_FIR_FILTER_H

#include "signal_filter.h"

TESSIVAR_BEGIN_C

/* FIR object: the header, then the kind state. A static definition fills
 * numData/num_num and a history xBuf of xLen = num_num doubles. */
typedef struct FirFilter {
    SignalFilter head;
    const double *numData; /* b[0..num_num-1], record gain folded in */
    int32_t num_num;       /* number of coefficients L (at least 1) */
    int32_t xIndex;        /* history slot of the next sample; counts down */
    int32_t xLen;          /* history length, L */
    double *xBuf;          /* input history */
} FirFilter;

/* Null for a null record or name, null numData or num_num < 1. */
TESSIVAR_API SignalFilter *newFirFilter(const FirFilterConf *conf);
TESSIVAR_API int delFirFilter(SignalFilter **filter);
/* delay = L/2, gainDC = 0, next sample primes. 0, or -1 for a null filter
 * or a filter that is not a complete FIR. */
TESSIVAR_API int initFirFilter(SignalFilter *filter);
TESSIVAR_API int initFirFilterCustom(SignalFilter *filter, double x0, double y0);
TESSIVAR_API double doFirFilter(SignalFilter *filter, double x);
/* -1 on failure; 0, or 1 when out is in. */
TESSIVAR_API int doFirFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n);

TESSIVAR_END_C

#endif /* TESSIVAR_FIR_FILTER_H */

/* Sparse-tap IIR filter (kind SIGNAL_FILTER_INTEGER).
 *
 * The IIR recursion of iir_comb_filter.h with both polynomials stored as tap
 * lists (position, coefficient), so the cost per sample depends only on the
 * number of stored taps, not on the polynomial lengths: the long
 * integer-coefficient baseline and comb designs of the front end have
 * numerators thousands of samples long with five taps. The arithmetic is
 * floating point: sums in long double, divided by the first denominator
 * tap, rounded to double. The delay is (num_num - den_num)/2. */
#ifndef TESSIVAR_INTEGER_FILTER_H
#define TESSIVAR_INTEGER_FILTER_H

#include "signal_filter.h"

TESSIVAR_BEGIN_C

/* Integer-kind object. The input history holds every one of the numerator's
 * positions (random access to old samples), the output history the
 * denominator's. */
typedef struct IntegerFilter {
    SignalFilter head;
    const IntegerFilterTap *numData; /* numerator taps, record gain folded in */
    int32_t num_num;                 /* numerator length */
    int32_t num_num_valid;           /* number of numerator taps */
    const IntegerFilterTap *denData; /* denominator taps, unscaled */
    int32_t den_num;                 /* denominator length */
    int32_t den_num_valid;           /* number of denominator taps */
    int32_t xIndex;                  /* input-history slot of the next sample; counts down */
    int32_t xLen;                    /* input-history length */
    double *xBuf;                    /* input history */
    int32_t yIndex;                  /* output-history slot; counts down */
    int32_t yLen;                    /* output-history length */
    double *yBuf;                    /* output history (before gain) */
} IntegerFilter;

/* Null for a null record or name, null tap lists or counts < 1. */
TESSIVAR_API SignalFilter *newIntegerFilter(const IntegerFilterConf *conf);
TESSIVAR_API int delIntegerFilter(SignalFilter **filter);
TESSIVAR_API int initIntegerFilter(SignalFilter *filter);
TESSIVAR_API int initIntegerFilterCustom(SignalFilter *filter, double x0, double y0);
TESSIVAR_API double doIntegerFilter(SignalFilter *filter, double x);
/* Needs 0 <= delay <= max(num_num, den_num) - 1, n >= num_num, den_num and
 * n >= delay + max(num_num, den_num) - 1. -1 on failure; 0, or 1 in place. */
TESSIVAR_API int doIntegerFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n);

TESSIVAR_END_C

#endif /* TESSIVAR_INTEGER_FILTER_H */

/* maxMinMeanMedianAbsOfArray: position-of-extreme, absolute-value, mean and
 * median helpers of the R-wave detectors and their tools.
 *
 * Unlike kt_array these return their result directly. Position routines
 * return the index of the first extreme element, or -1 for a null array or
 * n < 1. Comparisons follow IEEE rules (a NaN never replaces the extreme
 * found so far). Nothing here keeps state or logs; arrayMedianForDouble
 * allocates a temporary copy. */
#ifndef TESSIVAR_MAXMINMEANMEDIANABSOFARRAY_H
#define TESSIVAR_MAXMINMEANMEDIANABSOFARRAY_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Index of the first largest element, or -1. */
TESSIVAR_API int32_t maxPosDouble(const double *x, int32_t n);
TESSIVAR_API int32_t maxPosForFloat(const float *x, int32_t n);
TESSIVAR_API int32_t maxPosForInt(const int32_t *x, int32_t n);
TESSIVAR_API int32_t maxPosForShort(const int16_t *x, int32_t n);

/* Index of the first smallest element, or -1. */
TESSIVAR_API int32_t minPosDouble(const double *x, int32_t n);
TESSIVAR_API int32_t minPosForFloat(const float *x, int32_t n);
TESSIVAR_API int32_t minPosForInt(const int32_t *x, int32_t n);
TESSIVAR_API int32_t minPosForShort(const int16_t *x, int32_t n);

/* Index of the first largest absolute value, or -1. The int16 member ranks
 * 16-bit absolute values, in which |-32768| is -32768: it ranks lowest. */
TESSIVAR_API int32_t maxAbsPosDouble(const double *x, int32_t n);
TESSIVAR_API int32_t maxAbsPosFloat(const float *x, int32_t n);
TESSIVAR_API int32_t maxAbsPosShort(const int16_t *x, int32_t n);

/* out[k] = |x[k]| (out may be x). Returns 1, or -1 for a null pointer or
 * n < 1. The int16 member gives 32767 for -32768 (saturated). */
TESSIVAR_API int32_t arrayNumAbsDouble(const double *x, int32_t n, double *out);
TESSIVAR_API int32_t arrayNumAbsFloat(const float *x, int32_t n, float *out);
TESSIVAR_API int32_t arrayNumAbsShort(const int16_t *x, int32_t n, int16_t *out);

/* Plain mean sum / n as double. int16 and int32 elements are summed in their
 * own type, wrapping on overflow (use calcMeanShort / calcMeanInt of
 * kt_array for exact means of long or large arrays); float and double sum
 * in double. 0.0 for a null array or n < 1. */
TESSIVAR_API double arrayMeanForShort(const int16_t *x, int32_t n);
TESSIVAR_API double arrayMeanForInt(const int32_t *x, int32_t n);
TESSIVAR_API double arrayMeanForFloat(const float *x, int32_t n);
TESSIVAR_API double arrayMeanForDouble(const double *x, int32_t n);

/* int32 sum, wrapping modulo 2^32; 0 for a null array or n < 1. */
TESSIVAR_API int32_t arraySumForInt(const int32_t *x, int32_t n);

/* Median of a sorted copy of x (x is left as it is; mean of the two middle
 * elements for even n). -1.0 for a null array, n < 1 or when the copy
 * cannot be allocated. */
TESSIVAR_API double arrayMedianForDouble(const double *x, int32_t n);

/* out[k] = x[n-1-k] (out may be x). Returns n, or -1 for a null pointer or
 * n < 1. */
TESSIVAR_API int32_t flipArrayForDouble(const double *x, int32_t n, double *out);
TESSIVAR_API int32_t flipArrayForFloat(const float *x, int32_t n, float *out);

/* out[k] = x[k] - arrayMeanForInt(x, n). Returns 1, or -1 for a null
 * pointer or n < 1. */
TESSIVAR_API int32_t reduceMean(const int32_t *x, int32_t n, double *out);

/* Scales x[0..n-1] in place by 1 / (scale x peak), peak being the largest
 * absolute value among the first m elements (1 <= m <= n). Returns 1; -1 for
 * a null x, a bad n or m, or scale 0; -2 when the peak is 0 (nothing to
 * scale by; x is left untouched). */
TESSIVAR_API int32_t normalizationDouble(double *x, int32_t n, int32_t m, double scale);
TESSIVAR_API int32_t normalizationFloat(float *x, int32_t n, int32_t m, float scale);

TESSIVAR_END_C

#endif /* TESSIVAR_MAXMINMEANMEDIANABSOFARRAY_H */

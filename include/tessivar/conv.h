/* Convolution helpers of the FIR filter. */
#ifndef TESSIVAR_CONV_H
#define TESSIVAR_CONV_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* "Valid" convolution: y[i] = sum_{k=0..m-1} h[k] * x[i+m-1-k] for
 * i = 0 .. n-m, written into y (n-m+1 values), summed in double. Returns
 * n-m+1, or -1 for a null pointer, m < 1 or n < m. */
TESSIVAR_API int32_t convValid(const double *x, int32_t n, const double *h, int32_t m, double *y);

/* Adds the first n samples of the full convolution of x[0..n-1] with
 * h[0..m-1] into y: y[i] += sum_{k=0..min(i,m-1)} h[k] * x[i-k]. The caller
 * clears y; only y[0..n-1] is written. Taps are taken in pairs with three
 * multiplications per two outputs (Winograd's two-tap scheme), which fixes
 * the rounding. Returns n, or -1 for a null pointer, n < 0 or m < 1. */
TESSIVAR_API int32_t convWinograd(const double *x, int32_t n, const double *h, int32_t m, double *y);

TESSIVAR_END_C

#endif /* TESSIVAR_CONV_H */

/* Whole-array signal tools of the R-wave detectors: the batch Lynn filters
 * and the derivative, convolution, moving average, interpolation, extremum
 * and peak search, level scans, threshold crossings and wave durations.
 * All are stateless; the caller owns every array. Failures return a
 * negative code and leave the outputs unwritten. */
#ifndef TESSIVAR_RWAVE_TOOLS_H
#define TESSIVAR_RWAVE_TOOLS_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Lynn filters over x[0..n-1] into out[0..n-1]; 1, or -1 for a null array,
 * fs or div below 1, or n < 2 fs. N = round(fs / div).
 * xpa: high-pass x - (triangular sum of length 2N-1) / N^2.
 * xpb: the triangular sum itself (gain N^2).
 * D:   slope (fs/8)(x[k+2] + 2x[k+1] - 2x[k-1] - x[k-2]).
 * xpf: the triangular sum with N = round(fs / 40).
 * The float members compute in double (xpa without the 1/N^2) and scale the
 * output so that its largest magnitude in the first 2 fs samples is 10. */
TESSIVAR_API int32_t xpaFilterDouble(const int16_t *x, int32_t n, int32_t fs, int32_t div, double *out);
TESSIVAR_API int32_t xpaFilterFloat(const int16_t *x, int32_t n, int32_t fs, int32_t div, float *out);
TESSIVAR_API int32_t xpbFilterDouble(const double *x, int32_t n, int32_t fs, int32_t div, double *out);
TESSIVAR_API int32_t xpbFilterFloat(const float *x, int32_t n, int32_t fs, int32_t div, float *out);
TESSIVAR_API int32_t DFilterDouble(const double *x, int32_t n, int32_t fs, double *out);
TESSIVAR_API int32_t DFilterFloat(const float *x, int32_t n, int32_t fs, float *out);
TESSIVAR_API int32_t xpfFilterDouble(const double *x, int32_t n, int32_t fs, double *out);
TESSIVAR_API int32_t xpfFilterFloat(const float *x, int32_t n, int32_t fs, float *out);

/* The 160 Hz derivative kernel resampled to fs (K = floor(4 fs / 160) + 1
 * taps), fully convolved with x: n + K - 1 values into out and their
 * magnitudes into outAbs. Returns n + K - 1, or -1. */
TESSIVAR_API int32_t derivativeFiltDouble(const double *x, int32_t n, int32_t fs, double *out, double *outAbs);
TESSIVAR_API int32_t derivativeFiltFloat(const float *x, int32_t n, int32_t fs, float *out, float *outAbs);

/* Full convolution of x[0..n-1] with h[0..m-1]: n + m - 1 values, or -1. */
TESSIVAR_API int32_t convDouble(const double *x, int32_t n, const double *h, int32_t m, double *out);
TESSIVAR_API int32_t convFloat(const float *x, int32_t n, const double *h, int32_t m, float *out);

/* Full convolution with a box of w taps of 1/w (1 <= w <= n): n + w - 1
 * values, or -1. */
TESSIVAR_API int32_t movingAverageDouble(const double *x, int32_t n, int32_t w, double *out);
TESSIVAR_API int32_t movingAverageFloat(const double *x, int32_t n, int32_t w, float *out);

/* Linear interpolation of y[0..n-1] onto 0, step, 2 step, ... <= n-1
 * (floor((n-1)/step) + 1 points). The count, or -1 for n < 2 or step <= 0. */
TESSIVAR_API int32_t interp1(const double *y, int32_t n, double step, double *out);

/* Strict local extrema (no flat step) k in 1..n-2 with |x[k]| >= thr, in
 * ascending order into idx (room for n - 2). The count, or -1. */
TESSIVAR_API int32_t peakSearchDouble(const double *x, int32_t n, int32_t *idx, double thr);
TESSIVAR_API int32_t peakSearchFloat(const float *x, int32_t n, int32_t *idx, double thr);
TESSIVAR_API int32_t peakSearchForShort(const int16_t *x, int32_t n, int32_t *idx, double thr);

/* Local maxima, taken highest first among the highest two thirds and at
 * least minDist apart, in ascending order into idx (at most capacity). The
 * count, -1 for a bad argument (n <= 2, minDist outside 0..n-2), -2 when out
 * of memory. */
TESSIVAR_API int32_t findPeaksDouble(const double *x, int32_t n, int32_t minDist, int32_t *idx, int32_t capacity);
TESSIVAR_API int32_t findPeaksFloat(const float *x, int32_t n, int32_t minDist, int32_t *idx, int32_t capacity);

/* First index with x[k] > thr (Bigger) or x[k] < thr (Smaller); -1 when
 * there is none, -2 for a null array or n < 1. */
TESSIVAR_API int32_t findNearstBiggerDouble(const double *x, int32_t n, double thr);
TESSIVAR_API int32_t findNearstBiggerForFloat(const float *x, int32_t n, double thr);
TESSIVAR_API int32_t findNearstBiggerForInt(const int32_t *x, int32_t n, double thr);
TESSIVAR_API int32_t findNearstBiggerForShort(const int16_t *x, int32_t n, double thr);
TESSIVAR_API int32_t findNearstSmallerDouble(const double *x, int32_t n, double thr);
TESSIVAR_API int32_t findNearstSmallerForFloat(const float *x, int32_t n, double thr);
TESSIVAR_API int32_t findNearstSmallerForInt(const int32_t *x, int32_t n, double thr);
TESSIVAR_API int32_t findNearstSmallerForShort(const int16_t *x, int32_t n, double thr);

/* The sample nearest to the first crossing of thr, read from the start
 * (Forward) or from the end (Backward; an index into x, ties go to the
 * sample farther from the end). -1 for n < 2 or a null array, -2 when x
 * never crosses. */
TESSIVAR_API int32_t thresholdCrossForwardDouble(const double *x, int32_t n, double thr);
TESSIVAR_API int32_t thresholdCrossForwardForFloat(const float *x, int32_t n, double thr);
TESSIVAR_API int32_t thresholdCrossForwardForShort(const int16_t *x, int32_t n, double thr);
TESSIVAR_API int32_t thresholdCrossBackwardDouble(const double *x, int32_t n, double thr);
TESSIVAR_API int32_t thresholdCrossBackwardForFloat(const float *x, int32_t n, double thr);
TESSIVAR_API int32_t thresholdCrossBackwardForShort(const int16_t *x, int32_t n, double thr);

/* Width in samples of the biphasic wave of x that ends at c (window w,
 * crossings at a quarter of each extreme); 0 when there is none, -1 for a
 * bad argument. The AndPeakAmp members also store into *amp the larger
 * raw swing from the onset or offset to ref (raw aligned with x). */
TESSIVAR_API int32_t getWaveDuration(int32_t c, int32_t w, const double *x, int32_t n);
TESSIVAR_API int32_t getWaveDurationFloat(int32_t c, int32_t w, const float *x, int32_t n);
TESSIVAR_API int32_t getWaveDurationAndPeakAmp(int32_t c, int32_t w, const int16_t *raw, const double *x, int32_t n,
                                               int16_t ref, int16_t *amp);
TESSIVAR_API int32_t getWaveDurationAndPeakAmpFloat(int32_t c, int32_t w, const int16_t *raw, const float *x,
                                                    int32_t n, int16_t ref, int16_t *amp);

TESSIVAR_END_C

#endif /* TESSIVAR_RWAVE_TOOLS_H */

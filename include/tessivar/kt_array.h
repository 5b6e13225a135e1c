/* kt_array: stateless routines over caller-owned typed arrays.
 *
 * Extreme values, searches, counts, statistics, sorting, element-wise
 * transforms, normalisations, peak picking and small matrix operations. Every
 * family exists for int16 (suffix Short), int32 (Int), float (Float) and
 * double (Double) elements unless its comment says otherwise. An array is a
 * pointer plus an int32 length n; indexes are int32 and 0-based.
 *
 * Every routine returns an int32 status and delivers its results through
 * out-pointers. Where a routine takes a value pointer and an index pointer,
 * either may be null but not both. Status codes:
 *    0  success
 *   -1  invalid argument: null pointer, n below the routine's minimum (1
 *       unless stated), inverted range, invalid mode
 *   -2  no valid element (NaN-skipping means found only NaN or infinities)
 *   -3  nothing found (searches)
 *   -4  a temporary allocation failed
 *   -5  matrix dimensions do not match
 *   -6  an int16 result left the int16 range (saturated to -32768 / 32767)
 *   -7  an int32 result left the int32 range (saturated)
 *   -8  a float result left the float range (saturated to +-FLT_MAX); also
 *       the overflow code of reduceMeanDouble
 *   -9  a double result left the double range (saturated to +-DBL_MAX in
 *       output arrays; a variance, deviation or sum is then not written)
 *  -10  the int32 accumulator of calcSumShort would overflow
 *  -11  the int64 accumulator of calcSumInt would overflow
 * Routines that saturate process the whole array and then return the code.
 *
 * Floating-point comparisons follow IEEE rules: a NaN compares false with
 * everything, so it never equals a value and never replaces the extreme
 * found so far (a NaN first element therefore stays the result of a
 * max/min search).
 * Nothing here keeps state, logs or allocates, except where a comment names a
 * temporary. */
#ifndef TESSIVAR_KT_ARRAY_H
#define TESSIVAR_KT_ARRAY_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* ---- extreme values ------------------------------------------------------ */

/* Value and index of the first largest (findMax) / smallest (findMin)
 * element. */
TESSIVAR_API int32_t findMaxShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index);
TESSIVAR_API int32_t findMaxInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index);
TESSIVAR_API int32_t findMaxFloat(const float *x, int32_t n, float *value, int32_t *index);
TESSIVAR_API int32_t findMaxDouble(const double *x, int32_t n, double *value, int32_t *index);
TESSIVAR_API int32_t findMinShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index);
TESSIVAR_API int32_t findMinInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index);
TESSIVAR_API int32_t findMinFloat(const float *x, int32_t n, float *value, int32_t *index);
TESSIVAR_API int32_t findMinDouble(const double *x, int32_t n, double *value, int32_t *index);

/* Largest and smallest value; both outputs are required. */
TESSIVAR_API int32_t findMaxMinShort(const int16_t *x, int32_t n, int16_t *max, int16_t *min);
TESSIVAR_API int32_t findMaxMinInt(const int32_t *x, int32_t n, int32_t *max, int32_t *min);
TESSIVAR_API int32_t findMaxMinFloat(const float *x, int32_t n, float *max, float *min);
TESSIVAR_API int32_t findMaxMinDouble(const double *x, int32_t n, double *max, double *min);

/* Largest (findMaxAbs) / smallest (findMinAbs) absolute value and its first
 * index. Elements are ranked by their true absolute value; an absolute value
 * that does not fit the element type (|-32768|, |-2147483648|) is reported
 * saturated (32767, 2147483647) with -6 / -7, the index stays exact. */
TESSIVAR_API int32_t findMaxAbsShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index);
TESSIVAR_API int32_t findMaxAbsInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index);
TESSIVAR_API int32_t findMaxAbsFloat(const float *x, int32_t n, float *value, int32_t *index);
TESSIVAR_API int32_t findMaxAbsDouble(const double *x, int32_t n, double *value, int32_t *index);
TESSIVAR_API int32_t findMinAbsShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index);
TESSIVAR_API int32_t findMinAbsInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index);
TESSIVAR_API int32_t findMinAbsFloat(const float *x, int32_t n, float *value, int32_t *index);
TESSIVAR_API int32_t findMinAbsDouble(const double *x, int32_t n, double *value, int32_t *index);

/* Largest and smallest absolute value; both outputs required; saturation as
 * for findMaxAbs. */
TESSIVAR_API int32_t findMaxMinAbsShort(const int16_t *x, int32_t n, int16_t *maxAbs, int16_t *minAbs);
TESSIVAR_API int32_t findMaxMinAbsInt(const int32_t *x, int32_t n, int32_t *maxAbs, int32_t *minAbs);
TESSIVAR_API int32_t findMaxMinAbsFloat(const float *x, int32_t n, float *maxAbs, float *minAbs);
TESSIVAR_API int32_t findMaxMinAbsDouble(const double *x, int32_t n, double *maxAbs, double *minAbs);

/* ---- searches -------------------------------------------------------------- */

/* First element strictly above (findGreater) / below (findLess) level, its
 * value and index; the lFind variants scan from the last element backwards.
 * -3 when there is none. */
TESSIVAR_API int32_t findGreaterShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index);
TESSIVAR_API int32_t findGreaterInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index);
TESSIVAR_API int32_t findGreaterFloat(const float *x, int32_t n, float level, float *value, int32_t *index);
TESSIVAR_API int32_t findGreaterDouble(const double *x, int32_t n, double level, double *value, int32_t *index);
TESSIVAR_API int32_t findLessShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index);
TESSIVAR_API int32_t findLessInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index);
TESSIVAR_API int32_t findLessFloat(const float *x, int32_t n, float level, float *value, int32_t *index);
TESSIVAR_API int32_t findLessDouble(const double *x, int32_t n, double level, double *value, int32_t *index);
TESSIVAR_API int32_t lFindGreaterShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index);
TESSIVAR_API int32_t lFindGreaterInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index);
TESSIVAR_API int32_t lFindGreaterFloat(const float *x, int32_t n, float level, float *value, int32_t *index);
TESSIVAR_API int32_t lFindGreaterDouble(const double *x, int32_t n, double level, double *value, int32_t *index);
TESSIVAR_API int32_t lFindLessShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index);
TESSIVAR_API int32_t lFindLessInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index);
TESSIVAR_API int32_t lFindLessFloat(const float *x, int32_t n, float level, float *value, int32_t *index);
TESSIVAR_API int32_t lFindLessDouble(const double *x, int32_t n, double level, double *value, int32_t *index);

/* First (findEqual) / last (lFindEqual) index of an element equal to value;
 * -3 when there is none. */
TESSIVAR_API int32_t findEqualShort(const int16_t *x, int32_t n, int16_t value, int32_t *index);
TESSIVAR_API int32_t findEqualInt(const int32_t *x, int32_t n, int32_t value, int32_t *index);
TESSIVAR_API int32_t findEqualFloat(const float *x, int32_t n, float value, int32_t *index);
TESSIVAR_API int32_t findEqualDouble(const double *x, int32_t n, double value, int32_t *index);
TESSIVAR_API int32_t lFindEqualShort(const int16_t *x, int32_t n, int16_t value, int32_t *index);
TESSIVAR_API int32_t lFindEqualInt(const int32_t *x, int32_t n, int32_t value, int32_t *index);
TESSIVAR_API int32_t lFindEqualFloat(const float *x, int32_t n, float value, int32_t *index);
TESSIVAR_API int32_t lFindEqualDouble(const double *x, int32_t n, double value, int32_t *index);

/* Level crossing nearest to the start (findCross) / end (lFindCross).
 * findCross skips the leading elements equal to level; from the first
 * different element it looks for the first element on the other side of the
 * level, and of that element and its predecessor returns the one nearer to
 * the level (the element itself on a tie). lFindCross works from the end
 * with the successor instead, and gives -3 at once when the last element
 * equals the level. -3 when the signal never crosses. */
TESSIVAR_API int32_t findCrossShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index);
TESSIVAR_API int32_t findCrossInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index);
TESSIVAR_API int32_t findCrossFloat(const float *x, int32_t n, float level, float *value, int32_t *index);
TESSIVAR_API int32_t findCrossDouble(const double *x, int32_t n, double level, double *value, int32_t *index);
TESSIVAR_API int32_t lFindCrossShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index);
TESSIVAR_API int32_t lFindCrossInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index);
TESSIVAR_API int32_t lFindCrossFloat(const float *x, int32_t n, float level, float *value, int32_t *index);
TESSIVAR_API int32_t lFindCrossDouble(const double *x, int32_t n, double level, double *value, int32_t *index);

/* Binary search in an ascending (descending) array for the insertion index
 * of value: the first position whose element is not below (not above) the
 * value, n when there is none. n >= 0. */
TESSIVAR_API int32_t findAscendingInsertShort(const int16_t *x, int32_t n, int16_t value, int32_t *index);
TESSIVAR_API int32_t findAscendingInsertInt(const int32_t *x, int32_t n, int32_t value, int32_t *index);
TESSIVAR_API int32_t findAscendingInsertFloat(const float *x, int32_t n, float value, int32_t *index);
TESSIVAR_API int32_t findAscendingInsertDouble(const double *x, int32_t n, double value, int32_t *index);
TESSIVAR_API int32_t findDescendingInsertShort(const int16_t *x, int32_t n, int16_t value, int32_t *index);
TESSIVAR_API int32_t findDescendingInsertInt(const int32_t *x, int32_t n, int32_t value, int32_t *index);
TESSIVAR_API int32_t findDescendingInsertFloat(const float *x, int32_t n, float value, int32_t *index);
TESSIVAR_API int32_t findDescendingInsertDouble(const double *x, int32_t n, double value, int32_t *index);

/* ---- counts -------------------------------------------------------------- */

/* Number of elements equal to value. Char: unsigned bytes. */
TESSIVAR_API int32_t calcFrequencyChar(const uint8_t *x, int32_t n, uint8_t value, int32_t *count);
TESSIVAR_API int32_t calcFrequencyShort(const int16_t *x, int32_t n, int16_t value, int32_t *count);
TESSIVAR_API int32_t calcFrequencyInt(const int32_t *x, int32_t n, int32_t value, int32_t *count);
TESSIVAR_API int32_t calcFrequencyFloat(const float *x, int32_t n, float value, int32_t *count);
TESSIVAR_API int32_t calcFrequencyDouble(const double *x, int32_t n, double value, int32_t *count);

/* Copies the elements with low <= x <= high, in order, into out (room for n
 * elements; may be null to count only) and writes their number to count
 * (required). -1 when low > high. */
TESSIVAR_API int32_t calcElementsInRangeShort(const int16_t *x, int32_t n, int16_t low, int16_t high, int16_t *out, int32_t *count);
TESSIVAR_API int32_t calcElementsInRangeInt(const int32_t *x, int32_t n, int32_t low, int32_t high, int32_t *out, int32_t *count);
TESSIVAR_API int32_t calcElementsInRangeFloat(const float *x, int32_t n, float low, float high, float *out, int32_t *count);
TESSIVAR_API int32_t calcElementsInRangeDouble(const double *x, int32_t n, double low, double high, double *out, int32_t *count);

/* Number of NaN elements. */
TESSIVAR_API int32_t findNanFrequencyFloat(const float *x, int32_t n, int32_t *count);
TESSIVAR_API int32_t findNanFrequencyDouble(const double *x, int32_t n, int32_t *count);

/* ---- statistics ------------------------------------------------------------- */

/* Arithmetic mean as double. Float and double use the running form
 * m <- k/(k+1) m + x[k]/(k+1), which needs no large intermediate sum; int16
 * and int32 sum exactly (64-bit accumulator) and divide in double. */
TESSIVAR_API int32_t calcMeanShort(const int16_t *x, int32_t n, double *mean);
TESSIVAR_API int32_t calcMeanInt(const int32_t *x, int32_t n, double *mean);
TESSIVAR_API int32_t calcMeanFloat(const float *x, int32_t n, double *mean);
TESSIVAR_API int32_t calcMeanDouble(const double *x, int32_t n, double *mean);

/* Mean and count of the elements that are neither NaN nor infinite (sum in
 * extended precision); mean or count may be null but not both. -2 when no
 * element is finite. */
TESSIVAR_API int32_t calcMeanFloatWithNan(const float *x, int32_t n, double *mean, int32_t *count);
TESSIVAR_API int32_t calcMeanDoubleWithNan(const double *x, int32_t n, double *mean, int32_t *count);

/* Population variance (sum of squared deviations from calcMean, divided by
 * n). -9 when the sum of squares would pass DBL_MAX (nothing written). */
TESSIVAR_API int32_t calcVarianceShort(const int16_t *x, int32_t n, double *variance);
TESSIVAR_API int32_t calcVarianceInt(const int32_t *x, int32_t n, double *variance);
TESSIVAR_API int32_t calcVarianceFloat(const float *x, int32_t n, double *variance);
TESSIVAR_API int32_t calcVarianceDouble(const double *x, int32_t n, double *variance);

/* Squared deviations from the NaN-skipping mean, summed over all n elements
 * and divided by n: a NaN element makes the variance NaN. -2 when no element
 * is finite, -9 on overflow. */
TESSIVAR_API int32_t calcVarianceFloatWithNan(const float *x, int32_t n, double *variance);
TESSIVAR_API int32_t calcVarianceDoubleWithNan(const double *x, int32_t n, double *variance);

/* Square root of the population variance; codes as calcVariance. */
TESSIVAR_API int32_t calcStdDeviationShort(const int16_t *x, int32_t n, double *deviation);
TESSIVAR_API int32_t calcStdDeviationInt(const int32_t *x, int32_t n, double *deviation);
TESSIVAR_API int32_t calcStdDeviationFloat(const float *x, int32_t n, double *deviation);
TESSIVAR_API int32_t calcStdDeviationDouble(const double *x, int32_t n, double *deviation);

/* Sum. int16 adds in int32 (-10 before a step that would overflow it),
 * int32 in int64 (-11), float and double in double (-9 before a step that
 * would leave +-DBL_MAX). On an overflow code the sum is not written. */
TESSIVAR_API int32_t calcSumShort(const int16_t *x, int32_t n, int32_t *sum);
TESSIVAR_API int32_t calcSumInt(const int32_t *x, int32_t n, int64_t *sum);
TESSIVAR_API int32_t calcSumFloat(const float *x, int32_t n, double *sum);
TESSIVAR_API int32_t calcSumDouble(const double *x, int32_t n, double *sum);

/* Median as double (mean of the two middle elements for even n). Sorts x
 * ascending in place. */
TESSIVAR_API int32_t calcMedianShort(int16_t *x, int32_t n, double *median);
TESSIVAR_API int32_t calcMedianInt(int32_t *x, int32_t n, double *median);
TESSIVAR_API int32_t calcMedianFloat(float *x, int32_t n, double *median);
TESSIVAR_API int32_t calcMedianDouble(double *x, int32_t n, double *median);

/* ---- sorting --------------------------------------------------------------- */

/* In-place qsort, ascending / descending. The order of equal elements is not
 * defined. */
TESSIVAR_API int32_t sortAscendingShort(int16_t *x, int32_t n);
TESSIVAR_API int32_t sortAscendingInt(int32_t *x, int32_t n);
TESSIVAR_API int32_t sortAscendingFloat(float *x, int32_t n);
TESSIVAR_API int32_t sortAscendingDouble(double *x, int32_t n);
TESSIVAR_API int32_t sortDescendingShort(int16_t *x, int32_t n);
TESSIVAR_API int32_t sortDescendingInt(int32_t *x, int32_t n);
TESSIVAR_API int32_t sortDescendingFloat(float *x, int32_t n);
TESSIVAR_API int32_t sortDescendingDouble(double *x, int32_t n);

/* index[k] = position in x of the k-th largest value (qsort of value/index
 * pairs in a temporary array; the order of equal values is not defined).
 * -4 when the temporary cannot be allocated. */
TESSIVAR_API int32_t _sortDescendingForIndexShort(const int16_t *x, int32_t n, int32_t *index);
TESSIVAR_API int32_t _sortDescendingForIndexInt(const int32_t *x, int32_t n, int32_t *index);
TESSIVAR_API int32_t _sortDescendingForIndexFloat(const float *x, int32_t n, int32_t *index);
TESSIVAR_API int32_t _sortDescendingForIndexDouble(const double *x, int32_t n, int32_t *index);

/* ---- element-wise transforms ------------------------------------------------ */

/* Compacts x in place, dropping NaN elements (the order of the others is
 * kept). Returns the new count (0 ... n), or -1 for a null x or n < 1. */
TESSIVAR_API int32_t delNanFloat(float *x, int32_t n);
TESSIVAR_API int32_t delNanDouble(double *x, int32_t n);

/* out[0] = x[0], out[k] = x[k] - x[k-1]. Results beyond the element range
 * are saturated and the type's code (-6/-7/-8/-9) returned. out may be x. */
TESSIVAR_API int32_t arrayDifferenceShort(const int16_t *x, int32_t n, int16_t *out);
TESSIVAR_API int32_t arrayDifferenceInt(const int32_t *x, int32_t n, int32_t *out);
TESSIVAR_API int32_t arrayDifferenceFloat(const float *x, int32_t n, float *out);
TESSIVAR_API int32_t arrayDifferenceDouble(const double *x, int32_t n, double *out);

/* out[k] = x[k] - round(mean), the mean (calcMean) rounded to an integer
 * (half away from zero) for every type. Saturated with -6 (Short), -7 (Int),
 * -8 (Float and Double). out may be x. */
TESSIVAR_API int32_t reduceMeanShort(const int16_t *x, int32_t n, int16_t *out);
TESSIVAR_API int32_t reduceMeanInt(const int32_t *x, int32_t n, int32_t *out);
TESSIVAR_API int32_t reduceMeanFloat(const float *x, int32_t n, float *out);
TESSIVAR_API int32_t reduceMeanDouble(const double *x, int32_t n, double *out);

/* Reverses x in place. n >= 2. */
TESSIVAR_API int32_t flipArrayShort(int16_t *x, int32_t n);
TESSIVAR_API int32_t flipArrayInt(int32_t *x, int32_t n);
TESSIVAR_API int32_t flipArrayFloat(float *x, int32_t n);
TESSIVAR_API int32_t flipArrayDouble(double *x, int32_t n);

/* Writes m complex values as interleaved (real, imaginary) pairs into out
 * (2 m elements): real part x[k] for k < n, 0 beyond, imaginary parts 0.
 * m >= 1; out must not overlap x. */
TESSIVAR_API int32_t convertToComplexFloat(const float *x, int32_t n, int32_t m, float *out);
TESSIVAR_API int32_t convertToComplexDouble(const double *x, int32_t n, int32_t m, double *out);

/* trend[k] = 1 when x[k+1] > x[k], -1 when x[k+1] < x[k], else 0, for the
 * n - 1 steps (trend has room for n - 1 values). n >= 2. */
TESSIVAR_API int32_t calcTrendShort(const int16_t *x, int32_t n, int16_t *trend);
TESSIVAR_API int32_t calcTrendInt(const int32_t *x, int32_t n, int16_t *trend);
TESSIVAR_API int32_t calcTrendFloat(const float *x, int32_t n, int16_t *trend);
TESSIVAR_API int32_t calcTrendDouble(const double *x, int32_t n, int16_t *trend);

/* Collapses runs of equal neighbours: values[j] is the value of the j-th run
 * and index[j] the index of its first element; count (required) receives the
 * number of runs. values or index may be null but not both; each needs room
 * for n elements. */
TESSIVAR_API int32_t delAdjacentRepeatingShort(const int16_t *x, int32_t n, int16_t *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t delAdjacentRepeatingInt(const int32_t *x, int32_t n, int32_t *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t delAdjacentRepeatingFloat(const float *x, int32_t n, float *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t delAdjacentRepeatingDouble(const double *x, int32_t n, double *values, int32_t *index, int32_t *count);

/* ---- normalisations (out: n doubles) ---------------------------------------- */

/* out = x / max|x|; all zeros when the maximum is 0. */
TESSIVAR_API int32_t maxAbsNormalizeShort(const int16_t *x, int32_t n, double *out);
TESSIVAR_API int32_t maxAbsNormalizeInt(const int32_t *x, int32_t n, double *out);
TESSIVAR_API int32_t maxAbsNormalizeFloat(const float *x, int32_t n, double *out);
TESSIVAR_API int32_t maxAbsNormalizeDouble(const double *x, int32_t n, double *out);

/* out = (x - min) / (max - min); all zeros when max = min. */
TESSIVAR_API int32_t minMaxNormalizeShort(const int16_t *x, int32_t n, double *out);
TESSIVAR_API int32_t minMaxNormalizeInt(const int32_t *x, int32_t n, double *out);
TESSIVAR_API int32_t minMaxNormalizeFloat(const float *x, int32_t n, double *out);
TESSIVAR_API int32_t minMaxNormalizeDouble(const double *x, int32_t n, double *out);

/* out = (x - mean) / standard deviation (population); all zeros when the
 * deviation is 0; -9 (nothing written) when the deviation overflows. */
TESSIVAR_API int32_t zScoreNormalizeShort(const int16_t *x, int32_t n, double *out);
TESSIVAR_API int32_t zScoreNormalizeInt(const int32_t *x, int32_t n, double *out);
TESSIVAR_API int32_t zScoreNormalizeFloat(const float *x, int32_t n, double *out);
TESSIVAR_API int32_t zScoreNormalizeDouble(const double *x, int32_t n, double *out);

/* Times of sample indexes: out[k] = idx[k] / d with d = fs / 1000 rounded to
 * float, so the times are in milliseconds for fs in Hz. fs > 0. */
TESSIVAR_API int32_t samplePointsToTime(const int32_t *idx, int32_t n, float fs, float *out);

/* ---- peak picking ------------------------------------------------------------ */

/* Minimum-distance peak selection. Candidate i has the height values[i] and
 * the sample position idx[i] (positions normally ascending). The candidates
 * are taken by height, highest first; of the first round(count x ratio) of
 * them, each one not yet removed is accepted and removes up to minDist - 1
 * neighbours on each side in the candidate list, stopping at the first
 * neighbour more than minDist samples away. The accepted positions are
 * written to out ascending (room for count values), their number to
 * outCount. count >= 1, minDist >= 0, ratio >= 0 (values above 1 act as 1).
 * Temporaries of count elements (the index sort and the removal marks);
 * -4 when they cannot be allocated. */
TESSIVAR_API int32_t delNearPeaksShort(const int16_t *values, const int32_t *idx, int32_t count, int32_t minDist,
                                       int32_t *out, int32_t *outCount, double ratio);
TESSIVAR_API int32_t delNearPeaksInt(const int32_t *values, const int32_t *idx, int32_t count, int32_t minDist,
                                     int32_t *out, int32_t *outCount, double ratio);
TESSIVAR_API int32_t delNearPeaksFloat(const float *values, const int32_t *idx, int32_t count, int32_t minDist,
                                       int32_t *out, int32_t *outCount, double ratio);
TESSIVAR_API int32_t delNearPeaksDouble(const double *values, const int32_t *idx, int32_t count, int32_t minDist,
                                        int32_t *out, int32_t *outCount, double ratio);

/* Turning points of x after collapsing runs of equal values: mode 0 maxima
 * (the trend falls), 1 minima (it rises), 2 both. Each point is reported at
 * the first index of its run: values[j] and index[j] (either may be null but
 * not both; room for n elements), count (required) their number. The first
 * and last runs are never turning points. -1 for another mode. */
TESSIVAR_API int32_t findPeakPointsShort(const int16_t *x, int32_t n, int32_t mode, int16_t *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t findPeakPointsInt(const int32_t *x, int32_t n, int32_t mode, int32_t *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t findPeakPointsFloat(const float *x, int32_t n, int32_t mode, float *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t findPeakPointsDouble(const double *x, int32_t n, int32_t mode, double *values, int32_t *index, int32_t *count);

/* The turning points (mode 2) whose absolute value is strictly above level;
 * level > 0. Outputs as findPeakPoints. */
TESSIVAR_API int32_t findHighPeakPointsShort(const int16_t *x, int32_t n, int16_t level, int16_t *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t findHighPeakPointsInt(const int32_t *x, int32_t n, int32_t level, int32_t *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t findHighPeakPointsFloat(const float *x, int32_t n, float level, float *values, int32_t *index, int32_t *count);
TESSIVAR_API int32_t findHighPeakPointsDouble(const double *x, int32_t n, double level, double *values, int32_t *index, int32_t *count);

/* ---- small matrices (row-major; out must not overlap the inputs) --------- */

/* out (cols x rows) = transpose of a (rows x cols). rows, cols >= 1. */
TESSIVAR_API int32_t matrixTransposeShort(const int16_t *a, int32_t rows, int32_t cols, int16_t *out);
TESSIVAR_API int32_t matrixTransposeInt(const int32_t *a, int32_t rows, int32_t cols, int32_t *out);
TESSIVAR_API int32_t matrixTransposeFloat(const float *a, int32_t rows, int32_t cols, float *out);
TESSIVAR_API int32_t matrixTransposeDouble(const double *a, int32_t rows, int32_t cols, double *out);

/* Element-wise product of two rows x cols matrices. Saturated with -6
 * (Short), -8 (Float), -9 (Double); the int32 products wrap modulo 2^32
 * without a check. */
TESSIVAR_API int32_t matrixDotProductShort(const int16_t *a, const int16_t *b, int32_t rows, int32_t cols, int16_t *out);
TESSIVAR_API int32_t matrixDotProductInt(const int32_t *a, const int32_t *b, int32_t rows, int32_t cols, int32_t *out);
TESSIVAR_API int32_t matrixDotProductFloat(const float *a, const float *b, int32_t rows, int32_t cols, float *out);
TESSIVAR_API int32_t matrixDotProductDouble(const double *a, const double *b, int32_t rows, int32_t cols, double *out);

/* Matrix product out (r1 x c2) = a (r1 x c1) . b (r2 x c2); -5 when
 * c1 != r2. Integer sums are exact (wide accumulator), float sums run in
 * double; results beyond the element range are saturated with -6/-7/-8/-9. */
TESSIVAR_API int32_t matrixCrossProductShort(const int16_t *a, int32_t r1, int32_t c1, const int16_t *b, int32_t r2, int32_t c2, int16_t *out);
TESSIVAR_API int32_t matrixCrossProductInt(const int32_t *a, int32_t r1, int32_t c1, const int32_t *b, int32_t r2, int32_t c2, int32_t *out);
TESSIVAR_API int32_t matrixCrossProductFloat(const float *a, int32_t r1, int32_t c1, const float *b, int32_t r2, int32_t c2, float *out);
TESSIVAR_API int32_t matrixCrossProductDouble(const double *a, int32_t r1, int32_t c1, const double *b, int32_t r2, int32_t c2, double *out);

/* ---- misc ------------------------------------------------------------------- */

/* 1 when value is a positive power of two, else 0. */
TESSIVAR_API int32_t isPowerOfTwoShort(int16_t value);
TESSIVAR_API int32_t isPowerOfTwoInt(int32_t value);

/* "kt_array version 1.0.0.3 2025-07-15 11:29:18" */
TESSIVAR_API const char *getKtMathLibVersion(void);

TESSIVAR_END_C

#endif /* TESSIVAR_KT_ARRAY_H */

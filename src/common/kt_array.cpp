// kt_array: typed-array routines behind a C interface.
//
// Each family is one template in tessivar::ktarray, instantiated for int16,
// int32, float and double behind the exported names at the end of the file.
// The templates check their arguments themselves, so internal callers (the
// deviation calling the variance, peak selection calling the index sort) can
// use the same entry points.
//
// Arithmetic: a result that can leave its element range is first computed in
// a wider type (Traits<T>::Wide: int64 for the integers, double for float,
// long double for double) and then saturated to the element range, which
// sets the type's range code (-6 int16, -7 int32, -8 float, -9 double).
// Nothing here keeps state or logs; the only allocations are the temporaries
// of the index sort and of the peak selection.
#include "tessivar/kt_array.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

namespace tessivar {
namespace ktarray {
namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kBadArgument = -1;
constexpr int32_t kNoValidElement = -2;
constexpr int32_t kNotFound = -3;
constexpr int32_t kAllocFailed = -4;
constexpr int32_t kMatrixMismatch = -5;
constexpr int32_t kShortRange = -6;
constexpr int32_t kIntRange = -7;
constexpr int32_t kFloatRange = -8;
constexpr int32_t kDoubleRange = -9;
constexpr int32_t kShortSumOverflow = -10;
constexpr int32_t kIntSumOverflow = -11;

constexpr double kDoubleMax = std::numeric_limits<double>::max();

#if defined(__SIZEOF_INT128__)
__extension__ typedef __int128 ExactIntSum;
#else
typedef long double ExactIntSum;
#endif

template <typename T>
struct Traits;
template <>
struct Traits<int16_t> {
    using Wide = int64_t;          // exact for sums and products of two elements
    using ProductSum = int64_t;    // exact for any matrix product sum of int32 length
    static constexpr int32_t kRangeCode = kShortRange;
};
template <>
struct Traits<int32_t> {
    using Wide = int64_t;
    using ProductSum = ExactIntSum;
    static constexpr int32_t kRangeCode = kIntRange;
};
template <>
struct Traits<float> {
    using Wide = double;
    using ProductSum = double;
    static constexpr int32_t kRangeCode = kFloatRange;
};
template <>
struct Traits<double> {
    using Wide = long double;
    using ProductSum = long double;
    static constexpr int32_t kRangeCode = kDoubleRange;
};

template <typename T>
using Wide = typename Traits<T>::Wide;

// Magnitude of a wide value (integers cannot overflow here: the value came
// from a narrower type).
template <typename W>
W magnitude(W w)
{
    if constexpr (std::is_floating_point_v<W>) {
        return std::fabs(w);
    } else {
        return w < 0 ? -w : w;
    }
}

// True absolute value of an element, in the wide type.
template <typename T>
Wide<T> absWide(T v)
{
    return magnitude(static_cast<Wide<T>>(v));
}

// w clamped to the range of T; NaN passes through. Sets clipped when it
// clamps.
template <typename T, typename W>
T saturate(W w, bool &clipped)
{
    const W hi = static_cast<W>(std::numeric_limits<T>::max());
    const W lo = static_cast<W>(std::numeric_limits<T>::lowest());
    if (w > hi) {
        clipped = true;
        return std::numeric_limits<T>::max();
    }
    if (w < lo) {
        clipped = true;
        return std::numeric_limits<T>::lowest();
    }
    return static_cast<T>(w);
}

template <typename T>
bool validArray(const T *x, int32_t n, int32_t minLength = 1)
{
    return x != nullptr && n >= minLength;
}

// Writes the element k through the optional value / index pointers.
template <typename T>
int32_t deliver(const T *x, int32_t k, T *value, int32_t *index)
{
    if (k < 0) return kNotFound;
    if (value != nullptr) *value = x[k];
    if (index != nullptr) *index = k;
    return kOk;
}

int16_t trendOf(long double from, long double to)
{
    if (to > from) return 1;
    if (to < from) return -1;
    return 0;
}

// ---- extreme values -----------------------------------------------------------

// First element that no later element beats (better is strict).
template <typename T, typename Better>
int32_t findExtreme(const T *x, int32_t n, T *value, int32_t *index, Better better)
{
    if (!validArray(x, n) || (value == nullptr && index == nullptr)) return kBadArgument;
    int32_t best = 0;
    T bestValue = x[0];
    for (int32_t k = 1; k < n; ++k) {
        if (better(x[k], bestValue)) {
            best = k;
            bestValue = x[k];
        }
    }
    return deliver(x, best, value, index);
}

template <typename T>
int32_t findMax(const T *x, int32_t n, T *value, int32_t *index)
{
    return findExtreme(x, n, value, index, [](T a, T b) { return a > b; });
}

template <typename T>
int32_t findMin(const T *x, int32_t n, T *value, int32_t *index)
{
    return findExtreme(x, n, value, index, [](T a, T b) { return a < b; });
}

template <typename T>
int32_t findMaxMin(const T *x, int32_t n, T *max, T *min)
{
    if (!validArray(x, n) || max == nullptr || min == nullptr) return kBadArgument;
    T hi = x[0];
    T lo = x[0];
    for (int32_t k = 1; k < n; ++k) {
        if (x[k] > hi) hi = x[k];
        if (x[k] < lo) lo = x[k];
    }
    *max = hi;
    *min = lo;
    return kOk;
}

// Ranks by the true absolute value; |-32768| and |-2147483648| do not fit
// their element type, so they are reported saturated with the range code
// rather than wrapped back to a negative number.
template <typename T, typename Better>
int32_t findAbsExtreme(const T *x, int32_t n, T *value, int32_t *index, Better better)
{
    if (!validArray(x, n) || (value == nullptr && index == nullptr)) return kBadArgument;
    int32_t best = 0;
    Wide<T> bestAbs = absWide(x[0]);
    for (int32_t k = 1; k < n; ++k) {
        const Wide<T> a = absWide(x[k]);
        if (better(a, bestAbs)) {
            best = k;
            bestAbs = a;
        }
    }
    bool clipped = false;
    if (value != nullptr) *value = saturate<T>(bestAbs, clipped);
    if (index != nullptr) *index = best;
    return clipped ? Traits<T>::kRangeCode : kOk;
}

template <typename T>
int32_t findMaxAbs(const T *x, int32_t n, T *value, int32_t *index)
{
    return findAbsExtreme(x, n, value, index, [](Wide<T> a, Wide<T> b) { return a > b; });
}

template <typename T>
int32_t findMinAbs(const T *x, int32_t n, T *value, int32_t *index)
{
    return findAbsExtreme(x, n, value, index, [](Wide<T> a, Wide<T> b) { return a < b; });
}

template <typename T>
int32_t findMaxMinAbs(const T *x, int32_t n, T *maxAbs, T *minAbs)
{
    if (!validArray(x, n) || maxAbs == nullptr || minAbs == nullptr) return kBadArgument;
    Wide<T> hi = absWide(x[0]);
    Wide<T> lo = hi;
    for (int32_t k = 1; k < n; ++k) {
        const Wide<T> a = absWide(x[k]);
        if (a > hi) hi = a;
        if (a < lo) lo = a;
    }
    bool clipped = false;
    *maxAbs = saturate<T>(hi, clipped);
    *minAbs = saturate<T>(lo, clipped);
    return clipped ? Traits<T>::kRangeCode : kOk;
}

// ---- searches -------------------------------------------------------------------

template <typename T>
bool beyondLevel(T v, T level, bool above)
{
    return above ? v > level : v < level;
}

// First index in [from, n) beyond the level, or -1.
template <typename T>
int32_t scanForward(const T *x, int32_t from, int32_t n, T level, bool above)
{
    for (int32_t k = from; k < n; ++k) {
        if (beyondLevel(x[k], level, above)) return k;
    }
    return -1;
}

// Last index in [0, from] beyond the level, or -1.
template <typename T>
int32_t scanBackward(const T *x, int32_t from, T level, bool above)
{
    for (int32_t k = from; k >= 0; --k) {
        if (beyondLevel(x[k], level, above)) return k;
    }
    return -1;
}

template <typename T>
int32_t findBeyond(const T *x, int32_t n, T level, T *value, int32_t *index, bool above, bool fromEnd)
{
    if (!validArray(x, n) || (value == nullptr && index == nullptr)) return kBadArgument;
    const int32_t k = fromEnd ? scanBackward(x, n - 1, level, above) : scanForward(x, 0, n, level, above);
    return deliver(x, k, value, index);
}

template <typename T>
int32_t findGreater(const T *x, int32_t n, T level, T *value, int32_t *index)
{
    return findBeyond(x, n, level, value, index, true, false);
}

template <typename T>
int32_t findLess(const T *x, int32_t n, T level, T *value, int32_t *index)
{
    return findBeyond(x, n, level, value, index, false, false);
}

template <typename T>
int32_t lFindGreater(const T *x, int32_t n, T level, T *value, int32_t *index)
{
    return findBeyond(x, n, level, value, index, true, true);
}

template <typename T>
int32_t lFindLess(const T *x, int32_t n, T level, T *value, int32_t *index)
{
    return findBeyond(x, n, level, value, index, false, true);
}

template <typename T>
int32_t findEqualAt(const T *x, int32_t n, T value, int32_t *index, bool fromEnd)
{
    if (!validArray(x, n) || index == nullptr) return kBadArgument;
    for (int32_t j = 0; j < n; ++j) {
        const int32_t k = fromEnd ? n - 1 - j : j;
        if (x[k] == value) {
            *index = k;
            return kOk;
        }
    }
    return kNotFound;
}

template <typename T>
int32_t findEqual(const T *x, int32_t n, T value, int32_t *index)
{
    return findEqualAt(x, n, value, index, false);
}

template <typename T>
int32_t lFindEqual(const T *x, int32_t n, T value, int32_t *index)
{
    return findEqualAt(x, n, value, index, true);
}

// Of the crossing element k and its neighbour on the level's other side,
// the one nearer to the level; k itself on a tie.
template <typename T>
int32_t nearerToLevel(const T *x, int32_t k, int32_t neighbour, T level)
{
    const Wide<T> dk = magnitude(static_cast<Wide<T>>(x[k]) - static_cast<Wide<T>>(level));
    const Wide<T> dn = magnitude(static_cast<Wide<T>>(x[neighbour]) - static_cast<Wide<T>>(level));
    return dn < dk ? neighbour : k;
}

template <typename T>
int32_t findCross(const T *x, int32_t n, T level, T *value, int32_t *index)
{
    if (!validArray(x, n) || (value == nullptr && index == nullptr)) return kBadArgument;
    int32_t first = 0;
    while (first < n && x[first] == level) ++first;
    if (first == n) return kNotFound;
    // Starting above the level the crossing is the first element below it,
    // and the other way round.
    const bool startsAbove = x[first] > level;
    const int32_t k = scanForward(x, first + 1, n, level, !startsAbove);
    if (k < 0) return kNotFound;
    return deliver(x, nearerToLevel(x, k, k - 1, level), value, index);
}

template <typename T>
int32_t lFindCross(const T *x, int32_t n, T level, T *value, int32_t *index)
{
    if (!validArray(x, n) || (value == nullptr && index == nullptr)) return kBadArgument;
    if (x[n - 1] == level) return kNotFound;
    const bool endsAbove = x[n - 1] > level;
    const int32_t k = scanBackward(x, n - 2, level, !endsAbove);
    if (k < 0) return kNotFound;
    return deliver(x, nearerToLevel(x, k, k + 1, level), value, index);
}

// Binary search: the first position whose element is not "before" value.
template <typename T, typename Before>
int32_t findInsert(const T *x, int32_t n, T value, int32_t *index, Before before)
{
    if (!validArray(x, n, 0) || index == nullptr) return kBadArgument;
    int32_t lo = 0;
    int32_t hi = n;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (before(x[mid], value)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    *index = lo;
    return kOk;
}

template <typename T>
int32_t findAscendingInsert(const T *x, int32_t n, T value, int32_t *index)
{
    return findInsert(x, n, value, index, [](T element, T v) { return element < v; });
}

template <typename T>
int32_t findDescendingInsert(const T *x, int32_t n, T value, int32_t *index)
{
    return findInsert(x, n, value, index, [](T element, T v) { return element > v; });
}

// ---- counts -----------------------------------------------------------------------

template <typename T>
int32_t calcFrequency(const T *x, int32_t n, T value, int32_t *count)
{
    if (!validArray(x, n) || count == nullptr) return kBadArgument;
    int32_t c = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (x[k] == value) ++c;
    }
    *count = c;
    return kOk;
}

template <typename T>
int32_t calcElementsInRange(const T *x, int32_t n, T low, T high, T *out, int32_t *count)
{
    if (!validArray(x, n) || count == nullptr || low > high) return kBadArgument;
    int32_t c = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (x[k] >= low && x[k] <= high) {
            if (out != nullptr) out[c] = x[k];
            ++c;
        }
    }
    *count = c;
    return kOk;
}

template <typename T>
int32_t findNanFrequency(const T *x, int32_t n, int32_t *count)
{
    if (!validArray(x, n) || count == nullptr) return kBadArgument;
    int32_t c = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (std::isnan(x[k])) ++c;
    }
    *count = c;
    return kOk;
}

// ---- statistics -------------------------------------------------------------------

// Integers sum in 64 bits, which is exact for any int32 length, so the mean
// of long or large-valued arrays is right instead of wrapping.
template <typename T>
int32_t calcMean(const T *x, int32_t n, double *mean)
{
    if (!validArray(x, n) || mean == nullptr) return kBadArgument;
    if constexpr (std::is_integral_v<T>) {
        int64_t sum = 0;
        for (int32_t k = 0; k < n; ++k) sum += x[k];
        *mean = static_cast<double>(sum) / n;
    } else {
        double m = 0.0;
        for (int32_t k = 0; k < n; ++k) m = (double(k) / (k + 1)) * m + double(x[k]) / (k + 1);
        *mean = m;
    }
    return kOk;
}

template <typename T>
int32_t calcMeanWithNan(const T *x, int32_t n, double *mean, int32_t *count)
{
    if (!validArray(x, n) || (mean == nullptr && count == nullptr)) return kBadArgument;
    long double sum = 0.0L;
    int32_t c = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (std::isfinite(x[k])) {
            sum += x[k];
            ++c;
        }
    }
    if (c == 0) return kNoValidElement;
    if (mean != nullptr) *mean = static_cast<double>(sum / c);
    if (count != nullptr) *count = c;
    return kOk;
}

// Sum of (x - mean)^2 over all n elements, stopping with -9 before an
// addition that would pass DBL_MAX. A NaN element makes the sum NaN.
template <typename T>
int32_t sumSquaredDeviations(const T *x, int32_t n, double mean, double *sum)
{
    double s = 0.0;
    for (int32_t k = 0; k < n; ++k) {
        const double sq = std::pow(double(x[k]) - mean, 2.0);
        if (sq > kDoubleMax - s) return kDoubleRange;
        s += sq;
    }
    *sum = s;
    return kOk;
}

template <typename T>
int32_t calcVariance(const T *x, int32_t n, double *variance)
{
    if (!validArray(x, n) || variance == nullptr) return kBadArgument;
    double mean = 0.0;
    calcMean(x, n, &mean);
    double sum = 0.0;
    const int32_t rc = sumSquaredDeviations(x, n, mean, &sum);
    if (rc != kOk) return rc;
    *variance = sum / n;
    return kOk;
}

// The double member mirrors the float one (deviations from the NaN-skipping
// mean over all elements), so both behave alike.
template <typename T>
int32_t calcVarianceWithNan(const T *x, int32_t n, double *variance)
{
    if (!validArray(x, n) || variance == nullptr) return kBadArgument;
    double mean = 0.0;
    const int32_t meanRc = calcMeanWithNan(x, n, &mean, nullptr);
    if (meanRc != kOk) return meanRc;
    double sum = 0.0;
    const int32_t rc = sumSquaredDeviations(x, n, mean, &sum);
    if (rc != kOk) return rc;
    *variance = sum / n;
    return kOk;
}

template <typename T>
int32_t calcStdDeviation(const T *x, int32_t n, double *deviation)
{
    if (deviation == nullptr) return kBadArgument;
    double variance = 0.0;
    const int32_t rc = calcVariance(x, n, &variance);
    if (rc != kOk) return rc;
    *deviation = std::sqrt(variance);
    return kOk;
}

template <typename T>
struct SumTraits;
template <>
struct SumTraits<int16_t> {
    using Acc = int32_t;
    static constexpr int32_t kOverflowCode = kShortSumOverflow;
};
template <>
struct SumTraits<int32_t> {
    using Acc = int64_t;
    static constexpr int32_t kOverflowCode = kIntSumOverflow;
};
template <>
struct SumTraits<float> {
    using Acc = double;
    static constexpr int32_t kOverflowCode = kDoubleRange;
};
template <>
struct SumTraits<double> {
    using Acc = double;
    static constexpr int32_t kOverflowCode = kDoubleRange;
};

// Checks every step before taking it, so the accumulator itself never
// overflows. An infinite float/double element counts as an overflow.
template <typename T>
int32_t calcSum(const T *x, int32_t n, typename SumTraits<T>::Acc *sum)
{
    using Acc = typename SumTraits<T>::Acc;
    if (!validArray(x, n) || sum == nullptr) return kBadArgument;
    constexpr Acc hi = std::numeric_limits<Acc>::max();
    constexpr Acc lo = std::numeric_limits<Acc>::lowest();
    Acc acc = 0;
    for (int32_t k = 0; k < n; ++k) {
        const Acc v = static_cast<Acc>(x[k]);
        if ((v > 0 && acc > hi - v) || (v < 0 && acc < lo - v)) return SumTraits<T>::kOverflowCode;
        acc += v;
    }
    *sum = acc;
    return kOk;
}

// ---- sorting ----------------------------------------------------------------------

// qsort comparators that never report equality: the order of equal
// elements is left to qsort.
template <typename T>
int compareAscending(const void *a, const void *b)
{
    return *static_cast<const T *>(a) > *static_cast<const T *>(b) ? 1 : -1;
}

template <typename T>
int compareDescending(const void *a, const void *b)
{
    return *static_cast<const T *>(b) > *static_cast<const T *>(a) ? 1 : -1;
}

template <typename T>
int32_t sortAscending(T *x, int32_t n)
{
    if (!validArray(x, n)) return kBadArgument;
    std::qsort(x, static_cast<size_t>(n), sizeof(T), compareAscending<T>);
    return kOk;
}

template <typename T>
int32_t sortDescending(T *x, int32_t n)
{
    if (!validArray(x, n)) return kBadArgument;
    std::qsort(x, static_cast<size_t>(n), sizeof(T), compareDescending<T>);
    return kOk;
}

template <typename T>
int32_t calcMedian(T *x, int32_t n, double *median)
{
    if (!validArray(x, n) || median == nullptr) return kBadArgument;
    sortAscending(x, n);
    if (n % 2 == 1) {
        *median = static_cast<double>(x[n / 2]);
    } else {
        // Extended precision so that two huge doubles do not overflow.
        *median = static_cast<double>((static_cast<long double>(x[n / 2 - 1]) + x[n / 2]) / 2);
    }
    return kOk;
}

template <typename T>
struct Ranked {
    T value;
    int32_t index;
};

template <typename T>
int compareRankedDescending(const void *a, const void *b)
{
    return static_cast<const Ranked<T> *>(b)->value > static_cast<const Ranked<T> *>(a)->value ? 1 : -1;
}

template <typename T>
int32_t sortDescendingForIndex(const T *x, int32_t n, int32_t *index)
{
    if (!validArray(x, n) || index == nullptr) return kBadArgument;
    auto *pairs = static_cast<Ranked<T> *>(std::malloc(sizeof(Ranked<T>) * static_cast<size_t>(n)));
    if (pairs == nullptr) return kAllocFailed;
    for (int32_t k = 0; k < n; ++k) pairs[k] = Ranked<T>{x[k], k};
    std::qsort(pairs, static_cast<size_t>(n), sizeof(Ranked<T>), compareRankedDescending<T>);
    for (int32_t k = 0; k < n; ++k) index[k] = pairs[k].index;
    std::free(pairs);
    return kOk;
}

// ---- element-wise transforms ------------------------------------------------------

template <typename T>
int32_t delNan(T *x, int32_t n)
{
    if (!validArray(x, n)) return kBadArgument;
    int32_t kept = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (!std::isnan(x[k])) x[kept++] = x[k];
    }
    return kept;
}

template <typename T>
int32_t arrayDifference(const T *x, int32_t n, T *out)
{
    if (!validArray(x, n) || out == nullptr) return kBadArgument;
    bool clipped = false;
    T previous = x[0];
    out[0] = previous;
    for (int32_t k = 1; k < n; ++k) {
        const T current = x[k];  // read before out[k] may overwrite it
        out[k] = saturate<T>(static_cast<Wide<T>>(current) - static_cast<Wide<T>>(previous), clipped);
        previous = current;
    }
    return clipped ? Traits<T>::kRangeCode : kOk;
}

// The mean is rounded to an integer for every element type. The double
// member reports overflow with -8, like the float one.
template <typename T>
int32_t reduceMean(const T *x, int32_t n, T *out)
{
    if (!validArray(x, n) || out == nullptr) return kBadArgument;
    double mean = 0.0;
    calcMean(x, n, &mean);
    const Wide<T> offset = static_cast<Wide<T>>(std::round(mean));
    bool clipped = false;
    for (int32_t k = 0; k < n; ++k) out[k] = saturate<T>(static_cast<Wide<T>>(x[k]) - offset, clipped);
    if (!clipped) return kOk;
    return std::is_same_v<T, double> ? kFloatRange : Traits<T>::kRangeCode;
}

template <typename T>
int32_t flipArray(T *x, int32_t n)
{
    if (!validArray(x, n, 2)) return kBadArgument;
    std::reverse(x, x + n);
    return kOk;
}

template <typename T>
int32_t convertToComplex(const T *x, int32_t n, int32_t m, T *out)
{
    if (!validArray(x, n) || out == nullptr || m < 1) return kBadArgument;
    for (int32_t k = 0; k < m; ++k) {
        out[2 * static_cast<size_t>(k)] = k < n ? x[k] : T(0);
        out[2 * static_cast<size_t>(k) + 1] = T(0);
    }
    return kOk;
}

template <typename T>
int32_t calcTrend(const T *x, int32_t n, int16_t *trend)
{
    if (!validArray(x, n, 2) || trend == nullptr) return kBadArgument;
    for (int32_t k = 0; k + 1 < n; ++k) trend[k] = trendOf(x[k], x[k + 1]);
    return kOk;
}

template <typename T>
int32_t delAdjacentRepeating(const T *x, int32_t n, T *values, int32_t *index, int32_t *count)
{
    if (!validArray(x, n) || count == nullptr || (values == nullptr && index == nullptr)) return kBadArgument;
    int32_t runs = 0;
    T previous{};
    for (int32_t k = 0; k < n; ++k) {
        const T v = x[k];  // values may be x
        if (k > 0 && v == previous) continue;
        if (values != nullptr) values[runs] = v;
        if (index != nullptr) index[runs] = k;
        ++runs;
        previous = v;
    }
    *count = runs;
    return kOk;
}

// ---- normalisations ---------------------------------------------------------------

template <typename T>
int32_t maxAbsNormalize(const T *x, int32_t n, double *out)
{
    if (!validArray(x, n) || out == nullptr) return kBadArgument;
    Wide<T> peak = 0;
    for (int32_t k = 0; k < n; ++k) peak = std::max(peak, absWide(x[k]));
    for (int32_t k = 0; k < n; ++k) out[k] = peak == 0 ? 0.0 : static_cast<double>(x[k] / static_cast<long double>(peak));
    return kOk;
}

template <typename T>
int32_t minMaxNormalize(const T *x, int32_t n, double *out)
{
    if (!validArray(x, n) || out == nullptr) return kBadArgument;
    T hi = x[0];
    T lo = x[0];
    findMaxMin(x, n, &hi, &lo);
    // Extended precision: max - min of doubles may pass DBL_MAX.
    const long double range = static_cast<long double>(hi) - lo;
    for (int32_t k = 0; k < n; ++k) out[k] = hi == lo ? 0.0 : static_cast<double>((x[k] - static_cast<long double>(lo)) / range);
    return kOk;
}

template <typename T>
int32_t zScoreNormalize(const T *x, int32_t n, double *out)
{
    if (!validArray(x, n) || out == nullptr) return kBadArgument;
    double mean = 0.0;
    calcMean(x, n, &mean);
    double deviation = 0.0;
    const int32_t rc = calcStdDeviation(x, n, &deviation);
    if (rc != kOk) return rc;
    for (int32_t k = 0; k < n; ++k) out[k] = deviation == 0.0 ? 0.0 : (double(x[k]) - mean) / deviation;
    return kOk;
}

int32_t samplePointsToTime(const int32_t *idx, int32_t n, float fs, float *out)
{
    if (!validArray(idx, n) || out == nullptr || !(fs > 0.0f)) return kBadArgument;
    const float samplesPerMs = static_cast<float>(fs / 1000.0);
    for (int32_t k = 0; k < n; ++k) out[k] = static_cast<float>(idx[k]) / samplesPerMs;
    return kOk;
}

// ---- peak picking -----------------------------------------------------------------

template <typename T>
int32_t delNearPeaks(const T *values, const int32_t *idx, int32_t count, int32_t minDist, int32_t *out,
                     int32_t *outCount, double ratio)
{
    if (!validArray(values, count) || idx == nullptr || minDist < 0 || out == nullptr || outCount == nullptr ||
        !(ratio >= 0.0)) {
        return kBadArgument;
    }
    auto *order = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * static_cast<size_t>(count)));
    auto *removed = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(count), 1));
    int32_t rc = (order == nullptr || removed == nullptr) ? kAllocFailed : sortDescendingForIndex(values, count, order);
    if (rc == kOk) {
        const double wanted = std::round(count * ratio);
        const int32_t rounds = wanted >= count ? count : static_cast<int32_t>(wanted);
        int32_t accepted = 0;
        for (int32_t j = 0; j < rounds; ++j) {
            const int32_t c = order[j];
            if (removed[c] != 0) continue;
            out[accepted++] = idx[c];
            for (int32_t side = -1; side <= 1; side += 2) {
                for (int32_t d = 1; d < minDist; ++d) {
                    const int64_t p = c + int64_t(side) * d;
                    if (p < 0 || p >= count) break;
                    if (magnitude(int64_t(idx[p]) - idx[c]) > minDist) break;
                    removed[p] = 1;
                }
            }
        }
        std::qsort(out, static_cast<size_t>(accepted), sizeof(int32_t), compareAscending<int32_t>);
        *outCount = accepted;
    }
    std::free(order);
    std::free(removed);
    return rc;
}

// Calls visit(kind, value, index) for every turning point of x with runs of
// equal values collapsed: kind 1 where the trend falls (maximum), -1 where
// it rises (minimum); index is the first sample of the run. Streams over x,
// so no collapsed copy is needed.
template <typename T, typename Visit>
void forEachTurningPoint(const T *x, int32_t n, Visit &&visit)
{
    T previous{};
    T current = x[0];
    int32_t currentFirst = 0;
    bool havePrevious = false;
    for (int32_t k = 1; k < n; ++k) {
        if (x[k] == current) continue;
        if (havePrevious) {
            const int16_t before = trendOf(previous, current);
            const int16_t after = trendOf(current, x[k]);
            if (before > 0 && after < 0) visit(1, current, currentFirst);
            if (before < 0 && after > 0) visit(-1, current, currentFirst);
        }
        previous = current;
        current = x[k];
        currentFirst = k;
        havePrevious = true;
    }
}

template <typename T>
int32_t findPeakPoints(const T *x, int32_t n, int32_t mode, T *values, int32_t *index, int32_t *count)
{
    if (!validArray(x, n) || count == nullptr || (values == nullptr && index == nullptr) || mode < 0 || mode > 2) {
        return kBadArgument;
    }
    int32_t found = 0;
    forEachTurningPoint(x, n, [&](int kind, T v, int32_t k) {
        if (mode == 2 || (mode == 0 && kind > 0) || (mode == 1 && kind < 0)) {
            if (values != nullptr) values[found] = v;
            if (index != nullptr) index[found] = k;
            ++found;
        }
    });
    *count = found;
    return kOk;
}

template <typename T>
int32_t findHighPeakPoints(const T *x, int32_t n, T level, T *values, int32_t *index, int32_t *count)
{
    if (!validArray(x, n) || count == nullptr || (values == nullptr && index == nullptr) || !(level > 0)) {
        return kBadArgument;
    }
    int32_t found = 0;
    forEachTurningPoint(x, n, [&](int, T v, int32_t k) {
        if (absWide(v) > static_cast<Wide<T>>(level)) {
            if (values != nullptr) values[found] = v;
            if (index != nullptr) index[found] = k;
            ++found;
        }
    });
    *count = found;
    return kOk;
}

// ---- small matrices ---------------------------------------------------------------

bool validShape(int32_t rows, int32_t cols) { return rows >= 1 && cols >= 1; }

template <typename T>
int32_t matrixTranspose(const T *a, int32_t rows, int32_t cols, T *out)
{
    if (a == nullptr || out == nullptr || !validShape(rows, cols)) return kBadArgument;
    for (size_t r = 0; r < size_t(rows); ++r) {
        for (size_t c = 0; c < size_t(cols); ++c) out[c * size_t(rows) + r] = a[r * size_t(cols) + c];
    }
    return kOk;
}

template <typename T>
int32_t matrixDotProduct(const T *a, const T *b, int32_t rows, int32_t cols, T *out)
{
    if (a == nullptr || b == nullptr || out == nullptr || !validShape(rows, cols)) return kBadArgument;
    const size_t total = size_t(rows) * size_t(cols);
    bool clipped = false;
    for (size_t k = 0; k < total; ++k) {
        const Wide<T> product = static_cast<Wide<T>>(a[k]) * static_cast<Wide<T>>(b[k]);
        if constexpr (std::is_same_v<T, int32_t>) {
            // int32 products are not checked: they wrap modulo 2^32.
            out[k] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(product)));
        } else {
            out[k] = saturate<T>(product, clipped);
        }
    }
    return clipped ? Traits<T>::kRangeCode : kOk;
}

template <typename T>
int32_t matrixCrossProduct(const T *a, int32_t r1, int32_t c1, const T *b, int32_t r2, int32_t c2, T *out)
{
    using Sum = typename Traits<T>::ProductSum;
    if (a == nullptr || b == nullptr || out == nullptr || !validShape(r1, c1) || !validShape(r2, c2)) {
        return kBadArgument;
    }
    if (c1 != r2) return kMatrixMismatch;
    bool clipped = false;
    for (size_t i = 0; i < size_t(r1); ++i) {
        for (size_t j = 0; j < size_t(c2); ++j) {
            Sum sum = 0;
            for (size_t k = 0; k < size_t(c1); ++k) {
                sum += static_cast<Sum>(a[i * size_t(c1) + k]) * static_cast<Sum>(b[k * size_t(c2) + j]);
            }
            out[i * size_t(c2) + j] = saturate<T>(sum, clipped);
        }
    }
    return clipped ? Traits<T>::kRangeCode : kOk;
}

template <typename T>
int32_t isPowerOfTwo(T value)
{
    return (value > 0 && (value & (value - 1)) == 0) ? 1 : 0;
}

}  // namespace
}  // namespace ktarray
}  // namespace tessivar

// ---- exported names -----------------------------------------------------------------
namespace ka = tessivar::ktarray;

extern "C" {

int32_t findMaxShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index) { return ka::findMax(x, n, value, index); }
int32_t findMaxInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index) { return ka::findMax(x, n, value, index); }
int32_t findMaxFloat(const float *x, int32_t n, float *value, int32_t *index) { return ka::findMax(x, n, value, index); }
int32_t findMaxDouble(const double *x, int32_t n, double *value, int32_t *index) { return ka::findMax(x, n, value, index); }
int32_t findMinShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index) { return ka::findMin(x, n, value, index); }
int32_t findMinInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index) { return ka::findMin(x, n, value, index); }
int32_t findMinFloat(const float *x, int32_t n, float *value, int32_t *index) { return ka::findMin(x, n, value, index); }
int32_t findMinDouble(const double *x, int32_t n, double *value, int32_t *index) { return ka::findMin(x, n, value, index); }

int32_t findMaxMinShort(const int16_t *x, int32_t n, int16_t *max, int16_t *min) { return ka::findMaxMin(x, n, max, min); }
int32_t findMaxMinInt(const int32_t *x, int32_t n, int32_t *max, int32_t *min) { return ka::findMaxMin(x, n, max, min); }
int32_t findMaxMinFloat(const float *x, int32_t n, float *max, float *min) { return ka::findMaxMin(x, n, max, min); }
int32_t findMaxMinDouble(const double *x, int32_t n, double *max, double *min) { return ka::findMaxMin(x, n, max, min); }

int32_t findMaxAbsShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index) { return ka::findMaxAbs(x, n, value, index); }
int32_t findMaxAbsInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index) { return ka::findMaxAbs(x, n, value, index); }
int32_t findMaxAbsFloat(const float *x, int32_t n, float *value, int32_t *index) { return ka::findMaxAbs(x, n, value, index); }
int32_t findMaxAbsDouble(const double *x, int32_t n, double *value, int32_t *index) { return ka::findMaxAbs(x, n, value, index); }
int32_t findMinAbsShort(const int16_t *x, int32_t n, int16_t *value, int32_t *index) { return ka::findMinAbs(x, n, value, index); }
int32_t findMinAbsInt(const int32_t *x, int32_t n, int32_t *value, int32_t *index) { return ka::findMinAbs(x, n, value, index); }
int32_t findMinAbsFloat(const float *x, int32_t n, float *value, int32_t *index) { return ka::findMinAbs(x, n, value, index); }
int32_t findMinAbsDouble(const double *x, int32_t n, double *value, int32_t *index) { return ka::findMinAbs(x, n, value, index); }

int32_t findMaxMinAbsShort(const int16_t *x, int32_t n, int16_t *maxAbs, int16_t *minAbs) { return ka::findMaxMinAbs(x, n, maxAbs, minAbs); }
int32_t findMaxMinAbsInt(const int32_t *x, int32_t n, int32_t *maxAbs, int32_t *minAbs) { return ka::findMaxMinAbs(x, n, maxAbs, minAbs); }
int32_t findMaxMinAbsFloat(const float *x, int32_t n, float *maxAbs, float *minAbs) { return ka::findMaxMinAbs(x, n, maxAbs, minAbs); }
int32_t findMaxMinAbsDouble(const double *x, int32_t n, double *maxAbs, double *minAbs) { return ka::findMaxMinAbs(x, n, maxAbs, minAbs); }

int32_t findGreaterShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index) { return ka::findGreater(x, n, level, value, index); }
int32_t findGreaterInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index) { return ka::findGreater(x, n, level, value, index); }
int32_t findGreaterFloat(const float *x, int32_t n, float level, float *value, int32_t *index) { return ka::findGreater(x, n, level, value, index); }
int32_t findGreaterDouble(const double *x, int32_t n, double level, double *value, int32_t *index) { return ka::findGreater(x, n, level, value, index); }
int32_t findLessShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index) { return ka::findLess(x, n, level, value, index); }
int32_t findLessInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index) { return ka::findLess(x, n, level, value, index); }
int32_t findLessFloat(const float *x, int32_t n, float level, float *value, int32_t *index) { return ka::findLess(x, n, level, value, index); }
int32_t findLessDouble(const double *x, int32_t n, double level, double *value, int32_t *index) { return ka::findLess(x, n, level, value, index); }
int32_t lFindGreaterShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index) { return ka::lFindGreater(x, n, level, value, index); }
int32_t lFindGreaterInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index) { return ka::lFindGreater(x, n, level, value, index); }
int32_t lFindGreaterFloat(const float *x, int32_t n, float level, float *value, int32_t *index) { return ka::lFindGreater(x, n, level, value, index); }
int32_t lFindGreaterDouble(const double *x, int32_t n, double level, double *value, int32_t *index) { return ka::lFindGreater(x, n, level, value, index); }
int32_t lFindLessShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index) { return ka::lFindLess(x, n, level, value, index); }
int32_t lFindLessInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index) { return ka::lFindLess(x, n, level, value, index); }
int32_t lFindLessFloat(const float *x, int32_t n, float level, float *value, int32_t *index) { return ka::lFindLess(x, n, level, value, index); }
int32_t lFindLessDouble(const double *x, int32_t n, double level, double *value, int32_t *index) { return ka::lFindLess(x, n, level, value, index); }

int32_t findEqualShort(const int16_t *x, int32_t n, int16_t value, int32_t *index) { return ka::findEqual(x, n, value, index); }
int32_t findEqualInt(const int32_t *x, int32_t n, int32_t value, int32_t *index) { return ka::findEqual(x, n, value, index); }
int32_t findEqualFloat(const float *x, int32_t n, float value, int32_t *index) { return ka::findEqual(x, n, value, index); }
int32_t findEqualDouble(const double *x, int32_t n, double value, int32_t *index) { return ka::findEqual(x, n, value, index); }
int32_t lFindEqualShort(const int16_t *x, int32_t n, int16_t value, int32_t *index) { return ka::lFindEqual(x, n, value, index); }
int32_t lFindEqualInt(const int32_t *x, int32_t n, int32_t value, int32_t *index) { return ka::lFindEqual(x, n, value, index); }
int32_t lFindEqualFloat(const float *x, int32_t n, float value, int32_t *index) { return ka::lFindEqual(x, n, value, index); }
int32_t lFindEqualDouble(const double *x, int32_t n, double value, int32_t *index) { return ka::lFindEqual(x, n, value, index); }

int32_t findCrossShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index) { return ka::findCross(x, n, level, value, index); }
int32_t findCrossInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index) { return ka::findCross(x, n, level, value, index); }
int32_t findCrossFloat(const float *x, int32_t n, float level, float *value, int32_t *index) { return ka::findCross(x, n, level, value, index); }
int32_t findCrossDouble(const double *x, int32_t n, double level, double *value, int32_t *index) { return ka::findCross(x, n, level, value, index); }
int32_t lFindCrossShort(const int16_t *x, int32_t n, int16_t level, int16_t *value, int32_t *index) { return ka::lFindCross(x, n, level, value, index); }
int32_t lFindCrossInt(const int32_t *x, int32_t n, int32_t level, int32_t *value, int32_t *index) { return ka::lFindCross(x, n, level, value, index); }
int32_t lFindCrossFloat(const float *x, int32_t n, float level, float *value, int32_t *index) { return ka::lFindCross(x, n, level, value, index); }
int32_t lFindCrossDouble(const double *x, int32_t n, double level, double *value, int32_t *index) { return ka::lFindCross(x, n, level, value, index); }

int32_t findAscendingInsertShort(const int16_t *x, int32_t n, int16_t value, int32_t *index) { return ka::findAscendingInsert(x, n, value, index); }
int32_t findAscendingInsertInt(const int32_t *x, int32_t n, int32_t value, int32_t *index) { return ka::findAscendingInsert(x, n, value, index); }
int32_t findAscendingInsertFloat(const float *x, int32_t n, float value, int32_t *index) { return ka::findAscendingInsert(x, n, value, index); }
int32_t findAscendingInsertDouble(const double *x, int32_t n, double value, int32_t *index) { return ka::findAscendingInsert(x, n, value, index); }
int32_t findDescendingInsertShort(const int16_t *x, int32_t n, int16_t value, int32_t *index) { return ka::findDescendingInsert(x, n, value, index); }
int32_t findDescendingInsertInt(const int32_t *x, int32_t n, int32_t value, int32_t *index) { return ka::findDescendingInsert(x, n, value, index); }
int32_t findDescendingInsertFloat(const float *x, int32_t n, float value, int32_t *index) { return ka::findDescendingInsert(x, n, value, index); }
int32_t findDescendingInsertDouble(const double *x, int32_t n, double value, int32_t *index) { return ka::findDescendingInsert(x, n, value, index); }

int32_t calcFrequencyChar(const uint8_t *x, int32_t n, uint8_t value, int32_t *count) { return ka::calcFrequency(x, n, value, count); }
int32_t calcFrequencyShort(const int16_t *x, int32_t n, int16_t value, int32_t *count) { return ka::calcFrequency(x, n, value, count); }
int32_t calcFrequencyInt(const int32_t *x, int32_t n, int32_t value, int32_t *count) { return ka::calcFrequency(x, n, value, count); }
int32_t calcFrequencyFloat(const float *x, int32_t n, float value, int32_t *count) { return ka::calcFrequency(x, n, value, count); }
int32_t calcFrequencyDouble(const double *x, int32_t n, double value, int32_t *count) { return ka::calcFrequency(x, n, value, count); }

int32_t calcElementsInRangeShort(const int16_t *x, int32_t n, int16_t low, int16_t high, int16_t *out, int32_t *count) { return ka::calcElementsInRange(x, n, low, high, out, count); }
int32_t calcElementsInRangeInt(const int32_t *x, int32_t n, int32_t low, int32_t high, int32_t *out, int32_t *count) { return ka::calcElementsInRange(x, n, low, high, out, count); }
int32_t calcElementsInRangeFloat(const float *x, int32_t n, float low, float high, float *out, int32_t *count) { return ka::calcElementsInRange(x, n, low, high, out, count); }
int32_t calcElementsInRangeDouble(const double *x, int32_t n, double low, double high, double *out, int32_t *count) { return ka::calcElementsInRange(x, n, low, high, out, count); }

int32_t findNanFrequencyFloat(const float *x, int32_t n, int32_t *count) { return ka::findNanFrequency(x, n, count); }
int32_t findNanFrequencyDouble(const double *x, int32_t n, int32_t *count) { return ka::findNanFrequency(x, n, count); }

int32_t calcMeanShort(const int16_t *x, int32_t n, double *mean) { return ka::calcMean(x, n, mean); }
int32_t calcMeanInt(const int32_t *x, int32_t n, double *mean) { return ka::calcMean(x, n, mean); }
int32_t calcMeanFloat(const float *x, int32_t n, double *mean) { return ka::calcMean(x, n, mean); }
int32_t calcMeanDouble(const double *x, int32_t n, double *mean) { return ka::calcMean(x, n, mean); }
int32_t calcMeanFloatWithNan(const float *x, int32_t n, double *mean, int32_t *count) { return ka::calcMeanWithNan(x, n, mean, count); }
int32_t calcMeanDoubleWithNan(const double *x, int32_t n, double *mean, int32_t *count) { return ka::calcMeanWithNan(x, n, mean, count); }

int32_t calcVarianceShort(const int16_t *x, int32_t n, double *variance) { return ka::calcVariance(x, n, variance); }
int32_t calcVarianceInt(const int32_t *x, int32_t n, double *variance) { return ka::calcVariance(x, n, variance); }
int32_t calcVarianceFloat(const float *x, int32_t n, double *variance) { return ka::calcVariance(x, n, variance); }
int32_t calcVarianceDouble(const double *x, int32_t n, double *variance) { return ka::calcVariance(x, n, variance); }
int32_t calcVarianceFloatWithNan(const float *x, int32_t n, double *variance) { return ka::calcVarianceWithNan(x, n, variance); }
int32_t calcVarianceDoubleWithNan(const double *x, int32_t n, double *variance) { return ka::calcVarianceWithNan(x, n, variance); }

int32_t calcStdDeviationShort(const int16_t *x, int32_t n, double *deviation) { return ka::calcStdDeviation(x, n, deviation); }
int32_t calcStdDeviationInt(const int32_t *x, int32_t n, double *deviation) { return ka::calcStdDeviation(x, n, deviation); }
int32_t calcStdDeviationFloat(const float *x, int32_t n, double *deviation) { return ka::calcStdDeviation(x, n, deviation); }
int32_t calcStdDeviationDouble(const double *x, int32_t n, double *deviation) { return ka::calcStdDeviation(x, n, deviation); }

int32_t calcSumShort(const int16_t *x, int32_t n, int32_t *sum) { return ka::calcSum(x, n, sum); }
int32_t calcSumInt(const int32_t *x, int32_t n, int64_t *sum) { return ka::calcSum(x, n, sum); }
int32_t calcSumFloat(const float *x, int32_t n, double *sum) { return ka::calcSum(x, n, sum); }
int32_t calcSumDouble(const double *x, int32_t n, double *sum) { return ka::calcSum(x, n, sum); }

int32_t calcMedianShort(int16_t *x, int32_t n, double *median) { return ka::calcMedian(x, n, median); }
int32_t calcMedianInt(int32_t *x, int32_t n, double *median) { return ka::calcMedian(x, n, median); }
int32_t calcMedianFloat(float *x, int32_t n, double *median) { return ka::calcMedian(x, n, median); }
int32_t calcMedianDouble(double *x, int32_t n, double *median) { return ka::calcMedian(x, n, median); }

int32_t sortAscendingShort(int16_t *x, int32_t n) { return ka::sortAscending(x, n); }
int32_t sortAscendingInt(int32_t *x, int32_t n) { return ka::sortAscending(x, n); }
int32_t sortAscendingFloat(float *x, int32_t n) { return ka::sortAscending(x, n); }
int32_t sortAscendingDouble(double *x, int32_t n) { return ka::sortAscending(x, n); }
int32_t sortDescendingShort(int16_t *x, int32_t n) { return ka::sortDescending(x, n); }
int32_t sortDescendingInt(int32_t *x, int32_t n) { return ka::sortDescending(x, n); }
int32_t sortDescendingFloat(float *x, int32_t n) { return ka::sortDescending(x, n); }
int32_t sortDescendingDouble(double *x, int32_t n) { return ka::sortDescending(x, n); }

int32_t _sortDescendingForIndexShort(const int16_t *x, int32_t n, int32_t *index) { return ka::sortDescendingForIndex(x, n, index); }
int32_t _sortDescendingForIndexInt(const int32_t *x, int32_t n, int32_t *index) { return ka::sortDescendingForIndex(x, n, index); }
int32_t _sortDescendingForIndexFloat(const float *x, int32_t n, int32_t *index) { return ka::sortDescendingForIndex(x, n, index); }
int32_t _sortDescendingForIndexDouble(const double *x, int32_t n, int32_t *index) { return ka::sortDescendingForIndex(x, n, index); }

int32_t delNanFloat(float *x, int32_t n) { return ka::delNan(x, n); }
int32_t delNanDouble(double *x, int32_t n) { return ka::delNan(x, n); }

int32_t arrayDifferenceShort(const int16_t *x, int32_t n, int16_t *out) { return ka::arrayDifference(x, n, out); }
int32_t arrayDifferenceInt(const int32_t *x, int32_t n, int32_t *out) { return ka::arrayDifference(x, n, out); }
int32_t arrayDifferenceFloat(const float *x, int32_t n, float *out) { return ka::arrayDifference(x, n, out); }
int32_t arrayDifferenceDouble(const double *x, int32_t n, double *out) { return ka::arrayDifference(x, n, out); }

int32_t reduceMeanShort(const int16_t *x, int32_t n, int16_t *out) { return ka::reduceMean(x, n, out); }
int32_t reduceMeanInt(const int32_t *x, int32_t n, int32_t *out) { return ka::reduceMean(x, n, out); }
int32_t reduceMeanFloat(const float *x, int32_t n, float *out) { return ka::reduceMean(x, n, out); }
int32_t reduceMeanDouble(const double *x, int32_t n, double *out) { return ka::reduceMean(x, n, out); }

int32_t flipArrayShort(int16_t *x, int32_t n) { return ka::flipArray(x, n); }
int32_t flipArrayInt(int32_t *x, int32_t n) { return ka::flipArray(x, n); }
int32_t flipArrayFloat(float *x, int32_t n) { return ka::flipArray(x, n); }
int32_t flipArrayDouble(double *x, int32_t n) { return ka::flipArray(x, n); }

int32_t convertToComplexFloat(const float *x, int32_t n, int32_t m, float *out) { return ka::convertToComplex(x, n, m, out); }
int32_t convertToComplexDouble(const double *x, int32_t n, int32_t m, double *out) { return ka::convertToComplex(x, n, m, out); }

int32_t calcTrendShort(const int16_t *x, int32_t n, int16_t *trend) { return ka::calcTrend(x, n, trend); }
int32_t calcTrendInt(const int32_t *x, int32_t n, int16_t *trend) { return ka::calcTrend(x, n, trend); }
int32_t calcTrendFloat(const float *x, int32_t n, int16_t *trend) { return ka::calcTrend(x, n, trend); }
int32_t calcTrendDouble(const double *x, int32_t n, int16_t *trend) { return ka::calcTrend(x, n, trend); }

int32_t delAdjacentRepeatingShort(const int16_t *x, int32_t n, int16_t *values, int32_t *index, int32_t *count) { return ka::delAdjacentRepeating(x, n, values, index, count); }
int32_t delAdjacentRepeatingInt(const int32_t *x, int32_t n, int32_t *values, int32_t *index, int32_t *count) { return ka::delAdjacentRepeating(x, n, values, index, count); }
int32_t delAdjacentRepeatingFloat(const float *x, int32_t n, float *values, int32_t *index, int32_t *count) { return ka::delAdjacentRepeating(x, n, values, index, count); }
int32_t delAdjacentRepeatingDouble(const double *x, int32_t n, double *values, int32_t *index, int32_t *count) { return ka::delAdjacentRepeating(x, n, values, index, count); }

int32_t maxAbsNormalizeShort(const int16_t *x, int32_t n, double *out) { return ka::maxAbsNormalize(x, n, out); }
int32_t maxAbsNormalizeInt(const int32_t *x, int32_t n, double *out) { return ka::maxAbsNormalize(x, n, out); }
int32_t maxAbsNormalizeFloat(const float *x, int32_t n, double *out) { return ka::maxAbsNormalize(x, n, out); }
int32_t maxAbsNormalizeDouble(const double *x, int32_t n, double *out) { return ka::maxAbsNormalize(x, n, out); }
int32_t minMaxNormalizeShort(const int16_t *x, int32_t n, double *out) { return ka::minMaxNormalize(x, n, out); }
int32_t minMaxNormalizeInt(const int32_t *x, int32_t n, double *out) { return ka::minMaxNormalize(x, n, out); }
int32_t minMaxNormalizeFloat(const float *x, int32_t n, double *out) { return ka::minMaxNormalize(x, n, out); }
int32_t minMaxNormalizeDouble(const double *x, int32_t n, double *out) { return ka::minMaxNormalize(x, n, out); }
int32_t zScoreNormalizeShort(const int16_t *x, int32_t n, double *out) { return ka::zScoreNormalize(x, n, out); }
int32_t zScoreNormalizeInt(const int32_t *x, int32_t n, double *out) { return ka::zScoreNormalize(x, n, out); }
int32_t zScoreNormalizeFloat(const float *x, int32_t n, double *out) { return ka::zScoreNormalize(x, n, out); }
int32_t zScoreNormalizeDouble(const double *x, int32_t n, double *out) { return ka::zScoreNormalize(x, n, out); }

int32_t samplePointsToTime(const int32_t *idx, int32_t n, float fs, float *out) { return ka::samplePointsToTime(idx, n, fs, out); }

int32_t delNearPeaksShort(const int16_t *values, const int32_t *idx, int32_t count, int32_t minDist, int32_t *out, int32_t *outCount, double ratio) { return ka::delNearPeaks(values, idx, count, minDist, out, outCount, ratio); }
int32_t delNearPeaksInt(const int32_t *values, const int32_t *idx, int32_t count, int32_t minDist, int32_t *out, int32_t *outCount, double ratio) { return ka::delNearPeaks(values, idx, count, minDist, out, outCount, ratio); }
int32_t delNearPeaksFloat(const float *values, const int32_t *idx, int32_t count, int32_t minDist, int32_t *out, int32_t *outCount, double ratio) { return ka::delNearPeaks(values, idx, count, minDist, out, outCount, ratio); }
int32_t delNearPeaksDouble(const double *values, const int32_t *idx, int32_t count, int32_t minDist, int32_t *out, int32_t *outCount, double ratio) { return ka::delNearPeaks(values, idx, count, minDist, out, outCount, ratio); }

int32_t findPeakPointsShort(const int16_t *x, int32_t n, int32_t mode, int16_t *values, int32_t *index, int32_t *count) { return ka::findPeakPoints(x, n, mode, values, index, count); }
int32_t findPeakPointsInt(const int32_t *x, int32_t n, int32_t mode, int32_t *values, int32_t *index, int32_t *count) { return ka::findPeakPoints(x, n, mode, values, index, count); }
int32_t findPeakPointsFloat(const float *x, int32_t n, int32_t mode, float *values, int32_t *index, int32_t *count) { return ka::findPeakPoints(x, n, mode, values, index, count); }
int32_t findPeakPointsDouble(const double *x, int32_t n, int32_t mode, double *values, int32_t *index, int32_t *count) { return ka::findPeakPoints(x, n, mode, values, index, count); }
int32_t findHighPeakPointsShort(const int16_t *x, int32_t n, int16_t level, int16_t *values, int32_t *index, int32_t *count) { return ka::findHighPeakPoints(x, n, level, values, index, count); }
int32_t findHighPeakPointsInt(const int32_t *x, int32_t n, int32_t level, int32_t *values, int32_t *index, int32_t *count) { return ka::findHighPeakPoints(x, n, level, values, index, count); }
int32_t findHighPeakPointsFloat(const float *x, int32_t n, float level, float *values, int32_t *index, int32_t *count) { return ka::findHighPeakPoints(x, n, level, values, index, count); }
int32_t findHighPeakPointsDouble(const double *x, int32_t n, double level, double *values, int32_t *index, int32_t *count) { return ka::findHighPeakPoints(x, n, level, values, index, count); }

int32_t matrixTransposeShort(const int16_t *a, int32_t rows, int32_t cols, int16_t *out) { return ka::matrixTranspose(a, rows, cols, out); }
int32_t matrixTransposeInt(const int32_t *a, int32_t rows, int32_t cols, int32_t *out) { return ka::matrixTranspose(a, rows, cols, out); }
int32_t matrixTransposeFloat(const float *a, int32_t rows, int32_t cols, float *out) { return ka::matrixTranspose(a, rows, cols, out); }
int32_t matrixTransposeDouble(const double *a, int32_t rows, int32_t cols, double *out) { return ka::matrixTranspose(a, rows, cols, out); }
int32_t matrixDotProductShort(const int16_t *a, const int16_t *b, int32_t rows, int32_t cols, int16_t *out) { return ka::matrixDotProduct(a, b, rows, cols, out); }
int32_t matrixDotProductInt(const int32_t *a, const int32_t *b, int32_t rows, int32_t cols, int32_t *out) { return ka::matrixDotProduct(a, b, rows, cols, out); }
int32_t matrixDotProductFloat(const float *a, const float *b, int32_t rows, int32_t cols, float *out) { return ka::matrixDotProduct(a, b, rows, cols, out); }
int32_t matrixDotProductDouble(const double *a, const double *b, int32_t rows, int32_t cols, double *out) { return ka::matrixDotProduct(a, b, rows, cols, out); }
int32_t matrixCrossProductShort(const int16_t *a, int32_t r1, int32_t c1, const int16_t *b, int32_t r2, int32_t c2, int16_t *out) { return ka::matrixCrossProduct(a, r1, c1, b, r2, c2, out); }
int32_t matrixCrossProductInt(const int32_t *a, int32_t r1, int32_t c1, const int32_t *b, int32_t r2, int32_t c2, int32_t *out) { return ka::matrixCrossProduct(a, r1, c1, b, r2, c2, out); }
int32_t matrixCrossProductFloat(const float *a, int32_t r1, int32_t c1, const float *b, int32_t r2, int32_t c2, float *out) { return ka::matrixCrossProduct(a, r1, c1, b, r2, c2, out); }
int32_t matrixCrossProductDouble(const double *a, int32_t r1, int32_t c1, const double *b, int32_t r2, int32_t c2, double *out) { return ka::matrixCrossProduct(a, r1, c1, b, r2, c2, out); }

int32_t isPowerOfTwoShort(int16_t value) { return ka::isPowerOfTwo(value); }
int32_t isPowerOfTwoInt(int32_t value) { return ka::isPowerOfTwo(value); }

const char *getKtMathLibVersion(void) { return "kt_array version 1.0.0.3 2025-07-15 11:29:18"; }

}  // extern "C"

// maxMinMeanMedianAbsOfArray: position-of-extreme, absolute-value, mean and
// median helpers returning their result directly. One template per family,
// instantiated behind the exported names at the end of the file.
#include "tessivar/maxMinMeanMedianAbsOfArray.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "tessivar/kt_array.h"

namespace tessivar {
namespace extremes {
namespace {

constexpr int32_t kInvalid = -1;

bool validLength(const void *x, int32_t n) { return x != nullptr && n >= 1; }

// Index of the first element that no later element beats (better is strict).
template <typename T, typename Key, typename Better>
int32_t extremePos(const T *x, int32_t n, Key key, Better better)
{
    if (!validLength(x, n)) return kInvalid;
    int32_t best = 0;
    auto bestKey = key(x[0]);
    for (int32_t k = 1; k < n; ++k) {
        const auto candidate = key(x[k]);
        if (better(candidate, bestKey)) {
            best = k;
            bestKey = candidate;
        }
    }
    return best;
}

template <typename T>
T identity(T v)
{
    return v;
}

// Absolute value as used for ranking: for int16 the 16-bit absolute value,
// which leaves -32768 at -32768 (it then ranks below every other element).
template <typename T>
T rankingAbs(T v)
{
    if constexpr (std::is_integral_v<T>) {
        return v == std::numeric_limits<T>::min() ? v : static_cast<T>(v < 0 ? -v : v);
    } else {
        return std::fabs(v);
    }
}

// Absolute value as a result: for int16, |-32768| saturates to 32767, the
// nearest representable magnitude, rather than staying negative.
template <typename T>
T resultAbs(T v)
{
    if constexpr (std::is_integral_v<T>) {
        return v == std::numeric_limits<T>::min() ? std::numeric_limits<T>::max() : static_cast<T>(v < 0 ? -v : v);
    } else {
        return std::fabs(v);
    }
}

template <typename T>
int32_t maxPos(const T *x, int32_t n)
{
    return extremePos(x, n, identity<T>, [](T a, T b) { return a > b; });
}

template <typename T>
int32_t minPos(const T *x, int32_t n)
{
    return extremePos(x, n, identity<T>, [](T a, T b) { return a < b; });
}

template <typename T>
int32_t maxAbsPos(const T *x, int32_t n)
{
    return extremePos(x, n, rankingAbs<T>, [](T a, T b) { return a > b; });
}

template <typename T>
int32_t arrayNumAbs(const T *x, int32_t n, T *out)
{
    if (!validLength(x, n) || out == nullptr) return kInvalid;
    for (int32_t k = 0; k < n; ++k) out[k] = resultAbs(x[k]);
    return 1;
}

// Integer elements are summed in their own type, wrapping modulo 2^16 or
// 2^32 (done in the unsigned type, where wrapping is defined).
template <typename T>
double arrayMean(const T *x, int32_t n)
{
    if (!validLength(x, n)) return 0.0;
    if constexpr (std::is_integral_v<T>) {
        using U = std::make_unsigned_t<T>;
        U sum = 0;
        for (int32_t k = 0; k < n; ++k) sum = static_cast<U>(sum + static_cast<U>(x[k]));
        return static_cast<double>(static_cast<T>(sum)) / n;
    } else {
        double sum = 0.0;
        for (int32_t k = 0; k < n; ++k) sum += x[k];
        return sum / n;
    }
}

template <typename T>
int32_t flipInto(const T *x, int32_t n, T *out)
{
    if (!validLength(x, n) || out == nullptr) return kInvalid;
    // Swapping pairs from both ends works in place as well as into a
    // separate array.
    for (int32_t k = 0; k < n - 1 - k; ++k) {
        const T front = x[k];
        const T back = x[n - 1 - k];
        out[k] = back;
        out[n - 1 - k] = front;
    }
    if (n % 2 == 1) out[n / 2] = x[n / 2];
    return n;
}

// A zero peak is refused with -2 (there is nothing to scale by); a peak at
// index 0 is an ordinary peak and is scaled like any other.
template <typename T>
int32_t normalization(T *x, int32_t n, int32_t m, T scale)
{
    if (!validLength(x, n) || m < 1 || m > n || scale == T(0)) return kInvalid;
    const T peak = std::fabs(x[maxAbsPos(x, m)]);
    if (peak == T(0)) return -2;
    const T factor = T(1) / (scale * peak);
    for (int32_t k = 0; k < n; ++k) x[k] *= factor;
    return 1;
}

}  // namespace
}  // namespace extremes
}  // namespace tessivar

namespace ex = tessivar::extremes;

extern "C" {

int32_t maxPosDouble(const double *x, int32_t n) { return ex::maxPos(x, n); }
int32_t maxPosForFloat(const float *x, int32_t n) { return ex::maxPos(x, n); }
int32_t maxPosForInt(const int32_t *x, int32_t n) { return ex::maxPos(x, n); }
int32_t maxPosForShort(const int16_t *x, int32_t n) { return ex::maxPos(x, n); }

int32_t minPosDouble(const double *x, int32_t n) { return ex::minPos(x, n); }
int32_t minPosForFloat(const float *x, int32_t n) { return ex::minPos(x, n); }
int32_t minPosForInt(const int32_t *x, int32_t n) { return ex::minPos(x, n); }
int32_t minPosForShort(const int16_t *x, int32_t n) { return ex::minPos(x, n); }

int32_t maxAbsPosDouble(const double *x, int32_t n) { return ex::maxAbsPos(x, n); }
int32_t maxAbsPosFloat(const float *x, int32_t n) { return ex::maxAbsPos(x, n); }
int32_t maxAbsPosShort(const int16_t *x, int32_t n) { return ex::maxAbsPos(x, n); }

int32_t arrayNumAbsDouble(const double *x, int32_t n, double *out) { return ex::arrayNumAbs(x, n, out); }
int32_t arrayNumAbsFloat(const float *x, int32_t n, float *out) { return ex::arrayNumAbs(x, n, out); }
int32_t arrayNumAbsShort(const int16_t *x, int32_t n, int16_t *out) { return ex::arrayNumAbs(x, n, out); }

double arrayMeanForShort(const int16_t *x, int32_t n) { return ex::arrayMean(x, n); }
double arrayMeanForInt(const int32_t *x, int32_t n) { return ex::arrayMean(x, n); }
double arrayMeanForFloat(const float *x, int32_t n) { return ex::arrayMean(x, n); }
double arrayMeanForDouble(const double *x, int32_t n) { return ex::arrayMean(x, n); }

int32_t arraySumForInt(const int32_t *x, int32_t n)
{
    if (!ex::validLength(x, n)) return 0;
    uint32_t sum = 0;
    for (int32_t k = 0; k < n; ++k) sum += static_cast<uint32_t>(x[k]);
    return static_cast<int32_t>(sum);
}

double arrayMedianForDouble(const double *x, int32_t n)
{
    if (!ex::validLength(x, n)) return -1.0;
    auto *copy = static_cast<double *>(std::malloc(sizeof(double) * static_cast<size_t>(n)));
    if (copy == nullptr) return -1.0;
    std::memcpy(copy, x, sizeof(double) * static_cast<size_t>(n));
    double median = -1.0;
    calcMedianDouble(copy, n, &median);  // qsort of the copy
    std::free(copy);
    return median;
}

int32_t flipArrayForDouble(const double *x, int32_t n, double *out) { return ex::flipInto(x, n, out); }
int32_t flipArrayForFloat(const float *x, int32_t n, float *out) { return ex::flipInto(x, n, out); }

int32_t reduceMean(const int32_t *x, int32_t n, double *out)
{
    if (!ex::validLength(x, n) || out == nullptr) return ex::kInvalid;
    const double mean = arrayMeanForInt(x, n);
    for (int32_t k = 0; k < n; ++k) out[k] = x[k] - mean;
    return 1;
}

int32_t normalizationDouble(double *x, int32_t n, int32_t m, double scale) { return ex::normalization(x, n, m, scale); }
int32_t normalizationFloat(float *x, int32_t n, int32_t m, float scale) { return ex::normalization(x, n, m, scale); }

}  // extern "C"

// Whole-array signal routines of the R-wave detectors, one template per
// family. The exported names (tessivar/rwave_tools.h) instantiate them; the
// detectors call them directly with their own preallocated working space,
// so nothing here allocates.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tessivar::rwave {

// A zero-filled heap array owned by its scope (the whole-array routines'
// working space). Empty after a failed allocation.
template <typename T>
class HeapArray {
public:
    HeapArray() = default;
    explicit HeapArray(std::size_t n) { reset(n); }
    ~HeapArray() { std::free(p_); }
    HeapArray(const HeapArray &) = delete;
    HeapArray &operator=(const HeapArray &) = delete;

    // n zeroed elements (at least one is allocated); false when out of memory.
    bool reset(std::size_t n)
    {
        std::free(p_);
        p_ = static_cast<T *>(std::calloc(n > 0 ? n : 1, sizeof(T)));
        n_ = p_ != nullptr ? n : 0;
        return p_ != nullptr;
    }
    bool ok() const { return p_ != nullptr; }
    T *data() { return p_; }
    const T *data() const { return p_; }
    std::size_t size() const { return n_; }
    T &operator[](std::size_t i) { return p_[i]; }
    const T &operator[](std::size_t i) const { return p_[i]; }

private:
    T *p_ = nullptr;
    std::size_t n_ = 0;
};

// Rounding half away from zero of a non-negative or negative double.
inline int32_t roundHalfAway(double v) { return int32_t(std::lround(v)); }

// The triangular smoothing core with window N, shifted N samples:
// out[k] = y[k+N], y = (1 - z^-N)^2 / (1 - z^-1)^2 applied to x extended by
// its last sample. Calls put(k, y[k+N]) for k = 0 .. n-1.
template <typename In, typename Put>
void triangularCore(const In *x, int32_t n, int32_t N, Put put)
{
    double y1 = 0.0, y2 = 0.0;  // y[k-1], y[k-2]
    const auto at = [&](int64_t k) -> double {
        if (k < 0) return 0.0;
        return double(x[k < n ? k : n - 1]);
    };
    const auto real = [&](int64_t k) -> double { return k < 0 ? 0.0 : double(x[k]); };
    for (int64_t k = 0; k < int64_t(n) + N; ++k) {
        // x[k] is extended by the last sample; the delayed terms are real samples
        // (k - N and k - 2N are always below n here).
        const double y = at(k) - 2.0 * real(k - N) + real(k - 2 * int64_t(N)) + 2.0 * y1 - y2;
        y2 = y1;
        y1 = y;
        if (k >= N) put(int32_t(k - N), y);
    }
}

// Scales out[0..n-1] so that its largest absolute value among the first
// `lead` samples becomes 10 (a largest value of 0 counts as 1).
template <typename T>
void scaleToTen(T *out, int32_t n, int32_t lead, const double *work)
{
    double big = 0.0;
    for (int32_t k = 0; k < std::min(n, lead); ++k) big = std::max(big, std::fabs(work[k]));
    if (big == 0.0) big = 1.0;
    for (int32_t k = 0; k < n; ++k) out[k] = T(work[k] * 10.0 / big);
}

// Linear interpolation of y[0..n-1] onto 0, step, 2 step, ... <= n-1 (the
// detectors' form: grid by repeated addition, first position not below t).
// Returns the number of points written (at most capacity), or -1.
inline int32_t interpolateByAddition(const double *y, int32_t n, double step, double *out, int32_t capacity)
{
    if (y == nullptr || out == nullptr || n < 2 || !(step > 0.0)) return -1;
    int32_t count = 0;
    double t = 0.0;
    while (t <= double(n - 1) + 1e-9 && count < capacity) {
        int32_t j = int32_t(std::ceil(t - 1e-12));
        if (j < 1) j = 1;
        if (j > n - 1) j = n - 1;
        out[count++] = y[j - 1] + (t - (j - 1)) * (y[j] - y[j - 1]);
        t += step;
    }
    if (count > 0) out[0] = y[0];
    return count;
}

// The 160 Hz derivative kernel fs/8, fs/4, 0, -fs/4, -fs/8 resampled to fs;
// floor(4 fs / 160) + 1 taps. Returns the tap count, or -1.
inline int32_t derivativeKernel(int32_t fs, double *taps, int32_t capacity)
{
    if (fs <= 0) return -1;
    const double f = fs;
    const double base[5] = {f / 8.0, f / 4.0, 0.0, -f / 4.0, -f / 8.0};
    const int32_t want = int32_t(std::floor(4.0 * fs / 160.0)) + 1;
    if (want > capacity) return -1;
    const int32_t got = interpolateByAddition(base, 5, 160.0 / fs, taps, want);
    return got == want ? want : -1;
}

// Full convolution: out[k] = sum_j h[j] x[k-j], k = 0 .. n+m-2.
template <typename In, typename Out>
int32_t convolveFull(const In *x, int32_t n, const double *h, int32_t m, Out *out)
{
    if (x == nullptr || h == nullptr || out == nullptr || n < 1 || m < 1) return -1;
    for (int32_t k = 0; k < n + m - 1; ++k) {
        double acc = 0.0;
        const int32_t j0 = std::max(0, k - (n - 1)), j1 = std::min(k, m - 1);
        for (int32_t j = j0; j <= j1; ++j) acc += h[j] * double(x[k - j]);
        out[k] = Out(acc);
    }
    return n + m - 1;
}

// Box average of w taps as a full convolution, with a running sum.
template <typename Out>
int32_t movingAverage(const double *x, int32_t n, int32_t w, Out *out)
{
    if (x == nullptr || out == nullptr || w < 1 || w > n) return -1;
    double sum = 0.0;
    for (int32_t k = 0; k < n + w - 1; ++k) {
        if (k < n) sum += x[k];
        if (k - w >= 0) sum -= x[k - w];
        out[k] = Out(sum / w);
    }
    return n + w - 1;
}

inline int signOf(double d) { return d > 0.0 ? 1 : (d < 0.0 ? -1 : 0); }

// Strict local extrema k in 1 .. n-2 with |x[k]| >= thr, ascending, into
// idx (at most capacity). Returns their count, or -1.
template <typename T>
int32_t peakSearch(const T *x, int32_t n, int32_t *idx, double thr, int32_t capacity)
{
    if (x == nullptr || idx == nullptr || n < 3 || !(thr >= 0.0)) return -1;
    int32_t count = 0;
    int prev = signOf(double(x[1]) - double(x[0]));
    for (int32_t k = 1; k <= n - 2; ++k) {
        const int cur = signOf(double(x[k + 1]) - double(x[k]));
        // The absolute value is taken without 16-bit wrap-around, so the
        // int16 minimum counts as 32768.
        if (std::abs(cur - prev) > 1 && std::fabs(double(x[k])) >= thr && count < capacity) idx[count++] = k;
        prev = cur;
    }
    return count;
}

// Working space of findPeaks for inputs of up to `size` samples.
struct PeakWork {
    int32_t *kept;     // input index of each collapsed sample
    int32_t *peaks;    // input index of each peak, ascending
    int32_t *order;    // peak numbers sorted by value, highest first
    uint8_t *removed;  // per peak
    int32_t size;
};

// Local maxima of x, highest first, at least minDist apart, written into
// idx ascending (at most capacity). 0 or more, -1 for a bad argument.
template <typename T>
int32_t findPeaks(const T *x, int32_t n, int32_t minDist, int32_t *idx, int32_t capacity, const PeakWork &w)
{
    if (x == nullptr || idx == nullptr || n <= 2 || minDist < 0 || minDist >= n - 1 || n > w.size) return -1;
    // Collapse runs of equal neighbours (NaN never equals anything).
    int32_t m = 0;
    for (int32_t k = 0; k < n; ++k)
        if (k == 0 || !(x[k] == x[k - 1])) w.kept[m++] = k;
    if (m <= 1) return 0;
    int32_t count = 0;
    const auto diffSign = [&](int32_t j) { return signOf(double(x[w.kept[j + 1]]) - double(x[w.kept[j]])); };
    for (int32_t j = 1; j <= m - 2; ++j)
        if (diffSign(j) - diffSign(j - 1) < 0) w.peaks[count++] = w.kept[j];
    if (count == 0) return 0;
    if (count == 1) {
        if (capacity < 1) return 0;
        idx[0] = w.peaks[0];
        return 1;
    }
    for (int32_t i = 0; i < count; ++i) {
        w.order[i] = i;
        w.removed[i] = 0;
    }
    // Highest first; equal values (and NaN, counted lowest) keep index
    // order, so the result does not depend on the sort.
    const auto key = [&](int32_t i) {
        const double v = double(x[w.peaks[i]]);
        return std::isnan(v) ? -HUGE_VAL : v;
    };
    std::sort(w.order, w.order + count, [&](int32_t a, int32_t b) {
        const double ka = key(a), kb = key(b);
        return ka > kb || (ka == kb && a < b);
    });
    const int32_t considered = roundHalfAway(2.0 * count / 3.0);
    int32_t accepted = 0;
    for (int32_t r = 0; r < considered; ++r) {
        const int32_t i = w.order[r];
        if (w.removed[i]) continue;
        if (accepted < capacity) idx[accepted++] = w.peaks[i];
        for (int32_t k = 1; k <= minDist - 1 && i - k >= 0; ++k) {
            if (w.removed[i - k] || w.peaks[i] - w.peaks[i - k] > minDist) break;
            w.removed[i - k] = 1;
        }
        for (int32_t k = 1; k <= minDist - 1 && i + k < count; ++k) {
            if (w.removed[i + k] || w.peaks[i + k] - w.peaks[i] > minDist) break;
            w.removed[i + k] = 1;
        }
    }
    std::sort(idx, idx + accepted);
    return accepted;
}

// First index with x[k] > thr (bigger) or x[k] < thr; -1 none, -2 bad input.
template <typename T>
int32_t findNearst(const T *x, int32_t n, double thr, bool bigger)
{
    if (x == nullptr || n < 1) return -2;
    for (int32_t k = 0; k < n; ++k)
        if (bigger ? double(x[k]) > thr : double(x[k]) < thr) return k;
    return -1;
}

// The sample nearest to the first crossing of thr, reading x forwards
// (step +1 from index 0) or backwards (from n-1). -1 bad input, -2 none.
template <typename T>
int32_t thresholdCross(const T *x, int32_t n, double thr, bool forward)
{
    if (x == nullptr || n < 2) return -1;
    const auto at = [&](int32_t i) { return double(x[forward ? i : n - 1 - i]); };
    const bool above = at(0) > thr;
    int32_t k = -1;
    for (int32_t i = 0; i < n; ++i)
        if (above ? at(i) < thr : at(i) > thr) {
            k = i;
            break;
        }
    if (k < 0) return -2;
    const int32_t pick = std::fabs(at(k - 1) - thr) < std::fabs(at(k) - thr) ? k - 1 : k;
    return forward ? pick : n - 1 - pick;
}

template <typename T>
int32_t firstMaxPos(const T *x, int32_t n)
{
    int32_t best = 0;
    for (int32_t k = 1; k < n; ++k)
        if (x[k] > x[best]) best = k;
    return best;
}
template <typename T>
int32_t firstMinPos(const T *x, int32_t n)
{
    int32_t best = 0;
    for (int32_t k = 1; k < n; ++k)
        if (x[k] < x[best]) best = k;
    return best;
}

// Width of the biphasic wave of x that ends at c (window w); 0 when there
// is none, -1 for bad input. onset / offset receive the crossing indexes.
template <typename T>
int32_t waveDuration(int32_t c, int32_t w, const T *x, int32_t n, int32_t *onset, int32_t *offset)
{
    if (c < 0 || w < 0 || w >= n || x == nullptr || n <= 2) return -1;
    const int32_t lo = std::max(c - w, 0), hi = std::min(n - 1, c);
    if (lo > hi) return 0;
    const int32_t mn = lo + firstMinPos(x + lo, hi - lo + 1), mx = lo + firstMaxPos(x + lo, hi - lo + 1);
    const double vmin = double(x[mn]), vmax = double(x[mx]);
    if (!(vmax > 0.0 && vmin < 0.0)) return 0;
    const int32_t first = mn >= mx ? mx : mn, second = mn >= mx ? mn : mx;
    const double firstLevel = (mn >= mx ? vmax : vmin) / 4.0, secondLevel = (mn >= mx ? vmin : vmax) / 4.0;
    const int32_t bLo = std::max(first - w, 0);
    const int32_t on = thresholdCross(x + bLo, first - bLo + 1, firstLevel, false);
    const int32_t fHi = std::min(second + w, n - 1);
    const int32_t off = thresholdCross(x + second, fHi - second + 1, secondLevel, true);
    if (on < 0 || off < 0) return 0;
    *onset = bLo + on;
    *offset = second + off;
    return *offset - *onset;
}

// As waveDuration, and *amp = max(|raw[onset] - ref|, |raw[offset] - ref|)
// when the duration is measured (saturated at the int16 maximum so that a
// full-scale swing reads as large, not as a wrapped negative value).
template <typename T>
int32_t waveDurationAndPeakAmp(int32_t c, int32_t w, const int16_t *raw, const T *x, int32_t n, int16_t ref,
                               int16_t *amp)
{
    if (raw == nullptr || amp == nullptr) return -1;
    int32_t on = -1, off = -1;
    const int32_t d = waveDuration(c, w, x, n, &on, &off);
    if (on >= 0 && off >= 0) {
        const int32_t a = std::max(std::abs(raw[on] - ref), std::abs(raw[off] - ref));
        *amp = int16_t(std::min(a, 32767));
    }
    return d;
}

}  // namespace tessivar::rwave

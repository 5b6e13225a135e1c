#include "preprocess/noise_remove.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tessivar {
namespace {

// Block lengths and positions of the step detector.
constexpr int kBlock = 450;
constexpr int32_t kStepThreshold = 30001;  // more than 30 mV

// Ring lengths are limited to what the rings hold; a rate below 100 Hz still
// gets a look-ahead of one sample.
int32_t clampTo(int32_t n, int32_t lo, int32_t hi) { return n < lo ? lo : (n > hi ? hi : n); }

// x quantised to 5 uV steps (halves away from zero), kept inside int32.
int32_t quantise(int32_t x)
{
    const double q = std::round(x / 5.0) * 5.0;
    return q > INT32_MAX ? INT32_MAX - 2 : (q < INT32_MIN ? INT32_MIN + 3 : int32_t(q));
}

// Ring slot i + k for i in [0, kStepRing] and k in [0, kStepRing): the sum
// is below two ring lengths, so one conditional subtraction replaces the
// modulo.
int32_t ringAt(int32_t i, int32_t k)
{
    const int32_t j = i + k;
    return j >= kStepRing ? j - kStepRing : j;
}

}  // namespace

int32_t max(const int32_t *values, int32_t n)
{
    int32_t m = values[0];
    for (int32_t i = 1; i < n; ++i)
        if (values[i] > m) m = values[i];
    return m;
}

int32_t min(const int32_t *values, int32_t n)
{
    int32_t m = values[0];
    for (int32_t i = 1; i < n; ++i)
        if (values[i] < m) m = values[i];
    return m;
}

int stepCheck(StepState *s, int32_t x, int reset)
{
    if (reset != 0) {
        std::memset(s->ring, 0, sizeof s->ring);
        s->sumA = 0;
        s->sumB = 0;
        s->index = 0;
        s->countdown = kStepRing;
        return 0;
    }
    int32_t *ring = s->ring;
    ring[s->index] = x;
    int32_t i = s->index + 1;
    // A keeps the samples 549 ... 998 back, B the samples 0 ... 448 back.
    s->sumA += int64_t(ring[ringAt(i, kBlock)]) - ring[ringAt(i, 0)];
    s->sumB += int64_t(ring[ringAt(i, 999)]) - ring[ringAt(i, 550)];
    if (i > kStepRing - 1) i = 0;
    s->index = i;

    if (--s->countdown >= 1) return 0;
    s->countdown = 0;
    const int32_t p = ring[ringAt(i, 509)];  // 490 samples back
    const int32_t q = ring[ringAt(i, 490)];  // 509 samples back
    const int64_t d = s->sumB / kBlock - s->sumA / kBlock;
    return (std::llabs(int64_t(p) - q) >= kStepThreshold && std::llabs(d) >= kStepThreshold) ? 1 : 0;
}

int32_t do_open_close_noise_remove(NoiseState *s, int32_t x, int32_t fs, int init)
{
    if (init != 0) {
        s->counter = 0;
        s->halfWidth = clampTo(int32_t(fs * 0.015), 0, (kNoiseRing - 1) / 2);
        s->window = 2 * s->halfWidth + 1;
        s->ocOutput = 0;
        std::memset(s->ocInput, 0, sizeof s->ocInput);
        std::memset(s->ocMin, 0, sizeof s->ocMin);
        std::memset(s->ocMax, 0, sizeof s->ocMax);
        s->ocInputIdx = s->ocMinIdx = s->ocMaxIdx = 0;
        return 0;
    }
    const int32_t L = s->window;
    const int32_t c = ++s->counter;
    s->ocInput[s->ocInputIdx] = x;
    s->ocInputIdx = (s->ocInputIdx + 1) % L;
    if (c <= L) return s->ocOutput;

    s->ocMin[s->ocMinIdx] = min(s->ocInput, L);
    s->ocMinIdx = (s->ocMinIdx + 1) % L;
    s->ocMax[s->ocMaxIdx] = max(s->ocInput, L);
    s->ocMaxIdx = (s->ocMaxIdx + 1) % L;
    if (c <= 2 * L) return s->ocOutput;

    const int64_t a = max(s->ocMin, L);          // opening
    const int64_t b = min(s->ocMax, L);          // closing
    const int32_t r = s->ocInput[s->ocInputIdx]; // the oldest input, L - 1 back
    const int64_t prev = s->ocOutput;
    if ((std::llabs(a - prev) > 50 || std::llabs(b - prev) > 50) && std::llabs(a - b) > 100)
        s->ocOutput = r;  // a large change passes unsmoothed
    else
        s->ocOutput = int32_t((a + b) / 2);
    return s->ocOutput;
}

int32_t do_quan_noise_remove(NoiseState *s, int32_t x, int32_t fs, int init)
{
    if (init != 0) {
        s->quanLookAhead = clampTo(int32_t(fs * 0.01), 1, kNoiseRing);
        s->counter = 0;
        s->quanRingIdx = 0;
        std::memset(s->quanHistory, 0, sizeof s->quanHistory);
        s->quanOutput = 0;
        std::memset(s->quanRing, 0, sizeof s->quanRing);
        return 0;
    }
    const int32_t N = s->quanLookAhead;
    const int32_t c = ++s->counter;
    int32_t *h = s->quanHistory;
    h[3] = h[2];
    h[2] = h[1];
    h[1] = h[0];
    h[0] = s->quanOutput;

    // The sample quantised N calls ago leaves; x quantised to 5 uV (halves
    // away from zero) takes its place.
    int32_t candidate = s->quanRing[s->quanRingIdx];
    s->quanRing[s->quanRingIdx] = quantise(x);
    s->quanRingIdx = (s->quanRingIdx + 1) % N;

    const int64_t held = h[0];
    if (c > N + 1 && h[0] == h[1] && candidate != h[0]) {
        // Look ahead (oldest to newest) for the signal coming back near the
        // held value without straying more than 50 uV on the way.
        int64_t hi = INT64_MIN, lo = INT64_MAX;
        bool back = false;
        for (int32_t k = 0; k < N; ++k) {
            const int64_t e = s->quanRing[(s->quanRingIdx + k) % N];
            if (e > hi) hi = e;
            if (e < lo) lo = e;
            if (std::llabs(e - held) <= 5) {
                back = true;
                break;
            }
        }
        if (back && hi - held <= 50 && held - lo <= 50) candidate = h[0];
    }
    s->quanOutput = candidate;
    return candidate;
}

}  // namespace tessivar

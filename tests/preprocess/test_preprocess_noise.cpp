// Step detector and the two noise suppression steps, one sample per call.
// Expected values are worked out by hand from the step rules in the comments.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "preprocess/noise_remove.hpp"

namespace tessivar {
namespace {

// ---- step detector ---------------------------------------------------------
// After a reset call n (0-based) stores x_n; it compares p = x_{n-490} with
// q = x_{n-509} and d = B/450 - A/450, B the sum of x_{n-448..n}, A of
// x_{n-998..n-549}, and decides from call 999 on.

// First call that reports a step for 0 -> height at sample jumpAt, or -1.
int firstStep(StepState *s, int jumpAt, int height)
{
    for (int k = 0; k < 3000; ++k)
        if (stepCheck(s, k >= jumpAt ? height : 0, 0) == 1) return k;
    return -1;
}

TEST(StepCheck, FiresWhenBothMeasuresExceed30mV)
{
    const struct { int jumpAt, height, first; const char *why; } cases[] = {
        {600, 40000, 1090, "p post-jump at n = 1090, q = x_581 pre; d = 449 * 40000 / 450 = 39911"},
        {600, -40000, 1090, "the same downwards"},
        {491, 40000, 999, "at n = 999 p = x_509 post, q = x_490 pre: fires on the 1000th call"},
        {490, 40000, -1, "at n = 999 p and q are both post-jump already"},
        {600, 30068, 1090, "d = trunc(449 * 30068 / 450) = 30001"},
        {600, 30067, -1, "d = 30000"},
        {600, 30001, -1, "|p - q| 30001 but d = 29934"},
    };
    for (const auto &c : cases) {
        auto s = std::make_unique<StepState>();
        EXPECT_EQ(stepCheck(s.get(), 0, 1), 0);
        EXPECT_EQ(firstStep(s.get(), c.jumpAt, c.height), c.first) << c.why;
    }
    // A reset mid-stream restarts the countdown: the jump at 491 again waits for call 999.
    auto s = std::make_unique<StepState>();
    stepCheck(s.get(), 0, 1);
    for (int k = 0; k < 1500; ++k) stepCheck(s.get(), 0, 0);
    EXPECT_EQ(stepCheck(s.get(), 12345, 1), 0);
    EXPECT_EQ(firstStep(s.get(), 491, 40000), 999);
}

// ---- quantisation-noise holder ---------------------------------------------

// x through one of the steps after its reset call.
using NoiseStep = int32_t (*)(NoiseState *, int32_t, int32_t, int);
std::vector<int> through(NoiseStep step, const std::vector<int> &x, int fs = 1000)
{
    auto s = std::make_unique<NoiseState>();
    EXPECT_EQ(step(s.get(), 0, fs, 1), 0);
    std::vector<int> y;
    for (int v : x) y.push_back(step(s.get(), v, fs, 0));
    return y;
}
std::vector<int> quan(const std::vector<int> &x, int fs = 1000) { return through(do_quan_noise_remove, x, fs); }
std::vector<int> openClose(const std::vector<int> &x, int fs = 1000) { return through(do_open_close_noise_remove, x, fs); }

std::vector<int> flatWith(int n, int from, int len, int value)
{
    std::vector<int> x(size_t(n), 0);
    for (int k = from; k < from + len && k < n; ++k) x[size_t(k)] = value;
    return x;
}

TEST(QuanNoiseRemove, QuantisesTo5MicrovoltsBehindTheLookAhead)
{
    // N = truncate(fs * 0.01): 10 at 1000 Hz, 20 at 2000 Hz.
    for (int fs : {1000, 2000}) {
        const std::vector<int> y = quan(std::vector<int>(40, 1000), fs);
        for (int k = 0; k < 40; ++k) EXPECT_EQ(y[size_t(k)], k < fs / 100 ? 0 : 1000) << fs << " " << k;
    }
    // round(x / 5) * 5, half away from zero: 12/5 = 2.4 -> 10, 13/5 = 2.6 -> 15.
    const int cases[][2] = {{12, 10}, {13, 15}, {-12, -10}, {-13, -15}, {2, 0}, {3, 5}, {-3, -5}, {1000, 1000}};
    for (const auto &c : cases) EXPECT_EQ(quan(std::vector<int>(11, c[0]))[10], c[1]) << c[0];
}

TEST(QuanNoiseRemove, HoldsExcursionsThatReturnWithin50)
{
    // The output equals value on passFrom..passTo, else 0.
    const struct { int from, len, value, passFrom, passTo; const char *why; } cases[] = {
        {30, 1, 20, -1, -1, "a 20 uV spike: newer samples back within +-5 of the held 0"},
        {30, 3, 40, -1, -1, "40 uV for three samples strays 40 <= 50"},
        {30, 3, 50, -1, -1, "50 strays exactly 50: still held"},
        {30, 3, 60, 40, 42, "60 > 50 passes at 40; 41, 42 follow; the held 60 never returns at 43"},
        {30, 3, -50, -1, -1, "a dip of 50: held"},
        {30, 3, -60, 40, 42, "a dip of 60 passes like the rise"},
        {20, 60, 100, 30, 79, "a lasting step passes with the look-ahead's lag"},
    };
    for (const auto &c : cases) {
        const std::vector<int> y = quan(flatWith(80, c.from, c.len, c.value));
        for (int k = 0; k < 80; ++k) EXPECT_EQ(y[size_t(k)], k >= c.passFrom && k <= c.passTo ? c.value : 0) << c.why << " " << k;
    }
}

// ---- open-close smoother ---------------------------------------------------

TEST(OpenCloseNoiseRemove, SpikesPassOnceStepsWithTheWindowLag)
{
    // L = 2 truncate(fs * 0.015) + 1: 31 at 1000 Hz, 61 at 2000. A spike at s
    // is in the last L maxima only at call s + L - 1: b = 200, a = 0 -> the
    // oldest input (the spike) passes. A step reaches a = b = 1000 then too.
    const struct { int fs, n, from, len, value, passFrom, passTo; } cases[] = {
        {1000, 200, 100, 1, 200, 130, 130}, {2000, 300, 150, 1, 200, 210, 210}, {1000, 200, 100, 100, 1000, 130, 199}};
    for (const auto &c : cases) {
        const std::vector<int> y = openClose(flatWith(c.n, c.from, c.len, c.value), c.fs);
        for (int k = 0; k < c.n; ++k) EXPECT_EQ(y[size_t(k)], k >= c.passFrom && k <= c.passTo ? c.value : 0) << c.fs << " " << k;
    }
    // Alternating -41 / 30: a = -41, b = 30, (a + b) / 2 = -11 / 2 -> -5
    // (toward zero); 41 / -30 gives 5. Output from call 2L + 1 = 63 (index 62).
    for (int sign : {1, -1}) {
        std::vector<int> x(100);
        for (int k = 0; k < 100; ++k) x[size_t(k)] = sign * (k % 2 ? 30 : -41);
        const std::vector<int> y = openClose(x);
        for (int k = 0; k < 100; ++k) EXPECT_EQ(y[size_t(k)], k >= 62 ? -5 * sign : 0) << k;
    }
}

TEST(NoiseRemove, RatesBeyondTheRings)
{
    // 4000 Hz would need L = 121: the window stops at the rings' 61 entries;
    // N stops at 61 and never goes below 1.
    const int rates[][3] = {{4000, 61, 40}, {100000, 61, 61}, {0, 1, 1}};  // fs, L, N
    for (const auto &r : rates) {
        auto s = std::make_unique<NoiseState>();
        do_quan_noise_remove(s.get(), 0, r[0], 1);
        do_open_close_noise_remove(s.get(), 0, r[0], 1);
        EXPECT_EQ(s->window, r[1]) << r[0];
        EXPECT_EQ(s->quanLookAhead, r[2]) << r[0];
        for (int k = 0; k < 200; ++k) do_quan_noise_remove(s.get(), do_open_close_noise_remove(s.get(), k * 37, r[0], 0), r[0], 0);
    }
}

}  // namespace
}  // namespace tessivar

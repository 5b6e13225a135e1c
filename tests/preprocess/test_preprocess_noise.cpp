// Step detector and the two noise suppression steps, one sample per call.
// Expected values are worked out by hand from the step rules in the comments.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "preprocess/noise_remove.hpp"

namespace {

using tessivar::NoiseState;
using tessivar::StepState;

// ---- step detector ---------------------------------------------------------
// After a reset, call n (0-based) stores sample x_n. At call n the detector
// compares p = x_{n-490} with q = x_{n-509}, and d = B/450 - A/450 where B
// sums x_{n-448..n} and A sums x_{n-998..n-549}; it decides from call 999 on.

// Index of the first call that reports a step for 0 -> height at sample
// jumpAt, or -1 within n calls.
int firstStep(int jumpAt, int height, int n = 3000)
{
    auto s = std::make_unique<StepState>();
    tessivar::stepCheck(s.get(), 0, 1);
    for (int k = 0; k < n; ++k)
        if (tessivar::stepCheck(s.get(), k >= jumpAt ? height : 0, 0) == 1) return k;
    return -1;
}

TEST(StepCheck, FiresWhenTheJumpIs490SamplesBack)
{
    // Jump at 600: p turns post-jump at n = 1090 while q (n-509 = 581) is
    // still pre-jump; B = 449 * 40000 / 450 = 39911, A = 0.
    EXPECT_EQ(firstStep(600, 40000), 1090);
    EXPECT_EQ(firstStep(600, -40000), 1090);
}

TEST(StepCheck, DecidesFromThe1000thSampleAfterAReset)
{
    // Jump at 491: at n = 999 p = x_509 (post), q = x_490 (pre) -> fires on
    // the 1000th call, not at its natural 981.
    EXPECT_EQ(firstStep(491, 40000), 999);
    // Jump at 490: at n = 999 both p and q are post-jump, later too.
    EXPECT_EQ(firstStep(490, 40000), -1);
}

TEST(StepCheck, NeedsMoreThan30mVInBothMeasures)
{
    // |p - q| = h, d = trunc(449 h / 450): h = 30068 gives d = 30001,
    // h = 30067 gives d = 30000 (and 30001 only 29934).
    EXPECT_EQ(firstStep(600, 30068), 1090);
    EXPECT_EQ(firstStep(600, 30067), -1);
    EXPECT_EQ(firstStep(600, 30001), -1);
}

TEST(StepCheck, ResetRestartsTheCountdown)
{
    auto s = std::make_unique<StepState>();
    tessivar::stepCheck(s.get(), 0, 1);
    for (int k = 0; k < 1500; ++k) tessivar::stepCheck(s.get(), 0, 0);
    EXPECT_EQ(tessivar::stepCheck(s.get(), 12345, 1), 0);
    // The same jump at 491 after the reset again waits for call 999.
    int fired = -1;
    for (int k = 0; k < 2000 && fired < 0; ++k)
        if (tessivar::stepCheck(s.get(), k >= 491 ? 40000 : 0, 0) == 1) fired = k;
    EXPECT_EQ(fired, 999);
}

// ---- quantisation-noise holder ---------------------------------------------

std::vector<int> quan(const std::vector<int> &x, int fs = 1000)
{
    auto s = std::make_unique<NoiseState>();
    EXPECT_EQ(tessivar::do_quan_noise_remove(s.get(), 0, fs, 1), 0);
    std::vector<int> y;
    for (int v : x) y.push_back(tessivar::do_quan_noise_remove(s.get(), v, fs, 0));
    return y;
}

std::vector<int> flatWith(int n, int from, int len, int value)
{
    std::vector<int> x(n, 0);
    for (int k = from; k < from + len && k < n; ++k) x[k] = value;
    return x;
}

TEST(QuanNoiseRemove, ConstantInputAppearsAfterTheLookAhead)
{
    const std::vector<int> y = quan(std::vector<int>(40, 1000));
    for (int k = 0; k < 40; ++k) EXPECT_EQ(y[k], k < 10 ? 0 : 1000) << k;
    // 2000 Hz: N = 20.
    const std::vector<int> y2 = quan(std::vector<int>(40, 1000), 2000);
    for (int k = 0; k < 40; ++k) EXPECT_EQ(y2[k], k < 20 ? 0 : 1000) << k;
}

TEST(QuanNoiseRemove, QuantisesToFiveMicrovolts)
{
    // 12/5 = 2.4 -> 10; 13/5 = 2.6 -> 15; signs mirror.
    const int cases[][2] = {{12, 10}, {13, 15}, {-12, -10}, {-13, -15}, {2, 0}, {3, 5}, {-3, -5}, {1000, 1000}};
    for (const auto &c : cases) EXPECT_EQ(quan(std::vector<int>(11, c[0]))[10], c[1]) << c[0];
}

TEST(QuanNoiseRemove, SmallExcursionsThatComeBackAreHeld)
{
    // A 20 uV spike: the newer samples are back within +-5 of the held 0.
    for (int v : quan(flatWith(80, 30, 1, 20))) EXPECT_EQ(v, 0);
    // 40 uV for three samples: strays at most 40 <= 50 before coming back.
    for (int v : quan(flatWith(80, 30, 3, 40))) EXPECT_EQ(v, 0);
}

TEST(QuanNoiseRemove, LargeExcursionsPass)
{
    // 60 uV on samples 30..32: at output 40 the look-ahead sees 60, 60, 0 ->
    // strays 60 > 50, so it passes; 41 and 42 follow (the last two outputs
    // differ / equal the candidate); at 43 the held 60 never comes back.
    const std::vector<int> y = quan(flatWith(80, 30, 3, 60));
    for (int k = 0; k < 80; ++k) EXPECT_EQ(y[k], k >= 40 && k <= 42 ? 60 : 0) << k;
    // A lasting step passes with the look-ahead's lag.
    const std::vector<int> s = quan(flatWith(80, 20, 60, 100));
    for (int k = 0; k < 80; ++k) EXPECT_EQ(s[k], k >= 30 ? 100 : 0) << k;
}

// ---- open-close smoother ---------------------------------------------------

std::vector<int> openClose(const std::vector<int> &x, int fs = 1000)
{
    auto s = std::make_unique<NoiseState>();
    EXPECT_EQ(tessivar::do_open_close_noise_remove(s.get(), 0, fs, 1), 0);
    std::vector<int> y;
    for (int v : x) y.push_back(tessivar::do_open_close_noise_remove(s.get(), v, fs, 0));
    return y;
}

TEST(OpenCloseNoiseRemove, IsolatedSpikePassesOnceLMinusOneLater)
{
    // L = 31 at 1000 Hz. The spike at 100 is inside the last L window maxima
    // only at call 130: then b = 200, a = 0, prev 0 -> the oldest input (the
    // spike) passes; everywhere else a = b = 0.
    const std::vector<int> y = openClose(flatWith(200, 100, 1, 200));
    for (int k = 0; k < 200; ++k) EXPECT_EQ(y[k], k == 130 ? 200 : 0) << k;
    // 2000 Hz: L = 61.
    const std::vector<int> y2 = openClose(flatWith(300, 150, 1, 200), 2000);
    for (int k = 0; k < 300; ++k) EXPECT_EQ(y2[k], k == 210 ? 200 : 0) << k;
}

TEST(OpenCloseNoiseRemove, JitterBecomesTheTruncatedMidpoint)
{
    // Alternating -41 / 30: minima -41, maxima 30, (a + b) / 2 = -11 / 2 -> -5
    // (toward zero); 41 / -30 gives 5. Output starts at call 2L + 1 = 63.
    std::vector<int> neg(100), pos(100);
    for (int k = 0; k < 100; ++k) {
        neg[k] = k % 2 ? 30 : -41;
        pos[k] = k % 2 ? -30 : 41;
    }
    const std::vector<int> yn = openClose(neg), yp = openClose(pos);
    for (int k = 0; k < 100; ++k) {
        EXPECT_EQ(yn[k], k >= 62 ? -5 : 0) << k;
        EXPECT_EQ(yp[k], k >= 62 ? 5 : 0) << k;
    }
}

TEST(OpenCloseNoiseRemove, StepPassesWithTheWindowLag)
{
    // 0 -> 1000 at 100: the minima reach 1000 at call 130, when the last L
    // maxima are all 1000 too: a = b = 1000.
    const std::vector<int> y = openClose(flatWith(200, 100, 100, 1000));
    for (int k = 0; k < 200; ++k) EXPECT_EQ(y[k], k >= 130 ? 1000 : 0) << k;
}

TEST(NoiseRemove, ArrayExtremes)
{
    const int32_t v[] = {4, -2, 9, 1};
    EXPECT_EQ(tessivar::max(v, 4), 9);
    EXPECT_EQ(tessivar::min(v, 4), -2);
    EXPECT_EQ(tessivar::max(v, 0), 4);
    EXPECT_EQ(tessivar::min(v, 0), 4);
}

TEST(NoiseRemove, RatesBeyondTheRingsAreClamped)
{
    // 4000 Hz would need L = 121 and N = 40: the window stops at the ring's
    // 61 entries, and nothing is written outside the record.
    auto s = std::make_unique<NoiseState>();
    tessivar::do_quan_noise_remove(s.get(), 0, 4000, 1);
    tessivar::do_open_close_noise_remove(s.get(), 0, 4000, 1);
    EXPECT_EQ(s->window, 61);
    EXPECT_EQ(s->quanLookAhead, 40);
    tessivar::do_quan_noise_remove(s.get(), 0, 100000, 1);
    EXPECT_EQ(s->quanLookAhead, 61);
    tessivar::do_quan_noise_remove(s.get(), 0, 0, 1);
    tessivar::do_open_close_noise_remove(s.get(), 0, 0, 1);
    EXPECT_EQ(s->quanLookAhead, 1);
    EXPECT_EQ(s->window, 1);
    for (int k = 0; k < 50; ++k) {
        tessivar::do_open_close_noise_remove(s.get(), k, 0, 0);
        tessivar::do_quan_noise_remove(s.get(), k, 0, 0);
    }
}

}  // namespace

// Whole-array tools of the R-wave detectors; every expected value is worked
// out by hand beside it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "beat_detect/corvane_core.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/fir_filter.h"
#include "tessivar/rwave_tools.h"

namespace {

using Vec = std::vector<double>;
using Idx = std::vector<int32_t>;

TEST(RwaveTools, ExtremaAndPeaks)
{
    struct Case {
        Vec x;
        double thr;
        Idx want;
        const char *why;
    } extrema[] = {
        {{0, 1, 1, 0}, 0.0, {}, "a flat top is no strict extremum"},
        {{0, 2, 0, -2, 0}, 0.0, {1, 3}, "maximum and minimum"},
        {{0, 2, 0, -2, 0}, 2.0, {1, 3}, "|x| >= thr"},
        {{0, 2, 0, -2, 0}, 2.5, {}, "both below thr"},
    };
    for (const Case &c : extrema) {
        Idx idx(c.x.size(), -1);
        const int32_t n = peakSearchDouble(c.x.data(), int32_t(c.x.size()), idx.data(), c.thr);
        ASSERT_GE(n, 0) << c.why;
        EXPECT_EQ(Idx(idx.begin(), idx.begin() + n), c.want) << c.why;
    }
    const int16_t shorts[] = {0, 5, -3, -3, 4};  // 5 at 1 is a maximum; -3, -3 is flat
    int32_t sidx[5];
    EXPECT_EQ(peakSearchForShort(shorts, 5, sidx, 0.0), 1);
    EXPECT_EQ(sidx[0], 1);
    EXPECT_EQ(peakSearchDouble(Vec{1, 2}.data(), 2, sidx, 0.0), -1);

    struct Peaks {
        Vec x;
        int32_t minDist;
        Idx want;
        const char *why;
    } peaks[] = {
        // Peaks 1 (plateau, first sample) and 4; round(2 * 2 / 3) = 1 is
        // considered: the highest, 4.
        {{0, 1, 1, 0, 3, 0}, 1, {4}, "two thirds of two peaks"},
        // Heights 5, 4, 3 far apart: round(2 * 3 / 3) = 2 considered.
        {{0, 5, 0, 0, 4, 0, 0, 3, 0}, 1, {1, 4}, "the two highest of three"},
        // 6 at 1, 9 at 3, 7 at 5, 8 at 8, 2 at 10: five peaks, round(10/3) = 3
        // considered: 9 (removes 1 and 5, within 2), then 8 (accepted), then
        // 7 (already removed).
        {{0, 6, 0, 9, 0, 7, 0, 0, 8, 0, 2, 0}, 3, {3, 8}, "nearer neighbours removed"},
        {{1, 1, 1, 1}, 1, {}, "flat"},
    };
    for (const Peaks &c : peaks) {
        Idx idx(c.x.size(), -1);
        const int32_t n = findPeaksDouble(c.x.data(), int32_t(c.x.size()), c.minDist, idx.data(), int32_t(idx.size()));
        ASSERT_GE(n, 0) << c.why;
        EXPECT_EQ(Idx(idx.begin(), idx.begin() + n), c.want) << c.why;
    }
    const float fx[] = {0, 5, 0, 0, 4, 0, 0, 3, 0};
    int32_t one = -1;
    EXPECT_EQ(findPeaksFloat(fx, 9, 1, &one, 1), 1);  // capacity 1: the highest only
    EXPECT_EQ(one, 1);
    EXPECT_EQ(findPeaksDouble(Vec{0, 1, 0}.data(), 3, 2, &one, 1), -1);  // minDist >= n - 1
    EXPECT_EQ(findPeaksDouble(nullptr, 9, 1, &one, 1), -1);
}

TEST(RwaveTools, ScansCrossingsAveragesInterpolation)
{
    const Vec down = {4, 3, 1, 0};
    EXPECT_EQ(thresholdCrossForwardDouble(down.data(), 4, 2.0), 2);   // |3-2| = |1-2|: tie, the later
    EXPECT_EQ(thresholdCrossForwardDouble(down.data(), 4, 2.5), 1);   // |3-2.5| < |1-2.5|
    EXPECT_EQ(thresholdCrossBackwardDouble(Vec{0, 1, 3, 4}.data(), 4, 2.0), 1);  // tie: farther from the end
    EXPECT_EQ(thresholdCrossForwardDouble(down.data(), 4, 9.0), -2);  // never crosses
    EXPECT_EQ(thresholdCrossForwardDouble(down.data(), 1, 2.0), -1);
    const int32_t ints[] = {3, 7, 1};
    EXPECT_EQ(findNearstBiggerForInt(ints, 3, 3.0), 1);
    EXPECT_EQ(findNearstSmallerForInt(ints, 3, 3.0), 2);
    EXPECT_EQ(findNearstBiggerForInt(ints, 3, 7.0), -1);
    EXPECT_EQ(findNearstBiggerForInt(nullptr, 3, 7.0), -2);

    Vec avg(4);
    ASSERT_EQ(movingAverageDouble(Vec{1, 1, 1}.data(), 3, 2, avg.data()), 4);
    EXPECT_EQ(avg, (Vec{0.5, 1, 1, 0.5}));
    EXPECT_EQ(movingAverageDouble(Vec{1, 1, 1}.data(), 3, 4, avg.data()), -1);

    Vec out(3);
    ASSERT_EQ(interp1(Vec{0, 10}.data(), 2, 0.5, out.data()), 3);
    EXPECT_EQ(out, (Vec{0, 5, 10}));
    EXPECT_EQ(interp1(Vec{0, 10}.data(), 2, 0.0, out.data()), -1);

    Vec conv(4);
    ASSERT_EQ(convDouble(Vec{1, 2, 3}.data(), 3, Vec{1, -1}.data(), 2, conv.data()), 4);
    EXPECT_EQ(conv, (Vec{1, 1, 1, -3}));
}

TEST(RwaveTools, WaveDurationAndAmplitude)
{
    // Maximum 8 at 3, minimum -8 at 7. Onset: backward over x[0..3] at 8/4 = 2
    // crosses between 4 (index 2) and 0 (index 1), a tie: index 1. Offset:
    // forward over x[7..10] at -2, between -4 (8) and 0 (9), a tie: 9.
    const Vec x = {0, 0, 4, 8, 4, 0, -4, -8, -4, 0, 0};
    EXPECT_EQ(getWaveDuration(10, 10, x.data(), 11), 8);
    int16_t raw[11];
    for (int i = 0; i < 11; ++i) raw[i] = int16_t(100 * x[size_t(i)]);
    int16_t amp = 0;
    // Swing from the onset (0) or offset (0) to the R value 800.
    EXPECT_EQ(getWaveDurationAndPeakAmp(10, 10, raw, x.data(), 11, 800, &amp), 8);
    EXPECT_EQ(amp, 800);
    const Vec positive = {1, 2, 3, 2, 1};
    amp = -7;
    EXPECT_EQ(getWaveDurationAndPeakAmp(4, 4, raw, positive.data(), 5, 0, &amp), 0);
    EXPECT_EQ(amp, -7);  // not measured, not written
    EXPECT_EQ(getWaveDuration(-1, 4, x.data(), 11), -1);
    EXPECT_EQ(getWaveDuration(4, 11, x.data(), 11), -1);  // w >= n
}

TEST(RwaveTools, LynnFiltersAndDerivativeKernel)
{
    // fs 8, N = fs: a constant input minus its baseline (N^2 x / N^2) is 0
    // wherever the whole triangle lies inside the input.
    const int fs = 8;
    std::vector<int16_t> flat(40, 7);
    Vec hp(40);
    ASSERT_EQ(xpaFilterDouble(flat.data(), 40, fs, 1, hp.data()), 1);
    for (int k = 8; k < 32; ++k) EXPECT_NEAR(hp[size_t(k)], 0.0, 1e-9) << k;
    EXPECT_EQ(xpaFilterDouble(flat.data(), 15, fs, 1, hp.data()), -1);  // n < 2 fs
    // Slope of the ramp x[k] = k: (8/8)(k+2 + 2(k+1) - 2(k-1) - (k-2)) = 8;
    // the ends: fs (x1 - x0) = 8, fs/2 (x2 - x0) = 8, then two zeros.
    Vec ramp(16), slope(16);
    for (int k = 0; k < 16; ++k) ramp[size_t(k)] = k;
    ASSERT_EQ(DFilterDouble(ramp.data(), 16, fs, slope.data()), 1);
    for (int k = 0; k < 14; ++k) EXPECT_DOUBLE_EQ(slope[size_t(k)], 8.0) << k;
    EXPECT_EQ(slope[14], 0.0);
    EXPECT_EQ(slope[15], 0.0);

    // The kernel fs/8, fs/4, 0, -fs/4, -fs/8 resampled at s = 160 / fs.
    // 250 Hz, s = 0.64 (31.25, 62.5, 0, -62.5, -31.25):
    //   t 0: 31.25; .64: 31.25 + .64*31.25 = 51.25; 1.28: 62.5 - .28*62.5 = 45;
    //   1.92: 62.5 - .92*62.5 = 5; 2.56: -.56*62.5 = -35;
    //   3.2: -62.5 + .2*31.25 = -56.25; 3.84: -62.5 + .84*31.25 = -36.25.
    // 500 Hz, s = 0.32 (62.5, 125, 0, -125, -62.5): 62.5, 82.5, 102.5, 122.5,
    //   90, 50, 10, -30, -70, -110, -112.5, -92.5, -72.5.
    struct Kernel {
        int32_t fs;
        Vec taps;
    } kernels[] = {
        {250, {31.25, 51.25, 45, 5, -35, -56.25, -36.25}},
        {500, {62.5, 82.5, 102.5, 122.5, 90, 50, 10, -30, -70, -110, -112.5, -92.5, -72.5}},
    };
    for (const Kernel &k : kernels) {
        // The impulse response of the whole-array derivative...
        const size_t K = k.taps.size();
        Vec impulse(1, 1.0), out(K), mag(K);
        ASSERT_EQ(derivativeFiltDouble(impulse.data(), 1, k.fs, out.data(), mag.data()), int32_t(K));
        for (size_t i = 0; i < K; ++i) {
            EXPECT_NEAR(out[i], k.taps[i], 1e-9) << k.fs << " tap " << i;
            EXPECT_NEAR(mag[i], std::fabs(k.taps[i]), 1e-9);
        }
        // ... and the detectors' "derivative" filter carry the same taps.
        for (int32_t method : {1, 3}) {
            const BeatDetectConf c = {"k", nullptr, k.fs, 0, method, 0, 0};
            BeatDetect *h = newBeatDetect(&c);
            ASSERT_NE(h, nullptr);
            const auto *fir = reinterpret_cast<const FirFilter *>(tessivar::corvane::stateOf(h).derivative);
            ASSERT_EQ(fir->num_num, int32_t(K));
            for (size_t i = 0; i < K; ++i) EXPECT_NEAR(fir->numData[i], k.taps[i], 1e-9) << k.fs << " tap " << i;
            delBeatDetect(&h);
        }
    }
}

}  // namespace

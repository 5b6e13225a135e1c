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
        double thr;      // peakSearchDouble threshold, or -minDist for findPeaksDouble
        Idx want;
        const char *why;
    } cases[] = {
        {{0, 1, 1, 0}, 0.0, {}, "a flat top is no strict extremum"},
        {{0, 2, 0, -2, 0}, 0.0, {1, 3}, "maximum and minimum"},
        {{0, 2, 0, -2, 0}, 2.0, {1, 3}, "|x| >= thr"},
        {{0, 2, 0, -2, 0}, 2.5, {}, "both below thr"},
        {{0, 1, 1, 0, 3, 0}, -1, {4}, "peaks 1 (plateau) and 4: round(4/3) = 1 considered"},
        {{0, 5, 0, 0, 4, 0, 0, 3, 0}, -1, {1, 4}, "round(6/3) = 2 highest of three"},
        {{0, 6, 0, 9, 0, 7, 0, 0, 8, 0, 2, 0}, -3, {3, 8}, "9 removes 6 and 7 (within 2), 8 kept"},
        {{1, 1, 1, 1}, -1, {}, "flat"},
    };
    for (const Case &c : cases) {
        Idx idx(c.x.size(), -1);
        const int32_t n = c.thr >= 0 ? peakSearchDouble(c.x.data(), int32_t(c.x.size()), idx.data(), c.thr)
                                     : findPeaksDouble(c.x.data(), int32_t(c.x.size()), int32_t(-c.thr), idx.data(), int32_t(idx.size()));
        ASSERT_GE(n, 0) << c.why;
        EXPECT_EQ(Idx(idx.begin(), idx.begin() + n), c.want) << c.why;
    }
    const int16_t shorts[] = {0, 5, -3, -3, 4};  // 5 is a maximum; -3, -3 is flat
    const float fx[] = {0, 5, 0, 0, 4, 0, 0, 3, 0};
    int32_t sidx[5], one = -1;
    EXPECT_EQ((Idx{peakSearchForShort(shorts, 5, sidx, 0.0), sidx[0], peakSearchDouble(Vec{1, 2}.data(), 2, sidx, 0.0)}), (Idx{1, 1, -1}));
    EXPECT_EQ((Idx{findPeaksFloat(fx, 9, 1, &one, 1), one}), (Idx{1, 1}));  // capacity 1: the highest only
    EXPECT_EQ((Idx{findPeaksDouble(Vec{0, 1, 0}.data(), 3, 2, &one, 1), findPeaksDouble(nullptr, 9, 1, &one, 1)}), (Idx{-1, -1}));
}

TEST(RwaveTools, ScansCrossingsAveragesInterpolationConvolution)
{
    const Vec down = {4, 3, 1, 0}, up = {0, 1, 3, 4};
    const int32_t ints[] = {3, 7, 1};
    // Crossing 2 between 3 and 1: a tie, the later (forward) or the one farther from the end (backward);
    // 2.5 nearer 3; never crossed -2; n < 2 -1. Scans: first strictly above / below, none -1, null -2.
    EXPECT_EQ((Idx{thresholdCrossForwardDouble(down.data(), 4, 2.0), thresholdCrossForwardDouble(down.data(), 4, 2.5),
                   thresholdCrossBackwardDouble(up.data(), 4, 2.0), thresholdCrossForwardDouble(down.data(), 4, 9.0),
                   thresholdCrossForwardDouble(down.data(), 1, 2.0), findNearstBiggerForInt(ints, 3, 3.0),
                   findNearstSmallerForInt(ints, 3, 3.0), findNearstBiggerForInt(ints, 3, 7.0), findNearstBiggerForInt(nullptr, 3, 7.0)}),
              (Idx{2, 1, 1, -2, -1, 1, 2, -1, -2}));
    Vec out(4);
    ASSERT_EQ(movingAverageDouble(Vec{1, 1, 1}.data(), 3, 2, out.data()), 4);
    EXPECT_EQ(out, (Vec{0.5, 1, 1, 0.5}));
    EXPECT_EQ(movingAverageDouble(Vec{1, 1, 1}.data(), 3, 4, out.data()), -1);  // w > n
    ASSERT_EQ(convDouble(Vec{1, 2, 3}.data(), 3, Vec{1, -1}.data(), 2, out.data()), 4);
    EXPECT_EQ(out, (Vec{1, 1, 1, -3}));
    ASSERT_EQ(interp1(Vec{0, 10}.data(), 2, 0.5, out.data()), 3);
    EXPECT_EQ(Vec(out.begin(), out.begin() + 3), (Vec{0, 5, 10}));
    EXPECT_EQ(interp1(Vec{0, 10}.data(), 2, 0.0, out.data()), -1);
}

TEST(RwaveTools, WaveDurationAndAmplitude)
{
    // Max 8 at 3, min -8 at 7. Onset: backward over x[0..3] at 2, tie between 1 and 2: 1.
    // Offset: forward over x[7..10] at -2, tie between 8 and 9: 9. Amplitude |0 - 800|.
    const Vec x = {0, 0, 4, 8, 4, 0, -4, -8, -4, 0, 0};
    int16_t raw[11], amp = 0, untouched = -7;
    for (int i = 0; i < 11; ++i) raw[i] = int16_t(100 * x[size_t(i)]);
    EXPECT_EQ((Idx{getWaveDuration(10, 10, x.data(), 11), getWaveDurationAndPeakAmp(10, 10, raw, x.data(), 11, 800, &amp), amp}),
              (Idx{8, 8, 800}));
    EXPECT_EQ(getWaveDurationAndPeakAmp(4, 4, raw, Vec{1, 2, 3, 2, 1}.data(), 5, 0, &untouched), 0);  // no biphasic wave
    EXPECT_EQ(untouched, -7);
    EXPECT_EQ((Idx{getWaveDuration(-1, 4, x.data(), 11), getWaveDuration(4, 11, x.data(), 11)}), (Idx{-1, -1}));  // c < 0, w >= n
}

TEST(RwaveTools, LynnFiltersAndDerivativeKernel)
{
    const int fs = 8;
    std::vector<int16_t> flat(40, 7);
    Vec hp(40);
    ASSERT_EQ(xpaFilterDouble(flat.data(), 40, fs, 1, hp.data()), 1);
    for (int k = 8; k < 32; ++k) EXPECT_NEAR(hp[size_t(k)], 0.0, 1e-9) << k;  // 7 - 64 * 7 / 64 inside the input
    EXPECT_EQ(xpaFilterDouble(flat.data(), 15, fs, 1, hp.data()), -1);       // n < 2 fs
    // Slope of the ramp k: (8/8)(k+2 + 2(k+1) - 2(k-1) - (k-2)) = 8; ends 8 (x1 - x0) and 4 (x2 - x0), then two zeros.
    Vec ramp(16), slope(16);
    for (int k = 0; k < 16; ++k) ramp[size_t(k)] = k;
    ASSERT_EQ(DFilterDouble(ramp.data(), 16, fs, slope.data()), 1);
    Vec want(16, 8.0);
    want[14] = want[15] = 0.0;
    EXPECT_EQ(slope, want);
    // fs/8, fs/4, 0, -fs/4, -fs/8 resampled at 160/fs. 250 Hz, s .64: 31.25, 31.25 + .64 * 31.25,
    // 62.5 - .28 * 62.5, 62.5 - .92 * 62.5, -.56 * 62.5, -62.5 + .2 * 31.25, -62.5 + .84 * 31.25.
    const Vec kernels[] = {{31.25, 51.25, 45, 5, -35, -56.25, -36.25},
                           {62.5, 82.5, 102.5, 122.5, 90, 50, 10, -30, -70, -110, -112.5, -92.5, -72.5}};  // 500 Hz, s .32
    for (const Vec &taps : kernels) {
        const int32_t rate = taps.size() == 7 ? 250 : 500;
        const size_t K = taps.size();
        Vec impulse(1, 1.0), out(K), mag(K);
        ASSERT_EQ(derivativeFiltDouble(impulse.data(), 1, rate, out.data(), mag.data()), int32_t(K));
        for (size_t i = 0; i < K; ++i) {
            EXPECT_NEAR(out[i], taps[i], 1e-9) << rate << " tap " << i;
            EXPECT_NEAR(mag[i], std::fabs(taps[i]), 1e-9);
        }
        for (int32_t method : {1, 3}) {  // the detectors' "derivative" filter carries the same taps
            const BeatDetectConf c = {"k", nullptr, rate, 0, method, 0, 0};
            BeatDetect *h = newBeatDetect(&c);
            const auto *fir = reinterpret_cast<const FirFilter *>(tessivar::corvane::stateOf(h).derivative);
            ASSERT_EQ(fir->num_num, int32_t(K));
            for (size_t i = 0; i < K; ++i) EXPECT_NEAR(fir->numData[i], taps[i], 1e-9) << rate << " tap " << i;
            delBeatDetect(&h);
        }
    }
}

}  // namespace

// Adaptive-threshold R-wave detectors (method 1 and kt), the offline R-peak finder and their whole-array tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "beat_detect/corvane_core.hpp"
#include "beat_detect/detector_methods.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "support/log_capture.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/fir_filter.h"
#include "tessivar/rwave_tools.h"

namespace {

using Vec = std::vector<double>;
using Idx = std::vector<int32_t>;
using namespace tessivar::test;
namespace cv = tessivar::corvane;

const int32_t kMethods[] = {1, 3};  // Corvane and kt

struct Handle {
    BeatDetect *h = nullptr;
    explicit Handle(int32_t method, int32_t fs = 1000)  // creation initialises the detector
    {
        const BeatDetectConf c = {"t", nullptr, fs, 0, method, 0, 0};
        h = newBeatDetect(&c);
    }
    ~Handle() { delBeatDetect(&h); }
    cv::Detector &state() const { return cv::stateOf(h); }
    Idx delays;  // of every report
    std::vector<int64_t> feed(const std::vector<int16_t> &x)  // beat positions: index minus delay
    {
        std::vector<int64_t> beats;
        uint8_t noise = 0;
        for (size_t t = 0; t < x.size(); ++t) {
            const int32_t r = realtimeDetectBeat(h, x[t], &noise);
            EXPECT_TRUE(r > 0 || r == -1) << r;
            if (r > 0) beats.push_back(int64_t(t) - r), delays.push_back(r);
        }
        return beats;
    }
};

// Every peak in [from, to) found once within tol (others at most once), and every found beat near a peak.
void expectBeats(const std::vector<int64_t> &found, const std::vector<int64_t> &peaks, int64_t tol, int64_t from, int64_t to)
{
    auto near = [tol](int64_t a) { return [a, tol](int64_t b) { return std::llabs(a - b) <= tol; }; };
    for (int64_t p : peaks) {
        const auto n = std::count_if(found.begin(), found.end(), near(p));
        EXPECT_TRUE(p >= from && p < to ? n == 1 : n <= 1) << "peak " << p << " found " << n << " times";
    }
    for (int64_t b : found) EXPECT_TRUE(std::any_of(peaks.begin(), peaks.end(), near(b))) << "beat at " << b;
}

TEST(Corvane, DerivedLengthsAndTheLearningWindowRule)
{
    // mwiLen round(.13 fs), rSearchHalf round(.12 fs), tWaveLen floor(60 fs/190), closeNoiseLen
    // floor(60 fs/250), refractoryLen round(fs/5), skipLen round(.02 fs), bigBeatSkipLen round(.2 fs),
    // peakHoldLen floor(.095 fs + .5), xpbN round(fs/50), initLen 2 fs + 1; delays N - 1 + 1 per
    // triangular stage (xpaDelay fs, xpbDelay xpbN), "D" adds 2.
    const Idx table[] = {
        {250, 33, 30, 78, 60, 50, 5, 50, 24, 5, 501, 250, 5, 255, 257},   // 32.5, 78.9, 24.25
        {360, 47, 43, 113, 86, 72, 7, 72, 34, 7, 721, 360, 7, 367, 369},  // 46.8, 43.2, 113.7, 86.4, 34.7
        {500, 65, 60, 157, 120, 100, 10, 100, 48, 10, 1001, 500, 10, 510, 512},
        {1000, 130, 120, 315, 240, 200, 20, 200, 95, 20, 2001, 1000, 20, 1020, 1022},  // 315.8, 95.5
    };
    for (int32_t method : kMethods)
        for (const Idx &e : table) {
            Handle h(method, e[0]);
            const cv::Detector &d = h.state();
            EXPECT_EQ((Idx{e[0], d.header.detectorWord, d.rSearchHalf, d.tWaveLen, d.closeNoiseLen,
                                            d.refractoryLen, d.skipLen, d.bigBeatSkipLen, d.peakHoldLen, d.xpbN, d.initLen,
                                            d.xpaDelay, d.xpbDelay, d.lpDelay, d.dDelay}),
                      e) << method;
            EXPECT_TRUE(std::fabs(d.meanRR - 60.0 * e[0] / 90) < 1e-9 && d.minNormalRR == 60.0 * e[0] / 200 &&
                        d.maxNormalRR == 60.0 * e[0] / 30) << e[0];
        }
    // Alternating a, b (mean (|a|+|b|)/2, range |a-b|) or zeros with two spikes a, b (mean < 26).
    struct Case { int16_t a, b; bool spikes, plausible; const char *why; } cases[] = {
        {-25000, 25000, true, true, "range exactly 50000"},
        {-25000, 25001, true, false, "range 50001"},
        {-13000, 7000, false, true, "mean 10000, range exactly 20000"},
        {-13001, 7000, false, false, "mean 10000.5, range 20001"},
        {5000, 7000, false, true, "mean 6000 is not above 6000"},
    };
    for (const Case &c : cases) {
        std::vector<int16_t> x(2001, 0);
        for (size_t i = 0; i < x.size(); ++i) x[i] = c.spikes ? 0 : i % 2 ? c.b : c.a;
        if (c.spikes) x[700] = c.a, x[1400] = c.b;
        EXPECT_EQ(cv::learningWindowPlausible(x.data(), 2001), c.plausible) << c.why;
    }
}

TEST(Corvane, SilentWithoutBeatsAndEachBeatReportedOneBeatLate)
{
    for (int32_t method : kMethods) {
        for (int16_t level : {0, -32768}) EXPECT_TRUE(Handle(method).feed(std::vector<int16_t>(12000, level)).empty()) << method;
        Handle one(method);
        EXPECT_TRUE(one.feed(toInt16(beatsAt(1000, 20000, {5000}, normalBeat()))).empty()) << method;
        EXPECT_EQ(one.state().qrsCount, 1);  // accepted, never reported
        Handle two(method);
        const std::vector<int64_t> beats = two.feed(toInt16(beatsAt(1000, 20000, {5000, 5900}, normalBeat())));
        ASSERT_EQ(beats.size(), 1u) << method;
        const cv::Detector &d = two.state();
        EXPECT_TRUE(std::llabs(beats[0] - 5000) <= 3 && beats[0] == d.qrsBuf[4].rPos) << beats[0];
        EXPECT_GT(two.delays[0], d.rSearchHalf + d.lpDelay + 900);  // spans the processing lag and the RR
    }
}

TEST(Corvane, RegularRhythmSearchBackAndTWaves)
{
    // Every rate: beats every 0.8 s all found (after learning, before the unreported tail of 2.1 s).
    for (int32_t method : kMethods)
        for (int fs : {250, 360, 500, 1000}) {
            Handle h(method, fs);
            const size_t n = size_t(20 * fs);
            const std::vector<int64_t> peaks = regularPeaks(fs / 2, int64_t(0.8 * fs), n);
            expectBeats(h.feed(toInt16(beatsAt(fs, n, peaks, normalBeat()))), peaks, 2 + fs / 250, 3 * fs, int64_t(n) - int64_t(2.1 * fs));
        }
    // A 400 uV beat among 1 mV ones (integral 0.16, between the thresholds): search-back; a sharp half-size T: no beat.
    const std::vector<int64_t> peaks = regularPeaks(500, 1000, 20000);
    std::vector<double> small(20000, 0.0);
    for (int64_t p : peaks)
        for (const Wave &w : normalBeat(p == 12500 ? 400.0 : 1000.0)) addWave(small, 1000, double(p), w);
    std::vector<double> tall = beatsAt(1000, 20000, peaks, {{0.0, 1000.0, 0.008}, {0.3, 500.0, 0.03}});
    for (int32_t method : kMethods)
        for (const auto *x : {&small, &tall}) expectBeats(Handle(method).feed(toInt16(*x)), peaks, 3, 3000, 17000);
}

TEST(Corvane, RestartBehavesLikeANewInstanceAndBadConfigurationsAreRefused)
{
    const std::vector<int16_t> x = toInt16(beatsAt(1000, 15000, regularPeaks(500, 900, 15000), normalBeat()));
    for (int32_t method : kMethods) {
        Handle h(method);
        const std::vector<int64_t> first = h.feed(x);
        ASSERT_FALSE(first.empty());
        EXPECT_EQ((Idx{initBeatDetect(h.h), h.state().qrsCount, h.state().rrCount}), (Idx{0, 0, 0}));
        EXPECT_EQ(h.feed(x), first) << method;  // behaves like a new instance
    }
    LogCapture log;
    for (int32_t method : kMethods) {
        // The learning window must fit the 8000-entry rings; 20000 per minute at 100 Hz: shortest RR below one sample.
        for (const auto &[fs, maxHR] : {std::pair{4000, 0}, {0, 0}, {-360, 0}, {100, 20000}}) {
            const BeatDetectConf c = {"bad", nullptr, fs, 0, method, maxHR, 0};
            EXPECT_EQ(newBeatDetect(&c), nullptr) << fs;
        }
    }
    EXPECT_GE(log.count("Input parameter exception."), 8);
}

TEST(FindRPeakMethod1, PositionsCapacityAndLimits)
{
    LogCapture log;
    Handle h(1);
    const std::vector<int64_t> peaks = regularPeaks(500, 1000, 20000);
    const std::vector<int16_t> x = toInt16(beatsAt(1000, 20000, peaks, normalBeat()));
    Idx pos(64, -1), three(3, -1);
    const int32_t count = findRPeak(h.h, x.data(), 20000, pos.data(), 64);
    ASSERT_GE(count, 17);  // every beat from the learning window (2 fs - 1) on
    for (int32_t i = 0; i < count; ++i) EXPECT_NEAR(pos[size_t(i)], peaks[peaks.size() - size_t(count) + size_t(i)], 3) << i;
    const std::vector<int16_t> flat(20000, 0);
    // Full at 3: -2 and the same first three; flat: 0; below 2 fs: -1; the double finder learns from 4 fs.
    EXPECT_EQ((Idx{findRPeak(h.h, x.data(), 20000, three.data(), 3), findRPeak(h.h, flat.data(), 20000, pos.data(), 64),
                   findRPeak(h.h, x.data(), 1999, pos.data(), 64), tessivar::inerFindRWithNonRealDouble(x.data(), 3999, h.h, pos.data(), 64)}),
              (Idx{-2, 0, -1, -1}));
    EXPECT_EQ(three, Idx(pos.begin(), pos.begin() + 3));
    EXPECT_TRUE(log.contains("signals calculate error."));
    EXPECT_GE(tessivar::inerFindRWithNonRealDouble(x.data(), 20000, h.h, pos.data(), 64), 15);
    const BeatDetectConf c = {"slow", nullptr, 1000, 0, 1, 30, 40};  // maxHR 30, minHR >= maxHR
    BeatDetect *slow = newBeatDetect(&c);
    log.clear();
    EXPECT_TRUE(findRPeak(slow, x.data(), 20000, pos.data(), 64) == -1 && !log.contains("error"));
    delBeatDetect(&slow);
}

TEST(RwaveTools, ExtremaPeaksScansCrossingsAveragesAndInterpolation)
{
    struct Case { Vec x; double thr; Idx want; const char *why; } cases[] = {  // thr < 0: findPeaksDouble, minDist -thr
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
    const Vec down = {4, 3, 1, 0}, up = {0, 1, 3, 4};
    const int32_t ints[] = {3, 7, 1};
    // Crossing 2 between 3 and 1: a tie, the later (forward) or the one farther from the end (backward);
    // 2.5 nearer 3; never crossed -2; n < 2 -1. Scans: first strictly above / below, none -1, null -2.
    EXPECT_EQ((Idx{thresholdCrossForwardDouble(down.data(), 4, 2.0), thresholdCrossForwardDouble(down.data(), 4, 2.5),
                   thresholdCrossBackwardDouble(up.data(), 4, 2.0), thresholdCrossForwardDouble(down.data(), 4, 9.0),
                   thresholdCrossForwardDouble(down.data(), 1, 2.0), findNearstBiggerForInt(ints, 3, 3.0),
                   findNearstSmallerForInt(ints, 3, 3.0), findNearstBiggerForInt(ints, 3, 7.0), findNearstBiggerForInt(nullptr, 3, 7.0)}),
              (Idx{2, 1, 1, -2, -1, 1, 2, -1, -2}));
    Vec avg(4), conv(4), in(3);
    const Vec ones = {1, 1, 1};
    EXPECT_EQ((Idx{movingAverageDouble(ones.data(), 3, 2, avg.data()), convDouble(Vec{1, 2, 3}.data(), 3, Vec{1, -1}.data(), 2, conv.data()),
                   interp1(Vec{0, 10}.data(), 2, 0.5, in.data()), movingAverageDouble(ones.data(), 3, 4, avg.data()),
                   interp1(Vec{0, 10}.data(), 2, 0.0, in.data())}),
              (Idx{4, 4, 3, -1, -1}));  // w > n, step 0 refused
    EXPECT_EQ(avg, (Vec{0.5, 1, 1, 0.5}));
    EXPECT_EQ(conv, (Vec{1, 1, 1, -3}));
    EXPECT_EQ(in, (Vec{0, 5, 10}));
}

TEST(RwaveTools, WaveDurationLynnFiltersAndDerivativeKernel)
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
    const int fs = 8;
    std::vector<int16_t> flat(40, 7);
    Vec hp(40);
    ASSERT_EQ(xpaFilterDouble(flat.data(), 40, fs, 1, hp.data()), 1);
    EXPECT_TRUE(std::all_of(&hp[8], &hp[32], [](double v) { return std::fabs(v) < 1e-9; }));  // 7 - 64 * 7 / 64 inside
    EXPECT_EQ(xpaFilterDouble(flat.data(), 15, fs, 1, hp.data()), -1);       // n < 2 fs
    // Slope of the ramp k: (8/8)(k+2 + 2(k+1) - 2(k-1) - (k-2)) = 8; ends 8 (x1 - x0) and 4 (x2 - x0), then two zeros.
    Vec ramp(16), slope(16), want(16, 8.0);
    for (int k = 0; k < 16; ++k) ramp[size_t(k)] = k;
    want[14] = want[15] = 0.0;
    EXPECT_EQ(DFilterDouble(ramp.data(), 16, fs, slope.data()), 1);
    EXPECT_EQ(slope, want);
    // fs/8, fs/4, 0, -fs/4, -fs/8 resampled at 160/fs. 250 Hz, s .64: 31.25, 31.25 + .64 * 31.25,
    // 62.5 - .28 * 62.5, 62.5 - .92 * 62.5, -.56 * 62.5, -62.5 + .2 * 31.25, -62.5 + .84 * 31.25.
    const Vec kernels[] = {{31.25, 51.25, 45, 5, -35, -56.25, -36.25},
                           {62.5, 82.5, 102.5, 122.5, 90, 50, 10, -30, -70, -110, -112.5, -92.5, -72.5}};  // 500 Hz, s .32
    auto near = [](const double *a, const Vec &b) {
        return std::equal(b.begin(), b.end(), a, [](double u, double v) { return std::fabs(u - v) < 1e-9; });
    };
    for (const Vec &taps : kernels) {
        const int32_t rate = taps.size() == 7 ? 250 : 500, K = int32_t(taps.size());
        Vec impulse(1, 1.0), out(taps.size()), mag(taps.size()), absTaps(taps);
        for (double &t : absTaps) t = std::fabs(t);
        EXPECT_EQ(derivativeFiltDouble(impulse.data(), 1, rate, out.data(), mag.data()), K);
        EXPECT_TRUE(near(out.data(), taps) && near(mag.data(), absTaps)) << rate;
        Handle h(1, rate);  // the real-time detector's "derivative" filter carries the same taps
        const auto *fir = reinterpret_cast<const FirFilter *>(h.state().derivative);
        EXPECT_TRUE(fir->num_num == K && near(fir->numData, taps)) << rate;
    }
}

}  // namespace

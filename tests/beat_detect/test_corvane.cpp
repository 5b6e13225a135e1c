// Adaptive-threshold R-wave detectors (method 1 and kt) and the offline
// R-peak finder: derived lengths, learning, reporting rule, search-back,
// T waves, bad input, and one annotated recording.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "beat_detect/corvane_core.hpp"
#include "beat_detect/detector_methods.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "records/beat_compare.hpp"
#include "records/wfdb.hpp"
#include "support/log_capture.hpp"
#include "tessivar/beat_detect.h"

namespace {

using namespace tessivar::test;
namespace cv = tessivar::corvane;

struct Handle {
    BeatDetect *h = nullptr;
    explicit Handle(int32_t method, int32_t fs = 1000, int32_t minHR = 0, int32_t maxHR = 0)
    {
        const BeatDetectConf c = {"t", nullptr, fs, 0, method, maxHR, minHR};
        h = newBeatDetect(&c);
        if (h != nullptr) initBeatDetect(h);
    }
    ~Handle() { delBeatDetect(&h); }
    cv::Detector &state() const { return cv::stateOf(h); }
};

// Every result of feeding x: the beat positions (index minus delay), and
// the (index, delay) of each report.
struct Fed {
    std::vector<int64_t> beats, at, delays;
    int others = 0;  // results that are neither -1 nor a delay
};

Fed feed(BeatDetect *h, const std::vector<int16_t> &x)
{
    Fed f;
    uint8_t noise = 0;
    for (size_t t = 0; t < x.size(); ++t) {
        const int32_t r = realtimeDetectBeat(h, x[t], &noise);
        if (r > 0) {
            f.beats.push_back(int64_t(t) - r);
            f.at.push_back(int64_t(t));
            f.delays.push_back(r);
        } else if (r != -1) {
            ++f.others;
        }
    }
    return f;
}

std::vector<int16_t> rhythm(int fs, double seconds, double periodS, const std::vector<Wave> &beat, double firstS = 0.5)
{
    const size_t n = size_t(seconds * fs);
    return toInt16(beatsAt(fs, n, regularPeaks(int64_t(firstS * fs), int64_t(periodS * fs), n), beat));
}

// Every found beat lies within tol samples of a true peak, no peak is found
// twice, and every peak in [from, to) (sample indexes) is found.
void expectBeats(const std::vector<int64_t> &found, const std::vector<int64_t> &peaks, int64_t tol, int64_t from,
                 int64_t to)
{
    std::vector<int> hits(peaks.size(), 0);
    for (int64_t b : found) {
        size_t best = 0;
        for (size_t k = 1; k < peaks.size(); ++k)
            if (std::llabs(peaks[k] - b) < std::llabs(peaks[best] - b)) best = k;
        EXPECT_LE(std::llabs(peaks[best] - b), tol) << "beat at " << b;
        ++hits[best];
    }
    for (size_t k = 0; k < peaks.size(); ++k) {
        EXPECT_LE(hits[k], 1) << "peak " << peaks[k];
        if (peaks[k] >= from && peaks[k] < to) {
            EXPECT_EQ(hits[k], 1) << "peak " << peaks[k];
        }
    }
}

const int32_t kMethods[] = {1, 3};  // Corvane and kt

struct Lengths {
    int32_t fs, mwiLen, rSearchHalf, tWaveLen, closeNoiseLen, refractoryLen, skipLen, bigBeatSkipLen, peakHoldLen,
        xpbN, initLen, xpaDelay, xpbDelay, lpDelay, dDelay;
    double meanRR;
};

TEST(Corvane, DerivedLengthsFromTheRate)
{
    // Hand arithmetic: mwiLen round(0.13 fs), rSearchHalf round(0.12 fs),
    // tWaveLen floor(60 fs / 190), closeNoiseLen floor(60 fs / 250),
    // refractoryLen round(60 fs / 300), skipLen round(0.02 fs),
    // bigBeatSkipLen round(0.2 fs), peakHoldLen floor(0.095 fs + 0.5),
    // xpbN round(fs / 50), initLen 2 fs + 1. The triangular filters of
    // length 2N+1 over 3 report a delay of N - 1, so xpaDelay = fs and
    // xpbDelay = xpbN; the 5-tap slope filter adds 2. meanRR = 60 fs / 90.
    //   250:  32.5->33, 30, 78.9->78, 60, 50, 5, 50, 24.25->24, 5
    //   360:  46.8->47, 43.2->43, 113.7->113, 86.4->86, 72, 7.2->7, 72, 34.7->34, 7.2->7
    //   500:  65, 60, 157.9->157, 120, 100, 10, 100, 48, 10
    //   1000: 130, 120, 315.8->315, 240, 200, 20, 200, 95.5->95, 20
    const Lengths table[] = {
        {250, 33, 30, 78, 60, 50, 5, 50, 24, 5, 501, 250, 5, 255, 257, 250.0 * 60 / 90},
        {360, 47, 43, 113, 86, 72, 7, 72, 34, 7, 721, 360, 7, 367, 369, 240.0},
        {500, 65, 60, 157, 120, 100, 10, 100, 48, 10, 1001, 500, 10, 510, 512, 333.333333},
        {1000, 130, 120, 315, 240, 200, 20, 200, 95, 20, 2001, 1000, 20, 1020, 1022, 666.666667},
    };
    for (int32_t method : kMethods)
        for (const Lengths &e : table) {
            Handle h(method, e.fs);
            ASSERT_NE(h.h, nullptr);
            const cv::Detector &d = h.state();
            const int32_t got[] = {d.header.detectorWord, d.rSearchHalf, d.tWaveLen, d.closeNoiseLen,
                                   d.refractoryLen, d.skipLen, d.bigBeatSkipLen, d.peakHoldLen, d.xpbN,
                                   d.initLen, d.xpaDelay, d.xpbDelay, d.lpDelay, d.dDelay};
            const int32_t want[] = {e.mwiLen, e.rSearchHalf, e.tWaveLen, e.closeNoiseLen, e.refractoryLen,
                                    e.skipLen, e.bigBeatSkipLen, e.peakHoldLen, e.xpbN, e.initLen,
                                    e.xpaDelay, e.xpbDelay, e.lpDelay, e.dDelay};
            for (size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(got[i], want[i]) << e.fs << " field " << i;
            EXPECT_NEAR(d.meanRR, e.meanRR, 1e-5) << e.fs;
            EXPECT_DOUBLE_EQ(d.minNormalRR, 60.0 * e.fs / 200);
            EXPECT_DOUBLE_EQ(d.maxNormalRR, 60.0 * e.fs / 30);
            EXPECT_EQ(d.header.minRRLen, e.fs / 5);  // round(60 fs / 300)
        }
}

TEST(Corvane, LearningWindowRawAmplitudeRule)
{
    // Windows of 2001 samples: `a` at every even index and `b` at every odd
    // one (mean |x| = (|a| + |b|) / 2, range |a - b|), or, for spikes, zeros
    // with one sample a and one sample b (mean under 26, range |a - b|).
    struct Case {
        int16_t a, b;
        bool spikes, plausible;
        const char *why;
    } cases[] = {
        {-25000, 25000, true, true, "range exactly 50000"},
        {-25000, 25001, true, false, "range 50001"},
        {-32768, 32767, true, false, "int16 limits, range 65535"},
        {-13000, 7000, false, true, "mean 10000 > 6000, range exactly 20000"},
        {-13001, 7000, false, false, "mean 10000.5 > 6000, range 20001"},
        {5000, 7000, false, true, "mean 6000, not above it"},
        {0, 30000, true, true, "mean 15, range 30000"},
    };
    for (const Case &c : cases) {
        std::vector<int16_t> x(2001, 0);
        for (size_t i = 0; i < x.size(); ++i)
            if (!c.spikes) x[i] = i % 2 ? c.b : c.a;
        if (c.spikes) {
            x[700] = c.a;
            x[1400] = c.b;
        }
        EXPECT_EQ(cv::learningWindowPlausible(x.data(), int32_t(x.size())), c.plausible) << c.why;
    }
}

TEST(Corvane, SilentWithoutBeatsOrWithoutAPlausibleLearningWindow)
{
    std::vector<std::vector<int16_t>> inputs = {
        std::vector<int16_t>(12000, 0), std::vector<int16_t>(12000, 1000), std::vector<int16_t>(12000, -32768)};
    // Beats riding on a square wave of range 60000: no window ever passes.
    std::vector<int16_t> wild = rhythm(1000, 12, 1.0, normalBeat());
    for (size_t i = 0; i < wild.size(); ++i) wild[i] = int16_t((i / 50) % 2 ? 30000 : -30000) + wild[i] / 100;
    inputs.push_back(wild);
    for (int32_t method : kMethods)
        for (size_t k = 0; k < inputs.size(); ++k) {
            Handle h(method);
            const Fed f = feed(h.h, inputs[k]);
            EXPECT_TRUE(f.beats.empty()) << method << " input " << k;
            EXPECT_EQ(f.others, 0);
            if (k == 3) {
                EXPECT_EQ(h.state().mwiThr.sigLev, 0.0) << "never trained";
            }
        }
}

TEST(Corvane, EachBeatIsReportedOneBeatLate)
{
    for (int32_t method : kMethods) {
        // One isolated beat after learning: accepted, never reported.
        {
            Handle h(method);
            const std::vector<int16_t> x = toInt16(beatsAt(1000, 20000, {5000}, normalBeat()));
            const Fed f = feed(h.h, x);
            EXPECT_TRUE(f.beats.empty()) << method;
            EXPECT_EQ(h.state().qrsCount, 1) << method;
        }
        // Two beats: the first is reported once the second is accepted. The
        // delay runs from its R index to the sample being fed, so it exceeds
        // the processing lag rSearchHalf + lpDelay and spans the RR too.
        {
            Handle h(method);
            const std::vector<int16_t> x = toInt16(beatsAt(1000, 20000, {5000, 5900}, normalBeat()));
            const Fed f = feed(h.h, x);
            ASSERT_EQ(f.beats.size(), 1u) << method;
            EXPECT_NEAR(f.beats[0], 5000, 3);
            const cv::Detector &d = h.state();
            EXPECT_EQ(f.at[0] - f.delays[0], d.qrsBuf[4].rPos);
            EXPECT_GT(f.delays[0], d.rSearchHalf + d.lpDelay + 900);
            EXPECT_GT(f.at[0], 5900 + d.lpDelay + 2 * d.rSearchHalf);
        }
    }
}

TEST(Corvane, FindsARegularRhythmAtEveryRate)
{
    // R peaks every 0.8 s from 0.5 s; learning needs the first two seconds
    // and the newest beat stays unreported; every beat between is found
    // within a few samples of its peak, and nothing else.
    for (int32_t method : kMethods)
        for (int fs : {250, 360, 500, 1000}) {
            Handle h(method, fs);
            const size_t n = size_t(20 * fs);
            const std::vector<int64_t> peaks = regularPeaks(fs / 2, int64_t(0.8 * fs), n);
            const Fed f = feed(h.h, toInt16(beatsAt(fs, n, peaks, normalBeat())));
            // A beat is reported about lpDelay + 2 rSearchHalf + one RR after
            // its peak (under 2.1 s here), so the last 2.1 s go unchecked.
            expectBeats(f.beats, peaks, 2 + fs / 250, 3 * fs, int64_t(n) - int64_t(2.1 * fs));
        }
}

TEST(Corvane, SearchBackFindsABeatBelowTheThreshold)
{
    // Beats of 1000 uV every second; the one at 12.5 s has 400 uV. Its
    // integrated value is about 0.4^2 = 0.16 of the others, below the signal
    // threshold (about a quarter of the signal level) but above the noise
    // threshold (half of that): only the search-back, when the next beat
    // comes 2 s after the last accepted one, takes it.
    for (int32_t method : kMethods) {
        Handle h(method);
        const size_t n = 20000;
        std::vector<int64_t> peaks = regularPeaks(500, 1000, n);
        std::vector<double> x = beatsAt(1000, n, {}, {});
        for (int64_t p : peaks) {
            const double amp = p == 12500 ? 400.0 : 1000.0;
            for (const Wave &w : normalBeat(amp)) addWave(x, 1000, double(p), w);
        }
        const Fed f = feed(h.h, toInt16(x));
        expectBeats(f.beats, peaks, 3, 3000, 17000);
    }
}

TEST(Corvane, TallTWavesAreNotBeats)
{
    // A T wave of half the R amplitude, sharper than usual (sigma 30 ms),
    // 300 ms behind each R: it is rejected as a T wave, the beats stay.
    const std::vector<Wave> beat = {{0.0, 1000.0, 0.008}, {0.3, 500.0, 0.03}};
    for (int32_t method : kMethods) {
        Handle h(method);
        const size_t n = 20000;
        const std::vector<int64_t> peaks = regularPeaks(500, 1000, n);
        const Fed f = feed(h.h, toInt16(beatsAt(1000, n, peaks, beat)));
        expectBeats(f.beats, peaks, 3, 3000, 17000);
    }
}

TEST(Corvane, RestartBehavesLikeANewInstanceAndBadInputIsRefused)
{
    const std::vector<int16_t> x = rhythm(1000, 15, 0.9, normalBeat());
    for (int32_t method : kMethods) {
        Handle h(method);
        const Fed first = feed(h.h, x);
        ASSERT_FALSE(first.beats.empty());
        EXPECT_EQ(initBeatDetect(h.h), 0);
        EXPECT_EQ(h.state().qrsCount, 0);
        EXPECT_EQ(h.state().rrCount, 0);
        const Fed again = feed(h.h, x);
        // The same beats (the slope and derivative filters keep their short
        // histories over a restart, which may move a report by a sample).
        EXPECT_EQ(again.beats, first.beats) << method;
        ASSERT_EQ(again.delays.size(), first.delays.size());
        for (size_t i = 0; i < first.delays.size(); ++i) EXPECT_NEAR(again.delays[i], first.delays[i], 2);
    }
    LogCapture log;
    // Rates whose learning window does not fit the 8000-entry rings, or no
    // rate at all, and a highest rate giving a shortest RR below 1 sample.
    for (int32_t method : kMethods) {
        for (int32_t fs : {4000, 8000, 0, -360}) {
            const BeatDetectConf c = {"bad", nullptr, fs, 0, method, 0, 0};
            EXPECT_EQ(newBeatDetect(&c), nullptr) << fs;
        }
        const BeatDetectConf fast = {"bad", nullptr, 100, 0, method, 20000, 0};
        EXPECT_EQ(newBeatDetect(&fast), nullptr);
    }
    EXPECT_GE(log.count("Input parameter exception."), 10);
    EXPECT_EQ(realtimeDetectBeat(nullptr, 0, nullptr), -1);
}

TEST(Corvane, ExtremeSamplesAndLongPausesStayInBounds)
{
    for (int32_t method : kMethods) {
        // Full-scale steps and alternation: anything may be reported, no
        // access leaves the rings (checked under the sanitizers).
        {
            Handle h(method, 3999);
            ASSERT_NE(h.h, nullptr);
            std::vector<int16_t> x(40000);
            for (size_t i = 0; i < x.size(); ++i) x[i] = (i / 700) % 3 == 0 ? int16_t(i % 2 ? 32767 : -32768) : 0;
            EXPECT_EQ(feed(h.h, x).others, 0);
        }
        // minHR 1 at 1000 Hz: after a 12 s pause the search-back gap is far
        // longer than the rings; it is cut to them and the rhythm is found
        // again after the pause.
        {
            Handle h(method, 1000, 1);
            std::vector<int64_t> peaks = regularPeaks(500, 1000, 8000);
            for (int64_t p : regularPeaks(20500, 1000, 30000)) peaks.push_back(p);
            const Fed f = feed(h.h, toInt16(beatsAt(1000, 30000, peaks, normalBeat())));
            int after = 0;
            for (int64_t b : f.beats) after += b > 20000;
            EXPECT_GE(after, 7) << method;
        }
    }
}

TEST(Corvane, RunsOnPastTheInt32SampleCount)
{
    // An instance whose count is 10 s short of the point where indexes are
    // moved back (2e9): the rhythm is found across it as by a new instance.
    for (int32_t method : kMethods) {
        Handle h(method);
        cv::Detector &d = h.state();
        d.sampleIndex = 2000000000 - 10000;
        d.initStart = d.sampleIndex - d.lpDelay;
        const size_t n = 20000;
        const std::vector<int64_t> peaks = regularPeaks(500, 1000, n);
        const Fed f = feed(h.h, toInt16(beatsAt(1000, n, peaks, normalBeat())));
        expectBeats(f.beats, peaks, 3, 3000, int64_t(n) - 2100);
        EXPECT_LT(d.sampleIndex, 1000000000 + 20000);
    }
}

TEST(FindRPeakMethod1, PositionsCapacityAndLimits)
{
    LogCapture log;
    Handle h(1);
    const size_t n = 20000;
    const std::vector<int64_t> peaks = regularPeaks(500, 1000, n);
    const std::vector<int16_t> x = toInt16(beatsAt(1000, n, peaks, normalBeat()));
    std::vector<int32_t> pos(64, -1);
    const int32_t count = findRPeak(h.h, x.data(), int32_t(n), pos.data(), 64);
    // Every beat from the learning window on (it starts at 2 fs - 1).
    ASSERT_GE(count, 17);
    const size_t skipped = peaks.size() - size_t(count);
    for (int32_t i = 0; i < count; ++i) EXPECT_NEAR(pos[size_t(i)], peaks[skipped + size_t(i)], 3) << i;
    // Full: exactly capacity positions, the same ones; a capacity of 1 too.
    std::vector<int32_t> three(3, -1);
    EXPECT_EQ(findRPeak(h.h, x.data(), int32_t(n), three.data(), 3), -2);
    EXPECT_EQ(three, std::vector<int32_t>(pos.begin(), pos.begin() + 3));
    int32_t one = -1;
    EXPECT_EQ(findRPeak(h.h, x.data(), int32_t(n), &one, 1), -2);
    EXPECT_EQ(one, pos[0]);
    // Flat: no beat. Shorter than 2 fs: the signals cannot be computed.
    const std::vector<int16_t> flat(n, 0);
    EXPECT_EQ(findRPeak(h.h, flat.data(), int32_t(n), pos.data(), 64), 0);
    EXPECT_EQ(findRPeak(h.h, x.data(), 1999, pos.data(), 64), -1);
    EXPECT_TRUE(log.contains("signals calculate error."));
    // Samples at the int16 limits: a count or -2, never a crash.
    std::vector<int16_t> wild(n);
    for (size_t i = 0; i < n; ++i) wild[i] = (i / 300) % 2 ? int16_t(32767) : int16_t(-32768);
    EXPECT_GE(findRPeak(h.h, wild.data(), int32_t(n), pos.data(), 64), -2);
    // The double finder needs 4 fs samples for learning.
    EXPECT_EQ(tessivar::inerFindRWithNonRealDouble(x.data(), 3999, h.h, pos.data(), 64), -1);
    EXPECT_GE(tessivar::inerFindRWithNonRealDouble(x.data(), int32_t(n), h.h, pos.data(), 64), 15);
    // maxHR 30 or minHR >= maxHR: -1 without a log line.
    Handle slow(1, 1000, 40, 30);
    log.clear();
    EXPECT_EQ(findRPeak(slow.h, x.data(), int32_t(n), pos.data(), 64), -1);
    EXPECT_FALSE(log.contains("error"));
}

// Whole-record check on one annotated recording (the full table is produced
// by `tessivar detect`).
TEST(Corvane, Mitdb100AboveNinetyNinePercent)
{
    const std::string base = std::string(TESSIVAR_SHARED_DATA) + "/mitdb/100";
    if (!std::ifstream(base + ".hea").good()) GTEST_SKIP() << "no recordings in " << TESSIVAR_SHARED_DATA;
    const tessivar::records::Record rec = tessivar::records::readRecord(base);
    std::vector<int16_t> x(rec.samples[0].size());
    for (size_t t = 0; t < x.size(); ++t) x[t] = int16_t(std::lround(rec.physical(0, t) * 1000.0));
    std::vector<int64_t> ref;
    for (const auto &a : tessivar::records::readAnnotations(base + ".atr"))
        if (tessivar::records::isBeat(a.code)) ref.push_back(a.time);
    tessivar::records::CompareOptions o;
    o.fs = 360;
    for (int32_t method : kMethods) {
        Handle h(method, 360);
        const tessivar::records::BeatCounts c = tessivar::records::compareBeats(ref, feed(h.h, x).beats, o);
        EXPECT_GE(c.sensitivity(), 0.99) << method;
        EXPECT_GE(c.positivePredictivity(), 0.99) << method;
    }
    Handle h(1, 360);
    std::vector<int32_t> pos(4000);
    const int32_t count = findRPeak(h.h, x.data(), int32_t(x.size()), pos.data(), 4000);
    ASSERT_GT(count, 0);
    const tessivar::records::BeatCounts c =
        tessivar::records::compareBeats(ref, std::vector<int64_t>(pos.begin(), pos.begin() + count), o);
    EXPECT_GE(c.sensitivity(), 0.99);
    EXPECT_GE(c.positivePredictivity(), 0.99);
}

}  // namespace

// Limited-resource QRS detector: timing tables, filter chain, peak finder
// and classifier rules, beat stage and plausibility thresholds.
//
// Expected timing values come from tools/eplimited_timing.py (the rules
// recomputed on their own); filter responses and rule outcomes are derived
// by hand in the comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "beat_detect/eplimited.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "support/log_capture.hpp"
#include "tessivar/eplimited.h"

namespace {

using tessivar::EplimitedBeatDetect;
using tessivar::eplimitedOf;
using tessivar::test::LogCapture;

BeatDetectConf conf(int32_t fs, int32_t mode = 0) { return BeatDetectConf{"ep", nullptr, fs, mode, 0, 0, 0}; }

// A created and initialised detector, deleted at the end.
class Detector {
public:
    explicit Detector(int32_t fs = 1000, int32_t mode = 0)
    {
        const BeatDetectConf c = conf(fs, mode);
        h_ = newEplimitedBeatDetect(&c);
        if (h_ != nullptr) initEplimitedBeatDetect(h_);
    }
    ~Detector() { delEplimitedBeatDetect(&h_); }
    Detector(const Detector &) = delete;
    Detector &operator=(const Detector &) = delete;
    BeatDetect *handle() { return h_; }
    EplimitedBeatDetect &state() { return eplimitedOf(h_); }

    // Feeds samples; returns (sample index, result) of every result > 0.
    std::vector<std::pair<int64_t, int32_t>> feed(const std::vector<double> &x)
    {
        std::vector<std::pair<int64_t, int32_t>> out;
        for (int16_t v : tessivar::test::toInt16(x)) {
            const int32_t d = detectEplimitedBeat(h_, v);
            if (d > 0) out.emplace_back(fed_, d);
            ++fed_;
        }
        return out;
    }

private:
    BeatDetect *h_ = nullptr;
    int64_t fed_ = 0;
};

// ---- creation and timing --------------------------------------------------------

TEST(Eplimited, TimingTablesAt1000And360Hz)
{
    Detector d1000(1000);
    ASSERT_NE(d1000.handle(), nullptr);
    const tessivar::EpTiming &t = d1000.state().t;
    EXPECT_EQ(t.ms10, 10);
    EXPECT_EQ(t.lpLength, 50);
    EXPECT_EQ(t.hpLength, 125);
    EXPECT_EQ(t.preBlank, 160);
    EXPECT_EQ(t.windowWidth, 80);
    EXPECT_EQ(t.filterDelay, 251);
    EXPECT_EQ(t.derDelay, 431);
    const tessivar::EpBeatStage &s = d1000.state().s;
    EXPECT_EQ(d1000.state().b.beatFs, 500);
    EXPECT_EQ(s.fidMark, 200);
    EXPECT_EQ(s.beatMs50, 25);
    EXPECT_EQ(s.beatMs80, 40);
    EXPECT_EQ(s.beatMs40, 20);
    EXPECT_EQ(s.qrsAmpThr, 160);
    EXPECT_EQ(s.qrsDurThr, 20);
    EXPECT_EQ(s.firstBeatPending, 1);

    // At 360 Hz every length rounds; ms10 and ms1500 truncate.
    Detector d360(360);
    ASSERT_NE(d360.handle(), nullptr);
    const tessivar::EpTiming &u = d360.state().t;
    EXPECT_EQ(u.ms10, 3);
    EXPECT_EQ(u.ms25, 9);
    EXPECT_EQ(u.lpLength, 18);
    EXPECT_EQ(u.hpLength, 45);
    EXPECT_EQ(u.preBlank, 58);
    EXPECT_EQ(u.windowWidth, 29);
    EXPECT_EQ(u.filterDelay, 89);  // int(1.5 + 8 + 22 + 58)
    EXPECT_EQ(u.derDelay, 154);
    EXPECT_EQ(u.ms360, 130);
    EXPECT_EQ(u.ms1500, 540);
    EXPECT_EQ(d360.state().b.beatFs, 180);
    EXPECT_EQ(d360.state().s.fidMark, 72);
    EXPECT_EQ(d360.state().s.beatMs40, 7);
    EXPECT_EQ(d360.state().b.ms150, 27);
    EXPECT_EQ(d360.handle()->maxRRLen, 720);  // round(360 * 60 / 30)
    EXPECT_EQ(d360.handle()->minRRLen, 72);   // round(360 * 60 / 300)
}

TEST(Eplimited, ConfigurationsBeyondTheStorageAreRefused)
{
    LogCapture log;
    // derDelay: 500 at 1160 Hz fits, 504 at 1170 Hz does not; below 100 Hz
    // the derivative length is 0.
    for (int32_t fs : {100, 1160}) {
        const BeatDetectConf c = conf(fs);
        BeatDetect *h = newEplimitedBeatDetect(&c);
        EXPECT_NE(h, nullptr) << fs;
        EXPECT_EQ(delEplimitedBeatDetect(&h), 0);
        EXPECT_EQ(h, nullptr);
    }
    for (int32_t fs : {1170, 2000, 99, 0, -1000}) {
        const BeatDetectConf c = conf(fs);
        EXPECT_EQ(newEplimitedBeatDetect(&c), nullptr) << fs;
    }
    EXPECT_TRUE(log.contains("exceed the detector's storage"));

    log.clear();
    EXPECT_EQ(newEplimitedBeatDetect(nullptr), nullptr);
    BeatDetectConf noName = conf(1000);
    noName.name = nullptr;
    EXPECT_EQ(newEplimitedBeatDetect(&noName), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    EXPECT_EQ(delEplimitedBeatDetect(nullptr), -1);
    BeatDetect *none = nullptr;
    EXPECT_EQ(delEplimitedBeatDetect(&none), -1);
    EXPECT_EQ(initEplimitedBeatDetect(nullptr), -1);
    EXPECT_EQ(setEplimitedBeatDetectMode(nullptr, 1), -1);
    EXPECT_EQ(EP_setMinAdultQRSThr(nullptr, 1, 1), -1);
    EXPECT_TRUE(log.contains("INPUT NULL"));

}

// ---- filter chain ---------------------------------------------------------------

TEST(EplimitedFilters, LowPassIsTheSquaredBoxcar)
{
    // The recursion y = 2y1 - y2 + x - 2x(t-25) + x(t-50) answers a unit
    // impulse with 1, 2, ..., 25, 24, ..., 1, 0; divided by 50 * 50 / 4 =
    // 625, an impulse of 625 gives exactly that triangle.
    Detector d;
    EplimitedBeatDetect &e = d.state();
    tessivar::lpfilt(e, 0, true);
    std::vector<int32_t> y;
    for (int n = 0; n < 60; ++n) y.push_back(tessivar::lpfilt(e, n == 0 ? 625 : 0, false));
    for (int n = 0; n < 60; ++n) {
        const int expected = n < 25 ? n + 1 : n < 50 ? 49 - n : 0;
        EXPECT_EQ(y[size_t(n)], expected) << n;
    }
    // Unit DC gain: a constant passes unchanged once the ring is full.
    tessivar::lpfilt(e, 0, true);
    int32_t last = 0;
    for (int n = 0; n < 100; ++n) last = tessivar::lpfilt(e, 1000, false);
    EXPECT_EQ(last, 1000);
}

TEST(EplimitedFilters, HighPassDerivativeAndIntegrator)
{
    Detector d;
    EplimitedBeatDetect &e = d.state();
    // High-pass: x(t - 62) - (sum of the last 125) / 125. An impulse of 125
    // gives -1 for 125 samples except 124 at t = 62, then 0.
    tessivar::hpfilt(e, 0, true);
    for (int n = 0; n < 130; ++n) {
        const int32_t y = tessivar::hpfilt(e, n == 0 ? 125 : 0, false);
        EXPECT_EQ(y, n == 62 ? 124 : n < 125 ? -1 : 0) << n;
    }
    // Derivative over 10 samples: a ramp of slope 3 gives 30 once the ring
    // holds ramp values (3n - 0 for the first ten).
    tessivar::deriv2(e, 0, true);
    for (int n = 0; n < 20; ++n) EXPECT_EQ(tessivar::deriv2(e, 3 * n, false), n < 10 ? 3 * n : 30) << n;

    // Integrator: mean of the last 80, never above 32000.
    tessivar::mvwint(e, 0, true);
    int32_t y = 0;
    for (int n = 0; n < 40; ++n) y = tessivar::mvwint(e, 800, false);
    EXPECT_EQ(y, 400);  // 40 * 800 / 80
    for (int n = 0; n < 80; ++n) y = tessivar::mvwint(e, 40000, false);
    EXPECT_EQ(y, tessivar::kEpMwiLimit);
    for (int n = 0; n < 80; ++n) y = tessivar::mvwint(e, 2147483647, false);
    EXPECT_EQ(y, tessivar::kEpMwiLimit);

    // The whole chain on samples alternating between the int16 limits.
    tessivar::QRSFilter(e, 0, true);
    int32_t largest = 0;
    for (int n = 0; n < 2000; ++n) largest = std::max(largest, tessivar::QRSFilter(e, n % 2 ? 32767 : -32768, false));
    EXPECT_LE(largest, tessivar::kEpMwiLimit);
    EXPECT_GE(largest, 0);
}

// ---- peak finder and classification rules -----------------------------------------

TEST(EplimitedRules, PeakFinderReportsTheMaximumOnTheWayDown)
{
    Detector d;
    EplimitedBeatDetect &e = d.state();
    tessivar::Peak(e, 0, true);
    // Rise to 100, then down: 60 is not below 0.6 * 100, 59 is.
    const int32_t in[] = {10, 50, 100, 80, 60, 59, 0};
    const int32_t out[] = {0, 0, 0, 0, 0, 100, 0};
    for (size_t i = 0; i < std::size(in); ++i) EXPECT_EQ(tessivar::Peak(e, in[i], false), out[i]) << i;
    // A plateau is reported once the maximum is more than 95 samples old.
    tessivar::Peak(e, 0, true);
    int32_t reported = 0, at = -1;
    for (int n = 0; n < 200 && reported == 0; ++n) {
        reported = tessivar::Peak(e, n == 0 ? 0 : 50, false);
        at = n;
    }
    EXPECT_EQ(reported, 50);
    EXPECT_EQ(at, 96);  // maximum at sample 1 (time 1), time k at sample k: above 95 at 96
}

TEST(EplimitedRules, ThresholdTWaveAndEarlyBeatChecks)
{
    Detector d;
    const EplimitedBeatDetect &e = d.state();
    const int32_t a[8] = {8, 16, 24, 32, 40, 48, 56, 64};
    EXPECT_EQ(tessivar::mean(a, 8), 36);
    EXPECT_EQ(tessivar::thresh(e, 1000, 200), 450);  // 200 + int(0.3125 * 800)
    EXPECT_EQ(tessivar::thresh(e, 100, 97), 97);     // 97 + int(0.9375)
    EXPECT_EQ(tessivar::_getMax(a, 8), 64);

    // T wave: within 360 ms and at most 0.728 of the last QRS peak.
    EXPECT_EQ(tessivar::TCheck(e, 359, 1000, 728), 1);
    EXPECT_EQ(tessivar::TCheck(e, 359, 1000, 729), 0);
    EXPECT_EQ(tessivar::TCheck(e, 360, 1000, 100), 0);
    // Early beat: within 360 ms and at least double the reference.
    EXPECT_EQ(tessivar::PCheck(e, 359, 100, 200), 1);
    EXPECT_EQ(tessivar::PCheck(e, 359, 100, 199), 0);
    EXPECT_EQ(tessivar::PCheck(e, 360, 100, 1000), 0);
}

TEST(EplimitedRules, BaselineShiftCheck)
{
    Detector d;
    EplimitedBeatDetect &e = d.state();
    tessivar::EpClassifier &c = e.c;
    // An up- and a downslope 50 samples apart: a QRS.
    std::memset(c.derivRing, 0, sizeof c.derivRing);
    c.derivRingIdx = 0;
    c.derivRing[20] = 800;
    c.derivRing[70] = -700;
    EXPECT_EQ(tessivar::BLSCheck(e), 0);
    EXPECT_EQ(c.maxDeriv, 800);
    // The downslope below an eighth of the upslope: a baseline shift.
    c.derivRing[70] = -99;
    EXPECT_EQ(tessivar::BLSCheck(e), 1);
    // The walk covers 220 entries from the write index, wrapping at
    // derDelay (431): a downslope just outside it is not seen, one just
    // inside after the wrap is. (Two slopes in one walk are at most 219
    // apart, so the 250 ms distance test never decides at this rate.)
    c.derivRing[70] = 0;
    c.derivRing[220] = -700;
    EXPECT_EQ(tessivar::BLSCheck(e), 1);
    c.derivRing[220] = 0;
    c.derivRingIdx = 400;
    c.derivRing[420] = 800;
    c.derivRing[(400 + 219) % 431] = -700;
    EXPECT_EQ(tessivar::BLSCheck(e), 0);
}

// ---- detection on clean signals -----------------------------------------------------

TEST(EplimitedDetect, CleanSixtyPerMinuteAdultAndChild)
{
    // R peaks every 1000 samples from 500. Nothing during the eight learning
    // seconds; afterwards every beat, delivered once it is 600 samples old
    // (adult) or at least 200 (child), the result being that age. The
    // detector step itself (QRSDet) reports a beat 80 + 251 = 331 samples
    // old, so a child's beat goes out at once at that age.
    const size_t n = 20000;
    const std::vector<int64_t> peaks = tessivar::test::regularPeaks(500, 1000, n);
    const std::vector<double> x = tessivar::test::beatsAt(1000, n, peaks, tessivar::test::normalBeat());
    for (int32_t mode : {0, 1}) {
        Detector d(1000, mode);
        const auto found = d.feed(x);
        ASSERT_FALSE(found.empty());
        const int32_t age = mode == 0 ? 600 : 331;
        for (const auto &[at, delay] : found) {
            EXPECT_EQ(delay, age);
            EXPECT_GE(at - delay, 8000);
        }
        // Beats 8500 ... 19500 minus those too young at the end: every one
        // found, each within 20 ms of its R peak.
        const int64_t lastReady = int64_t(n) - 1 - age;
        size_t expected = 0;
        for (int64_t p : peaks) expected += p >= 8000 && p <= lastReady - 5 ? 1 : 0;
        EXPECT_EQ(found.size(), expected) << mode;
        for (size_t i = 0; i < found.size(); ++i)
            EXPECT_NEAR(double(found[i].first - found[i].second), 8500.0 + 1000.0 * double(i), 20.0);
    }
}

TEST(EplimitedDetect, SmallLatePeakIsATWave)
{
    // A second R-like wave 300 ms after each beat at half its size (energy
    // about half: at most 0.728 of the last QRS, within 360 ms): noise. The
    // same wave 420 ms after the beat is past the T-wave window and above
    // the threshold (about 0.31 of the QRS level): a beat of its own.
    const size_t n = 20000;
    const std::vector<int64_t> peaks = tessivar::test::regularPeaks(500, 1000, n);
    for (const double lag : {0.300, 0.420}) {
        const std::vector<tessivar::test::Wave> beat = {{0.0, 1000.0, 0.008}, {lag, 500.0, 0.008}};
        Detector d;
        const auto found = d.feed(tessivar::test::beatsAt(1000, n, peaks, beat));
        int main = 0, late = 0;
        for (const auto &[at, delay] : found) {
            const int64_t pos = at - delay;
            const int64_t offset = (pos - 500) % 1000;
            if (offset < 20 || offset > 980) ++main;
            if (std::llabs(offset - int64_t(lag * 1000)) < 20) ++late;
        }
        EXPECT_GE(main, 10) << lag;
        if (lag < 0.36)
            EXPECT_EQ(late, 0);
        else
            EXPECT_GE(late, 8);
    }
}

TEST(EplimitedDetect, PlausibilityRejectsTinyAndHugeBeats)
{
    // QRS amplitude 120 uV: below the adult 160, above the child 50. 12 mV:
    // at least 10001. Only the first beat after init passes unmeasured.
    const size_t n = 25000;
    const std::vector<int64_t> peaks = tessivar::test::regularPeaks(500, 1000, n);
    struct Case {
        double amp;
        int32_t mode;
        bool accepted;
    };
    for (const Case &k : {Case{120, 0, false}, Case{120, 1, true}, Case{12000, 0, false}, Case{1000, 0, true}}) {
        Detector d(1000, k.mode);
        const auto found = d.feed(tessivar::test::beatsAt(1000, n, peaks, tessivar::test::normalBeat(k.amp)));
        if (k.accepted) {
            EXPECT_GE(found.size(), 14u) << k.amp << "/" << k.mode;
        } else {
            EXPECT_EQ(found.size(), 1u) << k.amp << "/" << k.mode;
        }
    }
    // Thresholds set explicitly pass the small beat as an adult's.
    Detector d(1000, 0);
    EXPECT_EQ(EP_setMinAdultQRSThr(d.handle(), 100, 20), 0);
    const auto found = d.feed(tessivar::test::beatsAt(1000, n, peaks, tessivar::test::normalBeat(120)));
    EXPECT_GE(found.size(), 14u);
}

TEST(EplimitedDetect, EarlyBigBeatIsDroppedUnlessTheLastWasNoise)
{
    // A beat of three times the size 300 ms after a normal one: early
    // (within 360 ms) with a derivative at least double the last, so the
    // detection is dropped. Right after a beat was rejected as noise the
    // check lets it through, and that detection clears the mark.
    const size_t n = 20000;
    std::vector<double> x =
        tessivar::test::beatsAt(1000, n, tessivar::test::regularPeaks(500, 1000, n), tessivar::test::normalBeat());
    tessivar::test::addWave(x, 1000, 12800.0, {0.0, 3000.0, 0.008});
    for (bool marked : {false, true}) {
        Detector d;
        // The normal beat at 12500 is detected near 12830 (and clears any
        // mark); the early one near 13130.
        std::vector<double> head(x.begin(), x.begin() + 12950), tail(x.begin() + 12950, x.end());
        auto found = d.feed(head);
        if (marked) d.state().s.noiseRejected = 1;
        const auto more = d.feed(tail);
        found.insert(found.end(), more.begin(), more.end());
        int early = 0;
        for (const auto &[at, delay] : found) early += std::llabs(at - delay - 12800) < 30 ? 1 : 0;
        EXPECT_EQ(early, marked ? 1 : 0);
        EXPECT_EQ(d.state().s.noiseRejected, 0);
    }
}

TEST(EplimitedDetect, ExplicitThresholdsSurviveModeChangesUntilCleared)
{
    LogCapture log;
    Detector d(1000, 0);
    tessivar::EpBeatStage &s = d.state().s;
    ASSERT_EQ(EP_setMinAdultQRSThr(d.handle(), 300, 30), 0);
    EXPECT_TRUE(log.contains("QRSAmp = 300, QRSDur = 30"));
    EXPECT_EQ(setEplimitedBeatDetectMode(d.handle(), 1), 0);
    EXPECT_EQ(s.ageType, 1);
    EXPECT_EQ(s.qrsAmpThr, 300);
    EXPECT_EQ(s.qrsDurThr, 30);
    // Cleared: the current class's defaults (child: 50, 10 ms).
    EXPECT_EQ(EP_setMinAdultQRSThr(d.handle(), 0, 0), 0);
    EXPECT_EQ(s.userThr, 0);
    EXPECT_EQ(s.qrsAmpThr, 50);
    EXPECT_EQ(s.qrsDurThr, 10);
    // The mode change did not touch the head: init returns to adult.
    EXPECT_EQ(d.handle()->mode, 0);
    EXPECT_EQ(initEplimitedBeatDetect(d.handle()), 0);
    EXPECT_EQ(s.ageType, 0);
    EXPECT_EQ(s.qrsAmpThr, 160);
    EXPECT_EQ(s.qrsDurThr, 20);
    // Type 2 acts as a child.
    EXPECT_EQ(setEplimitedBeatDetectMode(d.handle(), 2), 0);
    EXPECT_EQ(s.qrsAmpThr, 50);
}

TEST(EplimitedDetect, SearchBackFindsABeatBelowTheThresholdInPlace)
{
    // After learning on 1 mV beats every second, the beat at 12500 has
    // 0.3 of the size: its energy peak (linear in size) falls below the
    // threshold, about 0.43 of the QRS level there (the noise mean, T waves
    // and a third of each QRS, plus 0.3125 of the difference), but above
    // half of it, so it is kept as the search-back candidate. 1.5 mean intervals after the last beat it is
    // declared a beat; its delay counts from where it was seen, so its
    // position lines up with the others'.
    const size_t n = 20000;
    const std::vector<int64_t> peaks = tessivar::test::regularPeaks(500, 1000, n);
    std::vector<double> x(n, 0.0);
    for (int64_t p : peaks)
        for (const auto &w : tessivar::test::normalBeat(p == 12500 ? 300.0 : 1000.0)) tessivar::test::addWave(x, 1000, double(p), w);
    Detector d;
    const auto found = d.feed(x);
    std::vector<int64_t> offsets;
    int32_t lateDelay = 0;
    for (const auto &[at, delay] : found) {
        offsets.push_back((at - delay + 500) % 1000 - 500);
        if (std::llabs(at - delay - 12500) < 20) lateDelay = delay;
    }
    ASSERT_GE(offsets.size(), 10u);
    for (int64_t o : offsets) EXPECT_LE(std::llabs(o - offsets[0]), 1);
    // Declared at sinceLast = 1581 (searchBackLimit 1580 after eight 1000s),
    // 1581 - 80 samples after the detection of 11500, i.e. about 500 samples
    // after this beat's own peak went by: older than the 600-sample release
    // age, so it is delivered at once with its full age.
    EXPECT_GT(lateDelay, 600);
    EXPECT_NEAR(lateDelay, 80 + 251 + 500, 5);
}

TEST(EplimitedDetect, EightSecondsWithoutABeatResetTheThreshold)
{
    // A child's detector (amplitude floor 50, release age 331). From 12 s on
    // the beats shrink to a tenth: below the threshold and below half of it
    // (no search-back). Eight seconds after the last detection the threshold
    // is rebuilt from the largest peak of each of those seconds, and the
    // small beats are found again.
    const size_t n = 30000;
    const std::vector<int64_t> peaks = tessivar::test::regularPeaks(500, 1000, n);
    std::vector<double> x(n, 0.0);
    for (int64_t p : peaks)
        for (const auto &w : tessivar::test::normalBeat(p > 12000 ? 100.0 : 1000.0)) tessivar::test::addWave(x, 1000, double(p), w);
    Detector d(1000, 1);
    const auto found = d.feed(x);
    // Last large beat 11500, detected at about 11835. Eight seconds on, the
    // threshold drops to 0.3125 of the small beats' level; the search-back
    // candidate kept since 12500 (the first small beat, above half of that)
    // is declared at once, with its whole age as delay. Then every small
    // beat from 20500 on is found (29500 included: the child's release age
    // is 331).
    const auto first = std::find_if(found.begin(), found.end(), [](const auto &f) { return f.first - f.second > 12000; });
    ASSERT_NE(first, found.begin());
    ASSERT_EQ(found.end() - first, 11);
    EXPECT_NEAR(double(first->first - first->second), 12500.0, 20.0);
    EXPECT_NEAR(double(first->first - (first - 1)->first), 8000.0, 2.0);
    for (int k = 1; k <= 10; ++k)
        EXPECT_NEAR(double((first + k)->first - (first + k)->second), 19500.0 + 1000.0 * k, 20.0) << k;
}

TEST(EplimitedDetect, WidthBelowTheSetMinimumIsNoise)
{
    // A triangular QRS rising and falling over 20 samples each measures
    // about 40 full-rate samples wide: accepted with a 30-sample minimum,
    // rejected as noise with 60 (only the first beat after init passes
    // unmeasured).
    const size_t n = 20000;
    std::vector<double> x(n, 0.0);
    for (int64_t p : tessivar::test::regularPeaks(500, 1000, n))
        for (int64_t k = -20; k <= 20; ++k) x[size_t(p + k)] = 1000.0 - 50.0 * double(std::llabs(k));
    for (const auto &[minWidth, beats] : {std::pair<int32_t, size_t>{30, 10}, {60, 1}}) {
        Detector d;
        ASSERT_EQ(EP_setMinAdultQRSThr(d.handle(), 100, minWidth), 0);
        const auto found = d.feed(x);
        if (beats == 1) {
            EXPECT_EQ(found.size(), 1u);
        } else {
            EXPECT_GE(found.size(), beats);
        }
    }
}

TEST(EplimitedDetect, TenthQueuedDetectionWrapsTheQueue)
{
    // Nine detections still waiting when a tenth arrives: the count wraps to
    // 0, so all ten are dropped and the queue starts again with the next.
    const size_t n = 20000;
    const std::vector<double> x =
        tessivar::test::beatsAt(1000, n, tessivar::test::regularPeaks(500, 1000, n), tessivar::test::normalBeat());
    Detector ref;
    const auto all = ref.feed(x);
    ASSERT_GE(all.size(), 6u);
    // The third beat is detected (331 samples old) 269 samples before it
    // is delivered at age 600.
    const size_t cut = size_t(all[2].first - (600 - 331));
    Detector d;
    auto found = d.feed(std::vector<double>(x.begin(), x.begin() + long(cut)));
    tessivar::EpBeatStage &s = d.state().s;
    ASSERT_EQ(s.beatQueueCount, 0);
    for (int i = 0; i < 9; ++i) s.beatQueue[i] = 1;
    s.beatQueueCount = 9;
    const auto rest = d.feed(std::vector<double>(x.begin() + long(cut), x.end()));
    found.insert(found.end(), rest.begin(), rest.end());
    std::vector<std::pair<int64_t, int32_t>> expected = all;
    expected.erase(expected.begin() + 2);
    EXPECT_EQ(found, expected);
}

// ---- beat measurement ---------------------------------------------------------------

// A beat at 500 Hz from straight segments between (index, value) corners:
// 0 before the first corner, the last value after the last.
std::vector<int32_t> cornerBeat(const std::vector<std::pair<int32_t, int32_t>> &corners)
{
    std::vector<int32_t> beat(tessivar::kEpBeatLength, 0);
    for (int32_t i = 0; i < tessivar::kEpBeatLength; ++i) {
        if (i >= corners.back().first) {
            beat[size_t(i)] = corners.back().second;
            continue;
        }
        for (size_t k = 0; k + 1 < corners.size(); ++k) {
            const auto [a, va] = corners[k];
            const auto [b, vb] = corners[k + 1];
            if (i >= a && i < b) beat[size_t(i)] = va + (vb - va) * (i - a) / (b - a);
        }
    }
    return beat;
}

TEST(AnalyzeBeat, OnsetOffsetAndAmplitudeOfKnownShapes)
{
    // At 1000 Hz: fiducial point 200, slopes searched from 125 to 274, edge
    // searches 20 and 30 samples further (40 and 60 ms at 500 Hz), late
    // correction within 50. Slopes of +-10 per sample balance to +10 / -10,
    // whose quarters (arithmetic shift) are 2 and -3. Derived by hand:
    struct Case {
        const char *what;
        std::vector<std::pair<int32_t, int32_t>> corners;
        int32_t onset, offset, amplitude;
    };
    const Case cases[] = {
        // Up 191..200, down 201..210: onset one before the last flat slope
        // (190 - 1), offset at the first flat slope after the downstroke.
        {"upstroke first", {{190, 0}, {200, 100}, {210, 0}}, 189, 211, 100},
        {"downstroke first", {{190, 0}, {200, -100}, {210, 0}}, 189, 211, 100},
        // A rise of 5 per sample 5 samples after the offset (within 40 ms)
        // moves the offset to its end (221); a fall 10 samples after that
        // (within 60 ms) moves it to the fall's end.
        {"60 ms extension", {{190, 0}, {200, 100}, {210, 0}, {215, 0}, {220, 25}, {230, 25}, {235, 0}}, 189, 236, 100},
        // Ends at -100, 100 below its start (more than 3/8 of the range 200):
        // the offset moves to the end of the following upslope.
        {"late offset", {{190, 0}, {200, 100}, {220, -100}, {240, -100}, {260, 0}}, 189, 261, 200},
        // A ramp from sample 0: the onset search runs off the start (-1),
        // clamped to 0. A downslope to the end: the offset clamps to 499
        // (no upslope follows for the late correction).
        {"start clamp", {{0, 0}, {200, 2000}, {210, 0}}, 0, 211, 2000},
        {"end clamp", {{190, 0}, {200, 100}, {499, -2890}}, 189, 499, 2980},
    };
    Detector d;
    for (const Case &c : cases) {
        const std::vector<int32_t> beat = cornerBeat(c.corners);
        int32_t onset = -9, offset = -9, amplitude = -9;
        tessivar::AnalyzeBeat(d.state(), beat.data(), &onset, &offset, &amplitude);
        EXPECT_EQ(onset, c.onset) << c.what;
        EXPECT_EQ(offset, c.offset) << c.what;
        EXPECT_EQ(amplitude, c.amplitude) << c.what;
    }
    const std::vector<int32_t> flat(tessivar::kEpBeatLength, 7);
    int32_t onset = 0, offset = 0, amplitude = -1;
    tessivar::AnalyzeBeat(d.state(), flat.data(), &onset, &offset, &amplitude);
    EXPECT_EQ(amplitude, 0);
}

TEST(EplimitedDetect, LimitSamplesAndLongSilenceDoNotBreakIt)
{
    // Square waves between the int16 limits, then a long flat stretch, then
    // clean beats: no crash, and the eight-second reset lets the beats in.
    Detector d;
    std::vector<double> x(60000, 0.0);
    for (size_t i = 0; i < 20000; ++i) x[i] = (i / 37) % 2 ? 32767.0 : -32768.0;
    const std::vector<int64_t> peaks = tessivar::test::regularPeaks(40500, 1000, x.size());
    const std::vector<double> beats = tessivar::test::beatsAt(1000, x.size(), peaks, tessivar::test::normalBeat());
    for (size_t i = 40000; i < x.size(); ++i) x[i] = beats[i];
    const auto found = d.feed(x);
    int late = 0;
    for (const auto &[at, delay] : found) late += at - delay > 50000 ? 1 : 0;
    EXPECT_GE(late, 5);
}

}  // namespace

// Limited-resource QRS detector and its beat measurement; timing tables from tools/eplimited_timing.py.
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

using namespace tessivar;
using test::LogCapture;
using Found = std::vector<std::pair<int64_t, int32_t>>;  // (sample index, delay) of every beat

struct Detector {
    BeatDetect *handle = nullptr;
    int64_t fed = 0;
    explicit Detector(int32_t fs = 1000, int32_t mode = 0)
    {
        const BeatDetectConf c = {"ep", nullptr, fs, mode, 0, 0, 0};
        handle = newEplimitedBeatDetect(&c);
        if (handle != nullptr) initEplimitedBeatDetect(handle);
    }
    ~Detector() { delEplimitedBeatDetect(&handle); }
    BeatDetect *h() { return handle; }
    EplimitedBeatDetect &s() { return eplimitedOf(handle); }
    Found feed(const std::vector<double> &x)
    {
        Found out;
        for (int16_t v : test::toInt16(x))
            if (const int32_t d = detectEplimitedBeat(handle, v); ++fed, d > 0) out.emplace_back(fed - 1, d);
        return out;
    }
};

// Beats every second from 500 (amplitude by R position), 20 s unless n is given.
template <class Amp>
std::vector<double> sixty(Amp amp, size_t n = 20000)
{
    return test::rhythmOf(1000, n, 500, 1000, amp);
}
std::vector<double> sixty(double amp = 1000.0, size_t n = 20000)
{
    return sixty([amp](int64_t) { return amp; }, n);
}

TEST(Eplimited, TimingFiltersPeakFinderAndClassifierRules)
{
    Detector d, b(360);
    ASSERT_TRUE(d.h() != nullptr && b.h() != nullptr);
    // ms10, lpLength, hpLength, preBlank, windowWidth, filterDelay, derDelay, ms360, ms1500,
    // beatFs, fidMark, B(150), B(40), qrsAmpThr, qrsDurThr, maxRRLen, minRRLen
    auto row = [](Detector &d) {
        const EplimitedBeatDetect &e = d.s();
        return std::vector<int32_t>{e.t.ms10,    e.t.lpLength, e.t.hpLength,   e.t.preBlank,  e.t.windowWidth, e.t.filterDelay,
                                    e.t.derDelay, e.t.ms360,   e.t.ms1500,     e.b.beatFs,    e.s.fidMark,     e.b.ms150,
                                    e.s.beatMs40, e.s.qrsAmpThr, e.s.qrsDurThr, d.h()->maxRRLen, d.h()->minRRLen};
    };
    EXPECT_EQ(row(d), (std::vector<int32_t>{10, 50, 125, 160, 80, 251, 431, 360, 1500, 500, 200, 75, 20, 160, 20, 2000, 200}));
    // 360 Hz: int(1.5 + 8 + 22 + 58) = 89; 29 + 89 + 36 = 154; L(20) = int(7.2 + .5) = 7; B at 180 Hz.
    EXPECT_EQ(row(b), (std::vector<int32_t>{3, 18, 45, 58, 29, 89, 154, 130, 540, 180, 72, 27, 7, 160, 7, 720, 72}));
    LogCapture log;
    // derDelay 500 at 1160 Hz fits the 500-entry rings, 504 at 1170 does not; below 100 Hz ms10 is 0.
    for (const auto &[fs, ok] : {std::pair{100, true}, {1160, true}, {1170, false}, {99, false}, {0, false}, {-1000, false}}) {
        const BeatDetectConf c = {"ep", nullptr, fs, 0, 0, 0, 0};
        BeatDetect *h = newEplimitedBeatDetect(&c);
        EXPECT_EQ(h != nullptr, ok) << fs;
        delEplimitedBeatDetect(&h);
    }
    EXPECT_TRUE(newEplimitedBeatDetect(nullptr) == nullptr && EP_setMinAdultQRSThr(nullptr, 1, 1) == -1);
    EXPECT_TRUE(log.contains("exceed the detector's storage") && log.contains("INPUT NULL"));
    EplimitedBeatDetect &e = d.s();
    // Low-pass: an impulse of 625 = 50 * 50 / 4 gives the triangle 1..25..1, then 0.
    lpfilt(e, 0, true);
    for (int n = 0; n < 60; ++n) EXPECT_EQ(lpfilt(e, n == 0 ? 625 : 0, false), n < 25 ? n + 1 : n < 50 ? 49 - n : 0) << n;
    // High-pass: x(t - 62) - sum / 125; an impulse of 125 gives -1, 124 at t = 62, 0 from 125.
    hpfilt(e, 0, true);
    for (int n = 0; n < 130; ++n) EXPECT_EQ(hpfilt(e, n == 0 ? 125 : 0, false), n == 62 ? 124 : n < 125 ? -1 : 0) << n;
    // Derivative over 10 samples: a ramp of slope 3 gives 3n, then 30.
    deriv2(e, 0, true);
    for (int n = 0; n < 20; ++n) EXPECT_EQ(deriv2(e, 3 * n, false), n < 10 ? 3 * n : 30) << n;
    // Integrator: 40 * 800 / 80 = 400; never above 32000.
    auto integrate = [&e](int n, int32_t x) { int32_t y = 0; while (n-- > 0) y = mvwint(e, x, false); return y; };
    mvwint(e, 0, true);
    EXPECT_EQ((std::vector<int32_t>{integrate(40, 800), integrate(80, 40000), integrate(80, 2147483647)}),
              (std::vector<int32_t>{400, kEpMwiLimit, kEpMwiLimit}));
    Peak(e, 0, true);
    const int32_t in[] = {10, 50, 100, 80, 60, 59, 0}, out[] = {0, 0, 0, 0, 0, 100, 0};  // 60 = 0.6 * 100 is not below
    for (size_t i = 0; i < std::size(in); ++i) EXPECT_EQ(Peak(e, in[i], false), out[i]) << i;
    Peak(e, 0, true);
    int at = 1;
    while (Peak(e, 50, false) == 0 && at < 200) ++at;  // a plateau: reported when the maximum is over 95 samples old
    EXPECT_EQ(at, 96);
    const int32_t a[8] = {8, 16, 24, 32, 40, 48, 56, 64};
    EXPECT_EQ(mean(a, 8), 36);
    EXPECT_EQ(thresh(e, 1000, 200), 450);  // 200 + int(0.3125 * 800)
    EXPECT_EQ(thresh(e, 100, 97), 97);     // 97 + int(0.9375)
    const int32_t checks[][4] = {{359, 1000, 728, 1}, {359, 1000, 729, 0}, {360, 1000, 100, 0}};  // T: rr < 360, <= 0.728
    for (const auto &c : checks) EXPECT_EQ(TCheck(e, c[0], c[1], c[2]), c[3]) << c[0] << " " << c[2];
    const int32_t early[][4] = {{359, 100, 200, 1}, {359, 100, 199, 0}, {360, 100, 1000, 0}};  // rr < 360, >= 2x
    for (const auto &c : early) EXPECT_EQ(PCheck(e, c[0], c[1], c[2]), c[3]) << c[0] << " " << c[2];
    // Baseline shift over the 220 entries from the write index, wrapping at derDelay 431: an up- and a
    // downslope 50 apart is a QRS; a downslope below 1/8 of the upslope, or outside the walk, is not.
    auto bls = [&e](int32_t index, std::vector<std::pair<int32_t, int32_t>> slopes) {
        std::memset(e.c.derivRing, 0, sizeof e.c.derivRing);
        e.c.derivRingIdx = index;
        for (const auto &[at, v] : slopes) e.c.derivRing[at] = v;
        return BLSCheck(e);
    };
    EXPECT_EQ(bls(0, {{20, 800}, {70, -700}}), 0);
    EXPECT_EQ(e.c.maxDeriv, 800);
    EXPECT_EQ(bls(0, {{20, 800}, {70, -99}}), 1);
    EXPECT_EQ(bls(0, {{20, 800}, {220, -700}}), 1);
    EXPECT_EQ(bls(400, {{420, 800}, {(400 + 219) % 431, -700}}), 0);
}

TEST(Eplimited, ReleaseAgeByPatientClassAndEarlyBigBeats)
{
    // Nothing in eight learning seconds; then every beat, 80 + 251 old when detected, released at 600 (adult) or at once (child).
    for (const auto &[mode, age] : {std::pair{0, 600}, {1, 331}}) {
        Detector d(1000, mode);
        const Found found = d.feed(sixty());
        size_t expected = 0;
        for (int64_t p = 8500; p <= 19999 - age - 5; p += 1000) ++expected;
        ASSERT_EQ(found.size(), expected) << mode;
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].second, age);
            EXPECT_NEAR(double(found[i].first - age), 8500.0 + 1000.0 * double(i), 20.0);
        }
    }
    // A triple-size beat 300 ms after a normal one is dropped, unless the last was noise; that detection clears the mark.
    std::vector<double> x = sixty();
    test::addWave(x, 1000, 12800.0, {0.0, 3000.0, 0.008});
    for (bool marked : {false, true}) {
        Detector d;
        Found found = d.feed(std::vector<double>(x.begin(), x.begin() + 12950));
        d.s().s.noiseRejected = marked;
        const Found more = d.feed(std::vector<double>(x.begin() + 12950, x.end()));
        found.insert(found.end(), more.begin(), more.end());
        EXPECT_EQ(std::count_if(found.begin(), found.end(), [](const auto &f) { return std::llabs(f.first - f.second - 12800) < 30; }),
                  marked ? 1 : 0);
        EXPECT_EQ(d.s().s.noiseRejected, 0);
    }
}

TEST(Eplimited, PlausibilityThresholdsByClassAndBySetting)
{
    // 120 uV: below the adult 160, above the child 50; 12000: >= 10001; a 40-sample triangle: above 30, below 60.
    // A rejected rhythm leaves only the first beat after init, which is not measured.
    std::vector<double> tri(20000, 0.0);
    for (int64_t p = 500; p < 20000; p += 1000)
        for (int64_t k = -20; k <= 20; ++k) tri[size_t(p + k)] = 1000.0 - 50.0 * double(std::llabs(k));
    struct Case {
        std::vector<double> x;
        int32_t mode, amp, dur;
        bool accepted;
    } cases[] = {{sixty(120.0, 25000), 0, 0, 0, false}, {sixty(120.0, 25000), 1, 0, 0, true},
                 {sixty(12000.0, 25000), 0, 0, 0, false}, {sixty(120.0, 25000), 0, 100, 20, true},
                 {tri, 0, 100, 30, true}, {tri, 0, 100, 60, false}};
    for (const Case &c : cases) {
        Detector d(1000, c.mode);
        EXPECT_EQ(c.amp == 0 ? 0 : EP_setMinAdultQRSThr(d.h(), c.amp, c.dur), 0);
        const size_t n = d.feed(c.x).size();
        EXPECT_TRUE(c.accepted ? n >= 10 : n == 1) << n << " beats; " << c.mode << " " << c.amp << " " << c.dur;
    }
    // Set thresholds survive mode changes; 0, 0 restores the class's; init returns to the configured class.
    LogCapture log;
    Detector d(1000, 0);
    const EpBeatStage &s = d.s().s;
    using V = std::vector<int32_t>;  // call result, age type, user flag, amplitude and width thresholds
    auto after = [&s](int32_t result) { return V{result, s.ageType, s.userThr, s.qrsAmpThr, s.qrsDurThr}; };
    EXPECT_EQ(after(EP_setMinAdultQRSThr(d.h(), 300, 30)), (V{0, 0, 1, 300, 30}));
    EXPECT_TRUE(log.contains("QRSAmp = 300, QRSDur = 30"));
    EXPECT_EQ(after(setEplimitedBeatDetectMode(d.h(), 1)), (V{0, 1, 1, 300, 30}));
    EXPECT_EQ(after(EP_setMinAdultQRSThr(d.h(), 0, 0)), (V{0, 1, 0, 50, 10}));
    EXPECT_EQ(after(initEplimitedBeatDetect(d.h())), (V{0, 0, 0, 160, 20}));
    EXPECT_EQ(after(setEplimitedBeatDetectMode(d.h(), 2)), (V{0, 2, 0, 50, 10}));  // 2 acts as 1
}

TEST(Eplimited, SearchBackAndThresholdReset)
{
    // A 0.3-size beat at 12500 (below the threshold, above half): declared at sinceLast 1581 (1000 + 500 + 80),
    // 500 samples after its peak: delay 80 + 251 + 500, released at once, in line with the others.
    {
        Detector d;
        const Found found = d.feed(sixty([](int64_t p) { return p == 12500 ? 300.0 : 1000.0; }));
        ASSERT_GE(found.size(), 10u);
        int32_t lateDelay = 0;
        for (const auto &[at, delay] : found) {
            EXPECT_LE(std::llabs((at - delay - found[0].first + found[0].second) % 1000), 1);
            if (std::llabs(at - delay - 12500) < 20) lateDelay = delay;
        }
        EXPECT_NEAR(lateDelay, 831, 5);
    }
    // Child; beats a tenth after 12 s. Eight seconds after the last detection (~11835) the threshold is rebuilt:
    // the candidate kept since 12500 is declared at once, then every small beat from 20500 to 29500.
    Detector d(1000, 1);
    const Found found = d.feed(sixty([](int64_t p) { return p > 12000 ? 100.0 : 1000.0; }, 30000));
    const auto first = std::find_if(found.begin(), found.end(), [](const auto &f) { return f.first - f.second > 12000; });
    ASSERT_NE(first, found.begin());
    ASSERT_EQ(found.end() - first, 11);
    EXPECT_NEAR(double(first->first - first->second), 12500.0, 20.0);
    EXPECT_NEAR(double(first->first - (first - 1)->first), 8000.0, 2.0);
    for (int k = 1; k <= 10; ++k) EXPECT_NEAR(double((first + k)->first - (first + k)->second), 19500.0 + 1000.0 * k, 20.0);
}

TEST(AnalyzeBeat, OnsetOffsetAndAmplitudeOfKnownShapes)
{
    // At 1000 Hz: fiducial 200, slopes searched 125..274, edge searches 20 and 30 samples, late
    // correction within 50. Slopes of +-10 balance to 10 / -10, quarters 2 and -3 (arithmetic shift).
    struct Case {
        const char *what;
        std::vector<std::pair<int32_t, int32_t>> corners;  // straight segments; 0 before, last value after
        int32_t onset, offset, amplitude;
    } cases[] = {
        {"downstroke first", {{190, 0}, {200, -100}, {210, 0}}, 189, 211, 100},
        {"60 ms extension", {{190, 0}, {200, 100}, {210, 0}, {215, 0}, {220, 25}, {230, 25}, {235, 0}}, 189, 236, 100},
        {"late offset: end 3/8 below start", {{190, 0}, {200, 100}, {220, -100}, {240, -100}, {260, 0}}, 189, 261, 200},
        {"flat", {{0, 7}, {1, 7}}, -1, -1, 0},
    };
    Detector d;
    for (const Case &c : cases) {
        std::vector<int32_t> beat(kEpBeatLength, 0);
        for (int32_t i = 0; i < kEpBeatLength; ++i)
            for (size_t k = 0; k < c.corners.size(); ++k) {
                const auto [a, va] = c.corners[k];
                const auto [b, vb] = k + 1 < c.corners.size() ? c.corners[k + 1] : std::pair{kEpBeatLength + 1, va};
                if (i >= a && i < b) beat[size_t(i)] = va + (vb - va) * (i - a) / (b - a);
            }
        int32_t onset = -9, offset = -9, amplitude = -9;
        AnalyzeBeat(d.s(), beat.data(), &onset, &offset, &amplitude);
        EXPECT_TRUE(c.onset < 0 || (onset == c.onset && offset == c.offset)) << c.what << ": " << onset << ", " << offset;
        EXPECT_EQ(amplitude, c.amplitude) << c.what;
    }
}

}  // namespace

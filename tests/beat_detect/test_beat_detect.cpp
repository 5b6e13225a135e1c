// Beat detector facade, the limited-resource detector (method 0) and its beat measurement (timing tables from
// tools/eplimited_timing.py), and the Orin detector (method 2) at its 200 Hz design rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "beat_detect/eplimited.hpp"
#include "beat_detect/orin.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/corvane.h"
#include "tessivar/eplimited.h"
#include "tessivar/orin.h"

namespace {

namespace orin = tessivar::orin;
namespace fs = std::filesystem;
using namespace tessivar;
using namespace tessivar::test;
using Found = std::vector<std::pair<int64_t, int32_t>>;  // (sample index, delay) of every beat
using V = std::vector<int32_t>;
using S = std::vector<std::string>;

S lines(const std::string &path)  // the files read here hold one number per line
{
    std::ifstream f(path);
    return S(std::istream_iterator<std::string>(f), {});
}

// R peaks every 1000 samples from 500.
const std::vector<int16_t> kRhythm = toInt16(beatsAt(1000, 20000, regularPeaks(500, 1000, 20000), normalBeat()));

TEST(BeatDetect, HeaderDefaultsAndNullArguments)
{
    const std::string longName(300, 'n');
    struct Case { BeatDetectConf conf; V want; } cases[] = {  // want: maxHR, minHR, maxRRLen, minRRLen
        {{"hr", nullptr, 1000, 0, 0, 0, 0}, {300, 30, 2000, 200}},  // defaults: 60000/30, 60000/300
        {{"x", nullptr, 250, 1, 3, 180, 45}, {180, 45, 333, 83}},   // round(333.3), round(83.3)
        {{longName.c_str(), nullptr, 360, 0, 1, -5, -1}, {300, 30, 720, 72}},  // below 1: the default
    };
    for (const Case &c : cases) {
        BeatDetect *h = newBeatDetect(&c.conf);
        EXPECT_EQ((V{h->maxHR, h->minHR, h->maxRRLen, h->minRRLen}), c.want) << c.conf.fs;
        EXPECT_TRUE(std::string(h->name) == std::string(c.conf.name).substr(0, 255) && h->dataPath == nullptr);
        EXPECT_TRUE(delBeatDetect(&h) == 0 && h == nullptr);
    }
    LogCapture log;
    BeatDetectConf noName = cases[0].conf;
    noName.name = nullptr;
    EXPECT_TRUE(newBeatDetect(nullptr) == nullptr && newBeatDetect(&noName) == nullptr);
    BeatDetect *none = nullptr, *h = newBeatDetect(&cases[0].conf);
    uint8_t noise = 7;
    int32_t pos[4];
    const int16_t x[4] = {};
    EXPECT_EQ((V{delBeatDetect(nullptr), delBeatDetect(&none), initBeatDetect(nullptr), setBeatDetectMode(nullptr, 1),
                 realtimeDetectBeat(nullptr, 100, &noise), findRPeak(nullptr, x, 4, pos, 4), findRPeak(h, nullptr, 4, pos, 4),
                 findRPeak(h, x, 4, nullptr, 4), findRPeak(h, x, 0, pos, 4), findRPeak(h, x, 4, pos, 0)}),
              V(10, -1));
    EXPECT_TRUE(noise == 7 && BT_setMinAdultQRSThr(nullptr, 100, 10) == 0);
    EXPECT_EQ(log.count("Input parameter exception."), 12);
    delBeatDetect(&h);
}

TEST(BeatDetect, EveryMethodDetectsAndRefusesNullAndForeignHandles)
{
    struct Family { int32_t method, noBeat; int (*destroy)(BeatDetect **); int (*init)(BeatDetect *);
                    int (*setMode)(BeatDetect *, int32_t); int32_t (*detect)(BeatDetect *, int32_t); } families[] = {
        {0, 0, delEplimitedBeatDetect, initEplimitedBeatDetect, setEplimitedBeatDetectMode, detectEplimitedBeat},
        {1, -1, delCorvaneBeatDetect, initCorvaneBeatDetect, setCorvaneBeatDetectMode, detectCorvaneBeat},
        {2, 0, delOrinBeatDetect, initOrinBeatDetect, setOrinBeatDetectMode, detectOrinBeat},
        {3, -1, delKTBeatDetect, initKTBeatDetect, setKTBeatDetectMode, detectKTBeat},
    };
    LogCapture log;
    for (const Family &f : families) {
        for (int32_t method : {f.method, f.method == 3 ? -5 : f.method}) {  // through the facade: beats, else noBeat
            const BeatDetectConf c = {"m", nullptr, 1000, 0, method, 0, 0};
            BeatDetect *h = newBeatDetect(&c);
            EXPECT_EQ((V{initBeatDetect(h), setBeatDetectMode(h, 1)}), (V{0, 0}));
            int beats = 0, others = 0;
            for (int16_t v : kRhythm) {
                uint8_t noise = 9;
                const int32_t r = realtimeDetectBeat(h, v, &noise);
                beats += r > 0;
                others += (r <= 0 && r != f.noBeat) || noise != 0;
            }
            EXPECT_TRUE(others == 0 && beats >= 10) << method << ": " << beats << " beats, " << others << " others";
            EXPECT_EQ(delBeatDetect(&h), 0);
        }
        BeatDetect *none = nullptr;
        EXPECT_EQ((V{f.init(nullptr), f.detect(nullptr, 1), f.destroy(&none)}), V(3, -1)) << f.method;
        for (int32_t other : {0, 1, 2, 3, -7}) {
            if (other == f.method || (f.method == 3 && other == -7)) continue;
            const BeatDetectConf c = {"other", nullptr, 1000, 0, other, 0, 0};
            BeatDetect *h = newBeatDetect(&c);
            log.clear();
            EXPECT_EQ((V{f.init(h), f.setMode(h, 1), f.detect(h, 100), f.destroy(&h)}), V(4, -1)) << f.method << " given " << other;
            EXPECT_EQ(log.count("[E]"), 4) << f.method << " given " << other;
            EXPECT_EQ(f.method == 0 ? EP_setMinAdultQRSThr(h, 1, 1) : -1, -1) << other;
            EXPECT_EQ(delBeatDetect(&h), 0);
        }
    }
}

TEST(BeatDetect, DebugStreamsTheirRestartAndTheCurrentFolder)
{
    TempDir dir, here;
    const BeatDetectConf c = {"hr", dir.path().c_str(), 1000, 0, 0, 0, 0}, e = {"hr", "", 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    S results;
    uint8_t noise = 0;
    for (size_t t = 0; t < 12000; ++t)
        if (const int32_t r = realtimeDetectBeat(h, kRhythm[t], &noise); r > 0) results.push_back(std::to_string(r));
    const S in = lines(dir.file("in.csv"));  // one line per sample, one out line per beat
    EXPECT_TRUE(h->dataPath == dir.path() && in.size() == 12000 && in[500] == std::to_string(kRhythm[500]));
    EXPECT_TRUE(fs::exists(dir.file("beat_detect.conf")));
    EXPECT_TRUE(!results.empty() && lines(dir.file("out.csv")) == results);
    initBeatDetect(h);  // a restart truncates
    realtimeDetectBeat(h, 5, &noise);
    EXPECT_TRUE(lines(dir.file("in.csv")) == S{"5"} && lines(dir.file("out.csv")).empty());
    delBeatDetect(&h);
    const fs::path before = fs::current_path();
    fs::current_path(here.path());
    h = newBeatDetect(&e);  // an empty path: the current folder
    EXPECT_STREQ(h->dataPath, ".");
    realtimeDetectBeat(h, 1, &noise);
    delBeatDetect(&h);
    fs::current_path(before);
    EXPECT_TRUE(lines(here.file("in.csv")) == S{"1"} && fs::exists(here.file("beat_detect.conf")));
}

TEST(BeatDetect, FindRPeakOverAWholeArray)
{
    TempDir dir;
    const BeatDetectConf c = {"off", dir.path().c_str(), 1000, 0, 0, 0, 0}, kt = {"off", nullptr, 1000, 0, 3, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    V pos(64, -1), five(5, -1);
    const std::vector<int16_t> flat(12000, 0);
    EXPECT_EQ(findRPeak(h, flat.data(), 12000, pos.data(), 64), 0);
    EXPECT_EQ(lines(dir.file("rdetect_in.csv")).size(), 12001u);  // count line and the samples
    EXPECT_EQ(fs::file_size(dir.file("rdetect_out.csv")), 0u);     // no beat: empty
    EXPECT_TRUE(lines(dir.file("in.csv")).empty());                // the offline run feeds the detector directly
    // Beats 8500 (after eight learning seconds) to 19500, the last confirmed by the 3 fs repeats of the last sample.
    ASSERT_EQ(findRPeak(h, kRhythm.data(), 20000, pos.data(), 64), 12);
    for (size_t i = 0; i < 12; ++i) EXPECT_NEAR(pos[i], 8500 + 1000 * int(i), 20) << i;
    EXPECT_EQ(findRPeak(h, kRhythm.data(), 20000, five.data(), 5), -2);  // full before the end: the stored ones kept
    EXPECT_EQ(five, V(pos.begin(), pos.begin() + 5));
    delBeatDetect(&h);
    h = newBeatDetect(&kt);  // no offline detection
    EXPECT_EQ(findRPeak(h, kRhythm.data(), 20000, pos.data(), 64), 0);
    delBeatDetect(&h);
}

const BeatDetectConf kOrin = {"orin", nullptr, 200, 0, 2, 0, 0};

// 1 mV beats every 160 samples (75 per minute at 200 Hz) from 100, every fifth at `fifth`, while below `until`.
std::vector<int16_t> ecg200(size_t n, size_t until = SIZE_MAX, double fifth = 1000.0)
{
    std::vector<double> x(n, 0.0);
    for (int64_t r = 100, k = 0; r < int64_t(std::min(n, until)); r += 160, ++k)
        for (const Wave &w : normalBeat(k % 5 == 4 ? fifth : 1000.0)) addWave(x, 200, double(r), w);
    return toInt16(x);
}

// Feeds x through the facade; the sample indexes of 77 results (every result must be 0 or 77).
std::vector<int64_t> feed(BeatDetect *d, const std::vector<int16_t> &x)
{
    std::vector<int64_t> beats;
    for (size_t i = 0; i < x.size(); ++i) {
        const int32_t r = realtimeDetectBeat(d, x[i], nullptr);
        EXPECT_TRUE(r == 0 || r == 77) << r;
        if (r == 77) beats.push_back(int64_t(i));
    }
    return beats;
}

TEST(Orin, FixedPointHelpersAndARegularRhythm)
{
    // Python: (v >> k) | (0xF800 if k == 5 else 0x8000) for negative v, as int32.
    const int32_t halves[][3] = {{64, 5, 2}, {-64, 5, -2}, {-1, 5, -1}, {-100000, 5, -1077},
                                 {-40000, 5, -1250}, {5, 1, 2}, {-3, 1, -2}, {-70000, 1, -2232}};
    for (const auto &h : halves) EXPECT_EQ(orin::halve(h[0], h[1]), h[2]) << h[0] << " >> " << h[1];
    // Integrator entry 1023 above 1023, else x >> 2; output: the sum of 16 entries >> 2.
    for (const auto &[x, entry] : {std::pair{4000, 1023}, {1000, 250}, {1023, 255}, {1024, 1023}}) {
        orin::mvwint(0, true);
        V y;
        for (int i = 0; i < 16; ++i) y.push_back(orin::mvwint(x, false));
        EXPECT_EQ((V{y[0], y[15]}), (V{entry >> 2, 16 * entry >> 2})) << x;
    }
    BeatDetect *d = newBeatDetect(&kOrin);  // every beat after 8 x 200 learning samples, 160 apart
    const std::vector<int64_t> beats = feed(d, ecg200(200 * 60));
    EXPECT_EQ(orin::learnedSeconds(), 8);
    EXPECT_GE(beats.size(), size_t((200 * 60 - 1600) / 160 - 1));
    for (size_t k = 1; k < beats.size(); ++k) EXPECT_EQ(beats[k] - beats[k - 1], 160) << k;
    delBeatDetect(&d);
}

TEST(Orin, RestartsAndTheOneSharedState)
{
    for (const int16_t bad : {int16_t(5001), int16_t(-5001)}) {  // the limit itself is in range; one more restarts
        BeatDetect *d = newBeatDetect(&kOrin);
        feed(d, ecg200(3000));
        EXPECT_EQ((V{orin::learnedSeconds(), realtimeDetectBeat(d, int16_t(bad > 0 ? 5000 : -5000), nullptr),
                     orin::learnedSeconds(), realtimeDetectBeat(d, bad, nullptr), orin::learnedSeconds()}),
                  (V{8, 0, 8, 0, 0})) << bad;
        delBeatDetect(&d);
    }
    BeatDetect *a = newBeatDetect(&kOrin);  // the 2400th sample without a 77 restarts it, the 2399th does not
    const std::vector<int64_t> beats = feed(a, ecg200(4000, 3000));
    ASSERT_FALSE(beats.empty());
    feed(a, std::vector<int16_t>(size_t(beats.back() + 2399 - 3999), 0));
    EXPECT_EQ((V{orin::learnedSeconds(), realtimeDetectBeat(a, 0, nullptr), orin::learnedSeconds()}), (V{8, 0, 0}));
    feed(a, ecg200(2000));
    BeatDetect *b = newBeatDetect(&kOrin);  // a second handle restarts the shared state, so does init of either
    EXPECT_EQ(orin::learnedSeconds(), 0);
    feed(b, ecg200(2000));
    EXPECT_EQ((V{orin::learnedSeconds(), initBeatDetect(a), orin::learnedSeconds()}), (V{8, 0, 0}));
    // Every fifth beat at 30 %: the detector proper finds some by search-back (not 0, not 77); the facade never reports them.
    const std::vector<int16_t> x = ecg200(200 * 60, SIZE_MAX, 300.0);
    orin::picQrsDet(0, true);
    int searchBack = 0;
    for (int16_t v : x) {
        const int32_t r = orin::picQrsDet(v, false);
        searchBack += r != 0 && r != 77;
    }
    EXPECT_GT(searchBack, 0);
    feed(b, x);
    delBeatDetect(&a);
    delBeatDetect(&b);
}


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

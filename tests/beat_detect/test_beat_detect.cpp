// Beat detection: the facade, the limited-resource detector (method 0) and its beat measurement (timing
// tables from tools/eplimited_timing.py), the Orin detector (method 2) at its 200 Hz design rate, the
// adaptive-threshold detectors (method 1 and kt), the offline R-peak finder and their whole-array tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "beat_detect/corvane_core.hpp"
#include "beat_detect/detector_methods.hpp"
#include "beat_detect/eplimited.hpp"
#include "beat_detect/orin.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "records/beat_compare.hpp"
#include "records/wfdb.hpp"
#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/corvane.h"
#include "tessivar/eplimited.h"
#include "tessivar/fir_filter.h"
#include "tessivar/orin.h"
#include "tessivar/rwave_tools.h"

namespace {

namespace cv = tessivar::corvane;
namespace fs = std::filesystem;
namespace orin = tessivar::orin;
using namespace tessivar;
using namespace tessivar::test;
using Vec = std::vector<double>;
using Found = std::vector<std::pair<int64_t, int32_t>>;  // (sample index, delay) of every beat
using V = std::vector<int32_t>;
using S = std::vector<std::string>;
const int32_t kMethods[] = {1, 3};  // the adaptive-threshold detectors: Corvane and kt

S lines(const std::string &path)  // the files read here hold one number per line
{
    std::ifstream f(path);
    return S(std::istream_iterator<std::string>(f), {});
}

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

TEST(Eplimited, TenthQueuedDetectionWrapsTheQueueAndDropsTheNine)
{
    // The third beat is detected (331 samples old) 269 samples before its release at age 600; nine detections
    // still queued then make it the tenth: the count wraps to 0 and only that beat is lost.
    const std::vector<double> x = sixty();
    Detector ref, d;
    const Found all = ref.feed(x);
    ASSERT_GE(all.size(), 6u);
    const long cut = long(all[2].first - (600 - 331));
    Found found = d.feed(std::vector<double>(x.begin(), x.begin() + cut));
    tessivar::EpBeatStage &q = d.s().s;
    ASSERT_EQ(q.beatQueueCount, 0);
    std::fill(q.beatQueue, q.beatQueue + 9, 1), q.beatQueueCount = 9;
    const Found rest = d.feed(std::vector<double>(x.begin() + cut, x.end()));
    found.insert(found.end(), rest.begin(), rest.end());
    Found expected = all;
    expected.erase(expected.begin() + 2);
    EXPECT_EQ(found, expected);
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

struct Handle {
    BeatDetect *h = nullptr;
    explicit Handle(int32_t method, int32_t fs = 1000, int32_t minHR = 0)  // creation initialises the detector
    {
        const BeatDetectConf c = {"t", nullptr, fs, 0, method, 0, minHR};
        h = newBeatDetect(&c);
    }
    ~Handle() { delBeatDetect(&h); }
    cv::Detector &state() const { return cv::stateOf(h); }
    V delays;  // of every report
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
    const V table[] = {
        {250, 33, 30, 78, 60, 50, 5, 50, 24, 5, 501, 250, 5, 255, 257},   // 32.5, 78.9, 24.25
        {360, 47, 43, 113, 86, 72, 7, 72, 34, 7, 721, 360, 7, 367, 369},  // 46.8, 43.2, 113.7, 86.4, 34.7
        {500, 65, 60, 157, 120, 100, 10, 100, 48, 10, 1001, 500, 10, 510, 512},
        {1000, 130, 120, 315, 240, 200, 20, 200, 95, 20, 2001, 1000, 20, 1020, 1022},  // 315.8, 95.5
    };
    for (int32_t method : kMethods)
        for (const V &e : table) {
            Handle h(method, e[0]);
            const cv::Detector &d = h.state();
            EXPECT_EQ((V{e[0], d.header.detectorWord, d.rSearchHalf, d.tWaveLen, d.closeNoiseLen,
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
        EXPECT_EQ((V{initBeatDetect(h.h), h.state().qrsCount, h.state().rrCount}), (V{0, 0, 0}));
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

TEST(Corvane, LongPauseAtTheLowestRateAndTheIndexRebase)
{
    for (int32_t method : kMethods) {
        // Minimum rate 1: after a 12 s pause the search-back window is far longer than the rings; it is cut to
        // them and the rhythm is found again.
        Handle slow(method, 1000, 1);
        std::vector<int64_t> peaks = regularPeaks(500, 1000, 8000), after = regularPeaks(20500, 1000, 30000);
        peaks.insert(peaks.end(), after.begin(), after.end());
        const std::vector<int64_t> found = slow.feed(toInt16(beatsAt(1000, 30000, peaks, normalBeat())));
        EXPECT_GE(std::count_if(found.begin(), found.end(), [](int64_t b) { return b > 20000; }), 7) << method;
        // 10 s before indexes move back by 1e9 (at 2e9): the rhythm is found across the move as by a new instance.
        Handle h(method);
        cv::Detector &d = h.state();
        d.sampleIndex = 2000000000 - 10000, d.initStart = d.sampleIndex - d.lpDelay;
        const std::vector<int64_t> beats = regularPeaks(500, 1000, 20000);
        expectBeats(h.feed(toInt16(beatsAt(1000, 20000, beats, normalBeat()))), beats, 3, 3000, 20000 - 2100);
        EXPECT_LT(d.sampleIndex, 1000000000 + 20000);
    }
}

// MIT-BIH 100 at its own 360 Hz: both adaptive-threshold detectors and the offline finder above 99 %.
TEST(Corvane, Mitdb100AboveNinetyNinePercent)
{
    namespace rec = tessivar::records;
    const std::string base = TESSIVAR_SHARED_DATA "/mitdb/100";
    if (!std::ifstream(base + ".hea").good()) GTEST_SKIP() << "mitdb record 100 not found in " TESSIVAR_SHARED_DATA;
    const rec::Record r = rec::readRecord(base);
    std::vector<int16_t> x(r.samples[0].size());
    for (size_t t = 0; t < x.size(); ++t) x[t] = int16_t(std::lround(r.physical(0, t) * 1000.0));
    std::vector<int64_t> ref;
    for (const rec::Annotation &a : rec::readAnnotations(base + ".atr"))
        if (rec::isBeat(a.code)) ref.push_back(a.time);
    rec::CompareOptions o;
    o.fs = 360;
    for (int32_t method : {1, 3, -1}) {  // -1: findRPeak over the whole array
        Handle h(method < 0 ? 1 : method, 360);
        std::vector<int64_t> found = method > 0 ? h.feed(x) : std::vector<int64_t>();
        std::vector<int32_t> pos(4000);
        if (method < 0) found.assign(pos.begin(), pos.begin() + std::max(0, findRPeak(h.h, x.data(), int32_t(x.size()), pos.data(), 4000)));
        const rec::BeatCounts c = rec::compareBeats(ref, found, o);
        EXPECT_GE(c.sensitivity(), 0.99) << method;
        EXPECT_GE(c.positivePredictivity(), 0.99) << method;
    }
}

TEST(FindRPeakMethod1, PositionsCapacityAndLimits)
{
    LogCapture log;
    Handle h(1);
    const std::vector<int64_t> peaks = regularPeaks(500, 1000, 20000);
    const std::vector<int16_t> x = toInt16(beatsAt(1000, 20000, peaks, normalBeat()));
    V pos(64, -1), three(3, -1);
    const int32_t count = findRPeak(h.h, x.data(), 20000, pos.data(), 64);
    ASSERT_GE(count, 17);  // every beat from the learning window (2 fs - 1) on
    for (int32_t i = 0; i < count; ++i) EXPECT_NEAR(pos[size_t(i)], peaks[peaks.size() - size_t(count) + size_t(i)], 3) << i;
    const std::vector<int16_t> flat(20000, 0);
    // Full at 3: -2 and the same first three; flat: 0; below 2 fs: -1; the double finder learns from 4 fs.
    EXPECT_EQ((V{findRPeak(h.h, x.data(), 20000, three.data(), 3), findRPeak(h.h, flat.data(), 20000, pos.data(), 64),
                   findRPeak(h.h, x.data(), 1999, pos.data(), 64), tessivar::inerFindRWithNonRealDouble(x.data(), 3999, h.h, pos.data(), 64)}),
              (V{-2, 0, -1, -1}));
    EXPECT_EQ(three, V(pos.begin(), pos.begin() + 3));
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
    struct Case { Vec x; double thr; V want; const char *why; } cases[] = {  // thr < 0: findPeaksDouble, minDist -thr
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
        V idx(c.x.size(), -1);
        const int32_t n = c.thr >= 0 ? peakSearchDouble(c.x.data(), int32_t(c.x.size()), idx.data(), c.thr)
                                     : findPeaksDouble(c.x.data(), int32_t(c.x.size()), int32_t(-c.thr), idx.data(), int32_t(idx.size()));
        ASSERT_GE(n, 0) << c.why;
        EXPECT_EQ(V(idx.begin(), idx.begin() + n), c.want) << c.why;
    }
    const int16_t shorts[] = {0, 5, -3, -3, 4};  // 5 is a maximum; -3, -3 is flat
    const float fx[] = {0, 5, 0, 0, 4, 0, 0, 3, 0};
    int32_t sidx[5], one = -1;
    EXPECT_EQ((V{peakSearchForShort(shorts, 5, sidx, 0.0), sidx[0], peakSearchDouble(Vec{1, 2}.data(), 2, sidx, 0.0)}), (V{1, 1, -1}));
    EXPECT_EQ((V{findPeaksFloat(fx, 9, 1, &one, 1), one}), (V{1, 1}));  // capacity 1: the highest only
    EXPECT_EQ((V{findPeaksDouble(Vec{0, 1, 0}.data(), 3, 2, &one, 1), findPeaksDouble(nullptr, 9, 1, &one, 1)}), (V{-1, -1}));
    const Vec down = {4, 3, 1, 0}, up = {0, 1, 3, 4};
    const int32_t ints[] = {3, 7, 1};
    // Crossing 2 between 3 and 1: a tie, the later (forward) or the one farther from the end (backward);
    // 2.5 nearer 3; never crossed -2; n < 2 -1. Scans: first strictly above / below, none -1, null -2.
    EXPECT_EQ((V{thresholdCrossForwardDouble(down.data(), 4, 2.0), thresholdCrossForwardDouble(down.data(), 4, 2.5),
                   thresholdCrossBackwardDouble(up.data(), 4, 2.0), thresholdCrossForwardDouble(down.data(), 4, 9.0),
                   thresholdCrossForwardDouble(down.data(), 1, 2.0), findNearstBiggerForInt(ints, 3, 3.0),
                   findNearstSmallerForInt(ints, 3, 3.0), findNearstBiggerForInt(ints, 3, 7.0), findNearstBiggerForInt(nullptr, 3, 7.0)}),
              (V{2, 1, 1, -2, -1, 1, 2, -1, -2}));
    Vec avg(4), conv(4), in(3);
    const Vec ones = {1, 1, 1};
    EXPECT_EQ((V{movingAverageDouble(ones.data(), 3, 2, avg.data()), convDouble(Vec{1, 2, 3}.data(), 3, Vec{1, -1}.data(), 2, conv.data()),
                   interp1(Vec{0, 10}.data(), 2, 0.5, in.data()), movingAverageDouble(ones.data(), 3, 4, avg.data()),
                   interp1(Vec{0, 10}.data(), 2, 0.0, in.data())}),
              (V{4, 4, 3, -1, -1}));  // w > n, step 0 refused
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
    EXPECT_EQ((V{getWaveDuration(10, 10, x.data(), 11), getWaveDurationAndPeakAmp(10, 10, raw, x.data(), 11, 800, &amp), amp}),
              (V{8, 8, 800}));
    EXPECT_EQ(getWaveDurationAndPeakAmp(4, 4, raw, Vec{1, 2, 3, 2, 1}.data(), 5, 0, &untouched), 0);  // no biphasic wave
    EXPECT_EQ(untouched, -7);
    EXPECT_EQ((V{getWaveDuration(-1, 4, x.data(), 11), getWaveDuration(4, 11, x.data(), 11)}), (V{-1, -1}));  // c < 0, w >= n
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

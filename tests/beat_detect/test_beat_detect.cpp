// Beat detector facade, and the Orin detector (method 2) at its 200 Hz design rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
using namespace tessivar::test;
using V = std::vector<int32_t>;
using S = std::vector<std::string>;

S lines(const std::string &path)
{
    std::ifstream f(path);
    S out;
    for (std::string l; std::getline(f, l);) out.push_back(l);
    return out;
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

}  // namespace

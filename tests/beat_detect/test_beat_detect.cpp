// Beat detector facade: handle header, dispatch by method, refusals,
// debug streams and offline detection over a whole array.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "beat_detect/synthetic_ecg.hpp"
#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/corvane.h"
#include "tessivar/eplimited.h"
#include "tessivar/orin.h"

namespace {

using tessivar::test::LogCapture;
using tessivar::test::TempDir;
namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string &path)
{
    std::ifstream f(path);
    std::vector<std::string> out;
    for (std::string l; std::getline(f, l);) out.push_back(l);
    return out;
}

// R peaks every 1000 samples from 500.
std::vector<int16_t> cleanRhythm(size_t n = 20000)
{
    using namespace tessivar::test;
    return toInt16(beatsAt(1000, n, regularPeaks(500, 1000, n), normalBeat()));
}

TEST(BeatDetect, HeaderDefaultsAndRRLengths)
{
    struct Case {
        BeatDetectConf conf;
        int32_t maxHR, minHR, maxRRLen, minRRLen;
    } cases[] = {
        {{"hr", nullptr, 1000, 0, 0, 0, 0}, 300, 30, 2000, 200},      // defaults: 60000/30, 60000/300
        {{"x", nullptr, 250, 1, 3, 180, 45}, 180, 45, 333, 83},       // round(15000/45 = 333.3), round(83.3)
        {{"y", nullptr, 360, 0, 1, -5, -1}, 300, 30, 720, 72},        // below 1 means the default
    };
    for (const Case &c : cases) {
        BeatDetect *h = newBeatDetect(&c.conf);
        ASSERT_NE(h, nullptr) << c.conf.name;
        EXPECT_EQ(h->maxHR, c.maxHR);
        EXPECT_EQ(h->minHR, c.minHR);
        EXPECT_EQ(h->maxRRLen, c.maxRRLen);
        EXPECT_EQ(h->minRRLen, c.minRRLen);
        EXPECT_EQ(h->method, c.conf.method);
        EXPECT_EQ(h->dataPath, nullptr);
        EXPECT_EQ(delBeatDetect(&h), 0);
        EXPECT_EQ(h, nullptr);
    }
    const std::string longName(300, 'n');
    const BeatDetectConf c = {longName.c_str(), nullptr, 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    EXPECT_EQ(std::string(h->name), std::string(255, 'n'));
    delBeatDetect(&h);
}

TEST(BeatDetect, NullArgumentsAreRefusedWithAnErrorLine)
{
    LogCapture log;
    EXPECT_EQ(newBeatDetect(nullptr), nullptr);
    const BeatDetectConf noName = {nullptr, nullptr, 1000, 0, 0, 0, 0};
    EXPECT_EQ(newBeatDetect(&noName), nullptr);
    EXPECT_EQ(delBeatDetect(nullptr), -1);
    BeatDetect *none = nullptr;
    EXPECT_EQ(delBeatDetect(&none), -1);
    EXPECT_EQ(initBeatDetect(nullptr), -1);
    EXPECT_EQ(setBeatDetectMode(nullptr, 1), -1);
    uint8_t noise = 7;
    EXPECT_EQ(realtimeDetectBeat(nullptr, 100, &noise), -1);
    EXPECT_EQ(noise, 7);
    EXPECT_EQ(BT_setMinAdultQRSThr(nullptr, 100, 10), 0);
    EXPECT_EQ(log.count("Input parameter exception."), 7);
    const BeatDetectConf c = {"hr", nullptr, 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    int32_t pos[4];
    const int16_t x[4] = {};
    const struct {
        BeatDetect *h;
        const int16_t *x;
        int32_t n;
        int32_t *pos;
        int32_t cap;
    } bad[] = {{nullptr, x, 4, pos, 4}, {h, nullptr, 4, pos, 4}, {h, x, 4, nullptr, 4}, {h, x, 0, pos, 4}, {h, x, 4, pos, 0}};
    for (const auto &b : bad) EXPECT_EQ(findRPeak(b.h, b.x, b.n, b.pos, b.cap), -1);
    EXPECT_EQ(log.count("Input parameter exception."), 12);
    delBeatDetect(&h);
}

TEST(BeatDetect, EveryMethodFindsTheRhythmAndAnswersItsNoBeatValue)
{
    const std::vector<int16_t> x = cleanRhythm();
    for (int32_t method : {0, 1, 2, 3, -5}) {
        const BeatDetectConf c = {"m", nullptr, 1000, 0, method, 0, 0};
        BeatDetect *h = newBeatDetect(&c);
        ASSERT_NE(h, nullptr) << method;
        EXPECT_EQ(initBeatDetect(h), 0);
        EXPECT_EQ(setBeatDetectMode(h, 1), 0);
        int beats = 0, others = 0;
        for (int16_t v : x) {
            uint8_t noise = 9;
            const int32_t r = realtimeDetectBeat(h, v, &noise);
            EXPECT_EQ(noise, 0);
            beats += r > 0;
            others += r <= 0 && r != (method == 0 || method == 2 ? 0 : -1);
        }
        EXPECT_EQ(others, 0) << method;
        EXPECT_GE(beats, 10) << method;
        EXPECT_EQ(delBeatDetect(&h), 0);
    }
}

TEST(BeatDetect, EveryMethodRefusesNullAndForeignHandles)
{
    struct Family {
        int32_t method;
        int (*destroy)(BeatDetect **);
        int (*init)(BeatDetect *);
        int (*setMode)(BeatDetect *, int32_t);
        int32_t (*detect)(BeatDetect *, int32_t);
    } families[] = {
        {0, delEplimitedBeatDetect, initEplimitedBeatDetect, setEplimitedBeatDetectMode, detectEplimitedBeat},
        {1, delCorvaneBeatDetect, initCorvaneBeatDetect, setCorvaneBeatDetectMode, detectCorvaneBeat},
        {2, delOrinBeatDetect, initOrinBeatDetect, setOrinBeatDetectMode, detectOrinBeat},
        {3, delKTBeatDetect, initKTBeatDetect, setKTBeatDetectMode, detectKTBeat},
    };
    LogCapture log;
    for (const Family &f : families) {
        BeatDetect *none = nullptr;
        EXPECT_EQ(f.init(nullptr), -1) << f.method;
        EXPECT_EQ(f.detect(nullptr, 1), -1) << f.method;
        EXPECT_EQ(f.destroy(&none), -1) << f.method;
        for (int32_t other : {0, 1, 2, 3, -7}) {
            if (other == f.method || (f.method == 3 && other == -7)) continue;
            const BeatDetectConf c = {"other", nullptr, 1000, 0, other, 0, 0};
            BeatDetect *h = newBeatDetect(&c);
            ASSERT_NE(h, nullptr);
            log.clear();
            EXPECT_EQ(f.init(h), -1) << f.method << " given " << other;
            EXPECT_EQ(f.setMode(h, 1), -1) << f.method << " given " << other;
            EXPECT_EQ(f.detect(h, 100), -1) << f.method << " given " << other;
            EXPECT_EQ(f.destroy(&h), -1) << f.method << " given " << other;
            EXPECT_EQ(log.count("[E]"), 4) << f.method << " given " << other;
            if (f.method == 0) {
                EXPECT_EQ(EP_setMinAdultQRSThr(h, 1, 1), -1) << other;
            }
            EXPECT_EQ(delBeatDetect(&h), 0);
        }
    }
}

TEST(BeatDetect, DebugStreamsAndTheirRestart)
{
    TempDir dir;
    const BeatDetectConf c = {"hr", dir.path().c_str(), 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    EXPECT_EQ(std::string(h->dataPath), dir.path());
    const std::vector<int16_t> x = cleanRhythm(12000);
    std::vector<std::string> results;
    uint8_t noise = 0;
    for (int16_t v : x)
        if (const int32_t r = realtimeDetectBeat(h, v, &noise); r > 0) results.push_back(std::to_string(r));
    ASSERT_FALSE(results.empty());
    const std::vector<std::string> in = lines(dir.file("in.csv"));
    ASSERT_EQ(in.size(), x.size());  // one line per sample, one out line per beat
    EXPECT_EQ(in[500], std::to_string(x[500]));
    EXPECT_EQ(lines(dir.file("out.csv")), results);
    EXPECT_TRUE(fs::exists(dir.file("beat_detect.conf")));
    initBeatDetect(h);  // a restart truncates
    realtimeDetectBeat(h, 5, &noise);
    EXPECT_EQ(lines(dir.file("in.csv")), std::vector<std::string>{"5"});
    EXPECT_TRUE(lines(dir.file("out.csv")).empty());
    delBeatDetect(&h);
    // An empty path means the current folder.
    const fs::path before = fs::current_path();
    fs::current_path(dir.path() + "/..");
    TempDir here;
    fs::current_path(here.path());
    const BeatDetectConf e = {"hr", "", 1000, 0, 0, 0, 0};
    h = newBeatDetect(&e);
    EXPECT_STREQ(h->dataPath, ".");
    realtimeDetectBeat(h, 1, &noise);
    delBeatDetect(&h);
    fs::current_path(before);
    EXPECT_EQ(lines(here.file("in.csv")), std::vector<std::string>{"1"});
    EXPECT_TRUE(fs::exists(here.file("beat_detect.conf")));
}

TEST(BeatDetect, FindRPeakOverAWholeArray)
{
    TempDir dir;
    const BeatDetectConf c = {"off", dir.path().c_str(), 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    std::vector<int32_t> pos(64, -1);
    const std::vector<int16_t> flat(12000, 0);
    EXPECT_EQ(findRPeak(h, flat.data(), 12000, pos.data(), 64), 0);
    EXPECT_EQ(lines(dir.file("rdetect_in.csv")).size(), 12001u);  // count line and the samples
    EXPECT_EQ(fs::file_size(dir.file("rdetect_out.csv")), 0u);     // no beat: empty
    EXPECT_TRUE(lines(dir.file("in.csv")).empty());                // the offline run feeds the detector directly
    // Beats from 8500 (after eight learning seconds) to 19500, the last one
    // confirmed by the 3 fs repeats of the last sample.
    const std::vector<int16_t> x = cleanRhythm(20000);
    ASSERT_EQ(findRPeak(h, x.data(), int32_t(x.size()), pos.data(), 64), 12);
    for (size_t i = 0; i < 12; ++i) EXPECT_NEAR(pos[i], 8500 + 1000 * int(i), 20) << i;
    std::vector<int32_t> five(5, -1);  // capacity reached before the end: -2, the stored ones kept
    EXPECT_EQ(findRPeak(h, x.data(), int32_t(x.size()), five.data(), 5), -2);
    EXPECT_EQ(five, std::vector<int32_t>(pos.begin(), pos.begin() + 5));
    delBeatDetect(&h);
    const BeatDetectConf kt = {"off", nullptr, 1000, 0, 3, 0, 0};  // no offline detection
    h = newBeatDetect(&kt);
    EXPECT_EQ(findRPeak(h, x.data(), int32_t(x.size()), pos.data(), 64), 0);
    delBeatDetect(&h);
}

}  // namespace

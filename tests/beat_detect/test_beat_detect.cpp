// Beat detector facade: handle head, dispatch by method, debug streams,
// offline detection and the refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "beat_detect/synthetic_ecg.hpp"
#include "support/temp_dir.hpp"
#include "support/log_capture.hpp"
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

// Twenty seconds of a clean rhythm, R peaks every 1000 samples from 500.
std::vector<int16_t> cleanRhythm(size_t n = 20000)
{
    return tessivar::test::toInt16(tessivar::test::beatsAt(1000, n, tessivar::test::regularPeaks(500, 1000, n),
                                                           tessivar::test::normalBeat()));
}

TEST(BeatDetect, HeadDefaultsAndDerivedLengths)
{
    LogCapture log;
    const BeatDetectConf c = {"hr", nullptr, 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->maxHR, 300);
    EXPECT_EQ(h->minHR, 30);
    EXPECT_EQ(h->maxRRLen, 2000);
    EXPECT_EQ(h->minRRLen, 200);
    EXPECT_EQ(h->inFile, nullptr);
    EXPECT_TRUE(log.contains("{beat detect}"));
    EXPECT_EQ(delBeatDetect(&h), 0);
    EXPECT_EQ(h, nullptr);

    // Given limits: round(250 * 60 / 45) = 333, round(250 * 60 / 180) = 83.
    const BeatDetectConf d = {"x", nullptr, 250, 1, 3, 180, 45};
    h = newBeatDetect(&d);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->maxRRLen, 333);
    EXPECT_EQ(h->minRRLen, 83);
    EXPECT_EQ(h->method, 3);
    EXPECT_EQ(h->mode, 1);
    EXPECT_EQ(delBeatDetect(&h), 0);

    // A 300-character name is cut to 255.
    const std::string longName(300, 'n');
    const BeatDetectConf e = {longName.c_str(), nullptr, 1000, 0, 0, 0, 0};
    h = newBeatDetect(&e);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::string(h->name), std::string(255, 'n'));
    EXPECT_EQ(delBeatDetect(&h), 0);
}

TEST(BeatDetect, NullArgumentsAreRefused)
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
    EXPECT_EQ(noise, 7);  // untouched
    EXPECT_EQ(BT_setMinAdultQRSThr(nullptr, 100, 10), 0);
    int32_t pos[4];
    const int16_t x[4] = {};
    EXPECT_EQ(findRPeak(nullptr, x, 4, pos, 4), -1);
    EXPECT_EQ(log.count("Input parameter exception."), 8);

    const BeatDetectConf c = {"hr", nullptr, 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(findRPeak(h, nullptr, 4, pos, 4), -1);
    EXPECT_EQ(findRPeak(h, x, 4, nullptr, 4), -1);
    EXPECT_EQ(findRPeak(h, x, 0, pos, 4), -1);
    EXPECT_EQ(findRPeak(h, x, 4, pos, 0), -1);
    // A configuration the limited-resource detector cannot hold.
    const BeatDetectConf fast = {"hr", nullptr, 2000, 0, 0, 0, 0};
    EXPECT_EQ(newBeatDetect(&fast), nullptr);
    delBeatDetect(&h);
    set_real_time_count(5);
    set_save_flag(1);
}

TEST(BeatDetect, MethodsDispatchAndTheirNoBeatResults)
{
    // Every method finds the rhythm; the no-beat answers are 0 for methods
    // 0 and 2 and -1 for 1 and kt.
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
            if (r > 0)
                ++beats;
            else if (r != (method == 0 || method == 2 ? 0 : -1))
                ++others;
        }
        EXPECT_EQ(others, 0) << method;
        EXPECT_GE(beats, 10) << method;
        // The thresholds reach only a method-0 detector.
        EXPECT_EQ(BT_setMinAdultQRSThr(h, 10, 10), 0);
        EXPECT_EQ(delBeatDetect(&h), 0);
    }
}

TEST(BeatDetect, EveryMethodRefusesAHandleOfAnother)
{
    // Each method's state is laid out differently: its own entry points
    // refuse a null handle or one made for another method (-1 and an error
    // line) and never read it as their own.
    struct Family {
        int32_t method;
        int (*destroy)(BeatDetect **);
        int (*init)(BeatDetect *);
        int (*setMode)(BeatDetect *, int32_t);
        int32_t (*detect)(BeatDetect *, int32_t);
    };
    const Family families[] = {
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
            const bool same = other == f.method || (f.method == 3 && other == -7);
            if (same) continue;
            const BeatDetectConf c = {"other", nullptr, 1000, 0, other, 0, 0};
            BeatDetect *h = newBeatDetect(&c);
            ASSERT_NE(h, nullptr) << other;
            log.clear();
            EXPECT_EQ(f.init(h), -1) << f.method << " given " << other;
            EXPECT_EQ(f.setMode(h, 1), -1) << f.method << " given " << other;
            EXPECT_EQ(f.detect(h, 100), -1) << f.method << " given " << other;
            EXPECT_EQ(f.destroy(&h), -1) << f.method << " given " << other;
            EXPECT_EQ(log.count("[E]"), 4) << f.method << " given " << other;
            ASSERT_NE(h, nullptr);
            if (f.method == 0) {
                EXPECT_EQ(EP_setMinAdultQRSThr(h, 1, 1), -1) << other;
            }
            EXPECT_EQ(delBeatDetect(&h), 0);
        }
    }
}

TEST(BeatDetect, DebugStreamsInTheDataPath)
{
    TempDir dir;
    const BeatDetectConf c = {"hr", dir.path().c_str(), 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::string(h->dataPath), dir.path());
    initBeatDetect(h);
    const std::vector<int16_t> x = cleanRhythm(12000);
    std::vector<int32_t> results;
    uint8_t noise = 0;
    for (int16_t v : x) {
        const int32_t r = realtimeDetectBeat(h, v, &noise);
        if (r > 0) results.push_back(r);
    }
    ASSERT_FALSE(results.empty());
    // One input line per sample, one output line per beat.
    const std::vector<std::string> in = lines(dir.file("in.csv"));
    ASSERT_EQ(in.size(), x.size());
    EXPECT_EQ(in[500], std::to_string(x[500]));
    const std::vector<std::string> out = lines(dir.file("out.csv"));
    ASSERT_EQ(out.size(), results.size());
    for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], std::to_string(results[i]));
    // The detector's own streams: a header, the zero sample its restart
    // runs through, and one line per sample.
    const std::vector<std::string> r = lines(dir.file("r_detect.csv"));
    ASSERT_EQ(r.size(), x.size() + 2);
    EXPECT_EQ(r[0], "datum,fdatum,aPeak,newPeak,qpkcnt,det_thresh,rsetCount,qmean,nmean");
    EXPECT_GE(lines(dir.file("peak_ind.csv")).size(), x.size());
    for (const char *empty : {"qrs_onset.csv", "qrs_offset.csv", "valley_ind.csv"}) {
        EXPECT_TRUE(fs::exists(dir.file(empty)));
        EXPECT_EQ(fs::file_size(dir.file(empty)), 0u);
    }
    // A restart truncates the facade's streams.
    initBeatDetect(h);
    realtimeDetectBeat(h, 5, &noise);
    EXPECT_EQ(lines(dir.file("in.csv")), std::vector<std::string>{"5"});
    EXPECT_TRUE(lines(dir.file("out.csv")).empty());
    EXPECT_EQ(delBeatDetect(&h), 0);
}

TEST(BeatDetect, EmptyDataPathMeansTheCurrentFolder)
{
    TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    const BeatDetectConf c = {"hr", "", 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(h->dataPath, ".");
    uint8_t noise = 0;
    realtimeDetectBeat(h, 1, &noise);
    EXPECT_EQ(delBeatDetect(&h), 0);
    fs::current_path(before);
    EXPECT_EQ(lines(dir.file("in.csv")), std::vector<std::string>{"1"});
    EXPECT_TRUE(fs::exists(dir.file("out.csv")));
    EXPECT_TRUE(fs::exists(dir.file("r_detect.csv")));
}

TEST(BeatDetect, FindRPeakOverAWholeArray)
{
    const BeatDetectConf c = {"off", nullptr, 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    ASSERT_NE(h, nullptr);
    // Beats from the ninth second on (learning comes first), including the
    // last one at 19500, confirmed by the 3 * fs repeats of the last sample.
    const std::vector<int16_t> x = cleanRhythm(20000);
    std::vector<int32_t> pos(64, -1);
    const int32_t n = findRPeak(h, x.data(), int32_t(x.size()), pos.data(), int32_t(pos.size()));
    ASSERT_EQ(n, 12);
    for (int32_t i = 0; i < n; ++i) EXPECT_NEAR(pos[size_t(i)], 8500 + 1000 * i, 20) << i;
    // A second call starts again from a clean state: the same beats.
    std::vector<int32_t> again(64, -1);
    EXPECT_EQ(findRPeak(h, x.data(), int32_t(x.size()), again.data(), int32_t(again.size())), 12);
    EXPECT_EQ(std::vector<int32_t>(again.begin(), again.begin() + 12), std::vector<int32_t>(pos.begin(), pos.begin() + 12));
    // Capacity exactly the number found before the end: full, -2, and the
    // stored positions stay.
    std::vector<int32_t> five(5, -1);
    EXPECT_EQ(findRPeak(h, x.data(), int32_t(x.size()), five.data(), 5), -2);
    EXPECT_EQ(five, std::vector<int32_t>(pos.begin(), pos.begin() + 5));
    // Nothing to find.
    const std::vector<int16_t> flat(20000, 0);
    EXPECT_EQ(findRPeak(h, flat.data(), int32_t(flat.size()), pos.data(), 64), 0);
    EXPECT_EQ(delBeatDetect(&h), 0);
    // The Orin detector runs in real time over the array too.
    const BeatDetectConf orin = {"off", nullptr, 1000, 0, 2, 0, 0};
    h = newBeatDetect(&orin);
    EXPECT_GT(findRPeak(h, x.data(), int32_t(x.size()), pos.data(), 64), 0);
    EXPECT_EQ(delBeatDetect(&h), 0);

    // The kt detector has no offline detection: it finds nothing.
    const BeatDetectConf kt = {"off", nullptr, 1000, 0, 3, 0, 0};
    h = newBeatDetect(&kt);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(findRPeak(h, x.data(), int32_t(x.size()), pos.data(), 64), 0);
    EXPECT_EQ(delBeatDetect(&h), 0);
}

TEST(BeatDetect, FindRPeakWritesItsArraysOnlyWithADataPath)
{
    TempDir dir;
    const BeatDetectConf c = {"off", dir.path().c_str(), 1000, 0, 0, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    ASSERT_NE(h, nullptr);
    const std::vector<int16_t> flat(12000, 0);
    int32_t pos[8];
    EXPECT_EQ(findRPeak(h, flat.data(), int32_t(flat.size()), pos, 8), 0);
    // The facade's streams were restarted by the implicit init and the
    // offline run feeds the detector directly, past them.
    EXPECT_TRUE(lines(dir.file("in.csv")).empty());
    // The arrays: the samples (count line first), and no beats: an empty file.
    const std::vector<std::string> in = lines(dir.file("rdetect_in.csv"));
    ASSERT_EQ(in.size(), flat.size() + 1);
    EXPECT_EQ(in[0], "12000");
    EXPECT_EQ(in[1], "0");
    EXPECT_TRUE(fs::exists(dir.file("rdetect_out.csv")));
    EXPECT_EQ(fs::file_size(dir.file("rdetect_out.csv")), 0u);
    EXPECT_EQ(delBeatDetect(&h), 0);
}

}  // namespace

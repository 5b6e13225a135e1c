// Orin detector (method 2): fixed-point helpers, detection at its 200 Hz
// design rate, restarts, and the one state shared by every handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "beat_detect/orin.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "tessivar/beat_detect.h"

namespace {

namespace orin = tessivar::orin;
using namespace tessivar::test;

BeatDetect *newOrin()
{
    const BeatDetectConf c = {"orin", nullptr, 200, 0, 2, 0, 0};
    return newBeatDetect(&c);
}

// 1 mV beats every 160 samples (75 per minute at 200 Hz) from 100, every fifth at `fifth` mV, while below `until`.
std::vector<int16_t> ecg200(size_t n, size_t until = SIZE_MAX, double fifth = 1000.0)
{
    std::vector<double> x(n, 0.0);
    for (int64_t r = 100, k = 0; r < int64_t(std::min(n, until)); r += 160, ++k)
        for (const Wave &w : normalBeat(k % 5 == 4 ? fifth : 1000.0)) addWave(x, 200, double(r), w);
    return toInt16(x);
}

// Feeds x; the sample indexes of 77 results (every result must be 0 or 77).
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

TEST(Orin, HalvingAndIntegratorSaturation)
{
    // Python: (v >> k) | (0xF800 if k == 5 else 0x8000) for negative v, as int32.
    const int32_t halves[][3] = {{64, 5, 2}, {-64, 5, -2}, {-1, 5, -1}, {-100000, 5, -1077},
                                 {-40000, 5, -1250}, {5, 1, 2}, {-3, 1, -2}, {-70000, 1, -2232}};
    for (const auto &h : halves) EXPECT_EQ(orin::halve(h[0], h[1]), h[2]) << h[0] << " >> " << h[1];
    // Entry 1023 above 1023, else x >> 2; output: the sum of 16 entries >> 2.
    for (const auto &c : {std::pair{4000, 1023}, {1000, 250}, {1023, 255}, {1024, 1023}}) {
        orin::mvwint(0, true);
        EXPECT_EQ(orin::mvwint(c.first, false), c.second >> 2) << c.first;
        for (int i = 1; i < 15; ++i) orin::mvwint(c.first, false);
        EXPECT_EQ(orin::mvwint(c.first, false), 16 * c.second >> 2) << c.first;
    }
}

TEST(Orin, RegularRhythmIsReportedAs77OneIntervalApart)
{
    BeatDetect *d = newOrin();
    const std::vector<int64_t> beats = feed(d, ecg200(200 * 60));
    EXPECT_EQ(orin::learnedSeconds(), 8);
    EXPECT_GE(beats.size(), size_t((200 * 60 - 1600) / 160 - 1));  // every beat after 8 x 200 learning samples
    for (size_t k = 1; k < beats.size(); ++k) EXPECT_EQ(beats[k] - beats[k - 1], 160) << k;
    delBeatDetect(&d);
}

TEST(Orin, OutOfRangeSampleAndLongSilenceRestartLearning)
{
    for (const int16_t bad : {int16_t(5001), int16_t(-5001)}) {
        BeatDetect *d = newOrin();
        feed(d, ecg200(3000));
        ASSERT_EQ(orin::learnedSeconds(), 8);
        EXPECT_EQ(realtimeDetectBeat(d, int16_t(bad > 0 ? 5000 : -5000), nullptr), 0);
        EXPECT_EQ(orin::learnedSeconds(), 8) << "the limit itself is in range";
        EXPECT_EQ(realtimeDetectBeat(d, bad, nullptr), 0);
        EXPECT_EQ(orin::learnedSeconds(), 0) << bad;
        delBeatDetect(&d);
    }
    BeatDetect *d = newOrin();  // the 2400th sample without a 77 restarts it, the 2399th does not
    const std::vector<int64_t> beats = feed(d, ecg200(4000, 3000));
    ASSERT_FALSE(beats.empty());
    feed(d, std::vector<int16_t>(size_t(beats.back() + 2399 - 3999), 0));
    EXPECT_EQ(orin::learnedSeconds(), 8);
    realtimeDetectBeat(d, 0, nullptr);
    EXPECT_EQ(orin::learnedSeconds(), 0);
    delBeatDetect(&d);
}

TEST(Orin, EveryHandleDrivesTheOneStateAndSearchBackIsNotReported)
{
    BeatDetect *a = newOrin();
    feed(a, ecg200(2000));
    ASSERT_EQ(orin::learnedSeconds(), 8);
    BeatDetect *b = newOrin();  // a second handle restarts the shared state, so does init of either
    EXPECT_EQ(orin::learnedSeconds(), 0);
    feed(b, ecg200(2000));
    EXPECT_EQ(initBeatDetect(a), 0);
    EXPECT_EQ(orin::learnedSeconds(), 0);
    // Every fifth beat at 30 %: the detector proper finds some by search-back (results other than 0 and 77);
    // the facade (feed) only answers 0 or 77.
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

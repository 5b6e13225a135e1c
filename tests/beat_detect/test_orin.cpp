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

// Beats every 160 samples (75 per minute at 200 Hz) from 100, while below `until`.
std::vector<int16_t> ecg200(size_t n, size_t until = SIZE_MAX)
{
    return toInt16(beatsAt(200, n, regularPeaks(100, 160, std::min(n, until)), normalBeat()));
}

TEST(Orin, HalvingAndIntegratorSaturation)
{
    // Python: (v >> k) | (0xF800 if k == 5 else 0x8000) for negative v, as int32.
    const int32_t halves[][3] = {{64, 5, 2}, {-64, 5, -2}, {-1, 5, -1}, {-100000, 5, -1077},
                                 {-40000, 5, -1250}, {5, 1, 2}, {-3, 1, -2}, {-70000, 1, -2232}};
    for (const auto &h : halves) EXPECT_EQ(orin::halve(h[0], h[1]), h[2]) << h[0] << " >> " << h[1];
    // Entry min(1023, x >> 2 or 1023 above 1023); output sum of 16 entries >> 2.
    const int32_t ints[][3] = {{4000, 1023 >> 2, 16 * 1023 >> 2}, {1000, 250 >> 2, 16 * 250 >> 2},
                               {1023, 255 >> 2, 16 * 255 >> 2}, {1024, 1023 >> 2, 16 * 1023 >> 2}};
    for (const auto &c : ints) {
        orin::mvwint(0, true);
        EXPECT_EQ(orin::mvwint(c[0], false), c[1]) << c[0];
        int32_t y = 0;
        for (int i = 1; i < 16; ++i) y = orin::mvwint(c[0], false);
        EXPECT_EQ(y, c[2]) << c[0];
    }
}

TEST(Orin, RegularRhythmIsReportedAs77OneIntervalApart)
{
    BeatDetect *d = newOrin();
    const std::vector<int16_t> x = ecg200(200 * 60);
    std::vector<int64_t> beats;
    for (size_t i = 0; i < x.size(); ++i) {
        const int32_t r = realtimeDetectBeat(d, x[i], nullptr);
        ASSERT_TRUE(r == 0 || r == 77) << r;
        if (r == 77) beats.push_back(int64_t(i));
    }
    EXPECT_EQ(orin::learnedSeconds(), 8);
    EXPECT_GE(beats.size(), size_t((200 * 60 - 1600) / 160 - 1));  // every beat after 8 x 200 learning samples
    for (size_t k = 1; k < beats.size(); ++k) EXPECT_EQ(beats[k] - beats[k - 1], 160) << k;
    delBeatDetect(&d);
}

TEST(Orin, OutOfRangeSampleAndLongSilenceRestartLearning)
{
    for (const int16_t bad : {int16_t(5001), int16_t(-5001)}) {
        BeatDetect *d = newOrin();
        for (int16_t v : ecg200(3000)) realtimeDetectBeat(d, v, nullptr);
        ASSERT_EQ(orin::learnedSeconds(), 8);
        EXPECT_EQ(realtimeDetectBeat(d, int16_t(bad > 0 ? 5000 : -5000), nullptr), 0);
        EXPECT_EQ(orin::learnedSeconds(), 8) << "the limit itself is in range";
        EXPECT_EQ(realtimeDetectBeat(d, bad, nullptr), 0);
        EXPECT_EQ(orin::learnedSeconds(), 0) << bad;
        delBeatDetect(&d);
    }
    // The 2400th sample without a 77 restarts it, the 2399th does not.
    BeatDetect *d = newOrin();
    const std::vector<int16_t> x = ecg200(4000, 3000);
    int64_t last = -1, i = 0;
    for (; i < int64_t(x.size()); ++i)
        if (realtimeDetectBeat(d, x[size_t(i)], nullptr) == 77) last = i;
    ASSERT_GT(last, 0);
    for (; i < last + 2400; ++i) ASSERT_EQ(realtimeDetectBeat(d, 0, nullptr), 0);
    EXPECT_EQ(orin::learnedSeconds(), 8);
    realtimeDetectBeat(d, 0, nullptr);
    EXPECT_EQ(orin::learnedSeconds(), 0);
    delBeatDetect(&d);
}

TEST(Orin, EveryHandleDrivesTheOneStateAndSearchBackIsNotReported)
{
    BeatDetect *a = newOrin();
    for (int16_t v : ecg200(2000)) realtimeDetectBeat(a, v, nullptr);
    ASSERT_EQ(orin::learnedSeconds(), 8);
    BeatDetect *b = newOrin();  // a second handle restarts the shared state
    EXPECT_EQ(orin::learnedSeconds(), 0);
    for (int16_t v : ecg200(2000)) realtimeDetectBeat(b, v, nullptr);
    EXPECT_EQ(initBeatDetect(a), 0);
    EXPECT_EQ(orin::learnedSeconds(), 0);
    // Every fifth beat at 30 %: the detector proper finds some by search-back
    // (results other than 0 and 77); the facade only answers 0 or 77.
    const size_t n = 200 * 60;
    std::vector<double> xd(n, 0.0);
    for (int64_t r = 100, k = 0; r < int64_t(n); r += 160, ++k)
        for (const Wave &w : normalBeat(k % 5 == 4 ? 300 : 1000)) addWave(xd, 200, double(r), w);
    const std::vector<int16_t> x = toInt16(xd);
    orin::picQrsDet(0, true);
    int searchBack = 0;
    for (int16_t v : x) {
        const int32_t r = orin::picQrsDet(v, false);
        searchBack += r != 0 && r != 77;
    }
    EXPECT_GT(searchBack, 0);
    for (int16_t v : x) {
        const int32_t r = realtimeDetectBeat(b, v, nullptr);
        ASSERT_TRUE(r == 0 || r == 77) << r;
    }
    delBeatDetect(&a);
    delBeatDetect(&b);
}

}  // namespace

// Respiration-rate estimator on hand-built band and rate rings: band window,
// spectral peak search (numpy: tests/data/resp/resp_rate_reference.txt from
// tools/resp_rate_reference.py), the three readings, heart-rate rejection and
// the heart-noise flag, and the display smoothing with defaults, jitter and
// history pruning. A bin k is k * 600 / 1024 per minute.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include "resp/resp.hpp"
#include "tessivar/resp.h"

namespace {

using namespace tessivar;
using Signal = std::function<double(int64_t)>;
std::vector<int> g_noise;
constexpr double kBin = 600.0 / 1024.0;

double breath18(int64_t s) { return 100.0 * std::sin(2 * M_PI * 0.3 * double(s) / 10.0); }
double bin60(int64_t s) { return 100.0 * std::sin(2 * M_PI * 60.0 / 1024.0 * double(s)); }
double period60(int64_t s) { return 100.0 * std::sin(2 * M_PI * double(s) / 60.0); }
// period60 with the breath at window samples 480 .. 509 scaled.
Signal middleBreath(double scale) { return [scale](int64_t s) { return period60(s) * (s >= 480 && s < 510 ? scale : 1.0); }; }

class RespRate : public ::testing::Test {
protected:
    void SetUp() override
    {
        RespConf conf{"resp", nullptr, 1000, nullptr, nullptr, [](int f) { return g_noise.push_back(f), 0; }};
        ASSERT_EQ(newResp(&conf), 0);
        g_noise.clear();
        s_respCalc.randTime = 9;  // its value at start
    }
    void TearDown() override { delResp(); }
    static void fill(double *ring, int64_t *count, int64_t n, const Signal &f)
    {
        for (int64_t s = 0; s < n; ++s) ring[s % kRespRingLen] = f(s);
        *count = n;
    }
    static void band(int64_t n, const Signal &f) { fill(s_resp.bandRing, &s_resp.bandCount, n, f); }
    static void rate(int64_t n, const Signal &f) { fill(s_resp.rateRing, &s_resp.rateCount, n, f); }
    static void history(std::initializer_list<float> h)
    {
        std::memset(s_resp.rateHistory, 0, sizeof s_resp.rateHistory);
        std::copy(h.begin(), h.end(), s_resp.rateHistory);
    }
    static int smooth(double r, int32_t n = 3, std::vector<int32_t> P = {100, 110, 120}) { return _respDisplayValueCal(&s_resp, P.data(), r, n); }
};

TEST_F(RespRate, BandWindowAndPeakSearch)
{
    // Up to 127 samples: all; up to 217: all but the first 90; then the newest 128.
    const struct {
        int64_t count;
        double first, last;
        int length;
    } windows[] = {{100, 1, 100, 100}, {150, 91, 150, 60}, {1500, 1373, 1500, 128}};
    for (const auto &w : windows) {
        band(w.count, [](int64_t s) { return double(s + 1); });
        canPeakFind(&s_resp);
        EXPECT_EQ(s_resp.bandWindow[0], w.first) << w.count;
        EXPECT_EQ(s_resp.bandWindow[w.length - 1], w.last) << w.count;
        EXPECT_EQ(s_resp.bandWindow[w.length], 0.0) << w.count;
    }
    band(300, breath18);  // numpy A: 32 peaks, bins 31, 20, 42, amp0/amp1 4.241140
    EXPECT_EQ(canPeakFind(&s_resp), 32);
    EXPECT_EQ(std::vector<int>(s_respCalc.P, s_respCalc.P + 3), (std::vector<int>{31, 20, 42}));
    EXPECT_NEAR(s_respCalc.amp[0] / s_respCalc.amp[1], 4.241140, 1e-6);
    band(300, bin60);  // numpy B: 31 peaks, bins 60, 48, 71
    EXPECT_EQ(canPeakFind(&s_resp), 31);
    EXPECT_EQ(std::vector<int>(s_respCalc.P, s_respCalc.P + 3), (std::vector<int>{60, 48, 71}));
    double x[1024] = {};  // two impulses 512 apart: |X| 2 on even bins, 0 on odd
    x[0] = x[512] = 1.0;
    int32_t list[kRespMaxPeaks];
    ASSERT_EQ(_canFrePeakValue(&s_resp, x, list), 128);  // every even bin 4 .. 258
    EXPECT_EQ(*std::min_element(list, list + 128), 4);
    EXPECT_EQ(*std::max_element(list, list + 128), 258);
}

TEST_F(RespRate, RateAndShortWindowReadings)
{
    rate(300, breath18);  // A: bin 31 more than twice the next
    EXPECT_DOUBLE_EQ(_calNorRR(&s_resp), 31 * kBin);
    // numpy C: bins 32 and 38 lead by 1.02: only a bin within 1 of the held rate.
    rate(300, [](int64_t s) { return breath18(s) + 100.0 * std::sin(2 * M_PI * 40.0 / 1024.0 * double(s)); });
    for (const auto &[held, expected] : std::vector<std::pair<int, double>>{{0, 0.0}, {19, 32 * kBin}, {22, 38 * kBin}}) {
        s_resp.curRate = held;
        EXPECT_DOUBLE_EQ(_calNorRR(&s_resp), expected) << held;
    }
    rate(300, [](int64_t) { return 0.0; });  // fewer than three peaks
    EXPECT_EQ(_calNorRR(&s_resp), 0.0);
    // numpy B: the short window peaks at 60 too, 4.57 times its next.
    band(300, bin60);
    canPeakFind(&s_resp);
    for (int p0 : {59, 60, 61}) EXPECT_DOUBLE_EQ(_calFreDomainRR(&s_resp, p0), 60 * kBin) << p0;
    EXPECT_EQ(_calFreDomainRR(&s_resp, 62), 0.0);
    rate(300, bin60);
    calcResp(&s_resp);  // a strongest bin of 53 or more: short window
    EXPECT_FLOAT_EQ(s_resp.rateHistory[0], float(60 * kBin));
}

TEST_F(RespRate, TimeDomainReadingCountsBreaths)
{
    // Ten per minute, bin 17: window 4096 / 17 = 240; peaks 15, 75, 135, 195 and
    // troughs 45, 105, 165, 225; the first peak has no trough before it:
    // three breaths, 600 * 2 / 120 = 10.
    const struct {
        const char *why;
        int64_t n;
        Signal x;
        int bin;
        double expected;
        int spectralBin;  // Q[0] after the call, -1 when no spectral check ran
    } cases[] = {
        {"regular", 600, period60, 17, 10.0, -1},
        {"80 %: 180 / 200 = 0.9 is not above 0.9, spectrum agrees (numpy D)", 600, middleBreath(0.8), 17, 10.0, 17},
        {"85 %: regular", 600, middleBreath(0.85), 17, 10.0, -1},
        {"50 %: peak regularity 0.5", 600, middleBreath(0.5), 17, 0.0, 17},
        {"bin 5: 819 samples, 13 breaths > 10", 1024, period60, 5, 0.0, -1},
        {"within +-20", 600, [](int64_t s) { return period60(s) / 10.0; }, 17, 0.0, -1},
    };
    for (const auto &k : cases) {
        rate(k.n, k.x);
        s_respCalc.Q[0] = -1;
        EXPECT_DOUBLE_EQ(calTimeDomainRR(&s_resp, k.bin), k.expected) << k.why;
        EXPECT_EQ(s_respCalc.Q[0], k.spectralBin) << k.why;
    }
    rate(600, period60);
    band(300, period60);  // numpy E: band peak 17 goes to the time domain
    calcResp(&s_resp);
    EXPECT_EQ(s_respCalc.P[0], 17);
    EXPECT_FLOAT_EQ(s_resp.rateHistory[0], 10.0f);
}

TEST_F(RespRate, HeartRateRejectionAndNoiseFlag)
{
    band(300, breath18);
    rate(300, breath18);
    s_resp.curRate = 12;
    // The reading 18.16 lies within 2 of 17, 18, 20 (rejected), not of 16, 21 or 0 (none).
    for (const auto &[hr, kept] : std::vector<std::pair<int, bool>>{{18, 0}, {20, 0}, {17, 0}, {21, 1}, {16, 1}, {0, 1}}) {
        history({});
        onHrChangedResp(hr);
        calcResp(&s_resp);
        EXPECT_FLOAT_EQ(s_resp.rateHistory[0], kept ? float(31 * kBin) : 0.0f) << hr;
    }
    g_noise.clear();
    calcResp(&s_resp);  // no heart rate: each of the three strongest peaks lowers the flag
    EXPECT_EQ(g_noise, (std::vector<int>{0, 0, 0}));
    // hr 72: bin 122, tolerance 22: three hits raise the flag once, a miss lowers it.
    onHrChangedResp(72);
    g_noise.clear();
    for (int p : {100, 144, 122, 130}) _heartNoise(&s_resp, 122, p);
    EXPECT_EQ(s_resp.heartNoiseCount, 3);  // held at 3
    _heartNoise(&s_resp, 122, 99);
    EXPECT_EQ(g_noise, (std::vector<int>{1, 0}));
    EXPECT_EQ(s_resp.heartNoiseCount, 0);
    const int32_t tolerance[][2] = {{15, 1},  {16, 6},  {30, 6},  {31, 10}, {40, 10}, {41, 14}, {50, 14}, {51, 16},
                                    {60, 16}, {61, 18}, {70, 18}, {71, 22}, {90, 22}, {91, 26}, {300, 26}, {-5, 1}};
    for (const auto &[hr, t] : tolerance) {
        s_resp.hr = hr;
        s_resp.heartNoiseCount = 0;
        _heartNoise(&s_resp, 100, 100 + t);
        _heartNoise(&s_resp, 100, 100 - t);
        EXPECT_EQ(s_resp.heartNoiseCount, 2) << hr;
        _heartNoise(&s_resp, 100, 100 + t + 1);
        EXPECT_EQ(s_resp.heartNoiseCount, 0) << hr;
    }
}

TEST_F(RespRate, SmoothingBranches)
{
    band(300, breath18);
    rate(300, breath18);
    // After a reset one reading (18.16) is not shown; three within 1.5 are: 18.
    EXPECT_EQ(calcResp(&s_resp), 0);
    EXPECT_EQ(calcResp(&s_resp), 0);
    EXPECT_EQ(calcResp(&s_resp), 18);
    EXPECT_EQ(s_resp.curRate, 18);
    const struct {
        const char *why;
        std::initializer_list<float> h;
        int held, hold;
        double r;
        int out;
    } cases[] = {
        {"spread exactly 1.5: mean 18.5 rounds up", {19.5f, 18.0f}, 0, 0, 18.0, 19},
        {"rate 11 uses 3: 10.33", {10, 10, 10, 10, 14, 10, 10, 10, 10, 10}, 0, 0, 11.0, 10},
        {"rate 10 uses 6, with the 14: held", {10, 10, 10, 10, 14, 10, 10, 10, 10, 10}, 9, 0, 10.0, 9},
        {"rate 32 uses 5: spread 8, mean of 5 entries 33.6", {32, 32, 32, 40}, 0, 0, 32.0, 34},
        {"rate 31 uses 3: 31.67", {32, 32, 32, 40}, 0, 0, 31.0, 32},
        {"fewer than ten entries: 20, 15, 17", {15, 17}, 0, 0, 20.0, 17},
        {"held unusual rate gives way after 20", {8, 8, 8, 8, 8, 8, 8, 8, 8, 8}, 8, 20, 20.0, 20},
        {"not after 19: trimmed (20 + 72 - 28) / 8 = 8", {8, 8, 8, 8, 8, 8, 8, 8, 8, 8}, 8, 19, 20.0, 8},
        {"trimmed (175 - 31) / 8 = 18 within 2 of 17", {16, 18, 19, 17, 18, 18, 21, 10, 18, 99}, 17, 0, 20.0, 18},
        {"18 not within 2 of 15", {16, 18, 19, 17, 18, 18, 21, 10, 18, 99}, 15, 0, 20.0, 15},
    };
    for (const auto &k : cases) {
        history(k.h);
        s_resp.curRate = k.held;
        s_resp.rateHoldCount = k.hold;
        EXPECT_EQ(smooth(k.r), k.out) << k.why;
        EXPECT_EQ(s_resp.curRate, k.out) << k.why;
        EXPECT_EQ(s_resp.rateHoldCount, 0) << k.why;
        EXPECT_TRUE(k.hold != 20 || s_resp.rateHistory[1] == 0.0f) << "giving way clears the older entries";
    }
}

TEST_F(RespRate, DefaultFirstRateByPatientType)
{
    // Peaks 100, 110, 120 (58.6, 64.5, 70.3 per minute) are far from every default.
    for (const auto &[type, expected] : std::vector<std::pair<int, int>>{{0, 19}, {1, 21}, {2, 25}}) {
        initResp();  // back to adult
        ASSERT_EQ(onPatientType(type), 0);
        s_resp.bandCount = 190;
        EXPECT_EQ(smooth(0.0), expected) << type;
        EXPECT_EQ(s_resp.curRate, 0);  // shown, not held
        EXPECT_EQ(s_resp.rateHoldCount, 1);
        s_resp.bandCount = 189;
        EXPECT_EQ(smooth(0.0), 0) << type;
    }
    EXPECT_EQ(smooth(0.0, 3, {40, 45, 50}), 26);  // within 5 of 25: bin 45 (26.37) nearer than 40 (23.44)
    EXPECT_EQ(s_resp.curRate, 26);
    s_resp.curRate = 0;
    s_resp.bandCount = 500;
    EXPECT_EQ(smooth(0.0, 2), 0);  // fewer than three peaks
}

TEST_F(RespRate, HeldRateJittersAndHistoryIsPruned)
{
    std::srand(7);
    s_resp.curRate = 18;
    std::set<int32_t> shown, periods;
    int firstJitter = -1;
    for (int call = 0; call < 3000; ++call) {
        const bool due = s_resp.rateHoldCount > 0 && s_resp.rateHoldCount % s_respCalc.randTime == 0;
        const int out = smooth(0.0, 0);
        if (due && firstJitter < 0) firstJitter = call;
        if (due) {
            shown.insert(out);
            periods.insert(s_respCalc.randTime);
        }
        ASSERT_TRUE(due || out == 0) << call;
        ASSERT_EQ(s_resp.curRate, 18);
    }
    EXPECT_EQ(firstJitter, 9);
    EXPECT_EQ(shown, (std::set<int32_t>{17, 18, 19}));
    EXPECT_EQ(periods, (std::set<int32_t>{7, 8, 9, 10, 11}));
    // Every 20 computations, entries outside 9 .. 32 are dropped.
    history({18, 40, 18, 5, 18, 0, 0, 0, 0, 33});
    s_resp.rateHoldCount = 18;
    smooth(0.0, 0);
    EXPECT_EQ(s_resp.rateHistory[1], 40.0f);
    smooth(0.0, 0);
    EXPECT_EQ(std::vector<float>(s_resp.rateHistory, s_resp.rateHistory + 10),
              (std::vector<float>{18, 18, 18, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace

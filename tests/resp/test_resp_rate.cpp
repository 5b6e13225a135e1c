// Respiration-rate estimator on hand-built band and rate rings: the band
// window, the spectral peak search (against numpy, see
// tests/data/resp/resp_rate_reference.txt from tools/resp_rate_reference.py),
// the three readings, the heart-rate rejection and heart-noise flag, and the
// display smoothing with its defaults, hold jitter and history pruning.
#include <gtest/gtest.h>

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

std::vector<int> g_noise;
int onNoise(int flag)
{
    g_noise.push_back(flag);
    return 0;
}

constexpr double kBin = 600.0 / 1024.0;

class RespRate : public ::testing::Test {
protected:
    void SetUp() override
    {
        RespConf conf{"resp", nullptr, 1000, nullptr, nullptr, onNoise};
        ASSERT_EQ(newResp(&conf), 0);
        g_noise.clear();
        s_respCalc.randTime = 9;
    }
    void TearDown() override { delResp(); }

    static void fill(double *ring, int64_t *count, int64_t n, const std::function<double(int64_t)> &f)
    {
        for (int64_t s = 0; s < n; ++s) ring[s % kRespRingLen] = f(s);
        *count = n;
    }
    using Signal = std::function<double(int64_t)>;
    static void band(int64_t n, const Signal &f) { fill(s_resp.bandRing, &s_resp.bandCount, n, f); }
    static void rate(int64_t n, const Signal &f) { fill(s_resp.rateRing, &s_resp.rateCount, n, f); }
    static double breath18(int64_t s) { return 100.0 * std::sin(2 * M_PI * 0.3 * double(s) / 10.0); }
    static double bin60(int64_t s) { return 100.0 * std::sin(2 * M_PI * 60.0 / 1024.0 * double(s)); }
    static double period60(int64_t s) { return 100.0 * std::sin(2 * M_PI * double(s) / 60.0); }
    static void history(std::initializer_list<float> h)
    {
        std::memset(s_resp.rateHistory, 0, sizeof s_resp.rateHistory);
        std::copy(h.begin(), h.end(), s_resp.rateHistory);
    }
};

TEST_F(RespRate, BandWindowTakesTheNewestSamples)
{
    RespState &st = s_resp;
    // Up to 127 samples: all of them; up to 217: all but the first 90;
    // then the newest 128 (through the ring's wrap).
    const auto values = [](int64_t s) { return double(s + 1); };
    band(100, values);
    canPeakFind(&st);
    EXPECT_EQ(st.bandWindow[0], 1.0);
    EXPECT_EQ(st.bandWindow[99], 100.0);
    EXPECT_EQ(st.bandWindow[100], 0.0);
    band(150, values);
    canPeakFind(&st);
    EXPECT_EQ(st.bandWindow[0], 91.0);
    EXPECT_EQ(st.bandWindow[59], 150.0);
    EXPECT_EQ(st.bandWindow[60], 0.0);
    band(1500, values);
    canPeakFind(&st);
    EXPECT_EQ(st.bandWindow[0], 1373.0);
    EXPECT_EQ(st.bandWindow[127], 1500.0);
    EXPECT_EQ(st.bandWindow[128], 0.0);
    EXPECT_EQ(st.specLen, 1024);
}

TEST_F(RespRate, PeakSearchMatchesNumpy)
{
    band(300, breath18);
    EXPECT_EQ(canPeakFind(&s_resp), 32);  // A
    EXPECT_EQ(s_respCalc.P[0], 31);
    EXPECT_EQ(s_respCalc.P[1], 20);
    EXPECT_EQ(s_respCalc.P[2], 42);
    EXPECT_NEAR(s_respCalc.amp[0] / s_respCalc.amp[1], 4.241140, 1e-6);
    band(300, bin60);
    EXPECT_EQ(canPeakFind(&s_resp), 31);  // B
    EXPECT_EQ(s_respCalc.P[0], 60);
    EXPECT_EQ(s_respCalc.P[1], 48);
    EXPECT_EQ(s_respCalc.P[2], 71);

    // Two impulses 512 apart: |X| is 2 on even bins and 0 on odd ones, so
    // every even bin from 4 to 258 is a peak, 128 in all.
    double x[1024] = {};
    x[0] = x[512] = 1.0;
    int32_t list[kRespMaxPeaks];
    ASSERT_EQ(_canFrePeakValue(&s_resp, x, list), 128);
    std::set<int32_t> bins(list, list + 128);
    EXPECT_EQ(bins.size(), 128u);
    EXPECT_EQ(*bins.begin(), 4);
    EXPECT_EQ(*bins.rbegin(), 258);
    for (int32_t b : bins) EXPECT_EQ(b % 2, 0);
}

TEST_F(RespRate, RateWindowReading)
{
    // A: one 0.3 Hz breath, its peak (bin 31) more than twice the next.
    rate(300, breath18);
    EXPECT_DOUBLE_EQ(_calNorRR(&s_resp), 31 * kBin);  // 18.1640625
    // C: two equal components, bins 32 and 38 lead by 1.02: only a bin
    // within 1 per minute of the held rate is taken.
    rate(300, [](int64_t s) { return breath18(s) + 100.0 * std::sin(2 * M_PI * 40.0 / 1024.0 * double(s)); });
    s_resp.curRate = 0;
    EXPECT_EQ(_calNorRR(&s_resp), 0.0);
    s_resp.curRate = 19;
    EXPECT_DOUBLE_EQ(_calNorRR(&s_resp), 32 * kBin);  // 18.75
    s_resp.curRate = 22;
    EXPECT_DOUBLE_EQ(_calNorRR(&s_resp), 38 * kBin);  // 22.265625
    // Silence: fewer than three peaks.
    rate(300, [](int64_t) { return 0.0; });
    EXPECT_EQ(_calNorRR(&s_resp), 0.0);
}

TEST_F(RespRate, ShortWindowReadingConfirmsWithinOneBin)
{
    // B: band peak at bin 60 (35 per minute); the short window peaks at 60
    // too, 4.57 times its next peak.
    band(300, bin60);
    canPeakFind(&s_resp);
    EXPECT_DOUBLE_EQ(_calFreDomainRR(&s_resp, 60), 60 * kBin);
    EXPECT_DOUBLE_EQ(_calFreDomainRR(&s_resp, 61), 60 * kBin);
    EXPECT_DOUBLE_EQ(_calFreDomainRR(&s_resp, 59), 60 * kBin);
    EXPECT_EQ(_calFreDomainRR(&s_resp, 62), 0.0);
    // calcResp picks it for a strongest bin of 53 or more: the reading
    // enters the history.
    rate(300, bin60);
    calcResp(&s_resp);
    EXPECT_FLOAT_EQ(s_resp.rateHistory[0], float(60 * kBin));
}

TEST_F(RespRate, TimeDomainReadingCountsBreaths)
{
    // Ten per minute (period 60): for bin 17 the window is 4096 / 17 = 240
    // samples, s = 360 .. 599. Peaks at 15, 75, 135, 195 and troughs at 45,
    // 105, 165, 225 (window positions): the first peak has no trough before
    // it, so three breaths (75/45, 135/105, 195/165): 600 * 2 / 120 = 10.
    rate(600, period60);
    s_respCalc.Q[0] = -1;
    EXPECT_DOUBLE_EQ(calTimeDomainRR(&s_resp, 17), 10.0);
    EXPECT_EQ(s_respCalc.Q[0], -1);  // regular: no spectral check
    EXPECT_EQ(s_respCalc.breathPeak[0], 75);
    EXPECT_EQ(s_respCalc.breathTrough[2], 165);

    // D: the middle breath 80 % high: amplitude regularity 180 / 200 = 0.9
    // is not above 0.9, so the window's spectrum must agree (bin 17, 9.96
    // per minute, 3.4 times the next peak): the mean of the two rates.
    rate(600, [](int64_t s) { return period60(s) * (s >= 480 && s < 510 ? 0.8 : 1.0); });
    EXPECT_DOUBLE_EQ(calTimeDomainRR(&s_resp, 17), 10.0);
    EXPECT_EQ(s_respCalc.Q[0], 17);
    // At 85 % the breaths count as regular (185 / 200 > 0.9, peaks 0.85).
    rate(600, [](int64_t s) { return period60(s) * (s >= 480 && s < 510 ? 0.85 : 1.0); });
    s_respCalc.Q[0] = -1;
    EXPECT_DOUBLE_EQ(calTimeDomainRR(&s_resp, 17), 10.0);
    EXPECT_EQ(s_respCalc.Q[0], -1);
    // At 50 % the peak regularity 0.5 fails both tests.
    rate(600, [](int64_t s) { return period60(s) * (s >= 480 && s < 510 ? 0.5 : 1.0); });
    EXPECT_EQ(calTimeDomainRR(&s_resp, 17), 0.0);
    // Bin 5: 819 samples hold 13 breaths, more than the ten kept: 0.
    rate(1024, period60);
    EXPECT_EQ(calTimeDomainRR(&s_resp, 5), 0.0);
    // Breaths within +-20 do not count.
    rate(600, [](int64_t s) { return period60(s) / 10.0; });
    EXPECT_EQ(calTimeDomainRR(&s_resp, 17), 0.0);
    // Bins outside 5 .. 23 are not read in the time domain.
    rate(600, period60);
    EXPECT_EQ(calTimeDomainRR(&s_resp, 4), 0.0);
    EXPECT_EQ(calTimeDomainRR(&s_resp, 24), 0.0);
    EXPECT_EQ(calTimeDomainRR(&s_resp, 0), 0.0);

    // E: a band peak at bin 17 sends calcResp to the time domain.
    band(300, period60);
    calcResp(&s_resp);
    EXPECT_EQ(s_respCalc.P[0], 17);
    EXPECT_FLOAT_EQ(s_resp.rateHistory[0], 10.0f);
}

TEST_F(RespRate, BreathingAtHeartRateIsRejected)
{
    band(300, breath18);
    rate(300, breath18);
    s_resp.curRate = 12;  // a held rate: a rejected reading is just not shown
    // The reading 18.16 lies within 2 of a heart rate of 17, 18 and 20 ...
    for (int32_t hr : {18, 20, 17}) {
        history({});
        onHrChangedResp(hr);
        EXPECT_EQ(calcResp(&s_resp), 0) << hr;
        EXPECT_EQ(s_resp.rateHistory[0], 0.0f) << hr;
    }
    // ... but not of 16, 21 or 0 (none).
    for (int32_t hr : {21, 16, 0}) {
        history({});
        onHrChangedResp(hr);
        calcResp(&s_resp);
        EXPECT_FLOAT_EQ(s_resp.rateHistory[0], float(31 * kBin)) << hr;
    }
    // Without a heart rate, each of the three strongest peaks lowers the flag.
    g_noise.clear();
    calcResp(&s_resp);
    EXPECT_EQ(g_noise, (std::vector<int>{0, 0, 0}));
}

TEST_F(RespRate, HeartNoiseFlag)
{
    RespState &st = s_resp;
    onHrChangedResp(72);  // bin 122, tolerance 22
    _heartNoise(&st, 122, 100);
    _heartNoise(&st, 122, 144);
    EXPECT_TRUE(g_noise.empty());
    _heartNoise(&st, 122, 122);  // third hit
    EXPECT_EQ(g_noise, (std::vector<int>{1}));
    _heartNoise(&st, 122, 130);
    EXPECT_EQ(st.heartNoiseCount, 3);  // held
    EXPECT_EQ(g_noise, (std::vector<int>{1}));
    _heartNoise(&st, 122, 99);  // miss
    EXPECT_EQ(g_noise, (std::vector<int>{1, 0}));
    EXPECT_EQ(st.heartNoiseCount, 0);
    EXPECT_EQ(st.heartNoiseState, 0);

    // Tolerance by heart rate, at both ends of each band.
    const struct {
        int32_t hr, tolerance;
    } bands[] = {{15, 1}, {16, 6},  {30, 6},  {31, 10}, {40, 10}, {41, 14}, {50, 14}, {51, 16},
                 {60, 16}, {61, 18}, {70, 18}, {71, 22}, {90, 22}, {91, 26}, {300, 26}, {-5, 1}};
    for (const auto &b : bands) {
        st.hr = b.hr;
        st.heartNoiseCount = 0;
        _heartNoise(&st, 100, 100 + b.tolerance);
        _heartNoise(&st, 100, 100 - b.tolerance);
        EXPECT_EQ(st.heartNoiseCount, 2) << b.hr;
        _heartNoise(&st, 100, 100 + b.tolerance + 1);
        EXPECT_EQ(st.heartNoiseCount, 0) << b.hr;
    }
    // A heart rate far beyond any bin does not overflow the bin arithmetic.
    band(300, breath18);
    rate(300, breath18);
    onHrChangedResp(INT32_MAX);
    calcResp(&s_resp);
    EXPECT_EQ(st.heartNoiseCount, 0);
}

TEST_F(RespRate, SmoothingNeedsAgreeingReadings)
{
    band(300, breath18);
    rate(300, breath18);
    // After a reset the first reading (18.16) alone is not shown; three in
    // a row within 1.5 are: round(18.164) = 18.
    EXPECT_EQ(calcResp(&s_resp), 0);
    EXPECT_EQ(calcResp(&s_resp), 0);
    EXPECT_EQ(calcResp(&s_resp), 18);
    EXPECT_EQ(s_resp.curRate, 18);
    EXPECT_EQ(s_resp.rateHoldCount, 0);
}

TEST_F(RespRate, SmoothingBranches)
{
    RespState &st = s_resp;
    const int32_t P[3] = {100, 110, 120};
    auto smooth = [&](double r) { return _respDisplayValueCal(&st, P, r, 3); };
    // Spread of the newest three exactly 1.5: their mean, 18.5, rounds up.
    history({19.5f, 18.0f});
    EXPECT_EQ(smooth(18.0), 19);
    // Rate 11 uses three entries (11, 10, 10 -> 10.33 -> 10); rate 10 uses
    // six, which include the 14: held rate instead.
    history({10, 10, 10, 10, 14, 10, 10, 10, 10, 10});
    EXPECT_EQ(smooth(11.0), 10);
    history({10, 10, 10, 10, 14, 10, 10, 10, 10, 10});
    st.curRate = 9;
    EXPECT_EQ(smooth(10.0), 9);
    // Rate 32 uses five entries: spread 8, the five non-zero entries
    // average 33.6 -> 34; rate 31 uses three: 31.67 -> 32.
    history({32, 32, 32, 40});
    EXPECT_EQ(smooth(32.0), 34);
    history({32, 32, 32, 40});
    EXPECT_EQ(smooth(31.0), 32);
    // Fewer than ten entries, at least k: their mean (20, 15, 17 -> 17).
    history({15, 17});
    EXPECT_EQ(smooth(20.0), 17);
    // A long-held unusual rate (8) gives way to a usual reading at once.
    history({8, 8, 8, 8, 8, 8, 8, 8, 8, 8});
    st.curRate = 8;
    st.rateHoldCount = 20;
    EXPECT_EQ(smooth(20.0), 20);
    EXPECT_EQ(st.rateHistory[1], 0.0f);
    EXPECT_EQ(st.curRate, 20);
    EXPECT_EQ(st.rateHoldCount, 0);
    // Not yet after 19 computations: the trimmed mean (20 + 72 - 20 - 8) / 8
    // = 8 is within 2 of the held 8.
    history({8, 8, 8, 8, 8, 8, 8, 8, 8, 8});
    st.curRate = 8;
    st.rateHoldCount = 19;
    EXPECT_EQ(smooth(20.0), 8);
    // Full history: trimmed mean (175 - 21 - 10) / 8 = 18 against the held
    // rate: 17 is near enough, 15 is not.
    for (int32_t held : {17, 15}) {
        history({16, 18, 19, 17, 18, 18, 21, 10, 18, 99});
        st.curRate = held;
        EXPECT_EQ(smooth(20.0), held == 17 ? 18 : 15);
    }
}

TEST_F(RespRate, DefaultFirstRateByPatientType)
{
    RespState &st = s_resp;
    const int32_t far[3] = {100, 110, 120};  // 58.6, 64.5, 70.3 per minute
    const int32_t expected[3] = {19, 21, 25};
    for (int32_t type = 0; type < 3; ++type) {
        initResp();  // resets the patient type to adult
        ASSERT_EQ(onPatientType(type), 0);
        st.bandCount = 190;
        EXPECT_EQ(_respDisplayValueCal(&st, far, 0.0, 3), expected[type]) << type;
        EXPECT_EQ(st.curRate, 0);  // the default is shown, not held
        EXPECT_EQ(st.rateHoldCount, 1);
        st.bandCount = 189;
        EXPECT_EQ(_respDisplayValueCal(&st, far, 0.0, 3), 0) << type;
    }
    // A band peak within 5 of the default is taken and held: for 25, bin 45
    // (26.37) is nearer than bin 40 (23.44).
    const int32_t near[3] = {40, 45, 50};
    EXPECT_EQ(_respDisplayValueCal(&st, near, 0.0, 3), 26);
    EXPECT_EQ(st.curRate, 26);
    // Fewer than three peaks: no default.
    st.curRate = 0;
    st.bandCount = 500;
    EXPECT_EQ(_respDisplayValueCal(&st, far, 0.0, 2), 0);
}

TEST_F(RespRate, HeldRateJittersByAtMostOne)
{
    RespState &st = s_resp;
    const int32_t P[3] = {31, 20, 42};
    std::srand(7);
    st.curRate = 18;
    std::set<int32_t> shown, periods;
    int32_t firstJitter = -1;
    for (int32_t call = 0; call < 3000; ++call) {
        const int32_t hold = st.rateHoldCount, period = s_respCalc.randTime;
        const int32_t out = _respDisplayValueCal(&st, P, 0.0, 0);
        const bool due = hold > 0 && hold % period == 0;
        if (due) {
            if (firstJitter < 0) firstJitter = call;
            ASSERT_GE(out, 17);
            ASSERT_LE(out, 19);
            shown.insert(out);
            periods.insert(s_respCalc.randTime);
        } else {
            ASSERT_EQ(out, 0) << call;
        }
        ASSERT_EQ(st.curRate, 18);
    }
    EXPECT_EQ(firstJitter, 9);
    EXPECT_EQ(shown, (std::set<int32_t>{17, 18, 19}));
    EXPECT_EQ(periods, (std::set<int32_t>{7, 8, 9, 10, 11}));

    // Nothing held, nothing shown.
    st.curRate = 0;
    st.rateHoldCount = 0;
    for (int32_t call = 0; call < 100; ++call) ASSERT_EQ(_respDisplayValueCal(&st, P, 0.0, 0), 0);
}

TEST_F(RespRate, HistoryDropsUnusualEntriesEveryTwentyComputations)
{
    RespState &st = s_resp;
    const int32_t P[3] = {31, 20, 42};
    history({18, 40, 18, 5, 18, 0, 0, 0, 0, 33});
    st.curRate = 18;
    st.rateHoldCount = 18;
    _respDisplayValueCal(&st, P, 0.0, 0);  // 19: nothing yet
    EXPECT_EQ(st.rateHistory[1], 40.0f);
    _respDisplayValueCal(&st, P, 0.0, 0);  // 20
    const float expected[10] = {18, 18, 18, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(st.rateHistory[i], expected[i]) << i;
}

}  // namespace

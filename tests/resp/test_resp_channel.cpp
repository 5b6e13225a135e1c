// Respiration channel: creation, suffocation schedule and threshold, resets
// on large jumps, the display chain against plain moving averages, the display
// window by rate, rate reports, setters and the band high-pass taps
// (tools/design_resp_taps.py).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

#include "resp/resp.hpp"
#include "resp/resp_band_taps.hpp"
#include "support/log_capture.hpp"
#include "tessivar/resp.h"

namespace {

using namespace tessivar;
using tessivar::test::LogCapture;
using Strings = std::vector<std::string>;
using Input = std::function<int32_t(long)>;

// Callback events as "rate:N@k" / "noise:F@k", k the samples fed so far
// (counting the one being processed).
Strings g_events;
long g_sample = 0;
int onRate(int rate) { return g_events.push_back("rate:" + std::to_string(rate) + "@" + std::to_string(g_sample)), 0; }
int onNoise(int flag) { return g_events.push_back("noise:" + std::to_string(flag) + "@" + std::to_string(g_sample)), 0; }

int32_t breath(long k, double perMinute, double amplitude)
{
    return int32_t(std::lround(amplitude * std::sin(2 * M_PI * perMinute / 60.0 * double(k) / 1000.0)));
}
Input constant(int32_t c) { return [c](long) { return c; }; }
int window() { return reinterpret_cast<FirFilter *>(s_resp.disAvg)->num_num; }

class RespChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The decimation state lives outside the instance: start it afresh.
        RespChain &ch = s_respChain;
        ch.decimationCount = ch.prevValue = ch.reprime = 0;
        std::memset(ch.jumpRing, 0, sizeof ch.jumpRing);
        ch.jumpCount = 0;
        ch.respThr = 18;
        RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
        ASSERT_EQ(newResp(&conf), 0);
        initResp();
        g_events.clear();
        g_sample = 0;
    }
    void TearDown() override { delResp(); s_respChain.respThr = 18; }
    static std::vector<int> feed(long n, const Input &f)
    {
        std::vector<int> out;
        for (long i = 0; i < n; ++i) out.push_back(processResp(f(g_sample++)));
        return out;
    }
};

TEST_F(RespChannel, CreationRefusalsAndFilterDelays)
{
    LogCapture log;
    EXPECT_EQ(newResp(nullptr), -1);
    RespConf noName{nullptr, nullptr, 1000, onRate, nullptr, onNoise};
    EXPECT_EQ(newResp(&noName), -1);
    EXPECT_EQ(log.count("[E]{resp}"), 2);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    SignalFilter *const filters[] = {s_resp.disAvg, s_resp.disHighPass, s_resp.disLowPass, s_resp.inLowPass,
                                     s_resp.bandHighPass, s_resp.baseAvg, s_resp.rateLowPass};
    std::vector<int> delays;
    for (SignalFilter *f : filters) delays.push_back(getSignalFilterDelay(f));
    EXPECT_EQ(delays, (std::vector<int>{500, 3333, 150, 150, 85, 40, 11}));  // display average: 1000 taps
    EXPECT_EQ(window(), 1000);
}

TEST_F(RespChannel, SuffocationSchedule)
{
    const struct {
        const char *why;
        Input x;
        long n;
        std::vector<long> at;
    } cases[] = {
        // hand: six seconds held, then every 1000 samples; std 0 < 18
        {"zero", constant(0), 9000, {6000, 7000, 8000, 9000}},
        // after a clear 5000 zeros stay: 1000 * sqrt(1/6 * 5/6) = 373 > 18 until refilled
        {"1000", constant(1000), 13000, {6000, 12000}},
        {"30: 30 * sqrt(5) / 6 = 11.2 < 18", constant(30), 8000, {6000, 7000, 8000}},
        // the first decimated sample (the 100th) jumps from 0: above 10000 resets, 100 late
        {"jump 10001", constant(10001), 6100, {6100}},
        {"jump 10000", constant(10000), 6000, {6000}},
        {"int32 max", constant(INT32_MAX), 12100, {6100, 12100}},
    };
    for (const auto &k : cases) {
        SetUp();
        feed(k.n, k.x);
        Strings expected;
        for (long at : k.at) expected.insert(expected.end(), {"rate:0@" + std::to_string(at), "noise:0@" + std::to_string(at)});
        EXPECT_EQ(g_events, expected) << k.why;
    }
    LogCapture log;
    SetUp();
    feed(6000, constant(0));
    EXPECT_EQ(log.count("[T]{resp}"), 1);
    EXPECT_EQ(log.count("stifle std:0.000000"), 1);
    EXPECT_EQ(onRespSuffocationThr(0), 0);  // 0 disables it, and outlives a new channel
    EXPECT_TRUE(log.contains("[W]{resp}[onRespSuffocationThr]"));
    EXPECT_TRUE(log.contains("Resp Suffocation threshold:0"));
    RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
    ASSERT_EQ(newResp(&conf), 0);
    g_events.clear();
    feed(30000, constant(0));
    EXPECT_TRUE(g_events.empty());
    EXPECT_GT(s_resp.bandCount, 290);
}

TEST_F(RespChannel, StepsReprimeOrResetTheBand)
{
    // The 300-sample input low-pass turns a step S into decimated jumps of
    // S / 3: 20000 gives 6667 (re-prime, the band goes on), 50000 gives
    // 16667 (above 10000: the channel restarts).
    feed(30000, [](long k) { return breath(k, 18, 250); });
    EXPECT_EQ(s_resp.bandCount, 300);
    EXPECT_GE(s_resp.reportedRate, 1);
    feed(1000, [](long k) { return 20000 + breath(k, 18, 250); });
    EXPECT_EQ(s_resp.bandCount, 310);
    EXPECT_GE(s_resp.reportedRate, 1);
    feed(1000, [](long k) { return 70000 + breath(k, 18, 250); });
    EXPECT_LT(s_resp.bandCount, 10);
    EXPECT_EQ(s_resp.reportedRate, 0);
    EXPECT_EQ(s_resp.curRate, 0);
}

TEST_F(RespChannel, DisplayIsThreeMovingAveragesTruncated)
{
    // Reference with x[k] = x[0] before the start (the filters prime):
    // h[n] = x[n - 3333] - mean(x[n-6665 .. n]), then means over 300 and 1000.
    const long n = 20000;
    std::vector<long double> x(static_cast<size_t>(n)), h(static_cast<size_t>(n));
    for (long k = 0; k < n; ++k) x[size_t(k)] = 3000 + breath(k, 18, 500) + (k * 7919) % 61 - 30;
    auto movingMean = [](const std::vector<long double> &v, long w) {
        std::vector<long double> out(v.size());
        long double sum = v[0] * w;
        for (size_t k = 0; k < v.size(); ++k) out[k] = (sum += v[k] - (long(k) >= w ? v[k - size_t(w)] : v[0])) / w;
        return out;
    };
    const std::vector<long double> m = movingMean(x, 6666);
    for (size_t k = 0; k < x.size(); ++k) h[k] = (k >= 3333 ? x[k - 3333] : x[0]) - m[k];
    const std::vector<long double> d = movingMean(movingMean(h, 300), 1000);
    const std::vector<int> out = feed(n, [&x](long k) { return int32_t(x[size_t(k)]); });
    for (size_t k = 0; k < size_t(n); ++k) {
        ASSERT_NEAR(double(out[k]), double(d[k]), 1.0) << k;
        ASSERT_LE(std::fabs(double(out[k])), std::fabs(double(d[k])) + 1e-6) << k;  // toward zero
    }
}

TEST_F(RespChannel, DisplayWindowFollowsTheRate)
{
    LogCapture log;
    const struct {
        int rate, window, changes;
    } steps[] = {{40, 1000, 0}, {41, 500, 1}, {80, 500, 1}, {81, 300, 2}, {40, 1000, 3}};
    for (const auto &s : steps) {
        updateDisplayFilter(&s_resp, s.rate);
        EXPECT_EQ(window(), s.window) << s.rate;
        EXPECT_EQ(getSignalFilterDelay(s_resp.disAvg), s.window / 2) << s.rate;
        EXPECT_EQ(log.count("change display window to:"), s.changes) << s.rate;
    }
    EXPECT_EQ(log.count("[W]{resp}[updateDisplayFilter]"), 3);
    EXPECT_EQ(log.count("change display window to:500\n"), 1);
    EXPECT_DOUBLE_EQ(doSignalFilter(s_resp.disAvg, 123.0), 123.0);  // gain 1/N on N ones
}

TEST_F(RespChannel, BreathingIsReportedAfterFifteenSecondsOnChangesOnly)
{
    for (const auto &[perMinute, display] : std::vector<std::pair<int, int>>{{45, 500}, {6, 1000}, {10, 1000}}) {
        SetUp();
        feed(60000, [pm = perMinute](long k) { return breath(k, pm, 250); });
        std::vector<int> rates;
        for (const std::string &e : g_events)
            if (e.rfind("rate:", 0) == 0) rates.push_back(std::stoi(e.substr(5)));
        ASSERT_FALSE(rates.empty()) << perMinute;
        EXPECT_GE(std::stol(g_events.front().substr(g_events.front().find('@') + 1)), 15000);  // bandCount > 149
        for (size_t i = 1; i < rates.size(); ++i) EXPECT_NE(rates[i], rates[i - 1]) << perMinute;
        EXPECT_EQ(rates.back(), perMinute);
        EXPECT_EQ(s_resp.curRate, perMinute);
        EXPECT_EQ(window(), display) << perMinute;
    }
}

TEST_F(RespChannel, SettersAndResets)
{
    using V = std::vector<int>;
    EXPECT_EQ((V{onPatientType(2), onPatientType(3), onPatientType(-1), onHrChangedResp(72)}), (V{0, -1, -1, 0}));
    EXPECT_EQ((V{s_resp.patientType, s_resp.hr}), (V{2, 72}));  // 3 and -1 keep the type
    s_resp.heartNoiseState = 1;
    EXPECT_EQ(initBeatNoise(), 0);
    EXPECT_EQ(s_resp.heartNoiseState, 0);
    s_resp.heartNoiseState = 1;
    s_resp.curRate = 17;
    EXPECT_EQ(initResp(), 0);  // forgets heart rate, patient type, flag and rate
    EXPECT_EQ((V{s_resp.hr, s_resp.patientType, s_resp.heartNoiseState, s_resp.curRate}), V(4, 0));
    EXPECT_EQ(g_events, (Strings{"noise:0@0", "noise:0@0"}));
}

TEST(RespBandTaps, SymmetricTapsAndStatedGains)
{
    auto gainAt = [](double hz) {
        std::complex<double> sum = 0.0;
        for (int n = 0; n < 171; ++n) sum += kRespBandHighPassTaps[n] * std::polar(1.0, -2.0 * M_PI * hz / 10.0 * n);
        return std::abs(sum);
    };
    ASSERT_EQ(kRespBandHighPassLength, 171);
    for (int n = 0; n < 171; ++n) EXPECT_EQ(kRespBandHighPassTaps[n], kRespBandHighPassTaps[170 - n]) << n;
    EXPECT_EQ((std::vector<double>{kRespBandHighPassTaps[85], kRespBandHighPassTaps[0], kRespBandHighPassTaps[1]}),
              (std::vector<double>{0.977253372310975, 0.000352864319534275, 0.000542851783347392}));
    const double gains[][2] = {{0.0, 0.0613}, {0.1, 0.29}, {0.15, 0.95}, {0.3, 1.0}};
    for (const auto &g : gains) EXPECT_NEAR(gainAt(g[0]), g[1], 1e-9) << g[0];
}

}  // namespace

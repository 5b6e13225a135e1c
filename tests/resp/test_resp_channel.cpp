// Respiration channel through its C interface: creation and its refusals,
// the suffocation schedule on flat input, the threshold, channel resets on
// large jumps, the display chain against plain moving averages, the display
// window by rate, the setters, the debug stream, and inputs at the int32
// limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "resp/resp.hpp"
#include "support/log_capture.hpp"
#include "tessivar/fir_filter.h"
#include "tessivar/resp.h"

namespace {

using namespace tessivar;
using tessivar::test::LogCapture;

// Callback events as "rate:N@k" / "noise:F@k", k the 1-based number of the
// sample being processed (0 outside processResp).
struct Events {
    std::vector<std::string> list;
    long sample = 0;
};
Events g_events;

int onRate(int rate)
{
    g_events.list.push_back("rate:" + std::to_string(rate) + "@" + std::to_string(g_events.sample));
    return 0;
}
int onNoise(int flag)
{
    g_events.list.push_back("noise:" + std::to_string(flag) + "@" + std::to_string(g_events.sample));
    return 0;
}

class RespChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The decimation state lives outside the instance; start it afresh
        // so that sample counts are exact.
        RespChain &ch = s_respChain;
        ch.decimationCount = 0;
        ch.prevValue = 0;
        std::memset(ch.jumpRing, 0, sizeof ch.jumpRing);
        ch.jumpCount = 0;
        ch.reprime = 0;
        ch.respThr = 18;
        RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
        ASSERT_EQ(newResp(&conf), 0);
        initResp();
        g_events = Events{};
    }
    void TearDown() override
    {
        delResp();
        s_respChain.respThr = 18;
    }

    // Feeds n samples of f(k), k counting all samples fed so far (from 0).
    template <class F>
    std::vector<int> feed(long n, F f)
    {
        std::vector<int> out;
        out.reserve(size_t(n));
        for (long i = 0; i < n; ++i) {
            const long k = g_events.sample;
            ++g_events.sample;
            out.push_back(processResp(f(k)));
        }
        return out;
    }
    std::vector<int> feedConstant(long n, int32_t c)
    {
        return feed(n, [c](long) { return c; });
    }
    static int32_t breath(long k, double perMinute, double amplitude)
    {
        return int32_t(std::lround(amplitude * std::sin(2 * M_PI * perMinute / 60.0 * double(k) / 1000.0)));
    }
};

using Strings = std::vector<std::string>;

TEST_F(RespChannel, CreationRefusesBadRecordsAndLogsItsSetUp)
{
    LogCapture log;
    EXPECT_EQ(newResp(nullptr), -1);
    RespConf noName{nullptr, nullptr, 1000, onRate, nullptr, onNoise};
    EXPECT_EQ(newResp(&noName), -1);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    EXPECT_STREQ(respVersion(), "resp version 1.0.0.31 2025-09-04 09:20:05");

    log.clear();
    RespConf conf{"channel name", nullptr, 1000, onRate, nullptr, onNoise};
    ASSERT_EQ(newResp(&conf), 0);  // replaces the running instance
    EXPECT_TRUE(log.contains("channel name"));
    EXPECT_TRUE(log.contains(signalFilterVersion()));
    EXPECT_STREQ(s_resp.name, "channel name");
    // The display average starts with 1000 taps (delay 500).
    ASSERT_NE(s_resp.disAvg, nullptr);
    EXPECT_EQ(reinterpret_cast<FirFilter *>(s_resp.disAvg)->num_num, 1000);
    EXPECT_EQ(getSignalFilterDelay(s_resp.disAvg), 500);
    EXPECT_EQ(getSignalFilterDelay(s_resp.disHighPass), 3333);
    EXPECT_EQ(getSignalFilterDelay(s_resp.bandHighPass), 85);
    EXPECT_EQ(getSignalFilterDelay(s_resp.rateLowPass), 11);
}

TEST_F(RespChannel, ZeroInputSuffocatesAfterSixSecondsThenEverySecond)
{
    LogCapture log;
    feedConstant(9000, 0);
    // The check needs 6000 samples, then runs on every further 1000; each
    // time rate 0 is reported, the channel cleared and the flag lowered.
    EXPECT_EQ(g_events.list, (Strings{"rate:0@6000", "noise:0@6000", "rate:0@7000", "noise:0@7000", "rate:0@8000",
                                      "noise:0@8000", "rate:0@9000", "noise:0@9000"}));
    EXPECT_EQ(log.count("stifle std:0.000000"), 4);
}

TEST_F(RespChannel, ConstantInputSuffocatesEverySixSeconds)
{
    // After a clear the kept 5000 values are zeros, so one second of the
    // constant 1000 gives a spread of 1000 * sqrt(1/6 * 5/6) = 373 > 18;
    // only when six seconds of the constant fill the buffer again is the
    // spread 0.
    feedConstant(13000, 1000);
    EXPECT_EQ(g_events.list, (Strings{"rate:0@6000", "noise:0@6000", "rate:0@12000", "noise:0@12000"}));
    // A constant of 30 stays below the threshold even then:
    // 30 * sqrt(5) / 6 = 11.2 < 18.
    g_events = Events{};
    initResp();
    g_events.list.clear();
    feedConstant(8000, 30);
    EXPECT_EQ(g_events.list, (Strings{"rate:0@6000", "noise:0@6000", "rate:0@7000", "noise:0@7000", "rate:0@8000",
                                      "noise:0@8000"}));
}

TEST_F(RespChannel, ThresholdZeroDisablesSuffocationAndOutlivesCreation)
{
    LogCapture log;
    EXPECT_EQ(onRespSuffocationThr(0), 0);
    EXPECT_TRUE(log.contains("Resp Suffocation threshold:0"));
    RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
    ASSERT_EQ(newResp(&conf), 0);
    g_events.list.clear();
    // A flat zero band has no spectral peak: no rate, no flag report.
    feedConstant(30000, 0);
    EXPECT_TRUE(g_events.list.empty()) << g_events.list.front();
    EXPECT_GT(s_resp.bandCount, 290);
}

TEST_F(RespChannel, AJumpAboveTenThousandResetsTheChannel)
{
    // The first decimated sample (the 100th) jumps from 0: 20000 resets the
    // channel, emptying the six-second buffer, so suffocation comes 100
    // samples late; 9000 does not.
    feedConstant(6100, 20000);
    EXPECT_EQ(g_events.list, (Strings{"rate:0@6100", "noise:0@6100"}));

    SetUp();
    feedConstant(6000, 9000);
    EXPECT_EQ(g_events.list, (Strings{"rate:0@6000", "noise:0@6000"}));
}

TEST_F(RespChannel, StepsReprimeOrResetTheBand)
{
    // 30 s of breathing at 18 per minute, then a step. The 300-sample input
    // low-pass turns a step S into decimated jumps of S / 3: 20000 gives
    // 6667 (an artefact: the baseline is re-primed, the band goes on),
    // 50000 gives 16667 (above 10000: the channel restarts).
    feed(30000, [](long k) { return breath(k, 18, 250); });
    const int64_t before = s_resp.bandCount;
    EXPECT_EQ(before, 300);
    EXPECT_GE(s_resp.reportedRate, 1);
    feed(1000, [](long k) { return 20000 + breath(k, 18, 250); });
    EXPECT_EQ(s_resp.bandCount, before + 10);
    EXPECT_GE(s_resp.reportedRate, 1);
    feed(1000, [](long k) { return 70000 + breath(k, 18, 250); });
    EXPECT_LT(s_resp.bandCount, 10);
    EXPECT_EQ(s_resp.reportedRate, 0);
    EXPECT_EQ(s_resp.curRate, 0);
}

TEST_F(RespChannel, DisplayIsThreeMovingAveragesTruncated)
{
    // Reference: with x[k] = x[0] before the start (the filters prime on
    // their first sample),
    //   h[n] = x[n - 3333] - mean(x[n-6665 .. n]),
    //   l[n] = mean(h[n-299 .. n]), d[n] = mean(l[n-999 .. n]),
    // computed with prefix sums in long double.
    const long n = 20000;
    std::vector<int32_t> x(static_cast<size_t>(n));
    for (long k = 0; k < n; ++k) x[size_t(k)] = 3000 + breath(k, 18, 500) + int32_t((k * 7919) % 61) - 30;
    auto movingMean = [](const std::vector<long double> &v, long w) {
        std::vector<long double> out(v.size());
        long double sum = v[0] * w;
        for (size_t k = 0; k < v.size(); ++k) {
            sum += v[k] - (long(k) - w >= 0 ? v[size_t(long(k) - w)] : v[0]);
            out[k] = sum / w;
        }
        return out;
    };
    std::vector<long double> xs(x.begin(), x.end());
    const std::vector<long double> mean6666 = movingMean(xs, 6666);
    std::vector<long double> h(xs.size());
    for (size_t k = 0; k < xs.size(); ++k) h[k] = (long(k) >= 3333 ? xs[k - 3333] : xs[0]) - mean6666[k];
    const std::vector<long double> d = movingMean(movingMean(h, 300), 1000);

    const std::vector<int> out = feed(n, [&x](long k) { return x[size_t(k)]; });
    for (long k = 0; k < n; ++k) {
        ASSERT_NEAR(double(out[size_t(k)]), double(d[size_t(k)]), 1.0) << k;
        ASSERT_LE(std::fabs(double(out[size_t(k)])), std::fabs(double(d[size_t(k)])) + 1e-6) << k;  // toward zero
    }
}

TEST_F(RespChannel, DisplayWindowFollowsTheRate)
{
    auto window = [] { return reinterpret_cast<FirFilter *>(s_resp.disAvg)->num_num; };
    LogCapture log;
    updateDisplayFilter(&s_resp, 40);
    EXPECT_EQ(window(), 1000);
    EXPECT_FALSE(log.contains("change display window"));
    updateDisplayFilter(&s_resp, 41);
    EXPECT_EQ(window(), 500);
    EXPECT_EQ(getSignalFilterDelay(s_resp.disAvg), 250);
    EXPECT_EQ(log.count("change display window to:500\n"), 1);
    updateDisplayFilter(&s_resp, 80);
    EXPECT_EQ(log.count("change display window to:"), 1);
    updateDisplayFilter(&s_resp, 81);
    EXPECT_EQ(window(), 300);
    updateDisplayFilter(&s_resp, 40);
    EXPECT_EQ(window(), 1000);
    EXPECT_EQ(log.count("change display window to:"), 3);
    // The new average passes a constant unchanged (gain 1/N on N ones).
    EXPECT_DOUBLE_EQ(doSignalFilter(s_resp.disAvg, 123.0), 123.0);
}

TEST_F(RespChannel, BreathingIsReportedOnceAndChangesOnly)
{
    // Steady breathing at 45 per minute: the rate arrives after 15 s,
    // every report differs from the previous one, the last is 45 and the
    // display average has moved to 500 samples.
    LogCapture log;
    feed(60000, [](long k) { return breath(k, 45, 250); });
    std::vector<int> rates;
    for (const std::string &e : g_events.list)
        if (e.rfind("rate:", 0) == 0) rates.push_back(std::atoi(e.c_str() + 5));
    ASSERT_FALSE(rates.empty());
    EXPECT_GE(std::stol(g_events.list.front().substr(g_events.list.front().find('@') + 1)), 15000);
    for (size_t i = 1; i < rates.size(); ++i) EXPECT_NE(rates[i], rates[i - 1]);
    EXPECT_EQ(rates.back(), 45);
    EXPECT_EQ(reinterpret_cast<FirFilter *>(s_resp.disAvg)->num_num, 500);
    EXPECT_TRUE(log.contains("change display window to:500"));
}

TEST_F(RespChannel, SlowBreathingIsRead)
{
    // Clean slow breaths (6 and 10 per minute) pass the band filters well
    // enough for the time-domain count: the last report is the rate.
    for (double perMinute : {6.0, 10.0}) {
        SetUp();
        feed(60000, [perMinute](long k) { return breath(k, perMinute, 250); });
        ASSERT_FALSE(g_events.list.empty());
        EXPECT_EQ(s_resp.reportedRate, int(perMinute)) << perMinute;
        EXPECT_EQ(s_resp.curRate, int(perMinute)) << perMinute;
    }
}

TEST_F(RespChannel, SettersAndResets)
{
    EXPECT_EQ(onPatientType(2), 0);
    EXPECT_EQ(s_resp.patientType, 2);
    EXPECT_EQ(onPatientType(3), -1);
    EXPECT_EQ(onPatientType(-1), -1);
    EXPECT_EQ(s_resp.patientType, 2);
    EXPECT_EQ(onHrChangedResp(72), 0);
    EXPECT_EQ(s_resp.hr, 72);
    s_resp.heartNoiseState = 1;
    EXPECT_EQ(initBeatNoise(), 0);
    EXPECT_EQ(s_resp.heartNoiseState, 0);
    EXPECT_EQ(g_events.list, (Strings{"noise:0@0"}));

    // initResp forgets heart rate and patient type and lowers the flag.
    s_resp.heartNoiseState = 1;
    s_resp.curRate = 17;
    EXPECT_EQ(initResp(), 0);
    EXPECT_EQ(s_resp.hr, 0);
    EXPECT_EQ(s_resp.patientType, 0);
    EXPECT_EQ(s_resp.heartNoiseState, 0);
    EXPECT_EQ(s_resp.curRate, 0);
    EXPECT_EQ(g_events.list, (Strings{"noise:0@0", "noise:0@0"}));
}

TEST_F(RespChannel, DebugStreamRecordsTheRawInput)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tessivar_resp_debug";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
    const std::string path = dir.string();
    conf.dataPath = path.c_str();
    ASSERT_EQ(newResp(&conf), 0);
    processResp(5);
    processResp(-7);
    processResp(INT32_MAX);
    std::ifstream in(dir / "realtimeDemoLibScan_in.csv");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "5\n-7\n2147483647\n");  // flushed per sample
    EXPECT_TRUE(std::filesystem::exists(dir / "realtimeDemoLibScan_out.csv"));
    delResp();
    EXPECT_EQ(std::filesystem::file_size(dir / "realtimeDemoLibScan_out.csv"), 0u);
    std::filesystem::remove_all(dir);
}

TEST_F(RespChannel, WithoutAChannelSamplesPass)
{
    EXPECT_EQ(delResp(), 0);
    EXPECT_EQ(processResp(1234), 1234);
    EXPECT_EQ(processResp(INT32_MIN), INT32_MIN);
    EXPECT_EQ(delResp(), 0);
    RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
    ASSERT_EQ(newResp(&conf), 0);
    EXPECT_EQ(processResp(1234), 0);  // a high-pass display: a primed constant gives 0
}

TEST_F(RespChannel, SamplesAtTheInt32Limits)
{
    // A square wave between the limits, 2 s each: every edge jumps far
    // above 10000 and restarts the channel, so six seconds are never held:
    // nothing is reported, the band never grows, the display saturates
    // instead of overflowing.
    const std::vector<int> out =
        feed(60000, [](long k) { return (k / 2000) % 2 == 0 ? INT32_MAX : INT32_MIN; });
    EXPECT_TRUE(g_events.list.empty());
    EXPECT_LT(s_resp.bandCount, 21);
    for (int v : out) ASSERT_TRUE(v >= INT32_MIN && v <= INT32_MAX);

    // Sample-by-sample alternation: each restart primes the input low-pass
    // with an extreme sample, whose decay is the next jump above 10000, so
    // the channel keeps restarting: nothing is reported, nothing grows.
    SetUp();
    feed(20000, [](long k) { return k % 2 == 0 ? INT32_MAX : INT32_MIN; });
    EXPECT_TRUE(g_events.list.empty());
    EXPECT_LE(s_resp.bandCount, 2);
    EXPECT_LT(s_resp.lpCount, 6000);

    // The constant maximum: one reset at the first decimated sample, then a
    // flat channel.
    SetUp();
    feedConstant(12100, INT32_MAX);
    EXPECT_EQ(g_events.list, (Strings{"rate:0@6100", "noise:0@6100", "rate:0@12100", "noise:0@12100"}));
}

TEST_F(RespChannel, ChannelRestartedEverySecond)
{
    // As the front end drives a respiration lead that is valid every other
    // second: initResp when it comes back, initBeatNoise when it goes. The
    // channel never holds six seconds, so neither a rate nor suffocation is
    // reported; each change lowers the flag.
    for (int second = 0; second < 60; ++second) {
        if (second % 2 == 0) {
            initResp();
            feed(1000, [](long k) { return breath(k, 15, 250); });
            EXPECT_LE(s_resp.bandCount, 10);
        } else {
            initBeatNoise();
        }
    }
    ASSERT_EQ(g_events.list.size(), 60u);
    for (const std::string &e : g_events.list) EXPECT_EQ(e.substr(0, 8), "noise:0@");
}

}  // namespace

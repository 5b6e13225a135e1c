// Heart-rate calculator: the rate rule, start and learning, lead choice and
// change with replay, lead-off, flat line and pause reports, bad input.
// Frames go straight to hrCalc; synthetic beats sit at known samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "beat_detect/eplimited.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "heart_rate/hr_calc.hpp"
#include "support/log_capture.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/hr_calc.h"

namespace {

using tessivar::hrCalcState;
using tessivar::test::LogCapture;

// ---- the rate from RR intervals -----------------------------------------------

int32_t rate(std::vector<int32_t> rr)
{
    rr.resize(12, 0);
    return tessivar::rrArray2hr(rr.data());
}

TEST(HrRate, PatternsSlowRhythmAndShortHistories)
{
    // Bigeminy 600 / 900: period 2 holds, the plain mean 12 * 60000 / 9000.
    EXPECT_EQ(rate({600, 900, 600, 900, 600, 900, 600, 900, 600, 900, 600, 900}), 80);
    // Slow rhythm: int(240000 / 5200 + 0.05) = int(46.20).
    EXPECT_EQ(rate({1300, 1300, 1300, 1300}), 46);
    // The slow rule needs the first three above 1200: 1200 is not, so the
    // trimmed mean 2 * 60000 / (4200 - 1200 - 600) = 50; 1201 is:
    // int(240000 / 4203 + 0.05) = int(57.15).
    EXPECT_EQ(rate({1200, 1200, 1200, 600}), 50);
    EXPECT_EQ(rate({1201, 1201, 1201, 600}), 57);
    // Two intervals: 0. Three: 60000 over the middle one.
    EXPECT_EQ(rate({}), 0);
    EXPECT_EQ(rate({800, 700}), 0);
    EXPECT_EQ(rate({700, 800, 900}), 75);
    // Counting stops at the first empty entry.
    EXPECT_EQ(rate({700, 800, 900, 0, 5000}), 75);
    // Twelve with outliers and no pattern: the mean without the extremes,
    // 10 * 60000 / (12000 - 1500 - 500) = 60.
    EXPECT_EQ(rate({1000, 1000, 1000, 1000, 1000, 500, 1000, 1000, 1500, 1000, 1000, 1000}), 60);
}

TEST(HrRate, PatternToleranceIsTheSinglePrecisionTenth)
{
    // Every other interval 500; the others step 1000, 1100, 1210, 1100,
    // 1000, 1100, so no period of 3, 4 or 5 holds. 1210 / 1100 - 1 and
    // 1100 / 1000 - 1 are 0.1000000000000001 in double: within the float
    // 0.1 (0.10000000149), so period 2 holds and the plain mean is taken,
    // int(12 * 60000 / 9510 + 0.5) = int(76.21) = 76 (in double precision
    // the pattern would fail and give the trimmed 77). With 1101 for the
    // fourth long interval (1101 / 1000 - 1 = 0.101) it breaks: 10 * 60000
    // / (9511 - 1210 - 500) = 76.91 -> 77.
    EXPECT_EQ(rate({1000, 500, 1100, 500, 1210, 500, 1100, 500, 1000, 500, 1100, 500}), 76);
    EXPECT_EQ(rate({1000, 500, 1100, 500, 1210, 500, 1101, 500, 1000, 500, 1100, 500}), 77);
    // Period 3 (trigeminy 500, 500, 1000): 12 * 60000 / 8000 = 90.
    EXPECT_EQ(rate({500, 500, 1000, 500, 500, 1000, 500, 500, 1000, 500, 500, 1000}), 90);
    // Period 5 only: the newest ten, 10 * 60000 / (10400 - 800 - 800) =
    // 68.18 (the plain mean would be 69, the trimmed one 71).
    EXPECT_EQ(rate({800, 800, 800, 800, 1200, 800, 800, 800, 800, 1200, 800, 800}), 68);
}

// ---- a calculator driven frame by frame ----------------------------------------

struct Event {
    int64_t frame;  // frames received when it came
    std::string what;
};

struct Host {
    std::vector<Event> events;
    std::vector<int32_t> beatPositions;
    int64_t frame = 0;

    static Host &get()
    {
        static Host h;
        return h;
    }
    static void add(const std::string &e) { get().events.push_back({get().frame, e}); }
    static int onBeat(void *, int32_t position, int32_t flag)
    {
        get().beatPositions.push_back(position);
        add("beat" + std::string(flag != 0 ? "!" : ""));
        return 0;
    }
    static int onRate(void *, int32_t r)
    {
        add("rate:" + std::to_string(r));
        return 0;
    }
    static int onLead(void *, int32_t l)
    {
        add("lead:" + std::to_string(l));
        return 0;
    }
    static int onLearning(void *, int32_t s)
    {
        add("learning:" + std::to_string(s));
        return 0;
    }
    static int onResp(void *, int32_t r)
    {
        add("resp:" + std::to_string(r));
        return 0;
    }
    int count(const std::string &what) const
    {
        return int(std::count_if(events.begin(), events.end(), [&](const Event &e) { return e.what == what; }));
    }
    // The events other than beats.
    std::vector<std::string> reports() const
    {
        std::vector<std::string> r;
        for (const Event &e : events)
            if (e.what != "beat") r.push_back(e.what);
        return r;
    }
    std::vector<int64_t> framesOf(const std::string &what) const
    {
        std::vector<int64_t> f;
        for (const Event &e : events)
            if (e.what == what) f.push_back(e.frame);
        return f;
    }
};

class HrCalc : public ::testing::Test {
protected:
    void SetUp() override
    {
        Host::get() = Host{};
        start();
    }
    void TearDown() override { hrCalcDeinit(); }

    void start(int32_t lead = 1, int32_t mode = 0, int32_t method = 0)
    {
        const HrCalcCallbacks cb = {nullptr, Host::onBeat, Host::onRate, Host::onLead, Host::onLearning, Host::onResp, nullptr};
        ASSERT_EQ(hrCalcInit(lead, mode, method, &cb), 0);
    }
    // Frames of `leads` leads: status, then lead l's sample from signal l
    // (missing signals are 0).
    void feed(const std::vector<std::vector<double>> &signals, size_t from, size_t to, int32_t leads = 3,
              int32_t status = 0, uint32_t noisy = 0)
    {
        std::vector<int32_t> frame(size_t(1 + leads), 0);
        for (size_t n = from; n < to; ++n) {
            frame[0] = status;
            for (int32_t l = 0; l < leads; ++l)
                frame[size_t(1 + l)] = size_t(l) < signals.size() && n < signals[size_t(l)].size()
                                           ? int32_t(std::lround(signals[size_t(l)][n]))
                                           : 0;
            ++Host::get().frame;
            ASSERT_EQ(hrCalc(frame.data(), leads, noisy), 0);
        }
    }
    const Host &host() const { return Host::get(); }
};

// Clean beats every `rr` samples from 500 on lead II, lead I at half size.
std::vector<std::vector<double>> rhythm(size_t n, int64_t rr = 800)
{
    const std::vector<double> ii = tessivar::test::beatsAt(1000, n, tessivar::test::regularPeaks(500, rr, n),
                                                           tessivar::test::normalBeat(1000));
    std::vector<double> i(ii.size());
    for (size_t k = 0; k < ii.size(); ++k) i[k] = ii[k] / 2;
    return {i, ii};
}

TEST_F(HrCalc, StartReportsTheLeadThenMinusOneAndPrimesTheDetector)
{
    EXPECT_EQ(host().events.size(), 2u);
    EXPECT_EQ(host().events[0].what, "lead:1");
    EXPECT_EQ(host().events[1].what, "rate:-1");
    const tessivar::HrCalcModule &s = hrCalcState();
    ASSERT_NE(s.detector, nullptr);
    EXPECT_EQ(s.detector->fs, 1000);
    EXPECT_EQ(s.detector->maxHR, 300);
    EXPECT_EQ(s.detector->minHR, 30);
    EXPECT_EQ(s.isFirstBeat, 1);
    EXPECT_EQ(s.sinceBeat, -20000);
    EXPECT_EQ(s.hrLead, 1);
    EXPECT_EQ(s.autoLead, 0);
    // Priming carried the detector through learning.
    EXPECT_EQ(tessivar::eplimitedOf(s.detector).c.qpkcnt, 8);
    int32_t length = 0;
    const int16_t *beat = tessivar::hrNormalBeat(&length);
    ASSERT_EQ(length, 764);
    EXPECT_EQ(beat[423], 723);
    EXPECT_EQ(*std::max_element(beat, beat + length), 723);
    EXPECT_EQ(beat[395], -125);
    EXPECT_EQ(beat[660], 158);
    EXPECT_EQ(beat[0], -54);
    EXPECT_EQ(beat[763], -54);
}

TEST_F(HrCalc, FirstBeatOnlyAnchorsAndTheRateFollows)
{
    // The same detector, primed the same way and fed lead II from sample 0,
    // is the reference: hr_calc reports every beat it confirms within the
    // samples processed (300 behind), except the first, with the same
    // position; then 75 per minute (RR 800).
    const size_t n = 30000;
    const auto sig = rhythm(n);
    feed(sig, 0, n);

    const BeatDetectConf c = {"ref", nullptr, 1000, 0, 0, 0, 0};
    BeatDetect *ref = newBeatDetect(&c);
    ASSERT_NE(ref, nullptr);
    initBeatDetect(ref);
    int32_t length = 0;
    const int16_t *beat = tessivar::hrNormalBeat(&length);
    uint8_t noise = 0;
    for (int i = 0; i < 10000; ++i) realtimeDetectBeat(ref, beat[i % length], &noise);
    std::vector<int32_t> expected;
    for (size_t k = 0; k + 300 < n; ++k) {
        const int32_t d = realtimeDetectBeat(ref, int16_t(std::lround(sig[1][k])), &noise);
        if (d > 0) expected.push_back(d);
    }
    delBeatDetect(&ref);
    ASSERT_GE(expected.size(), 10u);
    expected.erase(expected.begin());
    EXPECT_EQ(host().beatPositions, expected);
    EXPECT_EQ(host().count("beat"), int(expected.size()));

    EXPECT_GE(host().count("rate:75"), 1);
    EXPECT_GE(host().count("resp:75"), 1);
    EXPECT_EQ(hrCalcState().curHR, 75);
    // Rates come only when they change.
    EXPECT_EQ(host().count("rate:75"), 1);
}

TEST_F(HrCalc, LearningAgainClearsAndTheNextBeatOnlyAnchors)
{
    const size_t n = 40000;
    const auto sig = rhythm(n);
    feed(sig, 0, 20000);
    const int before = host().count("beat");
    ASSERT_GT(before, 5);
    ASSERT_EQ(hrEnterLearning(), 0);
    EXPECT_EQ(host().events.back().what, "learning:1");
    const tessivar::HrCalcModule &s = hrCalcState();
    EXPECT_EQ(s.isFirstBeat, 1);
    EXPECT_EQ(s.rrArray[0], 0);
    EXPECT_EQ(s.leadBuf[1].samples[500], 0);
    feed(sig, 20000, n);
    // Twenty more seconds (25 beats) on the cleared history: the first beat
    // after learning anchors, the rest are reported.
    const int after = host().count("beat") - before;
    EXPECT_GE(after, 20);
    EXPECT_LE(after, 24);
}

TEST_F(HrCalc, AutomaticLeadStartsFromIIAndPicksTheLargestLimbLead)
{
    Host::get().events.clear();
    ASSERT_EQ(hrCalcSetLead(18), 0);
    ASSERT_EQ(host().events.size(), 2u);
    EXPECT_EQ(host().events[0].what, "lead:1");
    EXPECT_EQ(host().events[1].what, "rate:-1");
    EXPECT_EQ(hrCalcState().autoLead, 1);
    EXPECT_EQ(hrCalcState().hrLead, 1);
    EXPECT_EQ(hrCalcState().leadBuf[1].maxPP, -1);

    // Lead II small (about 300 uV peak to peak), lead I 1500, III ... aVF
    // 200. The check every 5000 frames finds II below 500 and takes lead I
    // (largest below 3000, above 1.2 times II's).
    const size_t n = 12000;
    const std::vector<int64_t> peaks = tessivar::test::regularPeaks(500, 800, n);
    std::vector<std::vector<double>> sig;
    for (double amp : {1500.0, 300.0, 200.0, 200.0, 200.0, 200.0})
        sig.push_back(tessivar::test::beatsAt(1000, n, peaks, {{0.0, amp, 0.008}}));
    Host::get().events.clear();
    feed(sig, 0, n, 6);
    const std::vector<std::string> r = host().reports();
    const auto change = std::find(r.begin(), r.end(), "lead:0");
    ASSERT_NE(change, r.end());
    ASSERT_NE(change + 1, r.end());
    EXPECT_EQ(*(change + 1), "rate:-1");
    EXPECT_EQ(host().framesOf("lead:0"), std::vector<int64_t>{4999});
    EXPECT_EQ(hrCalcState().hrLead, 0);
    EXPECT_EQ(hrCalcState().autoLead, 1);
    EXPECT_NEAR(hrCalcState().leadBuf[0].maxPP, 1500, 10);
    EXPECT_NEAR(hrCalcState().leadBuf[1].maxPP, 300, 10);

    // Lead I turns noisy (quality mask bit 0): I and the leads derived from
    // it are invalid, II is the one valid limb lead left.
    Host::get().events.clear();
    feed(sig, 0, 1, 6, 0, 1u << 0);
    ASSERT_GE(host().reports().size(), 2u);
    EXPECT_EQ(host().reports()[0], "lead:1");
    EXPECT_EQ(host().reports()[1], "rate:-1");
    EXPECT_EQ(hrCalcState().hrLead, 1);

    // A fixed lead ends the automatic choice.
    ASSERT_EQ(hrCalcSetLead(4), 0);
    EXPECT_EQ(hrCalcState().autoLead, 0);
    EXPECT_EQ(hrCalcState().hrLead, 4);
}

TEST_F(HrCalc, LeadChangeReportsMinusOneThenReplaysTheHistory)
{
    // Beats on lead I only; after 15 s the lead changes to I: -1 at once,
    // then the buffered 9.7 s are detected in the same call.
    const size_t n = 15000;
    const auto sig = rhythm(n);
    feed({sig[1]}, 0, n, 3);
    EXPECT_EQ(host().count("beat"), 0);  // lead II was empty (lead I carried the beats)
    Host::get().events.clear();
    ASSERT_EQ(hrCalcChangeLead(0), 0);
    ASSERT_FALSE(host().events.empty());
    EXPECT_EQ(host().events[0].what, "rate:-1");
    const tessivar::HrCalcModule &s = hrCalcState();
    EXPECT_EQ(s.writeCount - s.readCount, 300);
    EXPECT_EQ(s.sinceBeat, -20000);
    EXPECT_EQ(s.curHR, 0);
    // 9700 samples replayed at RR 800: about 12 beats (the detector's queue
    // holds back the last few hundred samples).
    EXPECT_GE(host().count("beat"), 9);
    EXPECT_LE(host().count("beat"), 13);
    // Bad leads are refused.
    LogCapture log;
    EXPECT_EQ(hrCalcChangeLead(18), -1);
    EXPECT_EQ(hrCalcChangeLead(-1), -1);
    EXPECT_EQ(hrCalcSetLead(19), -1);
    EXPECT_EQ(log.count("Input parameter exception."), 3);
}

// Rate-0 reports at the flat-line checks (frame 777 of every thousand);
// other zeros are pause reports (six seconds after the beat still queued
// from priming).
std::vector<int64_t> flatReports(const Host &h)
{
    std::vector<int64_t> f;
    for (int64_t frame : h.framesOf("rate:0"))
        if (frame % 1000 == 777) f.push_back(frame);
    return f;
}

TEST_F(HrCalc, FlatLimbLeadsReportZeroEverySecond)
{
    // I, II, III all zero: from frame 4777 on, rate 0 at 4777, 5777, ...
    feed({}, 0, 7000);
    EXPECT_EQ(flatReports(host()), (std::vector<int64_t>{4777, 5777, 6777}));
    // With lead I off (III is then off too) there is no flat-line report.
    hrCalcDeinit();
    Host::get() = Host{};
    start();
    feed({}, 0, 7000, 3, 0x1);
    EXPECT_TRUE(flatReports(host()).empty());
    // A lead with 50 uV peak to peak is not flat.
    hrCalcDeinit();
    Host::get() = Host{};
    start();
    std::vector<double> small(7000);
    for (size_t k = 0; k < small.size(); ++k) small[k] = k % 1000 == 0 ? 50 : 0;
    feed({small}, 0, 7000);
    EXPECT_TRUE(flatReports(host()).empty());
}

TEST_F(HrCalc, SixSecondsWithoutABeatReportZeroEverySixSeconds)
{
    // Beats on II for 15 s, then nothing; lead I keeps a 1 Hz sine so the
    // limb leads are not flat.
    const size_t n = 40000;
    std::vector<double> ii = rhythm(15000)[1];
    ii.resize(n, 0.0);
    std::vector<double> i(n);
    for (size_t k = 0; k < n; ++k) i[k] = 500 * std::sin(2 * M_PI * double(k) / 1000);
    feed({i, ii}, 0, n);
    const std::vector<int64_t> beats = host().framesOf("beat");
    const std::vector<int64_t> zeros = host().framesOf("rate:0");
    ASSERT_FALSE(beats.empty());
    ASSERT_GE(zeros.size(), 2u);
    EXPECT_EQ(zeros[0] - beats.back(), 6001);
    EXPECT_EQ(zeros[1] - zeros[0], 6001);
}

TEST_F(HrCalc, LeadOffReportsMinusOneOnceAndLongLossRelearns)
{
    const size_t n = 40000;
    const auto sig = rhythm(n);
    feed(sig, 0, 20000);
    ASSERT_EQ(hrCalcState().curHR, 75);
    Host::get().events.clear();
    // Lead II off (bit 1) for 100 frames: one -1 at the change; the next
    // 600 processed samples after each off frame are skipped.
    feed(sig, 20000, 20100, 3, 0x2);
    EXPECT_EQ(host().count("rate:-1"), 1);
    EXPECT_EQ(host().events[0].frame, 20001);
    EXPECT_EQ(hrCalcState().skipNext, 1);
    feed(sig, 20100, 21500);
    // Marked samples end 599 + 300 frames after the last off frame; none
    // made it to more than 1000 in a row, so no learning.
    EXPECT_EQ(host().count("learning:1"), 0);
    // Off for two seconds: more than 1000 samples skipped in a row restart
    // learning.
    feed(sig, 21500, 23500, 3, 0x10000);
    feed(sig, 23500, 26000);
    EXPECT_EQ(host().count("learning:1"), 1);
    // A noisy heart-rate lead marks samples like a lead-off, without -1.
    Host::get().events.clear();
    feed(sig, 26000, 26050, 3, 0, 1u << 1);
    EXPECT_EQ(host().count("rate:-1"), 0);
    EXPECT_EQ(hrCalcState().leadBuf[1].statusCount, 599);  // set to 600 and counted down once per frame
}

TEST_F(HrCalc, LimitSamplesAndBadFramesDoNotBreakIt)
{
    LogCapture log;
    EXPECT_EQ(hrCalc(nullptr, 3, 0), -1);
    EXPECT_TRUE(log.contains("Input parameter exception."));
    std::vector<int32_t> frame(1 + 18);
    for (int n = 0; n < 3000; ++n) {
        frame[0] = n % 2 ? int32_t(0xffffffff) : 0;
        for (int l = 1; l <= 18; ++l) frame[size_t(l)] = n % 3 ? INT32_MAX : INT32_MIN;
        ASSERT_EQ(hrCalc(frame.data(), n % 5 == 0 ? 40 : n % 7 == 0 ? -3 : 18, 0xffffffffu), 0);
    }
    EXPECT_LE(hrCalcState().leadCount, 18);
    // Before a start (and after a stop) frames are refused.
    hrCalcDeinit();
    EXPECT_EQ(hrCalc(frame.data(), 3, 0), -1);
    EXPECT_EQ(hrCalcState().detector, nullptr);
    EXPECT_EQ(tessivar::hrCalcCallbacks().onHeartBeat, nullptr);
    EXPECT_EQ(hrEnterLearning(), 0);
    EXPECT_EQ(hrCalcSetLead(2), 0);
    EXPECT_EQ(HR_setMinAdultQRSThr(1, 1), 0);
    EXPECT_EQ(hrCalcSetQrsMode(1), 0);
}

TEST_F(HrCalc, SettingsReachTheDetector)
{
    LogCapture log;
    tessivar::EpBeatStage &s = tessivar::eplimitedOf(hrCalcState().detector).s;
    EXPECT_EQ(HR_setMinAdultQRSThr(300, 30), 0);
    EXPECT_EQ(s.qrsAmpThr, 300);
    EXPECT_EQ(s.qrsDurThr, 30);
    EXPECT_EQ(HR_setMinAdultQRSThr(0, 0), 0);
    EXPECT_EQ(s.qrsAmpThr, 160);
    EXPECT_EQ(hrCalcSetQrsMode(1), 0);
    EXPECT_EQ(s.ageType, 1);
    EXPECT_EQ(s.qrsAmpThr, 50);
    EXPECT_TRUE(log.contains("beat_detect:1"));

    // flushStatuCount marks leads like a lead-off and zeroes the rate of
    // the heart-rate lead.
    EXPECT_EQ(flushStatuCount((1u << 1) | (1u << 7)), 0);
    EXPECT_EQ(hrCalcState().leadBuf[1].statusCount, 600);
    EXPECT_EQ(hrCalcState().leadBuf[7].statusCount, 600);
    EXPECT_EQ(hrCalcState().leadBuf[0].statusCount, 0);
    EXPECT_EQ(hrCalcState().curHR, 0);
}

TEST_F(HrCalc, OtherMethodsRunWithoutBeats)
{
    // Method 2 reads invalid samples too (the display signal carries the
    // rate); its detector confirms no beats in this version.
    hrCalcDeinit();
    start(1, 0, 2);
    const auto sig = rhythm(15000);
    feed(sig, 0, 15000, 3, 0x2);
    EXPECT_EQ(host().count("beat"), 0);
    EXPECT_EQ(hrCalcState().flaggedCount, 0);
}

}  // namespace

// Heart-rate calculator (frames straight to hrCalc, beats at known samples), the RR averager, and the beats of
// the whole front end (method 0 on II) driven as a host would on annotated recordings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "beat_detect/eplimited.hpp"
#include "beat_detect/synthetic_ecg.hpp"
#include "heart_rate/hr_calc.hpp"
#include "heart_rate/rr2hr.hpp"
#include "records/beat_compare.hpp"
#include "records/frames.hpp"
#include "records/simulator.hpp"
#include "records/wfdb.hpp"
#include "support/front_end_run.hpp"
#include "support/log_capture.hpp"
#include "tessivar/hr_calc.h"
#include "tessivar/rr2hr.h"
#include "tessivar/tessivar.h"

namespace {

namespace rec = tessivar::records;
using R = std::vector<int32_t>;
using tessivar::hrCalcState;
using tessivar::test::LogCapture;
using Signals = std::vector<std::vector<double>>;
using V = std::vector<int64_t>;
using S = std::vector<std::string>;

TEST(HrRate, RhythmRulesTable)
{
    struct Case { std::vector<int32_t> rr; int32_t want; const char *hand; } cases[] = {
        {{600, 900, 600, 900, 600, 900, 600, 900, 600, 900, 600, 900}, 80, "period 2: 12*60000/9000"},
        {{600, 900, 600, 900, 600, 900, 600, 900, 600, 900, 600, 1200}, 80, "9 vs 11 breaks: 600000/7500"},
        {{1300, 1300, 1300, 1300}, 46, "slow: int(240000/5200 + 0.05)"},
        {{1200, 1200, 1200, 600}, 50, "1200 is not slow: 2*60000/(4200-1200-600)"},
        {{1201, 1201, 1201, 600}, 57, "slow: int(240000/4203 + 0.05) = 57.15"},
        {{1200, 1300, 1300, 1300}, 46, "newest 1200 is not slow: 2*60000/(5100-1300-1200)"},
        {{800, 700}, 0, "two intervals"},
        {{700, 800, 900}, 75, "three: 60000/800"},
        {{700, 800, 900, 0, 5000}, 75, "counting stops at the first 0"},
        {{1000, 1000, 1000, 1000, 1000, 500, 1000, 1000, 1500, 1000, 1000, 1000}, 60, "trimmed 600000/10000"},
        // 1210/1100 - 1 = 0.1000000000000001 <= float 0.1: period 2 holds, 12*60000/9510 = 75.7 -> 76.
        {{1000, 500, 1100, 500, 1210, 500, 1100, 500, 1000, 500, 1100, 500}, 76, "float tenth"},
        {{1000, 500, 1100, 500, 1210, 500, 1101, 500, 1000, 500, 1100, 500}, 77, "0.101 breaks: 600000/7801"},
        {{500, 500, 1000, 500, 500, 1000, 500, 500, 1000, 500, 500, 1000}, 90, "period 3: 720000/8000"},
        {{800, 800, 800, 800, 1200, 800, 800, 800, 800, 1200, 800, 800}, 68, "period 5: 600000/(10400-1600)"},
        // Period 5 compares k = 0..4 only: entries 10, 11 may differ. 600000/8000 (trimmed would be 71).
        {{600, 700, 800, 900, 1000, 600, 700, 800, 900, 1000, 1100, 1100}, 75, "period 5 bounds"},
        {{600, 700, 800, 900, 1000, 600, 700, 800, 900, 1300, 1100, 1100}, 70, "4 vs 9 breaks: 600000/8600"},
        {{500, 600, 700, 1000, 500, 600, 700, 1000, 500, 600, 700, 1000}, 86, "period 4: 720000/8400 = 85.7"},
        // Period 4 compares k = 0..7 (7 against 11): fails, trimmed 600000/6900 = 86.96 (83 if 7 were skipped).
        {{500, 600, 700, 1000, 500, 600, 700, 1000, 500, 600, 700, 1300}, 87, "period 4 bounds"},
    };
    for (const Case &c : cases) {
        std::vector<int32_t> rr = c.rr;
        rr.resize(12, 0);
        EXPECT_EQ(tessivar::rrArray2hr(rr.data()), c.want) << c.hand;
    }
}

// What the calculator reported: (frames received, "rate:75" / "beat" / "lead:1" / ...), beat positions.
std::vector<std::pair<int64_t, std::string>> g_events;
std::vector<int32_t> g_beats;
int64_t g_frame = 0;
int add(const std::string &e) { return g_events.emplace_back(g_frame, e), 0; }
V framesOf(const std::string &what)
{
    V f;
    for (const auto &e : g_events)
        if (e.second == what) f.push_back(e.first);
    return f;
}
int count(const std::string &what) { return int(framesOf(what).size()); }
S whats(size_t n = SIZE_MAX)
{
    S r;
    for (size_t i = 0; i < std::min(n, g_events.size()); ++i) r.push_back(g_events[i].second);
    return r;
}

class HrCalc : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override { hrCalcDeinit(); }
    static void start(int32_t method = 0)
    {
        hrCalcDeinit();
        g_events.clear();
        g_beats.clear();
        g_frame = 0;
        const HrCalcCallbacks cb = {
            nullptr, [](void *, int32_t p, int32_t) { return g_beats.push_back(p), add("beat"); },
            [](void *, int32_t r) { return add("rate:" + std::to_string(r)); }, [](void *, int32_t l) { return add("lead:" + std::to_string(l)); },
            [](void *, int32_t s) { return add("learning:" + std::to_string(s)); },
            [](void *, int32_t r) { return add("resp:" + std::to_string(r)); }, nullptr};
        ASSERT_EQ(hrCalcInit(1, 0, method, &cb), 0);
    }
    // Frames [from, to) of `leads` leads, lead l's sample from sig[l] (0 when missing).
    static void feed(const Signals &sig, size_t from, size_t to, int32_t leads = 3, int32_t status = 0, uint32_t noisy = 0)
    {
        std::vector<int32_t> frame(size_t(1 + leads), 0);
        for (size_t n = from; n < to; ++n) {
            frame[0] = status;
            for (size_t l = 0; l < size_t(leads); ++l)
                frame[1 + l] = l < sig.size() && n < sig[l].size() ? int32_t(std::lround(sig[l][n])) : 0;
            ++g_frame;
            ASSERT_EQ(hrCalc(frame.data(), leads, noisy), 0);
        }
    }
    static const tessivar::EpBeatStage &stage() { return tessivar::eplimitedOf(hrCalcState().detector).s; }
};

// Beats every rr samples from 500 on lead II (1 mV), lead I at half size.
Signals rhythm(size_t n, int64_t rr = 800)
{
    auto lead = [&](double amp) { return tessivar::test::rhythmOf(1000, n, 500, rr, [amp](int64_t) { return amp; }); };
    return {lead(500.0), lead(1000.0)};
}

TEST_F(HrCalc, StartReportsLeadAndMinusOneAndPrimesTheDetector)
{
    EXPECT_EQ(whats(), (S{"lead:1", "rate:-1"}));
    const tessivar::HrCalcModule &s = hrCalcState();
    ASSERT_NE(s.detector, nullptr);
    EXPECT_EQ((V{s.detector->fs, s.detector->maxHR, s.detector->minHR, s.sinceBeat, s.isFirstBeat}), (V{1000, 300, 30, -20000, 1}));
    EXPECT_EQ(tessivar::eplimitedOf(s.detector).c.qpkcnt, 8);  // priming carried it through learning
    int32_t length = 0;
    const int16_t *beat = tessivar::hrNormalBeat(&length);
    EXPECT_EQ((V{length, *std::max_element(beat, beat + 764), beat[423], beat[395], beat[660]}), (V{764, 723, 723, -125, 158}));
}

TEST_F(HrCalc, EveryBeatButTheFirstIsReportedAtTheDetectorsPosition)
{
    // Reference: the same detector, primed alike, fed lead II up to 300 samples before the end, less its first beat.
    const size_t n = 30000;
    const Signals sig = rhythm(n);
    feed(sig, 0, n);
    const BeatDetectConf c = {"ref", nullptr, 1000, 0, 0, 0, 0};
    BeatDetect *ref = newBeatDetect(&c);
    initBeatDetect(ref);
    int32_t length = 0;
    const int16_t *beat = tessivar::hrNormalBeat(&length);
    uint8_t noise = 0;
    for (int i = 0; i < 10000; ++i) realtimeDetectBeat(ref, beat[i % length], &noise);
    std::vector<int32_t> expected;
    for (size_t k = 0; k + 300 < n; ++k)
        if (const int32_t d = realtimeDetectBeat(ref, int16_t(std::lround(sig[1][k])), &noise); d > 0) expected.push_back(d);
    delBeatDetect(&ref);
    ASSERT_GE(expected.size(), 10u);
    expected.erase(expected.begin());
    EXPECT_EQ(g_beats, expected);
    EXPECT_EQ(count("rate:75"), 1);  // 60000 / 800, once (rates only on change), also to respiration
    EXPECT_EQ(count("resp:75"), 1);
}

TEST_F(HrCalc, AutomaticLeadStartsFromIIAndTakesTheLargestValidLimbLead)
{
    g_events.clear();
    ASSERT_EQ(hrCalcSetLead(18), 0);
    EXPECT_EQ(whats(), (S{"lead:1", "rate:-1"}));
    EXPECT_EQ((V{hrCalcState().autoLead, hrCalcState().leadBuf[1].maxPP}), (V{1, -1}));
    // II about 300 uV, I 1500, III..aVF 200: the check at frame 4999 finds II below 500 and takes I.
    Signals sig;
    for (double amp : {1500.0, 300.0, 200.0, 200.0, 200.0, 200.0})
        sig.push_back(tessivar::test::beatsAt(1000, 12000, tessivar::test::regularPeaks(500, 800, 12000), {{0.0, amp, 0.008}}));
    g_events.clear();
    feed(sig, 0, 12000, 6);
    EXPECT_EQ(framesOf("lead:0"), V{4999});
    const S w = whats();
    EXPECT_EQ(S(std::find(w.begin(), w.end(), "lead:0"), w.end()).at(1), "rate:-1");
    EXPECT_NEAR(hrCalcState().leadBuf[0].maxPP, 1500, 10);
    g_events.clear();
    feed(sig, 0, 1, 6, 0, 1u << 0);  // I noisy: I and the leads derived from it invalid, II is left
    EXPECT_EQ(whats(2), (S{"lead:1", "rate:-1"}));
    ASSERT_EQ(hrCalcSetLead(4), 0);
    EXPECT_EQ((V{hrCalcState().autoLead, hrCalcState().hrLead}), (V{0, 4}));
}

TEST_F(HrCalc, AutomaticLeadRuleAtItsBoundaries)
{
    // One spike per limb lead gives an exact peak-to-peak; II (400) is below 500, so the check at frame 4999
    // looks for the largest valid limb lead below 3000 that beats int(1.2 * 400) = 480.
    struct Case { std::vector<double> pp; int32_t lead; const char *why; } cases[] = {
        {{2000, 400, 100, 100, 100, 2999}, 5, "aVF largest below 3000"},
        {{3000, 400, 100, 100, 100, 2500}, 5, "3000 is not below 3000"},
        {{480, 400, 100, 100, 100, 100}, 1, "480 does not beat 1.2 x 400"},
        {{481, 400, 100, 100, 100, 100}, 0, "481 does"},
    };
    for (const Case &c : cases) {
        start();
        ASSERT_EQ(hrCalcSetLead(18), 0);
        Signals sig;
        for (double pp : c.pp) sig.push_back(std::vector<double>(2000, 0.0)), sig.back().push_back(pp);
        feed(sig, 0, 5000, 6);
        EXPECT_EQ(hrCalcState().hrLead, c.lead) << c.why;
    }
}

TEST_F(HrCalc, LeadChangeReportsMinusOneThenReplaysTheHistory)
{
    feed({rhythm(15000)[1]}, 0, 15000);  // the beats on lead I, lead II flat
    EXPECT_EQ(count("beat"), 0);
    g_events.clear();
    ASSERT_EQ(hrCalcChangeLead(0), 0);
    EXPECT_EQ(whats(1), S{"rate:-1"});
    EXPECT_EQ((V{hrCalcState().writeCount - hrCalcState().readCount, hrCalcState().sinceBeat}), (V{300, -20000}));
    EXPECT_NEAR(count("beat"), 11, 2);  // 9700 replayed samples at RR 800, less the anchor and the queued tail
    LogCapture log;
    EXPECT_EQ((V{hrCalcChangeLead(18), hrCalcChangeLead(-1), hrCalcSetLead(19)}), (V{-1, -1, -1}));
    EXPECT_EQ(log.count("Input parameter exception."), 3);
}

TEST_F(HrCalc, FlatLimbLeadsReportZeroAtFrame777OfEverySecond)
{
    struct Case { int32_t status; double spike; V want; } cases[] = {  // spike: one sample per second on lead I
        {0, 0.0, {4777, 5777, 6777}},  // first check once writeCount > 4000
        {0x1, 0.0, {}},                // lead I off (III too): not all three checked
        {0, 50.0, {}},                 // 50 uV peak to peak is not below 50
        {0, 49.0, {4777, 5777, 6777}},
    };
    for (const Case &c : cases) {
        start();
        std::vector<double> i(7000, 0.0);
        for (size_t k = 0; k < i.size(); k += 1000) i[k] = c.spike;
        feed({i}, 0, 7000, 3, c.status);
        V flat;
        for (int64_t f : framesOf("rate:0"))
            if (f % 1000 == 777) flat.push_back(f);
        EXPECT_EQ(flat, c.want) << c.status << " " << c.spike;
    }
}

TEST_F(HrCalc, PausesReportZeroEverySixSecondsAndLongIntervalsTheirMeanRate)
{
    std::vector<double> ii = rhythm(15000)[1], i(40000);
    ii.resize(40000, 0.0);
    for (size_t k = 0; k < i.size(); ++k) i[k] = 500 * std::sin(2 * M_PI * double(k) / 1000);  // limb leads not flat
    feed({i, ii}, 0, 40000);
    const V beats = framesOf("beat"), zeros = framesOf("rate:0");
    ASSERT_TRUE(!beats.empty() && zeros.size() >= 2);
    EXPECT_EQ((V{zeros[0] - beats.back(), zeros[1] - zeros[0]}), (V{6001, 6001}));
    start();
    feed(rhythm(30000, 4500), 0, 30000);  // RR 4500 >= 4100: never stored; 120000 / 9000 = 13
    EXPECT_GE(count("rate:13"), 2);
    EXPECT_EQ(hrCalcState().rrArray[0], 0);
}

TEST_F(HrCalc, LeadOffReportsOnceAndLongLossRelearns)
{
    const Signals sig = rhythm(40000);
    feed(sig, 0, 20000);
    ASSERT_EQ(hrCalcState().curHR, 75);
    g_events.clear();
    feed(sig, 20000, 20100, 3, 0x2);  // II off for 100 frames: one -1 at the change
    EXPECT_EQ(framesOf("rate:-1"), V{20001});
    EXPECT_EQ(hrCalcState().skipNext, 1);  // the next beat only anchors
    feed(sig, 20100, 21500);
    EXPECT_EQ(count("learning:1"), 0);    // 100 + 599 flagged samples: not more than 1000
    feed(sig, 21500, 23500, 3, 0x10000);  // bit 16 invalidates I and II: 2 s skipped
    feed(sig, 23500, 26000);
    EXPECT_EQ(count("learning:1"), 1);
    g_events.clear();
    feed(sig, 26000, 26050, 3, 0, 1u << 1);  // a noisy heart-rate lead flags like a lead-off, without -1
    EXPECT_EQ(count("rate:-1"), 0);
    EXPECT_EQ(hrCalcState().leadBuf[1].statusCount, 599);
}

TEST_F(HrCalc, SettingsAndPatientClassReachEveryRestartOfTheDetector)
{
    EXPECT_EQ((V{HR_setMinAdultQRSThr(300, 30), stage().qrsAmpThr, HR_setMinAdultQRSThr(0, 0), stage().qrsAmpThr}), (V{0, 300, 0, 160}));
    const tessivar::HrCalcModule &s = hrCalcState();
    feed(rhythm(12000), 0, 12000);
    ASSERT_GT(s.rrArray[0], 0);
    EXPECT_EQ((V{hrCalcSetQrsMode(1), hrEnterLearning(), stage().ageType, stage().qrsAmpThr}), (V{0, 0, 1, 50}));
    EXPECT_EQ((V{s.isFirstBeat, s.rrArray[0], s.leadBuf[1].samples[500]}), (V{1, 0, 0}));  // learning again clears
    const Signals sig = rhythm(8000);
    feed(sig, 0, 2000, 3, 0x2);  // II off 2 s: a forced re-learning
    feed(sig, 2000, 8000);
    EXPECT_EQ(count("learning:1"), 2);
    EXPECT_EQ((V{stage().ageType, stage().qrsAmpThr}), (V{1, 50}));
    // flushStatuCount flags leads like a lead-off and zeroes the rate of the heart-rate lead.
    EXPECT_EQ(flushStatuCount((1u << 1) | (1u << 7)), 0);
    EXPECT_EQ((V{s.leadBuf[1].statusCount, s.leadBuf[7].statusCount, s.leadBuf[0].statusCount, s.curHR}), (V{600, 600, 0, 0}));
}

TEST_F(HrCalc, MethodTwoReadsFlaggedSamplesAndBadFramesAreHarmless)
{
    start(2);
    feed(rhythm(15000), 0, 15000, 3, 0x2);
    EXPECT_GT(count("beat"), 0);
    EXPECT_EQ(hrCalcState().flaggedCount, 0);
    LogCapture log;
    EXPECT_EQ(hrCalc(nullptr, 3, 0), -1);
    EXPECT_TRUE(log.contains("Input parameter exception."));
    std::vector<int32_t> frame(19, INT32_MIN);
    for (int n = 0; n < 3000; ++n, frame[1 + n % 18] ^= -1)  // extremes (limited to 16 bits for the detector)
        ASSERT_TRUE(hrCalc(frame.data(), n % 5 == 0 ? 40 : n % 7 == 0 ? -3 : 18, 0) == 0 && hrCalcState().leadCount <= 18) << n;
    hrCalcDeinit();
    EXPECT_EQ((V{hrCalc(frame.data(), 3, 0), hrEnterLearning(), hrCalcSetLead(2), hrCalcSetQrsMode(1)}), (V{-1, 0, 0, 0}));
    EXPECT_EQ(hrCalcState().detector, nullptr);
}

TEST_F(HrCalc, ShortestStoredIntervalAndFastestRateForRespiration)
{
    // Method 2 reports every beat at the same lag, so the stored interval is the beats' spacing: 151 is kept, 150 not.
    for (const auto &[gap, stored] : {std::pair{150, 800}, {151, 151}}) {
        start(2);
        std::vector<int64_t> peaks = tessivar::test::regularPeaks(500, 800, 10000);
        peaks.push_back(peaks.back() + gap);
        feed({{}, tessivar::test::beatsAt(1000, 12000, peaks, {{0.0, 1000.0, 0.008}})}, 0, 12000, 2);
        EXPECT_EQ(hrCalcState().rrArray[0], stored) << gap;
    }
    // 200 ms: 60000/200 = 300 reaches respiration; 199/200 alternating: 12*60000/2394 = 300.75 -> 301 does not.
    for (const auto &[odd, rate, forwarded] : {std::tuple{200, 300, 1}, {199, 301, 0}}) {
        start(2);
        std::vector<int64_t> peaks = {500};
        while (peaks.back() < 9000) peaks.push_back(peaks.back() + (peaks.size() % 2 ? 200 : odd));
        feed({{}, tessivar::test::beatsAt(1000, 10000, peaks, {{0.0, 1000.0, 0.008}})}, 0, 10000, 2);
        EXPECT_GT(count("rate:" + std::to_string(rate)), 0) << rate;
        EXPECT_EQ(count("resp:" + std::to_string(rate)), forwarded) << rate;
    }
}

R rrFeed(const R &rrs, bool fresh = true)
{
    if (fresh) init_rr2hr();
    R out;
    for (int32_t rr : rrs) out.push_back(rr2hr(rr));
    return out;
}

// 15 x 1000 ms (the trusted average 1000, two waiting), then rrs: last result, queue2 count and newest, avgRR, queue1 count.
R afterTrusted1000(const R &rrs)
{
    rrFeed(R(15, 1000));
    EXPECT_EQ(tessivar::rr2hrState().avgRR, 1000.0f);
    const int32_t last = rrFeed(rrs, false).back();
    const tessivar::Rr2hr &s = tessivar::rr2hrState();
    return {last, s.queue2Count, s.queue2Count > 0 ? s.queue2[s.queue2Count - 1] : -1, int32_t(s.avgRR), s.queue1Count};
}

TEST(Rr2hr, FillingAndTheStableRules)
{
    // Call 5: 700, 1200, 800 -> 2700 - 1200 - 700 = 800 -> 75; call 6: (3600 - 1900) / 2 = 850 -> 70.6 -> 71.
    EXPECT_EQ(rrFeed({700, 1200, 800, 900, 1000, 1100}), (R{0, 0, 0, 0, 75, 71}));
    struct Case {
        const char *what;
        R rrs, want;  // last result, queue2 count, newest accepted, avgRR, queue1 count
    } cases[] = {
        {"missed beat: 2300 in (1600, 2400) halved", {2300, 1000, 1000}, {60, 12, 1150, 1000, 2}},
        {"extra beat: 400 + 600 in (800, 1200) summed", {400, 600, 1000}, {60, 12, 1000, 1000, 1}},
        {"late beat: 1400 in (1200, 1600) replaced by A", {1400, 1000, 1000}, {60, 12, 1000, 1000, 2}},
        {"lone early beat kept: trimmed mean of 11 x 1000 and 500", {500, 1000, 1000}, {60, 12, 500, 1000, 2}},
        {"early beat and compensation: 700 + 1000 in (1600, 2400)", {700, 1000, 1000}, {60, 12, 1000, 1000, 1}},
        {"stable 600s, mean below 0.8 A: they restart the queue, 60000 / 600", {600, 600, 600}, {100, 3, 600, 0, 0}},
        {"3000 fits no rule: everything emptied", {3000, 1000, 1000}, {0, 0, -1, 0, 0}},
    };
    for (const Case &c : cases) EXPECT_EQ(afterTrusted1000(c.rrs), c.want) << c.what;
}

TEST(Rr2hr, PatternsWhileUnstableAndRefusedIntervals)
{
    // 600/900: irregular (600 / 750 = 0.8), even/odd means 600, 900 -> 750 ms -> 80.
    // 500/700/900: period 2 fails, period-3 means 500, 700, 900 -> 700 ms -> 85.7 -> 86.
    for (const auto &[pattern, rate] : {std::pair{R{600, 900}, 80}, {R{500, 700, 900}, 86}}) {
        R rrs;
        for (size_t k = 0; k < 15; ++k) rrs.push_back(pattern[k % pattern.size()]);
        EXPECT_EQ(rrFeed(rrs).back(), rate) << pattern.size();
    }
    rrFeed({800, 800, 800, 800});
    EXPECT_EQ((R{rr2hr(0), rr2hr(-1), rr2hr(60001), tessivar::rr2hrState().queue1Count, rr2hr(800)}), (R{-1, -1, -1, 2, 75}));
    EXPECT_EQ((R{fillQueue2(4), fillQueue2(-1)}), (R{-1, -1}));
}

// Input frames (1000 Hz) through a front end as a host drives it; the input frame of every beat's fiducial point.
// With `rates`, the rate held after each block of 50 frames.
std::vector<int64_t> beatFrames(const std::string &wire, const std::string &data, const std::vector<int32_t> &frames,
                                std::vector<int> *rates = nullptr)
{
    std::vector<int64_t> beats;
    PreprocessConf c{};
    c.fs = c.lsbMv = 1000;
    c.paceInhib = 1;
    c.paceRemoveMs = 10;
    c.wireType = wire.c_str();
    c.dataType = data.c_str();
    c.hrLead = c.respLead = "II";
    c.printFunc = [](const char *) {};
    EXPECT_TRUE(tessivar::test::runFrames(
        c, frames, 50,
        [&beats] {
            ecgPreprocessSetBeatEventCallback(
                [](const EcgBeatEvent *e, void *user) { static_cast<std::vector<int64_t> *>(user)->push_back(e->frame); }, &beats);
            ecgPreprocessSetFilter("0.67", "50", "35");
        },
        [rates] { if (rates != nullptr) rates->push_back(getCurHeartRate()); }));
    return beats;
}

// The simulator without variability or respiration (leads I, II, V1..V6): the true rate is exactly the set one.
std::vector<int32_t> simulated(double bpm, uint32_t seed, rec::FrameLayout *layout)
{
    rec::SimOptions o;
    o.fs = 1000, o.seconds = 40.0, o.seed = seed, o.heartRate = bpm, o.variability = 0.0, o.respRate = 0.0;
    const rec::Simulation sim = rec::simulate(o);
    *layout = rec::chooseLayout(sim.record, {}, "none");
    return rec::buildFrames(sim.record, *layout, 1000, 1000, 1000.0, -1);
}

TEST(HrPipeline, SimulatedSteadyRatesAndRateSteps)
{
    rec::FrameLayout layout;
    for (const double bpm : {30.0, 60.0, 120.0, 180.0, 240.0}) {  // every rate held from 20 s on within 2
        std::vector<int> rates;
        const std::vector<int32_t> frames = simulated(bpm, 7, &layout);
        beatFrames(layout.wireType, layout.dataType, frames, &rates);
        ASSERT_EQ(rates.size(), 800u);
        for (size_t k = 400; k < rates.size(); ++k) ASSERT_NEAR(rates[k], bpm, 2) << bpm << " bpm at block " << k;
    }
    // 40 s at one rate joined to 40 s at another (first beat 0.4 s in, the join interval 1.0 s). Mixed old and new
    // intervals match no pattern and their trimmed mean stays off; ten equal newest intervals make the period-5 rule
    // give the new rate: 10 new intervals up, 9 down (the join already counts), then 300 + 600 + 940 ms to the report.
    for (const auto &[from, to, intervals] : {std::tuple{60.0, 120.0, 10}, {120.0, 60.0, 9}, {60.0, 180.0, 10}, {180.0, 60.0, 9}}) {
        std::vector<int32_t> frames = simulated(from, 3, &layout), second = simulated(to, 4, &layout);
        frames.insert(frames.end(), second.begin(), second.end());
        std::vector<int> rates;
        beatFrames(layout.wireType, layout.dataType, frames, &rates);
        size_t settled = rates.size();  // first block of the last run within 2 of the new rate
        while (settled > 0 && std::abs(rates[settled - 1] - to) <= 2) --settled;
        EXPECT_NEAR(double(settled + 1) * 0.05 - 40.0, 0.4 + intervals * 60.0 / to + 1.84, 0.1) << from << " -> " << to;
    }
}

TEST(HrPipeline, MitdbFirstSixMinutesMatchTheGoldenCounts)
{
    const std::string dir = std::string(TESSIVAR_SHARED_DATA) + "/mitdb/";
    if (!std::ifstream(dir + "100.hea").good()) GTEST_SKIP() << "no recordings in " << TESSIVAR_SHARED_DATA;
    std::ifstream f(std::string(TESSIVAR_TEST_DATA) + "/heart_rate/mitdb_golden.txt");
    int records = 0;
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        std::string name;
        double seconds = 0, tolerance = 0;
        rec::CompareOptions o;
        rec::BeatCounts want;
        if (line[0] == '#' || !(in >> name >> seconds >> o.learningS >> want.tp >> want.fn >> want.fp >> tolerance)) continue;
        ++records;
        // MLII as lead II; the last frame repeated 2500 times (more than the path holds back).
        const rec::Record record = rec::readRecord(dir + name);
        const rec::FrameLayout layout = rec::chooseLayout(record, {}, "none");
        std::vector<int32_t> frames = rec::buildFrames(record, layout, 1000, 1000, 1000.0, int64_t(seconds * 1000));
        const std::vector<int32_t> last(frames.end() - std::ptrdiff_t(1 + layout.channelLead.size() + (layout.respSignal >= 0)), frames.end());
        for (int k = 0; k < 2500; ++k) frames.insert(frames.end(), last.begin(), last.end());
        o.fs = record.header.fs;
        std::vector<int64_t> found, ref;
        for (int64_t k : beatFrames(layout.wireType, layout.dataType, frames)) found.push_back(std::llround(k * o.fs / 1000));
        std::sort(found.begin(), found.end());
        for (const rec::Annotation &a : rec::readAnnotations(dir + name + ".atr"))
            if (rec::isBeat(a.code) && double(a.time) < seconds * o.fs) ref.push_back(a.time);
        const rec::BeatCounts c = rec::compareBeats(ref, found, o);
        EXPECT_NEAR(100 * c.sensitivity(), 100 * want.sensitivity(), tolerance) << name;
        EXPECT_NEAR(100 * c.positivePredictivity(), 100 * want.positivePredictivity(), tolerance) << name;
        EXPECT_EQ(c.tp + c.fn, want.tp + want.fn) << name;
    }
    EXPECT_GE(records, 6);
}

}  // namespace

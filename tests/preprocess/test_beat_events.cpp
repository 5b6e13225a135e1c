// Beat events of the front end: registration and its refusals, and the
// reported frame of every beat against the true R waves of the patient
// simulator, for every detection method, at 1000 and 2000 Hz, with lead II
// and with chest leads only, across a lead change and a learning restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "records/frames.hpp"
#include "records/simulator.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/ecg_preprocess.h"

namespace {

using tessivar::records::FrameLayout;
using tessivar::records::Simulation;

int g_staleCalls = 0;

void collect(const EcgBeatEvent *e, void *user)
{
    static_cast<std::vector<EcgBeatEvent> *>(user)->push_back(*e);
}
void stale(const EcgBeatEvent *, void *) { ++g_staleCalls; }

PreprocessConf quietConf(const char *wire, const char *data, int fs, const char *hrLead, int method)
{
    PreprocessConf c{};
    c.fs = fs;
    c.lsbMv = 1000;
    c.paceInhib = 1;
    c.paceRemoveMs = 10;
    c.wireType = wire;
    c.dataType = data;
    c.hrLead = hrLead;
    c.respLead = "II";
    c.printFunc = [](const char *) {};
    c.qrsMethod = method;
    return c;
}

TEST(BeatEvents, RegistrationResults)
{
    // Step by step: the call, its expected result, why.
    const PreprocessConf conf = quietConf("12", "SL", 1000, "II", 0);
    std::vector<EcgBeatEvent> events;
    ecgPreprocessDenit();
    EXPECT_EQ(ecgPreprocessSetBeatEventCallback(collect, &events), ECG_BEAT_EVENT_NOT_STARTED);  // before Init
    EXPECT_EQ(ecgPreprocessClearBeatEventCallback(), ECG_BEAT_EVENT_NOT_STARTED);
    ASSERT_EQ(ecgPreprocessInit(&conf), 0);
    EXPECT_EQ(ecgPreprocessSetBeatEventCallback(nullptr, &events), ECG_BEAT_EVENT_NULL_FUNC);
    EXPECT_EQ(ecgPreprocessSetBeatEventCallback(stale, nullptr), ECG_BEAT_EVENT_OK);
    EXPECT_EQ(ecgPreprocessSetBeatEventCallback(collect, &events), ECG_BEAT_EVENT_REGISTERED);  // twice
    EXPECT_EQ(ecgPreprocessClearBeatEventCallback(), ECG_BEAT_EVENT_OK);
    EXPECT_EQ(ecgPreprocessClearBeatEventCallback(), ECG_BEAT_EVENT_OK);  // nothing registered: still fine
    EXPECT_EQ(ecgPreprocessSetBeatEventCallback(stale, nullptr), ECG_BEAT_EVENT_OK);
    ASSERT_EQ(ecgPreprocessDenit(), 0);
    EXPECT_EQ(ecgPreprocessSetBeatEventCallback(collect, &events), ECG_BEAT_EVENT_NOT_STARTED);  // after Denit

    // A restart forgets the old registration: beats of the new run never
    // reach the function registered before Denit.
    g_staleCalls = 0;
    ASSERT_EQ(ecgPreprocessInit(&conf), 0);
    tessivar::records::SimOptions o;
    o.seconds = 12;
    o.respRate = 0;
    const Simulation sim = tessivar::records::simulate(o);
    const FrameLayout layout = tessivar::records::chooseLayout(sim.record, {}, "none");
    const std::vector<int32_t> frames = tessivar::records::buildFrames(sim.record, layout, 1000, 1000, 1000.0, -1);
    std::vector<int32_t> out(frames.size() * 2);
    ASSERT_EQ(ecgPreprocessSetBeatEventCallback(collect, &events), ECG_BEAT_EVENT_OK);
    ecgPreprocessDoPreprocess(int(frames.size() / (1 + layout.channelLead.size())), frames.data(), out.data());
    ecgPreprocessDenit();
    EXPECT_EQ(g_staleCalls, 0);
    EXPECT_GT(events.size(), 5u);  // 72 per minute, 12 s, minus the path and learning
}

// A method's detector confirms beats on a clean train of the built-in
// shape (false for the methods not built yet: their tests are skipped).
bool methodDetects(int method)
{
    const BeatDetectConf conf = {"probe", nullptr, 1000, 0, method, 0, 0};
    BeatDetect *d = newBeatDetect(&conf);
    if (d == nullptr) return false;
    initBeatDetect(d);
    int beats = 0;
    uint8_t noise = 0;
    for (int i = 0; i < 20000; ++i) {
        const int k = i % 800;  // 75 per minute: a 1 mV, 40 ms wide R wave
        const double r = 1000.0 * std::exp(-0.5 * std::pow((k - 400) / 10.0, 2));
        beats += realtimeDetectBeat(d, int16_t(r), &noise) > 0 ? 1 : 0;
    }
    delBeatDetect(&d);
    return beats > 0;
}

struct SimRun {
    std::vector<EcgBeatEvent> events;
    std::vector<double> trueBeats;  // seconds
    int fs = 1000;
};

// The simulator's record through the front end; `at` holds host actions
// run before the frame of their key.
SimRun runSimulation(int method, int fs, bool chestOnly, const char *hrLead, double seconds,
                  const std::map<int64_t, std::function<void()>> &at = {})
{
    tessivar::records::SimOptions o;
    o.fs = fs;
    o.seconds = seconds;
    o.seed = 11;
    o.heartRate = 75;
    o.respRate = 0;
    Simulation sim = tessivar::records::simulate(o);
    if (chestOnly) {
        // Drop I and II: the layout marks their electrodes off.
        for (const char *lead : {"I", "II"}) {
            const int s = sim.record.find(lead);
            sim.record.header.signals.erase(sim.record.header.signals.begin() + s);
            sim.record.samples.erase(sim.record.samples.begin() + s);
        }
    }
    const FrameLayout layout = tessivar::records::chooseLayout(sim.record, {}, "none");
    const std::vector<int32_t> frames = tessivar::records::buildFrames(sim.record, layout, fs, 1000, 1000.0, -1);
    SimRun run;
    run.fs = fs;
    for (const auto &b : sim.beats) run.trueBeats.push_back(double(b.time) / fs);

    const PreprocessConf conf = quietConf(layout.wireType.c_str(), layout.dataType.c_str(), fs, hrLead, method);
    EXPECT_EQ(ecgPreprocessInit(&conf), 0);
    ecgPreprocessSetFilter("0.67", "50", "35");
    EXPECT_EQ(ecgPreprocessSetBeatEventCallback(collect, &run.events), 0);
    const int in = getCurInFrame();
    std::vector<int32_t> out(size_t(getCurOutFrame()) * 64);
    const int64_t count = int64_t(frames.size()) / in;
    for (int64_t f = 0; f < count;) {
        const auto next = at.upper_bound(f);
        const auto action = at.find(f);
        if (action != at.end()) action->second();
        const int64_t end = std::min({count, f + 64, next == at.end() ? count : next->first});
        ecgPreprocessDoPreprocess(int(end - f), frames.data() + f * in, out.data());
        f = end;
    }
    ecgPreprocessDenit();
    return run;
}

// Offsets (ms) of the events after `fromS` to their nearest true beat.
std::vector<double> offsets(const SimRun &r, double fromS)
{
    std::vector<double> out;
    for (const EcgBeatEvent &e : r.events) {
        const double t = double(e.frame) / r.fs;
        if (t < fromS) continue;
        const auto it = std::lower_bound(r.trueBeats.begin(), r.trueBeats.end(), t);
        double best = 1e9;
        if (it != r.trueBeats.end()) best = *it - t;
        if (it != r.trueBeats.begin() && t - *(it - 1) < std::fabs(best)) best = *(it - 1) - t;
        out.push_back(-1000.0 * best);
    }
    return out;
}

// True beats after fromS and before the end of the path that no event
// within 60 ms found.
int missed(const SimRun &r, double fromS, double toS)
{
    int n = 0;
    for (double b : r.trueBeats) {
        if (b < fromS || b > toS) continue;
        bool found = false;
        for (const EcgBeatEvent &e : r.events) found = found || std::fabs(double(e.frame) / r.fs - b) <= 0.060;
        n += found ? 0 : 1;
    }
    return n;
}

double median(std::vector<double> v)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Case {
    int method;
    int fs;
    bool chestOnly;
    const char *hrLead;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << "method " << c.method << ", " << c.fs << " Hz, heart-rate lead " << c.hrLead;
}

class BeatEventPositions : public ::testing::TestWithParam<Case> {};

TEST_P(BeatEventPositions, EveryBeatWithin60MsOfItsRWave)
{
    const Case c = GetParam();
    if (!methodDetects(c.method)) GTEST_SKIP() << "method " << c.method << " confirms no beats in this build";
    // 30 s at 75 per minute: 37 beats. The first 5 s are learning; the
    // last 3 s are still on their way through the analysis path.
    const SimRun r = runSimulation(c.method, c.fs, c.chestOnly, c.hrLead, 30.0);
    const std::vector<double> off = offsets(r, 5.0);
    std::printf("method %d, %d Hz, %s: %zu beats, median offset %.1f ms\n", c.method, c.fs,
                c.chestOnly ? "chest leads only" : "lead II", off.size(), median(off));
    ASSERT_GE(off.size(), 25u);
    // Method 2 reports every beat as 77 samples old whatever its true lag
    // (93 ms on a narrow QRS at 1000 Hz, more on the wide chest-lead
    // complexes, where its 40-sample hold also lets a second peak of the
    // same QRS through): 80 ms for it.
    const double bound = c.method == 2 ? 80.0 : 60.0;
    for (double x : off) EXPECT_LE(std::fabs(x), bound);
    // Methods 1 and kt report a beat only once the next one is accepted,
    // behind their 1 s filter lag: a beat in the last 4 s is not out yet.
    EXPECT_LE(missed(r, 5.0, c.method == 0 || c.method == 2 ? 27.0 : 26.0), 0);
    for (const EcgBeatEvent &e : r.events) {
        EXPECT_EQ(e.method, c.method);
        EXPECT_GE(e.reportFrame, e.frame);
    }
}

std::vector<Case> cases()
{
    std::vector<Case> out;
    for (int method : {0, 1, 2, 3})
        for (int fs : {1000, 2000}) {
            out.push_back({method, fs, false, "II"});
            out.push_back({method, fs, true, "auto"});  // picks a chest lead itself
        }
    return out;
}

INSTANTIATE_TEST_SUITE_P(Methods, BeatEventPositions, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case> &i) {
                             return "m" + std::to_string(i.param.method) + "_" + std::to_string(i.param.fs) +
                                    (i.param.chestOnly ? "_chest" : "_II");
                         });

TEST(BeatEvents, LeadChangeAndLearningRestartKeepPositions)
{
    // 40 s on II; at 16 s the host moves heart rate to V5 (the history of
    // V5 is replayed at once), at 28 s it restarts learning. Every beat,
    // replayed ones included, lies within 60 ms of a true R wave.
    for (int fs : {1000, 2000}) {
        const std::map<int64_t, std::function<void()>> actions = {
            {int64_t(16) * fs, [] { EXPECT_EQ(ecgPreprocessSetHrLead("V5"), 0); }},
            {int64_t(28) * fs, [] { EXPECT_EQ(ecgPreprocessResetHr(), 0); }},
        };
        const SimRun r = runSimulation(0, fs, false, "II", 40.0, actions);
        const std::vector<double> off = offsets(r, 5.0);
        for (double x : off) EXPECT_LE(std::fabs(x), 60.0) << fs;
        int replayed = 0, onV5 = 0;
        for (const EcgBeatEvent &e : r.events) {
            replayed += e.reportFrame == 16 * fs ? 1 : 0;  // all reported during the change
            onV5 += e.lead == 10 ? 1 : 0;
            EXPECT_EQ(e.lead, e.reportFrame < 16 * fs ? 1 : 10);  // II, then V5
        }
        // The replay covers about 9.7 s of V5 history: some 11 beats.
        EXPECT_GE(replayed, 9) << fs;
        EXPECT_GE(onV5, 25) << fs;
        // After the restart one beat only anchors the intervals; the rest
        // of the true beats up to the path's end are found.
        EXPECT_LE(missed(r, 29.0, 37.0), 1) << fs;
        std::printf("%d Hz: %zu beats, %d replayed, median offset %.1f ms\n", fs, off.size(), replayed, median(off));
    }
}

}  // namespace

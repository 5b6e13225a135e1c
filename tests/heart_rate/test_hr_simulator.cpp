// Heart rate of the whole front end on the patient simulator (leads I, II,
// V1 ... V6, heart rate on II, method 0): steady rhythms from 30 to 240 per
// minute and the time a step of rate takes to show. The simulator runs
// without respiration (so without sinus arrhythmia) and without random
// variability: the true rate is exactly the set one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "heart_rate/record_runner.hpp"
#include "records/simulator.hpp"

namespace {

using tessivar::test::PipelineRun;
using tessivar::test::RateReport;

std::vector<int32_t> simulatedFrames(double bpm, double seconds, uint32_t seed, std::string *wire, std::string *data)
{
    tessivar::records::SimOptions o;
    o.fs = 1000;
    o.seconds = seconds;
    o.seed = seed;
    o.heartRate = bpm;
    o.variability = 0.0;
    o.respRate = 0.0;
    const tessivar::records::Simulation sim = tessivar::records::simulate(o);
    const tessivar::records::FrameLayout layout = tessivar::records::chooseLayout(sim.record, {}, "none");
    *wire = layout.wireType;
    *data = layout.dataType;
    return tessivar::records::buildFrames(sim.record, layout, 1000, 1000, 1000.0, -1);
}

PipelineRun run(const std::vector<int32_t> &frames, const std::string &wire, const std::string &data)
{
    return tessivar::test::runFrames(tessivar::test::recordConf(wire, data), frames);
}

TEST(HrSimulator, SteadyRatesAreReportedWithinTwoBeatsPerMinute)
{
    // Learning: the calculator's first rate needs three stored intervals
    // after the anchoring beat (and the detector its 1.8 s path); from 20 s
    // on every report must be within +-2 of the set rate, and the last
    // reported rate is.
    for (const double bpm : {30.0, 60.0, 120.0, 180.0, 240.0}) {
        std::string wire, data;
        const std::vector<int32_t> frames = simulatedFrames(bpm, 60.0, 7, &wire, &data);
        const PipelineRun r = run(frames, wire, data);
        ASSERT_FALSE(r.rates.empty()) << bpm;
        int late = 0, off = 0;
        for (const RateReport &x : r.rates) {
            if (x.frame < 20000) continue;
            ++late;
            if (std::fabs(x.rate - bpm) > 2) ++off;
        }
        std::printf("%5.0f bpm: %zu reports, last %d\n", bpm, r.rates.size(), r.rates.back().rate);
        EXPECT_EQ(off, 0) << bpm;
        EXPECT_NEAR(r.rates.back().rate, bpm, 2) << bpm;
        // Beats: one per simulated beat once the path is full.
        EXPECT_NEAR(double(r.beatFrames.size()), (60.0 - 3.0) * bpm / 60.0, bpm / 60.0 * 3 + 2) << bpm;
    }
}

// Seconds from the step to the first report within +-2 of the new rate,
// after which the reports stay there.
double settleSeconds(const PipelineRun &r, int64_t stepFrame, double to)
{
    int64_t settled = -1;
    for (const RateReport &x : r.rates) {
        if (x.frame < stepFrame) continue;
        const bool near = std::fabs(x.rate - to) <= 2;
        if (near && settled < 0) settled = x.frame;
        if (!near) settled = -1;
    }
    return settled < 0 ? -1.0 : double(settled - stepFrame) / 1000.0;
}

TEST(HrSimulator, StepOfRateSettlesWithinTheIntervalHistory)
{
    // Two simulations joined: 40 s at the first rate, 40 s at the second.
    // Each has its first beat 0.4 s in and its last before 39.7 s, so the
    // interval across the join is 1.0 s for all the rates used here.
    //
    // The rate comes from the last twelve intervals (newest first). A
    // mixture of old and new intervals matches no repeating pattern and
    // gives the mean without the longest and the shortest, which stays more
    // than 2 per minute off the new rate while two or more old intervals
    // remain. Once the newest ten intervals are equal, the every-5-beats
    // pattern (entry k against entry k + 5 for k = 0..4) holds and the rate
    // is the mean of those ten: the new rate exactly. Up from 60 to 120 (or
    // 180): ten new intervals, complete 0.4 + 10 * RR after the join. Down
    // from 120 (or 180) to 60: the 1.0 s join interval already counts as a
    // new one, so nine more suffice, 0.4 + 9 * RR. The report follows its
    // beat by the calculator's 300 samples, the detector's release age 600
    // and the analysis filter's delay.
    struct Step {
        double from, to;
        int intervals;  // new-rate intervals before the report
    };
    for (const Step &s : {Step{60, 120, 10}, Step{120, 60, 9}, Step{60, 180, 10}, Step{180, 60, 9}}) {
        std::string wire, data, wire2, data2;
        std::vector<int32_t> frames = simulatedFrames(s.from, 40.0, 3, &wire, &data);
        const std::vector<int32_t> second = simulatedFrames(s.to, 40.0, 4, &wire2, &data2);
        ASSERT_EQ(wire, wire2);
        const int64_t stepFrame = int64_t(frames.size()) / (1 + 8);
        frames.insert(frames.end(), second.begin(), second.end());
        const PipelineRun r = run(frames, wire, data);
        const double t = settleSeconds(r, stepFrame, s.to);
        const double latency = (300 + 600 + r.analysisDelay) / 1000.0;
        const double expected = 0.4 + s.intervals * 60.0 / s.to + latency;
        std::printf("%3.0f -> %3.0f bpm: settled after %.2f s (beat %.2f s + path %.2f s)\n", s.from, s.to, t,
                    t - latency, latency);
        EXPECT_NEAR(t, expected, 0.1);
    }
}

}  // namespace

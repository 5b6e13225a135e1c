// Heart rate of the whole front end (method 0 on lead II): beats on real
// MIT-BIH recordings against golden counts, steady simulated rates and the
// time a step of rate takes to show.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "heart_rate/record_runner.hpp"
#include "records/beat_compare.hpp"

namespace {

using tessivar::test::PipelineRun;

TEST(HrPipeline, MitdbFirstSixMinutesMatchTheGoldenCounts)
{
    const std::string dir = std::string(TESSIVAR_SHARED_DATA) + "/mitdb/";
    if (!std::ifstream(dir + "100.hea").good()) GTEST_SKIP() << "no recordings in " << TESSIVAR_SHARED_DATA;
    std::ifstream f(std::string(TESSIVAR_TEST_DATA) + "/heart_rate/mitdb_golden.txt");
    int records = 0;
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        std::string name;
        double seconds = 0, learningS = 0, tolerance = 0;
        tessivar::records::BeatCounts want;
        if (line.empty() || line[0] == '#' || !(in >> name >> seconds >> learningS >> want.tp >> want.fn >> want.fp >> tolerance))
            continue;
        ++records;
        const tessivar::test::RecordBeats r = tessivar::test::runRecordBeats(dir + name, seconds);
        tessivar::records::CompareOptions o;
        o.fs = r.fs;
        o.learningS = learningS;
        const tessivar::records::BeatCounts c = tessivar::records::compareBeats(r.reference, r.detected, o);
        EXPECT_NEAR(100 * c.sensitivity(), 100 * want.sensitivity(), tolerance) << name;
        EXPECT_NEAR(100 * c.positivePredictivity(), 100 * want.positivePredictivity(), tolerance) << name;
        EXPECT_EQ(c.tp + c.fn, want.tp + want.fn) << name;
    }
    EXPECT_GE(records, 6);
}

TEST(HrPipeline, SteadySimulatedRatesWithinTwoPerMinute)
{
    for (const double bpm : {30.0, 60.0, 120.0, 180.0, 240.0}) {
        std::string wire, data;
        const std::vector<int32_t> frames = tessivar::test::simulatedFrames(bpm, 60.0, 7, &wire, &data);
        const PipelineRun r = tessivar::test::runFrames(wire, data, frames);
        ASSERT_FALSE(r.rates.empty()) << bpm;
        for (const auto &x : r.rates) EXPECT_TRUE(x.frame < 20000 || std::fabs(x.rate - bpm) <= 2) << bpm << ": " << x.rate;
        // One beat per simulated beat once the path (about 3 s) is full.
        EXPECT_NEAR(double(r.beatFrames.size()), 57.0 * bpm / 60.0, bpm / 20 + 2) << bpm;
    }
}

TEST(HrPipeline, StepOfRateSettlesWhenTheNewestTenIntervalsAgree)
{
    // 40 s at one rate joined to 40 s at another (join interval 1.0 s). The
    // rate is right once period 5 holds over the newest ten intervals: up,
    // ten new intervals (0.4 + 10 RR after the join); down, the 1.0 s join
    // interval counts, nine more. The report lags its beat by 300 + 600 +
    // the analysis filter's delay.
    struct Step {
        double from, to;
        int intervals;
    };
    for (const Step &s : {Step{60, 120, 10}, Step{120, 60, 9}, Step{60, 180, 10}, Step{180, 60, 9}}) {
        std::string wire, data, wire2, data2;
        std::vector<int32_t> frames = tessivar::test::simulatedFrames(s.from, 40.0, 3, &wire, &data);
        const std::vector<int32_t> second = tessivar::test::simulatedFrames(s.to, 40.0, 4, &wire2, &data2);
        const int64_t stepFrame = int64_t(frames.size()) / 9;
        frames.insert(frames.end(), second.begin(), second.end());
        const PipelineRun r = tessivar::test::runFrames(wire, data, frames);
        int64_t settled = -1;
        for (const auto &x : r.rates) {
            if (x.frame < stepFrame) continue;
            const bool near = std::fabs(x.rate - s.to) <= 2;
            if (near && settled < 0) settled = x.frame;
            if (!near) settled = -1;
        }
        const double expected = 0.4 + s.intervals * 60.0 / s.to + (900 + r.analysisDelay) / 1000.0;
        EXPECT_NEAR(double(settled - stepFrame) / 1000.0, expected, 0.1) << s.from << " -> " << s.to;
    }
}

}  // namespace

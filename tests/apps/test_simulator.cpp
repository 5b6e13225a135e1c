#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "records/simulator.hpp"

namespace {

using namespace tessivar::records;

TEST(Simulator, DeterministicForASeed)
{
    SimOptions o;
    o.seconds = 10;
    o.muscleNoiseUv = 50;
    const Simulation a = simulate(o), b = simulate(o);
    EXPECT_EQ(a.record.samples, b.record.samples);
    ASSERT_EQ(a.beats.size(), b.beats.size());
    o.seed = 2;
    EXPECT_NE(simulate(o).record.samples, a.record.samples);
}

TEST(Simulator, BeatsAtTheRateWithRPeaksWhereAnnotated)
{
    SimOptions o;
    o.seconds = 60;
    o.heartRate = 80;
    const Simulation s = simulate(o);
    EXPECT_NEAR(double(s.beats.size()), 80.0, 4.0);
    const Record &r = s.record;
    const int ii = r.find("II"), v1 = r.find("V1"), v6 = r.find("V6");
    ASSERT_GE(ii, 0);
    for (const Annotation &b : s.beats) {
        const size_t t = size_t(b.time);
        // Lead II: an upright R of about 1.3 mV, the peak within 2 ms of the
        // annotation; V1 mostly negative, V6 upright (R-wave progression).
        int32_t peak = 0;
        size_t at = t;
        for (size_t k = t - 20; k <= t + 20; ++k)
            if (r.samples[ii][k] > peak) peak = r.samples[ii][at = k];
        EXPECT_GT(peak, 1000);
        EXPECT_LE(std::labs(long(at) - long(t)), 2);
        EXPECT_LT(r.samples[v1][t], -300);
        EXPECT_GT(r.samples[v6][t], 800);
    }
}

TEST(Simulator, PaceSpikesCarryTheStatusBit)
{
    SimOptions o;
    o.seconds = 10;
    o.fs = 2000;
    o.pace = true;
    const Simulation s = simulate(o);
    size_t marked = 0;
    for (size_t t = 0; t < s.record.samples[0].size(); ++t) marked += (statusWord(s.record, t) & kPaceBit) != 0;
    EXPECT_EQ(marked, s.beats.size() * 4);  // 2 ms at 2000 Hz per beat
    for (const Annotation &b : s.beats) EXPECT_EQ(b.code, 12);
    const size_t spike = size_t(s.beats[3].time) - 80;  // 40 ms before the R peak
    EXPECT_TRUE(statusWord(s.record, spike) & kPaceBit);
}

TEST(Simulator, LeadOffEpisodesFlatAndFlagged)
{
    SimOptions o;
    o.seconds = 30;
    o.leadOff = true;
    const Simulation s = simulate(o);
    const size_t v2 = size_t(s.record.find("V2"));
    const size_t t = size_t(0.3 * 30000) + 100;
    EXPECT_EQ(statusWord(s.record, t) & 0x8, 0x8);
    EXPECT_EQ(s.record.samples[v2][t], 0);
    const size_t arm = size_t(0.6 * 30000) + 100;
    EXPECT_EQ(statusWord(s.record, arm) & 0x33fff, 0x1);
    EXPECT_EQ(statusWord(s.record, 100), 0);
}

TEST(Simulator, RecordRoundTripsThroughWfdb)
{
    SimOptions o;
    o.seconds = 8;
    o.pace = true;
    o.leadOff = true;
    o.baselineWander = true;
    o.mainsUv = 100;
    const Simulation s = simulate(o);
    const std::string base = ::testing::TempDir() + "/sim_roundtrip";
    writeRecord(base, s.record);
    writeAnnotations(base + ".atr", s.beats);
    const Record back = readRecord(base);
    EXPECT_EQ(back.samples, s.record.samples);
    for (size_t t = 0; t < back.samples[0].size(); ++t)
        ASSERT_EQ(statusWord(back, t), statusWord(s.record, t));
    const auto beats = readAnnotations(base + ".atr");
    ASSERT_EQ(beats.size(), s.beats.size());
    for (size_t k = 0; k < beats.size(); ++k) EXPECT_EQ(beats[k].time, s.beats[k].time);
    for (const char *ext : {".hea", ".dat", ".atr"}) std::remove((base + ext).c_str());
}

}  // namespace

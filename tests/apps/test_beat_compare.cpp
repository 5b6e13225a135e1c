#include <gtest/gtest.h>

#include "records/beat_compare.hpp"

namespace {

using namespace tessivar::records;

CompareOptions at1000(double learningS = 0.0) { return CompareOptions{1000.0, 150.0, learningS, {}}; }

TEST(BeatCompare, WindowBoundaryIsInclusive)
{
    // At 1000 Hz one sample is 1 ms: offsets of 149 and 150 ms match, 151
    // ms is a miss plus a false detection.
    for (int offset : {-151, -150, -149, 149, 150, 151}) {
        const BeatCounts c = compareBeats({10000}, {10000 + offset}, at1000());
        const bool inside = std::abs(offset) <= 150;
        EXPECT_EQ(c.tp, inside ? 1 : 0) << offset;
        EXPECT_EQ(c.fn, inside ? 0 : 1) << offset;
        EXPECT_EQ(c.fp, inside ? 0 : 1) << offset;
    }
    // At 360 Hz, 150 ms is 54 samples.
    const CompareOptions mit{360.0, 150.0, 0.0, {}};
    EXPECT_EQ(compareBeats({1000}, {1054}, mit).tp, 1);
    EXPECT_EQ(compareBeats({1000}, {1055}, mit).tp, 0);
}

TEST(BeatCompare, EachBeatMatchesOnceToTheNearest)
{
    // Two detections near one reference beat: the nearer matches, the other
    // is a false positive. Two references near one detection: one is missed.
    BeatCounts c = compareBeats({5000}, {4950, 5010}, at1000());
    EXPECT_EQ(c.tp, 1);
    EXPECT_EQ(c.fp, 1);
    c = compareBeats({5000, 5100}, {5050}, at1000());
    EXPECT_EQ(c.tp, 1);
    EXPECT_EQ(c.fn, 1);
    EXPECT_EQ(c.fp, 0);
    // Close neighbours each keep their own partner.
    c = compareBeats({1000, 1200}, {1140, 1210}, at1000());
    EXPECT_EQ(c.tp, 2);
    EXPECT_EQ(c.fp, 0);
}

TEST(BeatCompare, LearningPeriodIsMatchedButNotCounted)
{
    // Learning 300 s: beats before sample 300000 do not count, but a
    // detection just after the boundary that matches a reference just
    // before it is not a false positive either.
    const std::vector<int64_t> ref = {100000, 299990, 310000, 320000};
    const std::vector<int64_t> det = {150000, 300050, 310000};
    const BeatCounts c = compareBeats(ref, det, at1000(300.0));
    EXPECT_EQ(c.tp, 1);  // 310000
    EXPECT_EQ(c.fn, 1);  // 320000
    EXPECT_EQ(c.fp, 0);  // 150000 is in the learning period; 300050 matched 299990
    EXPECT_DOUBLE_EQ(c.sensitivity(), 0.5);
    EXPECT_DOUBLE_EQ(c.positivePredictivity(), 1.0);
}

TEST(BeatCompare, EmptyListsAndTotals)
{
    BeatCounts c = compareBeats({}, {}, at1000());
    EXPECT_EQ(c.sensitivity(), 1.0);
    EXPECT_EQ(c.positivePredictivity(), 1.0);
    c = compareBeats({1, 2000, 4000}, {}, at1000());
    EXPECT_EQ(c.fn, 3);
    EXPECT_EQ(c.sensitivity(), 0.0);
    BeatCounts total;
    total += c;
    total += compareBeats({}, {7, 9000}, at1000());
    EXPECT_EQ(total.fn, 3);
    EXPECT_EQ(total.fp, 2);
    EXPECT_EQ(total.positivePredictivity(), 0.0);
}

}  // namespace

namespace {

TEST(BeatCompare, ReplayedBeatsReplaceTheirEarlierReports)
{
    // Reported in this order, merge window 200: 1000, 2000, 3000 on the old
    // lead; the replay goes back to 1990 (replaces 2000), 2600 (new), 3150
    // (replaces 3000); then 4000 goes on normally. A beat 150 after the
    // last one is not a replay and stays.
    using tessivar::records::ReportedBeat;
    const std::vector<ReportedBeat> reported = {{1000}, {2000}, {3000}, {1990}, {2600}, {3150}, {4000}, {4150}};
    EXPECT_EQ(tessivar::records::beatTrain(reported, 200), (std::vector<int64_t>{1000, 1990, 2600, 3150, 4000, 4150}));
    EXPECT_TRUE(tessivar::records::beatTrain({}, 200).empty());
}

}  // namespace

// RR-interval averager: filling, the search for a rhythm while no average is
// trusted, the acceptance rules once one is, and refused intervals.
#include <gtest/gtest.h>

#include <vector>

#include "heart_rate/rr2hr.hpp"
#include "tessivar/rr2hr.h"

namespace {

using tessivar::rr2hrState;

std::vector<int32_t> feed(const std::vector<int32_t> &rrs, bool fresh = true)
{
    if (fresh) init_rr2hr();
    std::vector<int32_t> out;
    for (int32_t rr : rrs) out.push_back(rr2hr(rr));
    return out;
}

// Fifteen 1000 ms intervals: twelve accepted, then the regular rhythm gives
// the trusted average 1000 and 1000, 1000 stay waiting.
void trustedAverageOf1000()
{
    feed(std::vector<int32_t>(15, 1000));
    ASSERT_EQ(rr2hrState().avgRR, 1000.0f);
    ASSERT_EQ(rr2hrState().queue1Count, 2);
}

TEST(Rr2hr, FirstFourCallsAreZeroThenTheTrimmedMean)
{
    // Call 5: 700, 1200, 800 -> 2700 - 1200 - 700 = 800 -> 75; call 6: (3600 - 1900) / 2 = 850 -> 70.6 -> 71.
    EXPECT_EQ(feed({700, 1200, 800, 900, 1000, 1100}), (std::vector<int32_t>{0, 0, 0, 0, 75, 71}));
}

TEST(Rr2hr, StableRulesRepairMissedExtraAndEarlyBeats)
{
    struct Case {
        const char *what;
        std::vector<int32_t> rrs;  // fed after the trusted average 1000
        int32_t newest, rate;      // newest accepted interval, last result
    } cases[] = {
        {"missed beat: 2000 in (1600, 2400) halved", {2000, 1000, 1000}, 1000, 60},
        {"extra beat: 400 + 600 in (800, 1200) summed", {400, 600, 1000}, 1000, 60},
        {"late beat: 1400 in (1200, 1600) replaced by A", {1400, 1000, 1000}, 1000, 60},
        {"lone early beat kept: trimmed mean of 11 x 1000 and 500", {500, 1000, 1000}, 500, 60},
        {"early beat and its compensation: 700 + 1000 in (1600, 2400)", {700, 1000, 1000}, 1000, 60},
    };
    for (const Case &c : cases) {
        trustedAverageOf1000();
        const std::vector<int32_t> got = feed(c.rrs, false);
        EXPECT_EQ(rr2hrState().queue2Count, 12) << c.what;
        EXPECT_EQ(rr2hrState().queue2[11], c.newest) << c.what;
        EXPECT_EQ(got.back(), c.rate) << c.what;
    }
}

TEST(Rr2hr, RhythmChangeRestartsAndAnUnexplainedIntervalEmpties)
{
    // Stable 600, 600, 600 (mean below 0.8 A): they become the long queue, no trusted average, 60000 / 600.
    trustedAverageOf1000();
    EXPECT_EQ(feed({600, 600, 600}, false).back(), 100);
    EXPECT_EQ(rr2hrState().queue2Count, 3);
    EXPECT_EQ(rr2hrState().avgRR, 0.0f);
    // 3000 fits no rule: both queues emptied, 0.
    trustedAverageOf1000();
    EXPECT_EQ(feed({3000, 1000, 1000}, false).back(), 0);
    EXPECT_EQ(rr2hrState().queue1Count, 0);
    EXPECT_EQ(rr2hrState().queue2Count, 0);
}

TEST(Rr2hr, PeriodTwoAndThreeWhileUnstable)
{
    struct Case {
        std::vector<int32_t> pattern;
        int32_t rate;
    } cases[] = {
        {{600, 900}, 80},        // irregular (600 / 750 = 0.8); even/odd means 600, 900 -> 750 ms
        {{500, 700, 900}, 86},   // period 2 fails; period-3 means 500, 700, 900 -> 700 ms -> 85.7
    };
    for (const Case &c : cases) {
        std::vector<int32_t> rrs;
        for (size_t k = 0; k < 15; ++k) rrs.push_back(c.pattern[k % c.pattern.size()]);
        EXPECT_EQ(feed(rrs).back(), c.rate) << c.pattern.size();
    }
}

TEST(Rr2hr, ImpossibleIntervalsAndFillCountsAreRefused)
{
    feed({800, 800, 800, 800});
    for (int32_t rr : {0, -1, 60001}) EXPECT_EQ(rr2hr(rr), -1) << rr;
    EXPECT_EQ(rr2hrState().queue1Count, 2);
    EXPECT_EQ(rr2hr(800), 75);
    EXPECT_EQ(fillQueue2(4), -1);
    EXPECT_EQ(fillQueue2(-1), -1);
}

}  // namespace

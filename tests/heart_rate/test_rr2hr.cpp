// RR-interval averager: filling, the unstable search for a rhythm and the
// stable acceptance rules, by feeding intervals as a host would.
#include <gtest/gtest.h>

#include <vector>

#include "heart_rate/rr2hr.hpp"
#include "tessivar/rr2hr.h"

namespace {

using tessivar::rr2hrState;

// Results of feeding rrs one by one after a fresh start.
std::vector<int32_t> feed(const std::vector<int32_t> &rrs, bool fresh = true)
{
    if (fresh) init_rr2hr();
    std::vector<int32_t> out;
    for (int32_t rr : rrs) out.push_back(rr2hr(rr));
    return out;
}

// Fifteen 1000 ms intervals: twelve accepted, the fifteenth call finds the
// regular rhythm (avgRR 1000) and leaves 1000, 1000 waiting.
void trustedAverageOf1000()
{
    feed(std::vector<int32_t>(15, 1000));
    ASSERT_EQ(rr2hrState().avgRR, 1000.0f);
    ASSERT_EQ(rr2hrState().queue1Count, 2);
}

TEST(Rr2hr, FirstFourCallsAreZeroThenTheMedianOfThree)
{
    // Call 5: queue2 = 700, 1200, 800 -> (2700 - 1200 - 700) / 1 = 800 ms
    // -> 60000 / 800 = 75. Call 6 adds 900: (3600 - 1200 - 700) / 2 = 850
    // -> 70.59 -> 71.
    const std::vector<int32_t> got = feed({700, 1200, 800, 900, 1000, 1100});
    EXPECT_EQ(got, (std::vector<int32_t>{0, 0, 0, 0, 75, 71}));
}

TEST(Rr2hr, StableRulesRepairMissedAndExtraBeats)
{
    struct Case {
        const char *what;
        std::vector<int32_t> rrs;  // fed after the trusted average of 1000
        int32_t newest;            // newest entry of queue2 afterwards
        int32_t lastRate;
    } cases[] = {
        // 1000, 1000 accepted by rule 1; then 2000, 1000, 1000 waits: 2000
        // lies in (1600, 2400) -> stored as 1000; all twelve 1000 -> 60.
        {"missed beat halved", {2000, 1000, 1000}, 1000, 60},
        // 400, 600, 1000 waiting: 400 + 600 in (800, 1200) -> one 1000.
        {"extra beat summed", {400, 600, 1000}, 1000, 60},
        // 1400, 1000, 1000 waiting: 1400 in (1200, 1600), 1000 normal -> A.
        {"late beat replaced by the average", {1400, 1000, 1000}, 1000, 60},
        // 500, 1000, 1000: a lone early beat (500 + 1000 is no missed
        // pair) is accepted as it is; trimmed mean of eleven 1000 and one
        // 500 = 1000 -> 60.
        {"lone early beat", {500, 1000, 1000}, 500, 60},
        // 700, 1000, 1000: 700 + 1000 in (1600, 2400) -> both accepted.
        {"early beat with its compensation", {700, 1000, 1000}, 1000, 60},
    };
    for (const Case &c : cases) {
        trustedAverageOf1000();
        const std::vector<int32_t> got = feed(c.rrs, false);
        const tessivar::Rr2hr &s = rr2hrState();
        EXPECT_EQ(s.queue2Count, 12) << c.what;
        EXPECT_EQ(s.queue2[11], c.newest) << c.what;
        EXPECT_EQ(got.back(), c.lastRate) << c.what;
    }
}

TEST(Rr2hr, RhythmChangeAndUnexplainedIntervals)
{
    // A stable run of 600 ms after 1000: the waiting 600, 600, 600 (mean
    // 600 < 800, all within 20 % of it) restart the average from them:
    // queue2 = 600 x 3, avgRR 0, trimmed mean 600 -> 100.
    trustedAverageOf1000();
    std::vector<int32_t> got = feed({600, 600, 600}, false);
    EXPECT_EQ(rr2hrState().queue2Count, 3);
    EXPECT_EQ(rr2hrState().avgRR, 0.0f);
    EXPECT_EQ(got.back(), 100);
    // 3000, 1000, 1000 waiting: 3000 fits no rule -> everything emptied, 0.
    trustedAverageOf1000();
    got = feed({3000, 1000, 1000}, false);
    EXPECT_EQ(got.back(), 0);
    EXPECT_EQ(rr2hrState().queue1Count, 0);
    EXPECT_EQ(rr2hrState().queue2Count, 0);
}

TEST(Rr2hr, PatternsOfPeriodTwoAndThreeInTheUnstableState)
{
    struct Case {
        std::vector<int32_t> pattern;
        int32_t rate;  // of the fifteenth call, from the hand average
    } cases[] = {
        // Bigeminy 600/900: irregular (600/750 = 0.8), even and odd means
        // 600 and 900 -> 750 ms -> 80.
        {{600, 900}, 80},
        // Trigeminy 500/700/900: mean 700, 500/700 <= 0.8; period-two means
        // mix the three values (900/700 > 1.2 for one of them); period-three
        // means 500, 700, 900 -> 700 ms -> 85.71 -> 86.
        {{500, 700, 900}, 86},
    };
    for (const Case &c : cases) {
        std::vector<int32_t> rrs;
        for (size_t k = 0; k < 15; ++k) rrs.push_back(c.pattern[k % c.pattern.size()]);
        EXPECT_EQ(feed(rrs).back(), c.rate) << c.pattern.size();
    }
}

TEST(Rr2hr, ImpossibleIntervalsAreRefused)
{
    feed({800, 800, 800, 800});
    for (int32_t rr : {0, -1, 60001}) EXPECT_EQ(rr2hr(rr), -1) << rr;
    EXPECT_EQ(rr2hrState().queue1Count, 2);
    EXPECT_EQ(rr2hr(800), 75);  // 60000 / 800
    EXPECT_EQ(fillQueue2(4), -1);
    EXPECT_EQ(fillQueue2(-1), -1);
}

}  // namespace

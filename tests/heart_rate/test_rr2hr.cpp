// RR-interval averager: filling, the search for a rhythm while no average is
// trusted, the acceptance rules once one is, and refused intervals.
#include <gtest/gtest.h>

#include <vector>

#include "heart_rate/rr2hr.hpp"
#include "tessivar/rr2hr.h"

namespace {

using V = std::vector<int32_t>;

V feed(const V &rrs, bool fresh = true)
{
    if (fresh) init_rr2hr();
    V out;
    for (int32_t rr : rrs) out.push_back(rr2hr(rr));
    return out;
}

// Fifteen 1000 ms intervals: twelve accepted, then the regular rhythm gives the trusted average 1000
// with 1000, 1000 waiting; then rrs. Returns (last result, queue2 count, newest of queue2, avgRR, queue1 count).
V afterTrusted1000(const V &rrs)
{
    feed(V(15, 1000));
    EXPECT_EQ(tessivar::rr2hrState().avgRR, 1000.0f);
    const int32_t last = feed(rrs, false).back();
    const tessivar::Rr2hr &s = tessivar::rr2hrState();
    return {last, s.queue2Count, s.queue2Count > 0 ? s.queue2[s.queue2Count - 1] : -1, int32_t(s.avgRR), s.queue1Count};
}

TEST(Rr2hr, FirstFourCallsAreZeroThenTheTrimmedMean)
{
    // Call 5: 700, 1200, 800 -> 2700 - 1200 - 700 = 800 -> 75; call 6: (3600 - 1900) / 2 = 850 -> 70.6 -> 71.
    EXPECT_EQ(feed({700, 1200, 800, 900, 1000, 1100}), (V{0, 0, 0, 0, 75, 71}));
}

TEST(Rr2hr, StableRules)
{
    struct Case {
        const char *what;
        V rrs, want;  // last result, queue2 count, newest accepted, avgRR, queue1 count
    } cases[] = {
        {"missed beat: 2000 in (1600, 2400) halved", {2000, 1000, 1000}, {60, 12, 1000, 1000, 2}},
        {"extra beat: 400 + 600 in (800, 1200) summed", {400, 600, 1000}, {60, 12, 1000, 1000, 1}},
        {"late beat: 1400 in (1200, 1600) replaced by A", {1400, 1000, 1000}, {60, 12, 1000, 1000, 2}},
        {"lone early beat kept: trimmed mean of 11 x 1000 and 500", {500, 1000, 1000}, {60, 12, 500, 1000, 2}},
        {"early beat and compensation: 700 + 1000 in (1600, 2400)", {700, 1000, 1000}, {60, 12, 1000, 1000, 1}},
        {"stable 600s, mean below 0.8 A: they restart the queue, 60000 / 600", {600, 600, 600}, {100, 3, 600, 0, 0}},
        {"3000 fits no rule: everything emptied", {3000, 1000, 1000}, {0, 0, -1, 0, 0}},
    };
    for (const Case &c : cases) EXPECT_EQ(afterTrusted1000(c.rrs), c.want) << c.what;
}

TEST(Rr2hr, PeriodTwoAndThreeWhileUnstable)
{
    // 600/900: irregular (600 / 750 = 0.8), even/odd means 600, 900 -> 750 ms -> 80.
    // 500/700/900: period 2 fails, period-3 means 500, 700, 900 -> 700 ms -> 85.7 -> 86.
    for (const auto &[pattern, rate] : {std::pair{V{600, 900}, 80}, {V{500, 700, 900}, 86}}) {
        V rrs;
        for (size_t k = 0; k < 15; ++k) rrs.push_back(pattern[k % pattern.size()]);
        EXPECT_EQ(feed(rrs).back(), rate) << pattern.size();
    }
}

TEST(Rr2hr, ImpossibleIntervalsAndFillCountsAreRefused)
{
    feed({800, 800, 800, 800});
    EXPECT_EQ((V{rr2hr(0), rr2hr(-1), rr2hr(60001), tessivar::rr2hrState().queue1Count, rr2hr(800)}), (V{-1, -1, -1, 2, 75}));
    EXPECT_EQ((V{fillQueue2(4), fillQueue2(-1)}), (V{-1, -1}));
}

}  // namespace

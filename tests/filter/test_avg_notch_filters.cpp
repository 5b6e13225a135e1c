// The table-free kinds: moving-average high-pass and low-pass, per sample
// and over whole arrays, and the nonlinear mains canceller.
#include "filter/filter_test_util.hpp"

namespace tessivar::test {
namespace {

TEST(AvgFilter, PerSampleWindowsAndDelays)
{
    AvgFilterConf hp4 = avgConf(SIGNAL_FILTER_AVG, 4), hp2 = avgConf(SIGNAL_FILTER_AVG, 2);
    AvgFilterConf lp3 = avgConf(SIGNAL_FILTER_AVG_LP, 3);
    AvgFilterConf base = avgConf(SIGNAL_FILTER_AVG, 24025, "hpass 0.01"), resp = avgConf(SIGNAL_FILTER_AVG_LP, 300);
    FilterPtr f = makeFilter(&hp4), g = makeFilter(&hp2), h = makeFilter(&lp3);
    FilterPtr b = makeFilter(&base), r = makeFilter(&resp);
    // N 4, delay 2, primed with 1: 1 - 4/4 twice, then the sample two back
    // minus (1+1+1+5)/4 = 1 - 2.
    initSignalFilterCustom(f.get(), 1.0, 0.0);
    EXPECT_EQ(feed(f.get(), {1, 1, 5}), (Vec{0, 0, -1}));
    // Delay 0 reads the sample just stored: primed with 2, then 6 - (2+6)/2.
    setSignalFilterDelay(g.get(), 0);
    EXPECT_EQ(feed(g.get(), {2, 6}), (Vec{0, 2}));
    // Low-pass N 3 primed with 3: 9/3, (3+3+6)/3, (3+6+9)/3, (6+9+12)/3.
    EXPECT_EQ(feed(h.get(), {3, 6, 9, 12}), (Vec{3, 4, 6, 9}));
    // Baseline and respiration windows: 0 and c from the first sample on.
    EXPECT_EQ(getSignalFilterDelay(b.get()), 12012);
    EXPECT_EQ(getSignalFilterDelay(r.get()), 150);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(doSignalFilter(b.get(), -37.5), 0.0) << i;
        ASSERT_EQ(doSignalFilter(r.get(), 12.5), 12.5) << i;
    }
}

TEST(AvgFilter, WholeArray)
{
    const struct {
        int32_t type, window;
        Vec in, out;
        const char *why;
    } rows[] = {
        {SIGNAL_FILTER_AVG, 2, {2, 4, 8}, {-1, -2, 0}, "d 1: in minus means of 2|2 4 8|8 pairs: 3, 6, 8"},
        {SIGNAL_FILTER_AVG_LP, 2, {2, 4, 8}, {3, 6, 8}, "the same means"},
        {SIGNAL_FILTER_AVG, 4, {1, 2, 3, 4}, {-1.5, -0.5, 0.5, 1.5}, "n <= N: minus the overall mean 2.5"},
        {SIGNAL_FILTER_AVG_LP, 10, {1, 2, 3, 4}, {2.5, 2.5, 2.5, 2.5}, "n <= N: the overall mean"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.why);
        AvgFilterConf conf = avgConf(row.type, row.window);
        FilterPtr f = makeFilter(&conf);
        Vec out(row.in.size());
        EXPECT_EQ(doSignalFilterNotRealTime(f.get(), row.in.data(), out.data(), int32_t(out.size())), 0);
        EXPECT_EQ(out, row.out);
    }
    const Vec in = testSignal(50);
    for (int32_t type : {SIGNAL_FILTER_AVG, SIGNAL_FILTER_AVG_LP}) {
        SCOPED_TRACE(type);
        AvgFilterConf conf = avgConf(type, 9);
        FilterPtr f = makeFilter(&conf);
        Vec out(in.size());
        ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 50), 0);
        expectShiftedResponse(&conf, in, out, 4, 1e-11);
    }

    LogCapture log;
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG, 4, "avg4");
    FilterPtr f = makeFilter(&conf);
    Vec x = testSignal(10), out(10);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), x.data(), x.data(), 10), -1);  // needs distinct arrays
    EXPECT_EQ(doAvgFilterNotRealTime(f.get(), nullptr, out.data(), 10), -1);
    EXPECT_EQ(log.count("avg4 invalid parm"), 2);
    setSignalFilterDelay(f.get(), 5);  // d = N + 1
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), x.data(), out.data(), 10), -1);
    EXPECT_TRUE(log.contains("avg4 invalid delay"));
    setSignalFilterDelay(f.get(), 4);  // d = N
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), x.data(), out.data(), 10), 0);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), x.data(), out.data(), 0), -1);
    log.clear();
    conf.avg_num = 0;
    EXPECT_EQ(newAvgFilter(&conf), nullptr);
    EXPECT_EQ(newAvgLpFilter(nullptr), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
}

TEST(NonlinearNotchFilter, TracksFromItsPrimingAndRunsWholeArraysInOrder)
{
    NonlinearNotchFilterConf conf = notchConf(), coarse = notchConf(0.5);
    FilterPtr f = makeFilter(&conf), g = makeFilter(&coarse);
    // Primed with 0, input 0 (phi 1.902113032590308, step 0.02):
    // e = 0 then +0.02; e = phi*0.02 falls: -0.02; e = phi*e1 - e2 rises: +0.02; falls: -0.02.
    EXPECT_EQ(feed(f.get(), {0, 0, 0, 0}),
              (Vec{-0.02, -0.01804226065180616, -0.0343184191231918, -0.027235251620313417}));
    // Primed with x0, the change is 0, which counts as rising: x0 - step.
    EXPECT_EQ(doSignalFilter(g.get(), 100.0), 99.5);
    initSignalFilterCustom(g.get(), 40.0, 0.0);  // on a running filter: primed at once
    EXPECT_EQ(doSignalFilter(g.get(), 40.0), 39.5);

    // Whole arrays run sample by sample, the state carried across calls.
    FilterPtr block = makeFilter(&conf), single = makeFilter(&conf);
    Vec x = testSignal(120);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] += 30.0 * std::sin(0.1 * M_PI * double(i));
    const Vec want = feed(single.get(), x);
    Vec out = x;
    EXPECT_EQ(doSignalFilterNotRealTime(block.get(), x.data(), out.data(), 60), 0);
    EXPECT_EQ(doSignalFilterNotRealTime(block.get(), out.data() + 60, out.data() + 60, 60), 0);
    EXPECT_EQ(out, want);

    LogCapture log;
    conf.name = nullptr;
    EXPECT_EQ(newNonlinearNotchFilter(&conf), nullptr);
    EXPECT_EQ(newNonlinearNotchFilter(nullptr), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    EXPECT_EQ(doNonlinearNotchFilter(nullptr, 1.25), 1.25);
}

}  // namespace
}  // namespace tessivar::test

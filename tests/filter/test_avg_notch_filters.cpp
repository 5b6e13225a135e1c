// The table-free kinds: moving-average high-pass and low-pass (per sample and
// whole array) and the nonlinear notch.
#include <gtest/gtest.h>

#include <cmath>

#include "filter/filter_test_util.hpp"
#include "support/log_capture.hpp"

namespace tessivar::test {
namespace {

// --- moving-average high-pass -------------------------------------------------

TEST(AvgFilter, WindowOfFourWithDelayTwo)
{
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG, 4);
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 2);
    EXPECT_EQ(f->gainDC, 0.0);
    // Primed with 1: window 1 1 1 1, sum 4. Inputs 1, 1 give 1 - 4/4 = 0;
    // input 5 gives the sample two back (1) minus (1+1+1+5)/4 = 2: -1.
    initSignalFilterCustom(f.get(), 1.0, 0.0);
    EXPECT_EQ(feed(f.get(), {1, 1, 5}), (std::vector<double>{0, 0, -1}));
}

TEST(AvgFilter, ConstantGivesZeroAndInitKeepsTheDelay)
{
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG, 24025, "hpass 0.01");
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 12012);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(doSignalFilter(f.get(), -37.5), 0.0);

    // Delay 0 returns x minus the mean (the sample is read after it is stored).
    setSignalFilterDelay(f.get(), 0);
    initSignalFilter(f.get());
    EXPECT_EQ(getSignalFilterDelay(f.get()), 0);
    AvgFilterConf small = avgConf(SIGNAL_FILTER_AVG, 2);
    FilterPtr g = makeFilter(&small);
    setSignalFilterDelay(g.get(), 0);
    // Primed with 2: window 2 2. Input 6: 6 - (2 + 6)/2 = 2.
    EXPECT_EQ(feed(g.get(), {2, 6}), (std::vector<double>{0, 2}));
    // A delay beyond the window is outside the contract, but stays inside it.
    setSignalFilterDelay(g.get(), 7);
    EXPECT_TRUE(std::isfinite(doSignalFilter(g.get(), 1.0)));
}

// --- moving-average low-pass --------------------------------------------------

TEST(AvgLpFilter, MeanOfTheWindow)
{
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG_LP, 3);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 1);
    // Primed with 3 (sum 9): 3, then (3+3+6)/3 = 4, (3+6+9)/3 = 6, (6+9+12)/3 = 9.
    EXPECT_EQ(feed(f.get(), {3, 6, 9, 12}), (std::vector<double>{3, 4, 6, 9}));
    // The low-pass reports half its window after every init.
    setSignalFilterDelay(f.get(), 7);
    initSignalFilterCustom(f.get(), 0, 0);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 1);
}

TEST(AvgLpFilter, ConstantPassesFromTheFirstSample)
{
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG_LP, 300, "resp lp");
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 150);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(doSignalFilter(f.get(), 12.5), 12.5);
}

// --- whole-array paths of the averages ---------------------------------------

TEST(AvgWholeArray, HandWorkedWindowOfTwo)
{
    // N = 2, d = 1, in = 2 4 8, extended: 2 | 2 4 8 | 8. The window of t is
    // x~[t], x~[t+1]: means 3, 6, 8.
    const double in[] = {2, 4, 8};
    double out[3] = {};
    AvgFilterConf hp = avgConf(SIGNAL_FILTER_AVG, 2);
    FilterPtr f = makeFilter(&hp);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in, out, 3), 0);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{-1, -2, 0}));
    AvgFilterConf lp = avgConf(SIGNAL_FILTER_AVG_LP, 2);
    FilterPtr g = makeFilter(&lp);
    EXPECT_EQ(doSignalFilterNotRealTime(g.get(), in, out, 3), 0);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{3, 6, 8}));
}

TEST(AvgWholeArray, ShortInputUsesTheOverallMean)
{
    const double in[] = {1, 2, 3, 4};
    double out[4] = {};
    AvgFilterConf hp = avgConf(SIGNAL_FILTER_AVG, 4);
    FilterPtr f = makeFilter(&hp);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in, out, 4), 0);
    EXPECT_EQ(out[0], -1.5);
    EXPECT_EQ(out[3], 1.5);
    AvgFilterConf lp = avgConf(SIGNAL_FILTER_AVG_LP, 10);
    FilterPtr g = makeFilter(&lp);
    EXPECT_EQ(doSignalFilterNotRealTime(g.get(), in, out, 4), 0);
    EXPECT_EQ(out[0], 2.5);
    EXPECT_EQ(out[3], 2.5);
}

TEST(AvgWholeArray, EqualsTheShiftedPerSampleResponse)
{
    for (int32_t type : {SIGNAL_FILTER_AVG, SIGNAL_FILTER_AVG_LP}) {
        AvgFilterConf conf = avgConf(type, 9);
        FilterPtr f = makeFilter(&conf);
        const int32_t d = getSignalFilterDelay(f.get());
        ASSERT_EQ(d, 4);
        const std::vector<double> in = testSignal(50);
        std::vector<double> out(in.size());
        ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 50), 0);
        std::vector<double> fed = in;
        fed.insert(fed.end(), static_cast<std::size_t>(d), in.back());
        const std::vector<double> stream = feed(f.get(), fed);
        for (std::size_t t = 0; t < in.size(); ++t) EXPECT_NEAR(out[t], stream[t + 4], 1e-11) << type << " " << t;
    }
}

TEST(AvgWholeArray, Refusals)
{
    LogCapture log;
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG, 4, "avg4");
    FilterPtr f = makeFilter(&conf);
    std::vector<double> in = testSignal(10), out(10);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), in.data(), 10), -1);  // needs distinct arrays
    EXPECT_EQ(doAvgFilterNotRealTime(f.get(), nullptr, out.data(), 10), -1);
    EXPECT_EQ(log.count("avg4 invalid parm"), 2);
    setSignalFilterDelay(f.get(), 5);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 10), -1);
    EXPECT_TRUE(log.contains("avg4 invalid delay"));
    setSignalFilterDelay(f.get(), 4);  // d = N is allowed
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 10), 0);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 0), -1);
}

TEST(AvgFilter, BadInput)
{
    LogCapture log;
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG, 0);
    EXPECT_EQ(newAvgFilter(&conf), nullptr);
    EXPECT_EQ(newAvgLpFilter(nullptr), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    // The high-pass functions do not take a low-pass filter.
    conf = avgConf(SIGNAL_FILTER_AVG_LP, 3);
    FilterPtr lp = makeFilter(&conf);
    EXPECT_EQ(initAvgFilter(lp.get()), -1);
    EXPECT_EQ(doAvgFilter(lp.get(), 4.0), 4.0);
}

// --- nonlinear notch --------------------------------------------------------------

TEST(NonlinearNotchFilter, FirstFourOutputsOnSilence)
{
    NonlinearNotchFilterConf conf = notchConf();
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 0);
    // phi = 1.902113032590308, step 0.02, primed with 0, input 0:
    // 1: e = phi*0 - 0 = 0; change 0 counts as up: e = 0.02, y = -0.02.
    // 2: e = phi*0.02 = 0.03804226065180616; change (0 - e) - (0 - 0.02) < 0:
    //    e = 0.01804226065180616, y = -e.
    // 3: e = phi*0.01804226065180616 - 0.02 = 0.0343184191231918 - 0.02
    //    = 0.0143184191231918; change -0.01432 + 0.01804 > 0: e + 0.02.
    // 4: e = phi*0.0343184191231918 - 0.01804226065180616 = 0.04723525...;
    //    change -0.04724 + 0.03432 < 0: e - 0.02 = 0.027235251620313417.
    EXPECT_EQ(feed(f.get(), {0, 0, 0, 0}),
              (std::vector<double>{-0.02, -0.01804226065180616, -0.0343184191231918, -0.027235251620313417}));
}

TEST(NonlinearNotchFilter, PrimedWithX0FirstOutputIsX0MinusStep)
{
    NonlinearNotchFilterConf conf = notchConf(1.902113032590308, 0.5);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(doSignalFilter(f.get(), 100.0), 99.5);
    // A custom init on the running filter primes at once with 40.
    initSignalFilterCustom(f.get(), 40.0, 0.0);
    EXPECT_EQ(doSignalFilter(f.get(), 40.0), 39.5);
}

TEST(NonlinearNotchFilter, WholeArrayRunsSampleBySampleAndCarriesTheState)
{
    NonlinearNotchFilterConf conf = notchConf();
    FilterPtr block = makeFilter(&conf);
    FilterPtr single = makeFilter(&conf);
    std::vector<double> x = testSignal(120);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] += 30.0 * std::sin(0.1 * 3.14159265358979323846 * double(i));
    const std::vector<double> want = feed(single.get(), x);
    // Two blocks, the second in place, against sample by sample.
    std::vector<double> out(x.size());
    EXPECT_EQ(doSignalFilterNotRealTime(block.get(), x.data(), out.data(), 60), 0);
    std::copy(x.begin() + 60, x.end(), out.begin() + 60);
    EXPECT_EQ(doSignalFilterNotRealTime(block.get(), out.data() + 60, out.data() + 60, 60), 0);
    EXPECT_EQ(out, want);
    EXPECT_EQ(doSignalFilterNotRealTime(block.get(), nullptr, out.data(), 60), -1);
}

TEST(NonlinearNotchFilter, BadInput)
{
    LogCapture log;
    EXPECT_EQ(newNonlinearNotchFilter(nullptr), nullptr);
    NonlinearNotchFilterConf conf = notchConf();
    conf.name = nullptr;
    EXPECT_EQ(newNonlinearNotchFilter(&conf), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    EXPECT_EQ(doNonlinearNotchFilter(nullptr, 1.25), 1.25);
}

}  // namespace
}  // namespace tessivar::test

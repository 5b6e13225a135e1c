// The recursive kinds: IIR comb (dense coefficients) and integer (sparse
// taps). Priming at the DC gain, the zero-sum high-pass rule, the feedback
// arithmetic, history wrap, the whole-array path and its refusals.
#include <gtest/gtest.h>

#include <cmath>

#include "filter/filter_test_util.hpp"
#include "support/log_capture.hpp"

namespace tessivar::test {
namespace {

// 50 Hz notch of the display chain.
const std::vector<double> kNotchB = {0.99625310395795, -1.85258542010657, 0.99625310395795};
const std::vector<double> kNotchA = {1, -1.85258542010657, 0.9925062079159};

// Input delayed by 2 minus its 4-sample mean, in recursive form: both
// polynomials sum to 0.
const std::vector<double> kZeroSumB = {-1, 0, 4, -4, 1};
const std::vector<double> kZeroSumA = {4, -4};

TEST(IirCombFilter, NotchPrimedWithAConstantPassesIt)
{
    IirCombFilterConf conf = iirConf(kNotchB, kNotchA);
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    // sum(b) = 2 * 0.99625310395795 - 1.85258542010657 = 0.13992078780933 and
    // sum(a) = 1 - 1.85258542010657 + 0.9925062079159 = 0.13992078780933.
    EXPECT_NEAR(f->gainDC, 1.0, 1e-12);
    for (int i = 0; i < 50; ++i) EXPECT_NEAR(doSignalFilter(f.get(), 250.0), 250.0, 1e-9) << i;
}

TEST(IirCombFilter, ZeroSumHighPassOutputsZeroForAConstant)
{
    IirCombFilterConf conf = iirConf(kZeroSumB, kZeroSumA);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(f->gainDC, 0.0);
    // Input history 3.25, output history 0: (-3.25 + 13 - 13 + 3.25) / 4 = 0.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(doSignalFilter(f.get(), 3.25), 0.0) << i;
    // A step of 4: y = x[n-2] - mean(x[n-3..n]): -1, -2, 1, 0, 0.
    EXPECT_EQ(feed(f.get(), {7.25, 7.25, 7.25, 7.25, 7.25}), (std::vector<double>{-1, -2, 1, 0, 0}));
}

TEST(IirCombFilter, FeedbackArithmetic)
{
    // 2 y[n] = 3 x[n] + y[n-1] (b = 1 with record gain 3, a = 2, -1):
    // gainDC = 3 / (2 - 1) = 3. Primed with 4: output history 12, steady.
    const std::vector<double> b = {1};
    const std::vector<double> a = {2, -1};
    IirCombFilterConf conf = iirConf(b, a, 3.0);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(f->gainDC, 3.0);
    EXPECT_EQ(doSignalFilter(f.get(), 4), 12);  // (12 + 12) / 2
    // Input 0 from now on: the output halves.
    EXPECT_EQ(feed(f.get(), {0, 0, 0}), (std::vector<double>{6, 3, 1.5}));
    // A zero first sample primes both histories with zeros: 3*2/2 = 3, then (0 + 3)/2.
    initSignalFilter(f.get());
    EXPECT_EQ(feed(f.get(), {0, 2, 0}), (std::vector<double>{0, 3, 1.5}));
}

TEST(IirCombFilter, InitKeepsTheDelayAndCustomInitPrimes)
{
    IirCombFilterConf conf = iirConf(kNotchB, kNotchA, 1.0, 5);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 5);
    setSignalFilterDelay(f.get(), 7);
    initSignalFilter(f.get());
    EXPECT_EQ(getSignalFilterDelay(f.get()), 7);

    feed(f.get(), testSignal(80));
    // Custom init at 100 on a running filter: steady at once.
    initSignalFilterCustom(f.get(), 100, 0);
    EXPECT_NEAR(doSignalFilter(f.get(), 100), 100, 1e-9);
}

TEST(IirCombFilter, ZeroLeadingDenominatorGivesNotANumber)
{
    const std::vector<double> b = {1, 1};
    const std::vector<double> a = {0, 0.5};
    IirCombFilterConf conf = iirConf(b, a);
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    // Primed with 1: gainDC = 2 / 0.5 = 4, so (1 + 1 - 0.5 * 4) / 0 = 0 / 0.
    EXPECT_TRUE(std::isnan(doSignalFilter(f.get(), 1.0)));
    EXPECT_TRUE(std::isnan(doSignalFilter(f.get(), 2.0)));
    std::vector<double> in(8, 1.0), out(8);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 8), 0);
    EXPECT_FALSE(std::isfinite(out[7]));
}

// Delay 0 and small delays are matched against lfilter in test_filter_reference.cpp.
TEST(IirCombFilterWholeArray, RefusalsAndLargeDelays)
{
    LogCapture log;
    IirCombFilterConf conf = iirConf(kZeroSumB, kZeroSumA, 1.0, 2, "hp4");
    FilterPtr f = makeFilter(&conf);
    const std::vector<double> in = testSignal(40);
    std::vector<double> out(40, 7.0);
    // nb = 5: n = 4 is refused before anything is written.
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 4), -1);
    EXPECT_TRUE(log.contains("hp4 input to small: 4"));
    EXPECT_EQ(out[0], 7.0);
    // d = 9 > P = 4 is accepted once n >= d + P = 13; n = 12 is refused.
    setSignalFilterDelay(f.get(), 9);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 12), -1);
    EXPECT_TRUE(log.contains("hp4 input too small:12"));
    EXPECT_EQ(out[0], 0.0);  // cleared before the check
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 13), 0);
    // out[t] = y~[t + 9]: the shifted per-sample response, the input held
    // at its last value after the end.
    FilterPtr copy = makeFilter(&conf);
    std::vector<double> fed(in.begin(), in.begin() + 13);
    fed.insert(fed.end(), 9, in[12]);
    const std::vector<double> stream = feed(copy.get(), fed);
    for (std::size_t t = 0; t < 13; ++t) EXPECT_NEAR(out[t], stream[t + 9], 1e-12) << t;
    // n < d is refused with the first message.
    setSignalFilterDelay(f.get(), 30);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 20), -1);
    EXPECT_TRUE(log.contains("hp4 input to small: 20"));
    // A negative delay can only come from the record.
    conf.delay = -1;
    FilterPtr negative = makeFilter(&conf);
    EXPECT_EQ(doSignalFilterNotRealTime(negative.get(), in.data(), out.data(), 40), -1);
    EXPECT_TRUE(log.contains("hp4 invalid delay"));
}

TEST(IirCombFilterWholeArray, InPlaceGivesTheSameValuesAndReturnsOne)
{
    IirCombFilterConf conf = iirConf(kNotchB, kNotchA, 2.0, 3);
    FilterPtr f = makeFilter(&conf);
    const std::vector<double> in = testSignal(50);
    std::vector<double> separate(in.size());
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), separate.data(), 50), 0);
    std::vector<double> inPlace = in;
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), inPlace.data(), inPlace.data(), 50), 1);
    EXPECT_EQ(inPlace, separate);
}

TEST(IirCombFilter, BadInput)
{
    LogCapture log;
    IirCombFilterConf conf = iirConf(kNotchB, kNotchA);
    conf.denData = nullptr;
    EXPECT_EQ(newIirCombFilter(&conf), nullptr);
    conf = iirConf(kNotchB, kNotchA);
    conf.den_num = 0;
    EXPECT_EQ(newIirCombFilter(&conf), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    double buf[4] = {};
    EXPECT_EQ(doIirCombFilterNotRealTime(nullptr, buf, buf, 4), -1);
    EXPECT_EQ(doIirCombFilter(nullptr, 2.5), 2.5);
}

// --- integer kind ------------------------------------------------------------

TEST(IntegerFilter, Hpass03OutputsZeroForAConstant)
{
    IntegerFilterConf conf = integerConf(kHpass03Num, 3841, kHpass03Den, 3, 1.0, "hpass 0.3");
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 1919);  // (3841 - 3) / 2
    EXPECT_EQ(f->gainDC, 0.0);                       // the denominator sums to 0
    // Primed with 1.5: -1.5 + 3686400*1.5 - 7372798*1.5 + 3686400*1.5 - 1.5
    // = 0 exactly, and the output history is 0.
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(doSignalFilter(f.get(), 1.5), 0.0) << i;

    std::vector<double> in(6000, -2.5), out(6000, 7.0);
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 6000), 0);
    for (double v : out) ASSERT_EQ(v, 0.0);
}

TEST(IntegerFilter, SingleTapsPassTheInputThrough)
{
    const std::vector<IntegerFilterTap> one = {{1, 1.0}};
    IntegerFilterConf conf = integerConf(one, 1, one, 1, 2.5);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 0);
    EXPECT_EQ(feed(f.get(), {2, -4, 8}), (std::vector<double>{5, -10, 20}));
}

TEST(IntegerFilter, LastPositionReadsTheOldestSampleAcrossWraps)
{
    // Numerator (1, 0), (4, 1): a pure delay of 3 over a 4-slot history.
    const std::vector<IntegerFilterTap> num = {{1, 0.0}, {4, 1.0}};
    const std::vector<IntegerFilterTap> den = {{1, 1.0}};
    IntegerFilterConf conf = integerConf(num, 4, den, 1);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 1);  // (4 - 1) / 2, truncated
    std::vector<double> x, want;
    for (int i = 1; i <= 14; ++i) {
        x.push_back(i);
        want.push_back(i > 3 ? i - 3 : 1);  // primed with the first sample
    }
    EXPECT_EQ(feed(f.get(), x), want);
}

TEST(IntegerFilter, RecordsBreakingTheTapRulesAreTakenSafely)
{
    // Same polynomial as the reference high-pass at M = 4, taps shuffled,
    // one tap beyond the declared length and one at position 0.
    const std::vector<IntegerFilterTap> num = {{1, -1}, {4, 16}, {5, -30}, {6, 16}, {9, -1}};
    const std::vector<IntegerFilterTap> den = {{1, 16}, {2, -32}, {3, 16}};
    IntegerFilterConf good = integerConf(num, 9, den, 3);
    const std::vector<IntegerFilterTap> shuffled = {{5, -30}, {9, -1}, {1, -1}, {6, 16}, {4, 16}, {0, 99}};
    IntegerFilterConf odd = integerConf(shuffled, 6, den, 3);
    LogCapture log;
    FilterPtr a = makeFilter(&good);
    FilterPtr b = makeFilter(&odd);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(log.contains("dropped"));
    const std::vector<double> x = testSignal(60);
    EXPECT_EQ(feed(a.get(), x), feed(b.get(), x));
}

TEST(IntegerFilterWholeArray, RefusalsAndInPlace)
{
    LogCapture log;
    // M = 16 high-pass: num_num 33, den_num 3, P = 32, delay 15.
    const int m = 16;
    const std::vector<IntegerFilterTap> num = {
        {1, -1}, {m, m * m}, {m + 1, -2.0 * m * m + 2}, {m + 2, m * m}, {2 * m + 1, -1}};
    const std::vector<IntegerFilterTap> den = {{1, m * m}, {2, -2.0 * m * m}, {3, m * m}};
    IntegerFilterConf conf = integerConf(num, 2 * m + 1, den, 3, 1.0, "hp16");
    FilterPtr f = makeFilter(&conf);
    ASSERT_EQ(getSignalFilterDelay(f.get()), 15);
    const std::vector<double> in = testSignal(80);
    std::vector<double> out(80, 7.0);

    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 32), -1);
    EXPECT_TRUE(log.contains("hp16 input to small: 32"));
    EXPECT_EQ(out[0], 7.0);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 46), -1);  // d + P = 47
    EXPECT_TRUE(log.contains("hp16 input too small:46"));
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 47), 0);

    setSignalFilterDelay(f.get(), 34);  // beyond num_num
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 80), -1);
    setSignalFilterDelay(f.get(), 33);  // within num_num but beyond P
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 80), -1);
    EXPECT_EQ(log.count("hp16 invalid delay"), 2);

    initSignalFilter(f.get());  // back to 15
    std::vector<double> separate(80);
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), separate.data(), 80), 0);
    std::vector<double> inPlace = in;
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), inPlace.data(), inPlace.data(), 80), 1);
    EXPECT_EQ(inPlace, separate);
}

TEST(IntegerFilter, BadInput)
{
    LogCapture log;
    const std::vector<IntegerFilterTap> one = {{1, 1.0}};
    IntegerFilterConf conf = integerConf(one, 1, one, 1);
    conf.numData = nullptr;
    EXPECT_EQ(newIntegerFilter(&conf), nullptr);
    conf = integerConf(one, 1, one, 1);
    conf.den_num_valid = 0;
    EXPECT_EQ(newIntegerFilter(&conf), nullptr);
    // Every denominator tap unusable: no normaliser.
    const std::vector<IntegerFilterTap> zero = {{0, 1.0}};
    conf = integerConf(one, 1, zero, 1);
    EXPECT_EQ(newIntegerFilter(&conf), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 3);
    EXPECT_EQ(doIntegerFilterNotRealTime(nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(doIntegerFilter(nullptr, -1.5), -1.5);
}

}  // namespace
}  // namespace tessivar::test

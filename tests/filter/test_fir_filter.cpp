// FIR filter and its convolution helpers: priming, the impulse response,
// the whole-array path (lag removal, edge extension, refusal lengths,
// in-place use) and convWinograd's order of operations.
#include <gtest/gtest.h>

#include <numeric>

#include "filter/filter_test_util.hpp"
#include "support/log_capture.hpp"

namespace tessivar::test {
namespace {

// --- convolution helpers -----------------------------------------------------

TEST(Conv, WinogradAddsTheFirstNSamplesOfTheFullConvolution)
{
    // x = 1 2 3 4 with h = 1 10 100: full convolution 1, 12, 123, 234, ...
    const double x[] = {1, 2, 3, 4};
    const double odd[] = {1, 10, 100};
    double y[5] = {1000, 1000, 1000, 1000, -7};  // y[4] guards the end
    EXPECT_EQ(convWinograd(x, 4, odd, 3, y), 4);
    EXPECT_EQ(y[0], 1001);
    EXPECT_EQ(y[1], 1012);
    EXPECT_EQ(y[2], 1123);
    EXPECT_EQ(y[3], 1234);
    EXPECT_EQ(y[4], -7);

    // Even length: h = 1 10 gives 1, 12, 23, 34.
    const double even[] = {1, 10};
    double z[4] = {};
    EXPECT_EQ(convWinograd(x, 4, even, 2, z), 4);
    EXPECT_EQ(std::vector<double>(z, z + 4), (std::vector<double>{1, 12, 23, 34}));
}

TEST(Conv, WinogradWithFewerSamplesThanTapsStaysInside)
{
    // n = 2, m = 4: y = 1, 2 + 10 = 12; nothing read or written beyond.
    const double x[] = {1, 2};
    const double h[] = {1, 10, 100, 1000};
    double y[3] = {0, 0, -7};
    EXPECT_EQ(convWinograd(x, 2, h, 4, y), 2);
    EXPECT_EQ(y[0], 1);
    EXPECT_EQ(y[1], 12);
    EXPECT_EQ(y[2], -7);
}

TEST(Conv, WinogradRoundsInItsOwnOrder)
{
    // For the pair (0.1, 0.2) and x[0] = 1, y[0] is (0 - 1)*0.2 + 1*(0.1 + 0.2):
    // 0.1 + 0.2 rounds up to 0.30000000000000004, and subtracting 0.2 from
    // it is exact, so y[0] = 0.30000000000000004 - 0.2, not 0.1.
    const double x[] = {1};
    const double h[] = {0.1, 0.2};
    double y[1] = {0};
    convWinograd(x, 1, h, 2, y);
    const volatile double s = 0.1 + 0.2;
    EXPECT_EQ(y[0], s - 0.2);
    EXPECT_NE(y[0], 0.1);
}

TEST(Conv, ValidWritesOneOutputPerFullOverlap)
{
    const double x[] = {1, 2, 3, 4};
    const double h[] = {1, 10, 100};
    double y[3] = {5, 5, -7};
    // y[0] = 1*3 + 10*2 + 100*1, y[1] = 1*4 + 10*3 + 100*2.
    EXPECT_EQ(convValid(x, 4, h, 3, y), 2);
    EXPECT_EQ(y[0], 123);
    EXPECT_EQ(y[1], 234);
    EXPECT_EQ(y[2], -7);
}

TEST(Conv, RefusesBadArguments)
{
    const double x[] = {1, 2};
    const double h[] = {1, 2, 3};
    double y[3] = {};
    EXPECT_EQ(convValid(x, 2, h, 3, y), -1);  // n < m
    EXPECT_EQ(convValid(x, 2, h, 0, y), -1);
    EXPECT_EQ(convWinograd(x, 2, nullptr, 3, y), -1);
    EXPECT_EQ(convWinograd(x, -1, h, 3, y), -1);
    EXPECT_EQ(convWinograd(x, 0, h, 3, y), 0);
}

// --- per-sample path ----------------------------------------------------------

TEST(FirFilter, PrimingAndImpulseResponse)
{
    const std::vector<double> b = {1, 2, 3};
    FirFilterConf conf = firConf(b, 2.0);
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->gain, 1.0);  // the record's gain sits in the coefficients
    EXPECT_EQ(getSignalFilterDelay(f.get()), 1);

    // A first sample of 0 primes with zeros: the impulse response follows,
    // 2*b, then 0 once the impulse has left the history.
    EXPECT_EQ(feed(f.get(), {0, 1, 0, 0, 0}), (std::vector<double>{0, 2, 4, 6, 0}));

    // A first sample of 5 primes with 5: 5 * 2 * (1 + 2 + 3) at once.
    initSignalFilter(f.get());
    EXPECT_EQ(doSignalFilter(f.get(), 5), 60);
    EXPECT_EQ(doSignalFilter(f.get(), 5), 60);
}

TEST(FirFilter, SingleTap)
{
    const std::vector<double> b = {0.5};
    FirFilterConf conf = firConf(b, 3.0);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 0);
    EXPECT_EQ(doSignalFilter(f.get(), 4), 6);
    const double in[] = {2};
    double out[1] = {};
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in, out, 1), 0);
    EXPECT_EQ(out[0], 3);
}

TEST(FirFilter, CustomInitPrimesAtOnceAndKeepsPendingPriming)
{
    const std::vector<double> b = {1, 1, 1};
    FirFilterConf conf = firConf(b);
    FilterPtr f = makeFilter(&conf);
    // Never fed: clearPending stays 1, so the first sample primes again.
    EXPECT_EQ(initSignalFilterCustom(f.get(), 10, 99), 0);
    EXPECT_EQ(f->clearPending, 1);
    EXPECT_EQ(doSignalFilter(f.get(), 2), 6);
    // Once running, a custom init primes at once: 1 + 10 + 10.
    EXPECT_EQ(initSignalFilterCustom(f.get(), 10, 0), 0);
    EXPECT_EQ(doSignalFilter(f.get(), 1), 21);
}

// A long run of equal taps is a moving average: its running sum must give
// the product sum. Integer-valued inputs and taps of 1 keep every sum exact,
// so the expectations are exact (hand arithmetic beside each row).
TEST(FirFilter, EqualTapsMovingAverage)
{
    const std::vector<double> ones(100, 1.0);
    FirFilterConf conf = firConf(ones);
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    const double nan = std::nan("");
    struct Step {
        double x;
        int repeat;
        double y;  // output of the last of the repeated samples
    };
    const Step steps[] = {
        {3, 1, 300},     // primes: 100 * 3
        {5, 1, 302},     // 99 * 3 + 5
        {0, 99, 5},      // only the 5 is left in the window
        {0, 1, 0},       // the 5 leaves
        {7, 1, 7},       // an impulse ...
        {0, 99, 7},      // ... stays for 100 samples (the history wraps on the way)
        {0, 1, 0},
        {nan, 1, nan},   // a NaN poisons the sum while it is in the window
        {1, 99, nan},
        {1, 1, 100},     // and leaves with its sample: 100 * 1
    };
    int n = 0;
    for (const Step &s : steps) {
        double y = 0;
        for (int i = 0; i < s.repeat; ++i) y = doSignalFilter(f.get(), s.x);
        n += s.repeat;
        if (std::isnan(s.y)) {
            EXPECT_TRUE(std::isnan(y)) << "after " << n << " samples";
        } else {
            EXPECT_EQ(y, s.y) << "after " << n << " samples";
        }
    }
    // A custom init primes at once: 99 * 2 + 1; an init primes on the next
    // sample: 100 * -4.
    EXPECT_EQ(initSignalFilterCustom(f.get(), 2, 0), 0);
    EXPECT_EQ(doSignalFilter(f.get(), 1), 199);
    EXPECT_EQ(initSignalFilter(f.get()), 0);
    EXPECT_EQ(doSignalFilter(f.get(), -4), -400);

    // Fractional taps (the respiration display average, 1000 taps of 1/1000)
    // against the product sum taken here in long double: equal to a few
    // units in the last place of the double.
    const std::vector<double> avg(1000, 1.0);
    FirFilterConf avgConf = firConf(avg, 1.0 / 1000);
    FilterPtr g = makeFilter(&avgConf);
    std::vector<double> x(5000);
    for (size_t i = 0; i < x.size(); ++i) x[i] = 800.0 * std::sin(0.003 * double(i)) + 0.37 * double(i % 17);
    for (size_t i = 0; i < x.size(); ++i) {
        long double s = 0;
        for (size_t k = 0; k < 1000; ++k) s += static_cast<long double>(1.0 / 1000) * (k <= i ? x[i - k] : x[0]);
        EXPECT_NEAR(doSignalFilter(g.get(), x[i]), double(s), 1e-12 * (std::fabs(double(s)) + 1)) << i;
    }
}

// --- whole-array path ---------------------------------------------------------

const std::vector<double> kFive = {0.1, -0.3, 1.2, 0.45, -0.2};

TEST(FirFilterWholeArray, FiveTapsEqualTheShiftedPerSampleResponse)
{
    FirFilterConf conf = firConf(kFive, 1.5);
    FilterPtr f = makeFilter(&conf);
    ASSERT_EQ(getSignalFilterDelay(f.get()), 2);
    const std::vector<double> in = {3, -1, 4, 1, -5, 9, 2, 6, -5, 3, 5, 8};
    std::vector<double> out(in.size());
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 12), 0);

    // A fresh copy fed in[0..11], then in[11] twice; its first two outputs
    // are dropped.
    FilterPtr copy = makeFilter(&conf);
    std::vector<double> fed = in;
    fed.push_back(in.back());
    fed.push_back(in.back());
    const std::vector<double> stream = feed(copy.get(), fed);
    for (std::size_t t = 0; t < in.size(); ++t) EXPECT_NEAR(out[t], stream[t + 2], 1e-13) << t;
}

TEST(FirFilterWholeArray, RefusalLengths)
{
    LogCapture log;
    FirFilterConf conf = firConf(kFive, 1.0, "five");
    FilterPtr f = makeFilter(&conf);
    std::vector<double> in(12, 1.0);
    std::vector<double> out(12, 7.0);
    // d + 2P = 10: n = 9 is refused after out was cleared.
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 9), -1);
    EXPECT_TRUE(log.contains("five input too small:9"));
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[8], 0.0);
    EXPECT_EQ(out[9], 7.0);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 10), 0);
    // n = L - 1 is refused before anything is written.
    std::fill(out.begin(), out.end(), 7.0);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 4), -1);
    EXPECT_TRUE(log.contains("five input to small: 4"));
    EXPECT_EQ(out[0], 7.0);
}

TEST(FirFilterWholeArray, DelayLimits)
{
    LogCapture log;
    FirFilterConf conf = firConf(kFive, 1.0, "five");
    FilterPtr f = makeFilter(&conf);
    std::vector<double> in = testSignal(40);
    std::vector<double> out(40, 7.0);
    // d = L passes the first check but not d <= P: out is cleared.
    setSignalFilterDelay(f.get(), 5);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 40), -1);
    EXPECT_EQ(log.count("five invalid delay"), 1);
    EXPECT_EQ(out[0], 0.0);
    // d = L + 1 is refused at once.
    std::fill(out.begin(), out.end(), 7.0);
    setSignalFilterDelay(f.get(), 6);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 40), -1);
    EXPECT_EQ(log.count("five invalid delay"), 2);
    EXPECT_EQ(out[0], 7.0);
    // d = 0: plain filtering with the input extended by in[0] on the left.
    setSignalFilterDelay(f.get(), 0);
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 40), 0);
    FilterPtr copy = makeFilter(&conf);
    const std::vector<double> stream = feed(copy.get(), in);
    for (std::size_t t = 0; t < in.size(); ++t) EXPECT_NEAR(out[t], stream[t], 1e-12) << t;
}

TEST(FirFilterWholeArray, InPlaceGivesTheSameValuesAndReturnsOne)
{
    FirFilterConf conf = firConf(kFive, 0.75);
    FilterPtr f = makeFilter(&conf);
    const std::vector<double> in = testSignal(64);
    std::vector<double> separate(in.size());
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), separate.data(), 64), 0);
    std::vector<double> inPlace = in;
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), inPlace.data(), inPlace.data(), 64), 1);
    EXPECT_EQ(inPlace, separate);
    // In place and refused: the array is left as it was.
    std::vector<double> shortOne = in;
    shortOne.resize(9);
    const std::vector<double> before = shortOne;
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), shortOne.data(), shortOne.data(), 9), -1);
    EXPECT_EQ(shortOne, before);
}

TEST(FirFilterWholeArray, LeavesTheRealTimeStateAlone)
{
    FirFilterConf conf = firConf(kFive);
    FilterPtr a = makeFilter(&conf);
    FilterPtr b = makeFilter(&conf);
    const std::vector<double> x = testSignal(30);
    std::vector<double> scratch(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (i == 10) doSignalFilterNotRealTime(a.get(), x.data(), scratch.data(), 30);
        EXPECT_EQ(doSignalFilter(a.get(), x[i]), doSignalFilter(b.get(), x[i])) << i;
    }
}

TEST(FirFilter, BadInput)
{
    LogCapture log;
    const std::vector<double> b = {1, 2};
    FirFilterConf conf = firConf(b);
    conf.numData = nullptr;
    EXPECT_EQ(newFirFilter(&conf), nullptr);
    conf = firConf(b);
    conf.num_num = 0;
    EXPECT_EQ(newFirFilter(&conf), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);

    conf = firConf(b, 1.0, "two");
    FilterPtr f = makeFilter(&conf);
    double out[4] = {};
    EXPECT_EQ(doFirFilterNotRealTime(f.get(), nullptr, out, 4), -1);
    EXPECT_TRUE(log.contains("two invalid parm"));
    EXPECT_EQ(doFirFilter(nullptr, 3.5), 3.5);
    EXPECT_EQ(initFirFilterCustom(nullptr, 0, 0), -1);
}

}  // namespace
}  // namespace tessivar::test

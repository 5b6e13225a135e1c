// FIR filter and its convolution helpers: exact sums and rounding order,
// priming, the impulse response, and the whole-array path (lag removal,
// edge extension, refusal lengths, in-place use).
#include "filter/filter_test_util.hpp"

namespace tessivar::test {
namespace {

TEST(Conv, ExactSumsRoundingOrderAndRefusals)
{
    const double x[] = {1, 2, 3, 4}, h3[] = {1, 10, 100}, h2[] = {1, 10}, h4[] = {1, 10, 100, 1000};
    double y[5] = {1000, 1000, 1000, 1000, -7};  // Winograd adds into y; y[4] guards the end
    EXPECT_EQ(convWinograd(x, 4, h3, 3, y), 4);
    EXPECT_EQ(Vec(y, y + 5), (Vec{1001, 1012, 1123, 1234, -7}));  // 1, 2+10, 3+20+100, 4+30+200
    double z[4] = {};
    EXPECT_EQ(convWinograd(x, 4, h2, 2, z), 4);
    EXPECT_EQ(Vec(z, z + 4), (Vec{1, 12, 23, 34}));
    double w[3] = {0, 0, -7};  // fewer samples than taps: nothing beyond n
    EXPECT_EQ(convWinograd(x, 2, h4, 4, w), 2);
    EXPECT_EQ(Vec(w, w + 3), (Vec{1, 12, -7}));
    double v[3] = {5, 5, -7};  // valid part only, written: 3+20+100, 4+30+200
    EXPECT_EQ(convValid(x, 4, h3, 3, v), 2);
    EXPECT_EQ(Vec(v, v + 3), (Vec{123, 234, -7}));

    // Pair (0.1, 0.2) on x[0] = 1: (0 - 1)*0.2 + 1*(0.1 + 0.2), and 0.1 + 0.2
    // rounds up, so the result is 0.30000000000000004 - 0.2, not 0.1.
    const double pair[] = {0.1, 0.2};
    double r[1] = {0};
    convWinograd(x, 1, pair, 2, r);
    const volatile double s = 0.1 + 0.2;
    EXPECT_EQ(r[0], s - 0.2);
    EXPECT_NE(r[0], 0.1);

    EXPECT_EQ(convValid(x, 2, h3, 3, v), -1);  // n < m
    EXPECT_EQ(convValid(x, 2, h3, 0, v), -1);
    EXPECT_EQ(convWinograd(x, 2, nullptr, 3, v), -1);
    EXPECT_EQ(convWinograd(x, -1, h3, 3, v), -1);
    EXPECT_EQ(convWinograd(x, 0, h3, 3, v), 0);
}

TEST(FirFilter, PrimingImpulseResponseAndSingleTap)
{
    const Vec b = {1, 2, 3}, one = {0.5};
    FirFilterConf conf = firConf(b, 2.0), single = firConf(one, 3.0);
    FilterPtr f = makeFilter(&conf), g = makeFilter(&single);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 1);  // 3/2
    // First sample 0 primes with zeros: the impulse response 2*b, then 0.
    EXPECT_EQ(feed(f.get(), {0, 1, 0, 0, 0}), (Vec{0, 2, 4, 6, 0}));
    initSignalFilter(f.get());
    EXPECT_EQ(feed(f.get(), {5, 5}), (Vec{60, 60}));  // primed with 5: 5*2*(1+2+3)
    // A custom init on a running filter primes at once: 2*(1*1 + 2*10 + 3*10).
    EXPECT_EQ(initSignalFilterCustom(f.get(), 10, 99), 0);
    EXPECT_EQ(doSignalFilter(f.get(), 1), 102);
    // Never fed since init: priming stays pending and takes the next sample, 2*2*6.
    initSignalFilter(f.get());
    EXPECT_EQ(initSignalFilterCustom(f.get(), 10, 0), 0);
    EXPECT_EQ(f->clearPending, 1);
    EXPECT_EQ(doSignalFilter(f.get(), 2), 24);

    EXPECT_EQ(getSignalFilterDelay(g.get()), 0);  // L = 1
    EXPECT_EQ(doSignalFilter(g.get(), 4), 6);     // 3*0.5*4
    const double in[] = {2};
    double out[1] = {};
    EXPECT_EQ(doSignalFilterNotRealTime(g.get(), in, out, 1), 0);
    EXPECT_EQ(out[0], 3);
}

const Vec kFive = {0.1, -0.3, 1.2, 0.45, -0.2};  // L 5, P 4, delay 2

TEST(FirFilterWholeArray, ShiftedResponseInPlaceAndRealTimeStateAlone)
{
    FirFilterConf conf = firConf(kFive, 1.5);
    FilterPtr f = makeFilter(&conf), g = makeFilter(&conf), h = makeFilter(&conf);
    const Vec in = {3, -1, 4, 1, -5, 9, 2, 6, -5, 3, 5, 8};
    Vec out(12);
    feed(f.get(), {7, 1, 2});
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 12), 0);
    const Vec untouched = feed(h.get(), {7, 1, 2, 3, 4});
    EXPECT_EQ(feed(f.get(), {3, 4}), Vec(untouched.begin() + 3, untouched.end()));
    expectShiftedResponse(&conf, in, out, 2, 1e-13);
    Vec inPlace = in;
    EXPECT_EQ(doSignalFilterNotRealTime(g.get(), inPlace.data(), inPlace.data(), 12), 1);
    EXPECT_EQ(inPlace, out);
    inPlace.resize(9);  // in place and refused: left as it was
    const Vec before = inPlace;
    EXPECT_EQ(doSignalFilterNotRealTime(g.get(), inPlace.data(), inPlace.data(), 9), -1);
    EXPECT_EQ(inPlace, before);
}

TEST(FirFilterWholeArray, RefusalsAndTheirMessages)
{
    LogCapture log;
    FirFilterConf conf = firConf(kFive, 1.0, "five");
    FilterPtr f = makeFilter(&conf);
    const Vec in = testSignal(40);
    const struct {
        int32_t delay, n, result;
        const char *message;
        double out0;  // 0 when out was cleared before the refusal
    } rows[] = {
        {2, 4, -1, "five input to small: 4", 7},  // n = L - 1
        {2, 9, -1, "five input too small:9", 0},  // n = d + 2P - 1
        {2, 10, 0, nullptr, 0},                   // n = d + 2P
        {5, 40, -1, "five invalid delay", 0},     // d = L: past the first check, not d <= P
        {6, 40, -1, "five invalid delay", 7},     // d = L + 1
        {0, 40, 0, nullptr, 0},                   // plain filtering, left edge extended
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << "delay " << r.delay << " n " << r.n);
        log.clear();
        Vec out(40, 7.0);
        setSignalFilterDelay(f.get(), r.delay);
        EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), r.n), r.result);
        if (r.message != nullptr) {
            EXPECT_TRUE(log.contains(r.message));
            EXPECT_EQ(out[0], r.out0);
        } else {
            expectShiftedResponse(&conf, Vec(in.begin(), in.begin() + r.n), Vec(out.begin(), out.begin() + r.n),
                                  r.delay, 1e-12);
        }
    }
    Vec out(4);
    EXPECT_EQ(doFirFilterNotRealTime(f.get(), nullptr, out.data(), 4), -1);
    EXPECT_TRUE(log.contains("five invalid parm"));
    log.clear();
    const Vec b = {1, 2};
    FirFilterConf bad = firConf(b);
    bad.numData = nullptr;
    EXPECT_EQ(newFirFilter(&bad), nullptr);
    bad = firConf(b);
    bad.num_num = 0;
    EXPECT_EQ(newFirFilter(&bad), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    EXPECT_EQ(doFirFilter(nullptr, 3.5), 3.5);
    EXPECT_EQ(initFirFilterCustom(nullptr, 0, 0), -1);
}

}  // namespace
}  // namespace tessivar::test

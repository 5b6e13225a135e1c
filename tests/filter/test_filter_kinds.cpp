// Arithmetic of each filter kind, per sample and over whole arrays (lag
// removal, edge extension, length and delay limits, in-place use).
#include "filter/filter_test_util.hpp"

namespace tessivar::test {
namespace {

const Vec kFive = {0.1, -0.3, 1.2, 0.45, -0.2};                                // L 5, P 4, delay 2
const Vec kZeroSumB = {-1, 0, 4, -4, 1}, kZeroSumA = {4, -4};                  // x[n-2] minus the 4-sample mean
const Vec kNotchB = {0.99625310395795, -1.85258542010657, 0.99625310395795};  // 50 Hz display notch
const Vec kNotchA = {1, -1.85258542010657, 0.9925062079159};
const Taps kHp16Num = {{1, -1}, {16, 256}, {17, -510}, {18, 256}, {33, -1}};  // P 32, delay (33-3)/2
const Taps kHp16Den = {{1, 256}, {2, -512}, {3, 256}};

TEST(Conv, ExactSumsRoundingOrderAndRefusals)
{
    const double x[] = {1, 2, 3, 4}, h3[] = {1, 10, 100}, h4[] = {1, 10, 100, 1000}, pair[] = {0.1, 0.2};
    // Winograd adds the first n samples of the full convolution into y, valid writes full overlaps.
    double y[5] = {1000, 1000, 1000, 1000, -7}, w[3] = {0, 0, -7}, v[3] = {5, 5, -7}, r[1] = {0};
    EXPECT_EQ(Ints({convWinograd(x, 4, h3, 3, y), convWinograd(x, 2, h4, 4, w), convValid(x, 4, h3, 3, v)}),
              Ints({4, 2, 2}));
    EXPECT_EQ(Vec(y, y + 5), (Vec{1001, 1012, 1123, 1234, -7}));  // 1, 2+10, 3+20+100, 4+30+200
    EXPECT_EQ(Vec(w, w + 3), (Vec{1, 12, -7}));                   // fewer samples than taps
    EXPECT_EQ(Vec(v, v + 3), (Vec{123, 234, -7}));                // 3+20+100, 4+30+200
    // Pair (0.1, 0.2) on x[0] = 1: (0 - 1)*0.2 + 1*(0.1 + 0.2), where 0.1 + 0.2 rounds up.
    convWinograd(x, 1, pair, 2, r);
    const volatile double s = 0.1 + 0.2;
    EXPECT_EQ(r[0], s - 0.2);
    EXPECT_NE(r[0], 0.1);
    EXPECT_EQ(Ints({convValid(x, 2, h3, 3, v), convWinograd(x, 2, nullptr, 3, v), convWinograd(x, 0, h3, 3, v)}),
              Ints({-1, -1, 0}));  // n < m, no taps, nothing to do
}

TEST(FirFilter, PrimingImpulseResponseAndSingleTap)
{
    const Vec b = {1, 2, 3}, one = {0.5};
    FirFilterConf conf = firConf(b, 2.0), single = firConf(one, 3.0);
    FilterPtr f = makeFilter(&conf), g = makeFilter(&single);
    // First sample 0 primes with zeros: the impulse response 2*b, then 0.
    EXPECT_EQ(feed(f.get(), {0, 1, 0, 0, 0}), (Vec{0, 2, 4, 6, 0}));
    initSignalFilter(f.get());
    EXPECT_EQ(feed(f.get(), {5, 5}), (Vec{60, 60}));  // primed with 5: 5*2*(1+2+3)
    EXPECT_EQ(initSignalFilterCustom(f.get(), 10, 99), 0);  // running: primed at once
    EXPECT_EQ(doSignalFilter(f.get(), 1), 102);             // 2*(1*1 + 2*10 + 3*10)
    initSignalFilter(f.get());  // never fed since: priming stays pending, 2*2*6
    EXPECT_EQ(initSignalFilterCustom(f.get(), 10, 0), 0);
    EXPECT_EQ(doSignalFilter(f.get(), 2), 24);
    Vec scratch(12);  // the whole-array path leaves the real-time history alone
    ASSERT_EQ(doSignalFilterNotRealTime(f.get(), testSignal(12).data(), scratch.data(), 12), 0);
    EXPECT_EQ(doSignalFilter(f.get(), 2), 24);

    Vec single2 = {2};  // L = 1: delay 0, 3*0.5*x, whole arrays from n = 1
    EXPECT_EQ(Vec({double(getSignalFilterDelay(g.get())), doSignalFilter(g.get(), 4)}), Vec({0, 6}));
    EXPECT_EQ(doSignalFilterNotRealTime(g.get(), single2.data(), single2.data(), 1), 1);
    EXPECT_EQ(single2[0], 3);
}

TEST(IirCombFilter, DcPrimingAndFeedbackArithmetic)
{
    const Vec one = {1}, half = {2, -1}, b0 = {1, 1}, a0 = {0, 0.5};
    IirCombFilterConf notch = iirConf(kNotchB, kNotchA), hp = iirConf(kZeroSumB, kZeroSumA);
    IirCombFilterConf fb = iirConf(one, half, 3.0), noNorm = iirConf(b0, a0);
    FilterPtr n = makeFilter(&notch), h = makeFilter(&hp), f = makeFilter(&fb), z = makeFilter(&noNorm);
    // Notch: sum(b) = sum(a) = 0.13992078780933, a constant passes from the first sample.
    for (int i = 0; i < 50; ++i) ASSERT_NEAR(doSignalFilter(n.get(), 250.0), 250.0, 1e-9) << i;
    // Zero-sum high-pass: (-3.25 + 13 - 13 + 3.25)/4; a step of 4: x[n-2] - mean(x[n-3..n]).
    EXPECT_EQ(feed(h.get(), Vec(20, 3.25)), Vec(20, 0.0));
    EXPECT_EQ(feed(h.get(), Vec(5, 7.25)), (Vec{-1, -2, 1, 0, 0}));
    // 2y[n] = 3x[n] + y[n-1]: gainDC 3/(2-1); primed with 4, (12+12)/2, then halving.
    EXPECT_EQ(f->gainDC, 3.0);
    EXPECT_EQ(feed(f.get(), {4, 0, 0, 0}), (Vec{12, 6, 3, 1.5}));
    initSignalFilter(f.get());  // a first sample 0 primes both histories with zeros
    EXPECT_EQ(feed(f.get(), {0, 2, 0}), (Vec{0, 3, 1.5}));
    // a[0] = 0 is not refused: primed with 1, (1 + 1 - 0.5*4)/0.
    EXPECT_TRUE(std::isnan(doSignalFilter(z.get(), 1.0)));
}

TEST(IntegerFilter, SparseTapsAndHistoryWrap)
{
    IntegerFilterConf base = integerConf(kHpass03Num, 3841, kHpass03Den, 3, 1.0, "hpass 0.3");
    FilterPtr f = makeFilter(&base);
    // -1.5 + 3686400*1.5 - 7372798*1.5 + 3686400*1.5 - 1.5 = 0, past several history wraps.
    EXPECT_EQ(feed(f.get(), Vec(9000, 1.5)), Vec(9000, 0.0));

    const Taps unit = {{1, 1.0}}, delay3 = {{1, 0.0}, {4, 1.0}};
    IntegerFilterConf pass = integerConf(unit, 1, unit, 1, 2.5), late = integerConf(delay3, 4, unit, 1);
    FilterPtr p = makeFilter(&pass), d = makeFilter(&late);
    EXPECT_EQ(Ints({getSignalFilterDelay(p.get()), getSignalFilterDelay(d.get())}), Ints({0, 1}));  // (4 - 1)/2
    EXPECT_EQ(feed(p.get(), {2, -4, 8}), (Vec{5, -10, 20}));
    Vec x, want;  // position 4 reads the sample 3 steps old, across wraps of the 4-slot history
    for (int i = 1; i <= 14; ++i) x.push_back(i), want.push_back(i > 3 ? i - 3 : 1);
    EXPECT_EQ(feed(d.get(), x), want);
}

TEST(FilterWholeArray, LengthAndDelayLimitsInPlaceUseAndRefusals)
{
    LogCapture log;
    FirFilterConf fir = firConf(kFive, 1.0, "five");
    IirCombFilterConf iir = iirConf(kZeroSumB, kZeroSumA, 1.0, 2, "hp4");  // nb 5, na 2, P 4
    IirCombFilterConf negative = iirConf(kZeroSumB, kZeroSumA, 1.0, -1, "hp4");  // only a record sets d < 0
    IntegerFilterConf integer = integerConf(kHp16Num, 33, kHp16Den, 3, 1.0, "hp16");
    // out0: out[0] after a refusal, 0 when out was cleared first.
    const struct { const void *record; int32_t delay, n, result; const char *message; double out0; } rows[] = {
        {&fir, 2, 4, -1, "five input to small: 4", 7},       // n = L - 1
        {&fir, 2, 9, -1, "five input too small:9", 0},       // n = d + 2P - 1
        {&fir, 2, 10, 0, nullptr, 0},                        // n = d + 2P
        {&fir, 5, 40, -1, "five invalid delay", 0},          // d = L: refused after clearing, d > P
        {&fir, 6, 40, -1, "five invalid delay", 7},          // d = L + 1: refused at once
        {&fir, 0, 40, 0, nullptr, 0},                        // left edge extended by in[0]
        {&iir, 2, 4, -1, "hp4 input to small: 4", 7},        // n < nb
        {&iir, 9, 12, -1, "hp4 input too small:12", 0},      // d > P allowed, n = d + P - 1
        {&iir, 9, 13, 0, nullptr, 0},                        // n = d + P
        {&iir, 30, 20, -1, "hp4 input to small: 20", 7},     // n < d
        {&negative, -1, 40, -1, "hp4 invalid delay", 7},     // the refused setting leaves -1
        {&integer, 15, 32, -1, "hp16 input to small: 32", 7},  // n < num_num
        {&integer, 15, 46, -1, "hp16 input too small:46", 0},  // n = d + P - 1
        {&integer, 15, 47, 0, nullptr, 0},
        {&integer, 34, 80, -1, "hp16 invalid delay", 7},  // d > num_num
        {&integer, 33, 80, -1, "hp16 invalid delay", 0},  // d = num_num > P
    };
    const Vec in = testSignal(80);
    for (const auto &r : rows) {
        FilterPtr f = makeFilter(r.record);
        SCOPED_TRACE(testing::Message() << f->name << " delay " << r.delay << " n " << r.n);
        log.clear();
        Vec out(80, 7.0), inPlace(in.begin(), in.begin() + r.n);
        setSignalFilterDelay(f.get(), r.delay);
        EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), r.n), r.result);
        out.resize(std::size_t(r.n));
        if (r.message != nullptr) {
            EXPECT_TRUE(log.contains(r.message));
            EXPECT_EQ(out[0], r.out0);
        } else {
            expectShiftedResponse(r.record, inPlace, out, r.delay, 1e-9);
        }
        // In place: the same values and 1, or refused with the array untouched.
        EXPECT_EQ(doSignalFilterNotRealTime(f.get(), inPlace.data(), inPlace.data(), r.n), r.result < 0 ? -1 : 1);
        EXPECT_EQ(inPlace, r.result < 0 ? Vec(in.begin(), in.begin() + r.n) : out);
    }

    // Records without coefficient arrays and null filters are refused.
    log.clear();
    FilterPtr f = makeFilter(&fir);
    fir.numData = iir.denData = nullptr;
    integer.numData = nullptr;
    EXPECT_EQ(newFirFilter(&fir), nullptr);
    EXPECT_EQ(newIirCombFilter(&iir), nullptr);
    EXPECT_EQ(newIntegerFilter(&integer), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 3);
    double buf[4] = {};
    EXPECT_EQ(Ints({doFirFilterNotRealTime(f.get(), nullptr, buf, 4), doIirCombFilterNotRealTime(nullptr, buf, buf, 4),
                    doIntegerFilterNotRealTime(nullptr, buf, buf, 4)}),
              Ints({-1, -1, -1}));
    EXPECT_TRUE(log.contains("five invalid parm"));
    EXPECT_EQ(Vec({doFirFilter(nullptr, 3.5), doIirCombFilter(nullptr, 2.5), doIntegerFilter(nullptr, -1.5),
                   doNonlinearNotchFilter(nullptr, 1.25)}),
              Vec({3.5, 2.5, -1.5, 1.25}));  // the sample passes unchanged
}

TEST(AvgFilter, WindowsDelaysAndWholeArrays)
{
    AvgFilterConf hp4 = avgConf(SIGNAL_FILTER_AVG, 4), hp2 = avgConf(SIGNAL_FILTER_AVG, 2);
    AvgFilterConf lp3 = avgConf(SIGNAL_FILTER_AVG_LP, 3), base = avgConf(SIGNAL_FILTER_AVG, 24025, "hpass 0.01");
    FilterPtr f = makeFilter(&hp4), g = makeFilter(&hp2), h = makeFilter(&lp3), b = makeFilter(&base);
    // N 4, delay 2, primed with 1: 1 - 4/4 twice, then the sample two back minus (1+1+1+5)/4.
    initSignalFilterCustom(f.get(), 1.0, 0.0);
    EXPECT_EQ(feed(f.get(), {1, 1, 5}), (Vec{0, 0, -1}));
    setSignalFilterDelay(g.get(), 0);  // delay 0 reads the sample just stored: 6 - (2+6)/2
    EXPECT_EQ(feed(g.get(), {2, 6}), (Vec{0, 2}));
    // Low-pass N 3 primed with 3: 9/3, (3+3+6)/3, (3+6+9)/3, (6+9+12)/3.
    EXPECT_EQ(feed(h.get(), {3, 6, 9, 12}), (Vec{3, 4, 6, 9}));
    // The baseline window: delay 24025/2, 0 for a constant from the first sample on.
    EXPECT_EQ(getSignalFilterDelay(b.get()), 12012);
    EXPECT_EQ(feed(b.get(), Vec(1000, -37.5)), Vec(1000, 0.0));

    // Whole arrays: the extended input's windowed means, or the overall mean.
    const struct { int32_t type, window; Vec in, out; const char *why; } rows[] = {
        {SIGNAL_FILTER_AVG, 2, {2, 4, 8}, {-1, -2, 0}, "d 1: in minus the means of 2|2 4 8|8 pairs: 3, 6, 8"},
        {SIGNAL_FILTER_AVG_LP, 2, {2, 4, 8}, {3, 6, 8}, "the same means"},
        {SIGNAL_FILTER_AVG, 4, {1, 2, 3, 4}, {-1.5, -0.5, 0.5, 1.5}, "n <= N: minus the overall mean 2.5"},
        {SIGNAL_FILTER_AVG_LP, 10, {1, 2, 3, 4}, {2.5, 2.5, 2.5, 2.5}, "n <= N: the overall mean"},
        {SIGNAL_FILTER_AVG, 9, testSignal(50), {}, "the shifted per-sample response"},
        {SIGNAL_FILTER_AVG_LP, 9, testSignal(50), {}, "the shifted per-sample response"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.why);
        AvgFilterConf conf = avgConf(row.type, row.window);
        Vec out(row.in.size());
        EXPECT_EQ(doSignalFilterNotRealTime(makeFilter(&conf).get(), row.in.data(), out.data(), int32_t(out.size())),
                  0);
        if (row.out.empty()) expectShiftedResponse(&conf, row.in, out, 4, 1e-11);
        else EXPECT_EQ(out, row.out);
    }
    LogCapture log;  // the N 4 high-pass refuses no input and d = N + 1, takes d = N
    Vec x = testSignal(10), out(10);
    EXPECT_EQ(Ints({doAvgFilterNotRealTime(f.get(), nullptr, out.data(), 10), setSignalFilterDelay(f.get(), 5),
                    doSignalFilterNotRealTime(f.get(), x.data(), out.data(), 10), setSignalFilterDelay(f.get(), 4),
                    doSignalFilterNotRealTime(f.get(), x.data(), out.data(), 10)}),
              Ints({-1, 5, -1, 4, 0}));
    EXPECT_TRUE(log.contains("avg invalid parm") && log.contains("avg invalid delay"));
}

TEST(NonlinearNotchFilter, TracksFromItsPrimingAndRunsWholeArraysInOrder)
{
    NonlinearNotchFilterConf conf = notchConf();
    FilterPtr f = makeFilter(&conf);
    // Primed with 0, input 0: e = 0 rises by 0.02; then phi*0.02 falls; phi*e1 - e2 rises; falls.
    EXPECT_EQ(feed(f.get(), {0, 0, 0, 0}),
              (Vec{-0.02, -0.01804226065180616, -0.0343184191231918, -0.027235251620313417}));
    // Whole arrays run sample by sample, the state carried across calls.
    FilterPtr block = makeFilter(&conf), single = makeFilter(&conf);
    const Vec x = testSignal(120), want = feed(single.get(), x);
    Vec out = x;
    EXPECT_EQ(doSignalFilterNotRealTime(block.get(), x.data(), out.data(), 60), 0);
    EXPECT_EQ(doSignalFilterNotRealTime(block.get(), out.data() + 60, out.data() + 60, 60), 0);
    EXPECT_EQ(out, want);
}

}  // namespace
}  // namespace tessivar::test

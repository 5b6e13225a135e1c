// Array math: hand-worked cases of the typed-array library and of the small
// position / mean / median helpers (numpy cross-check: test_kt_array_reference).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include "tessivar/kt_array.h"
#include "tessivar/maxMinMeanMedianAbsOfArray.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();
template <typename T>
std::vector<T> v(const T *p, int32_t n) { return std::vector<T>(p, p + n); }
using Ints = std::vector<int32_t>;
using Doubles = std::vector<double>;

TEST(KtArray, ExtremesAndSearches)
{
    const double x[] = {1, 3, 3};  // the first of equal maxima
    double d = 0;
    int32_t i = -1;
    EXPECT_EQ((std::tuple{findMaxDouble(x, 3, &d, &i), d, i}), std::tuple(0, 3.0, 1));
    const int16_t s[] = {32767, -32768};  // |-32768| ranks highest, saturated with -6
    int16_t sv = 0;
    EXPECT_EQ((std::tuple{findMaxAbsShort(s, 2, &sv, &i), sv, i}), std::tuple(-6, int16_t(32767), 1));
    const double p[] = {1, 3, 3, -2, -2};
    const int16_t ps[] = {-32768, 100, -200};  // in 16 bits |-32768| ranks lowest
    EXPECT_EQ(Ints({maxPosDouble(p, 5), minPosDouble(p, 5), maxAbsPosShort(ps, 3)}), Ints({1, 3, 2}));

    const int16_t y[] = {1, 5, 3, 7, 2};  // strictly above / below the level; -3 when none
    EXPECT_EQ(Ints({findGreaterShort(y, 5, 4, &sv, &i), i, lFindGreaterShort(y, 5, 4, &sv, &i), i,
                    lFindLessShort(y, 5, 3, &sv, &i), i, findGreaterShort(y, 5, 7, &sv, &i), lFindLessShort(y, 5, 1, &sv, &i)}),
              Ints({0, 1, 0, 3, 0, 4, -3, -3}));
    const double e[] = {2, 0.5, 2, 9};
    EXPECT_EQ(Ints({lFindEqualDouble(e, 4, 2.0, &i), i, findEqualDouble(e, 4, 3.0, &i)}), Ints({0, 2, -3}));
    const int32_t up[] = {1, 3, 3, 5};
    const float down[] = {5, 3, 3, 1};
    auto insert = [&](int32_t val) {  // rc and index of each order
        int32_t a = -1, b = -1;
        return Ints({findAscendingInsertInt(up, 4, val, &a), a, findDescendingInsertFloat(down, 4, float(val), &b), b});
    };
    EXPECT_EQ(std::vector<Ints>({insert(3), insert(0), insert(6)}), std::vector<Ints>({{0, 1, 0, 1}, {0, 0, 0, 4}, {0, 4, 0, 0}}));
}

TEST(KtArray, CrossingsFromBothEnds)
{
    const struct { Doubles x; double level; bool fromEnd; int rc, idx; const char *why; } cases[] = {
        {{2, 1, -1}, 0, false, 0, 2, "tie: the element beyond the crossing"},
        {{5, 0.5, -4}, 0, false, 0, 1, "predecessor nearer"},
        {{0, -2, -1, 3}, 0, false, 0, 2, "leading level skipped, then rising"},
        {{0, 0, 1, 3}, 0, false, -3, -1, "rises from the level, never below"},
        {{2, 2, 2}, 2, false, -3, -1, "all on the level"},
        {{-1, 1, 2}, 0, true, 0, 0, "tie from the end: the element itself"},
        {{-3, 1, 2}, 0, true, 0, 1, "successor nearer"},
        {{1, -1, 0}, 0, true, -3, -1, "last on the level stops at once"},
        {{4, 0, 3}, 0, true, -3, -1, "never crosses"},
    };
    for (const auto &c : cases) {
        double val = 0;
        int32_t i = -1, n = int32_t(c.x.size());
        EXPECT_EQ(c.fromEnd ? lFindCrossDouble(c.x.data(), n, c.level, &val, &i)
                            : findCrossDouble(c.x.data(), n, c.level, &val, &i), c.rc) << c.why;
        EXPECT_EQ(i, c.idx) << c.why;
    }
    const int32_t wide[] = {INT32_MAX, INT32_MIN};  // distances must not overflow
    int32_t iv = 0, i = -1;
    EXPECT_EQ(Ints({findCrossInt(wide, 2, 0, &iv, &i), i}), Ints({0, 0}));
}

TEST(KtArray, CountsMeansAndVariances)
{
    const int16_t s[] = {-5, 3, 10, 4, 11};
    int16_t in[5] = {};
    int32_t c = -1;
    double m = 0;
    EXPECT_EQ((std::pair{calcElementsInRangeShort(s, 5, 3, 10, in, &c), v(in, c)}), std::pair(0, std::vector<int16_t>{3, 10, 4}));
    const double huge[] = {1.5e308, 1.5e308};  // the running form never forms 3e308
    EXPECT_EQ((std::pair{calcMeanDouble(huge, 2, &m), m}), std::pair(0, 1.5e308));
    const double mixed[] = {kNan, 1, kInf, 3};  // finite ones: (1 + 3) / 2
    EXPECT_EQ((std::tuple{calcMeanDoubleWithNan(mixed, 4, &m, &c), m, c}), std::tuple(0, 2.0, 2));
    EXPECT_EQ(calcMeanDoubleWithNan(mixed, 1, &m, &c), -2);
    const double over[] = {-1e308, 1e308};
    m = 42;  // nothing written
    EXPECT_EQ((std::tuple{calcVarianceDouble(over, 2, &m), calcStdDeviationDouble(over, 2, &m), m}), std::tuple(-9, -9, 42.0));
    const float withNan[] = {1, NAN, 3};  // NaN-skipping mean, deviations over all: NaN
    ASSERT_EQ(calcVarianceFloatWithNan(withNan, 3, &m), 0);
    EXPECT_TRUE(std::isnan(m));
}

TEST(KtArray, SumsStopBeforeOverflow)
{
    std::vector<int16_t> s(65537, INT16_MIN);  // 65536 x -32768 = -2^31 still fits
    int32_t sum = 7;
    EXPECT_EQ((std::pair{calcSumShort(s.data(), 65536, &sum), sum}), std::pair(0, INT32_MIN));
    sum = 7;
    EXPECT_EQ(Ints({calcSumShort(s.data(), 65537, &sum), sum}), Ints({-10, 7}));
    const int32_t w[] = {INT32_MAX, 1};
    int64_t wide = 0;
    EXPECT_EQ((std::pair{calcSumInt(w, 2, &wide), wide}), std::pair(0, int64_t(2147483648LL)));
    const double d[] = {1.7e308, 1.7e308};
    EXPECT_EQ(calcSumDouble(d, 2, std::vector<double>(1).data()), -9);
    const int16_t wrapS[] = {30000, 30000};  // the helpers sum in the element type: 60000 - 65536
    EXPECT_EQ(arrayMeanForShort(wrapS, 2), -2768.0);
    EXPECT_EQ(arraySumForInt(w, 2), INT32_MIN);
}

TEST(KtArray, MedianSortAndCompaction)
{
    double x[] = {3, 1, 2, 4}, m = 0;
    EXPECT_EQ(arrayMedianForDouble(x, 4), 2.5);  // of a sorted copy
    EXPECT_EQ(v(x, 4), Doubles({3, 1, 2, 4}));
    EXPECT_EQ((std::pair{calcMedianDouble(x, 4, &m), m}), std::pair(0, 2.5));
    EXPECT_EQ(v(x, 4), Doubles({1, 2, 3, 4}));  // sorted in place
    double d[] = {kNan, 1, kNan, 2, kInf};
    EXPECT_EQ((std::pair{delNanDouble(d, 5), v(d, 3)}), std::pair(3, Doubles({1, 2, kInf})));
}

TEST(KtArray, DifferenceAndMeanRemovalSaturate)
{
    const int16_t s[] = {-32768, 32767};  // the step 65535 saturates
    int16_t so[3] = {};
    EXPECT_EQ((std::pair{arrayDifferenceShort(s, 2, so), v(so, 2)}), std::pair(-6, std::vector<int16_t>{-32768, 32767}));
    const int32_t w[] = {INT32_MAX, INT32_MIN, 5}, wm[] = {5, INT32_MIN};  // 5 - INT32_MIN = 2^31 + 5
    int32_t wo[3] = {}, wv = 0, i = -1;
    EXPECT_EQ((std::pair{arrayDifferenceInt(w, 3, wo), v(wo, 3)}), std::pair(-7, Ints({INT32_MAX, INT32_MIN, INT32_MAX})));
    EXPECT_EQ(Ints({findMaxAbsInt(wm, 2, &wv, &i), wv, i}), Ints({-7, INT32_MAX, 1}));
    const float f[] = {-3e38f, 3e38f};
    float fo[2] = {};
    EXPECT_EQ((std::pair{arrayDifferenceFloat(f, 2, fo), fo[1]}), std::pair(-8, FLT_MAX));
    double d[] = {1.7e308, -1.7e308, 1};  // in place: the steps use the input
    EXPECT_EQ((std::pair{arrayDifferenceDouble(d, 3, d), v(d, 3)}), std::pair(-9, Doubles({1.7e308, -DBL_MAX, 1.7e308})));

    const int16_t r[] = {1, 2};  // round(1.5) = 2
    ASSERT_EQ(reduceMeanShort(r, 2, so), 0);
    EXPECT_EQ(v(so, 2), (std::vector<int16_t>{-1, 0}));
    const int16_t rs[] = {-32768, 32767, 32767};  // mean 10922: -43690 leaves int16
    EXPECT_EQ((std::pair{reduceMeanShort(rs, 3, so), v(so, 3)}), std::pair(-6, std::vector<int16_t>{INT16_MIN, 21845, 21845}));
    const double rd[] = {-1.5e308, 1.5e308, 1.5e308};  // the double member reports -8
    double dout[3] = {};
    EXPECT_EQ(reduceMeanDouble(rd, 3, dout), -8);
    EXPECT_EQ(dout[0], -DBL_MAX);
}

TEST(KtArray, TransformsAndNormalisations)
{
    const double x[] = {1, 2};
    double c[8] = {99, 99, 99, 99, 99, 99, 99, 99};
    EXPECT_EQ((std::pair{convertToComplexDouble(x, 2, 3, c), v(c, 8)}), std::pair(0, Doubles({1, 0, 2, 0, 0, 0, 99, 99})));  // m = 3
    const int32_t idx[] = {0, 3, -1, 250};  // 250 Hz: 4 ms per sample
    float ms[4] = {};
    EXPECT_EQ((std::pair{samplePointsToTime(idx, 4, 250.0f, ms), v(ms, 4)}), std::pair(0, std::vector<float>{0, 12, -4, 1000}));
    const double flat[] = {5, 5};  // no range, no deviation: zeros, not NaN
    double out[4] = {7, 7, 7, 7};
    EXPECT_EQ(Ints({minMaxNormalizeDouble(flat, 2, out), zScoreNormalizeDouble(flat, 2, out + 2)}), Ints({0, 0}));
    EXPECT_EQ(v(out, 4), Doubles({0, 0, 0, 0}));
    double n[] = {2, -4, 1, 8};  // by 1 / (2 x 4), 4 = peak of the first three; all scaled
    EXPECT_EQ((std::pair{normalizationDouble(n, 4, 3, 2.0), v(n, 4)}), std::pair(1, Doubles({0.25, -0.5, 0.125, 1.0})));
    double z[] = {0, 0, 5};
    EXPECT_EQ((std::pair{normalizationDouble(z, 3, 2, 1.0), z[2]}), std::pair(-2, 5.0));
}

TEST(KtArray, PeakPicking)
{
    const float x[] = {0, 2, 2, 1, 1, 3, 0};  // collapsed 0 2 1 3 0 at first indexes 0 1 3 5 6
    int32_t idx[7] = {}, count = -1;
    auto peaks = [&](int32_t mode) { return findPeakPointsFloat(x, 7, mode, nullptr, idx, &count) ? Ints{-1} : v(idx, count); };
    EXPECT_EQ(std::vector<Ints>({peaks(0), peaks(1), peaks(2)}), std::vector<Ints>({{1, 5}, {3}, {1, 3, 5}}));  // max, min, both
    // 9@12 accepted, removes 5@10 not 4@20 (8 > 5); 8@23 removes 4@20; 7@40.
    const double vals[] = {5, 9, 4, 8, 7};
    const int32_t at[] = {10, 12, 20, 23, 40};
    const struct { int32_t minDist; double ratio; Ints picked; } cases[] = {
        {5, 1.0, {12, 23, 40}}, {5, 0.4, {12, 23}}, {2, 1.0, {12, 20, 23, 40}},  // round(5 x 0.4) = 2; 10 is 2 from 12
    };
    for (const auto &c : cases) {
        ASSERT_EQ(delNearPeaksDouble(vals, at, 5, c.minDist, idx, &count, c.ratio), 0);
        EXPECT_EQ(v(idx, count), c.picked) << c.minDist << " " << c.ratio;
    }
    // minDist 2 removes one neighbour per side: 9@3 takes 2@2 and 3@4, 1@1 stays.
    const double hp[] = {0, 2, -1.5, -3, 1, 0};  // turning points 2@1, -3@3, 1@4; |v| >= 1.5 kept
    double hv[6] = {};
    EXPECT_EQ((std::pair{findHighPeakPointsDouble(hp, 6, 1.5, hv, idx, &count), v(idx, count)}), std::pair(0, Ints({1, 3})));
    const float tr[] = {1, 2, 2, 1};  // sign of each step
    int16_t t[3] = {};
    EXPECT_EQ((std::pair{calcTrendFloat(tr, 4, t), v(t, 3)}), std::pair(0, std::vector<int16_t>{1, 0, -1}));
    const int16_t h[] = {1, 2, 9, 3, 4};
    const int32_t hAt[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(delNearPeaksShort(h, hAt, 5, 2, idx, &count, 1.0), 0);
    EXPECT_EQ(v(idx, count), Ints({1, 3, 5}));
}

TEST(KtArray, MatricesAndPowersOfTwo)
{
    const int32_t a[] = {1, 2, 3, 4, 5, 6}, big[] = {65536};  // a: 2 x 3
    int32_t out[9] = {};
    ASSERT_EQ(matrixTransposeInt(a, 2, 3, out), 0);
    EXPECT_EQ(v(out, 6), Ints({1, 4, 2, 5, 3, 6}));
    const double p[] = {1, 2, 3, 4}, q[] = {5, 6, 7, 8};
    double pq[4] = {};
    ASSERT_EQ(matrixCrossProductDouble(p, 2, 2, q, 2, 2, pq), 0);
    EXPECT_EQ(v(pq, 4), Doubles({19, 22, 43, 50}));  // [1 2; 3 4] . [5 6; 7 8]
    const int16_t s[] = {300, -300};  // -90000
    int16_t so = 0;
    EXPECT_EQ(Ints({matrixCrossProductInt(a, 2, 3, a, 2, 3, out), matrixCrossProductInt(big, 1, 1, big, 1, 1, out), out[0],
                    matrixDotProductShort(s, s + 1, 1, 1, &so), so}),
              Ints({-5, -7, INT32_MAX, -6, INT16_MIN}));
    EXPECT_EQ(Ints({isPowerOfTwoInt(1), isPowerOfTwoInt(2), isPowerOfTwoInt(1024), isPowerOfTwoInt(0),
                    isPowerOfTwoInt(-2), isPowerOfTwoInt(6), isPowerOfTwoInt(INT32_MIN), isPowerOfTwoShort(-32768)}),
              Ints({1, 1, 1, 0, 0, 0, 0, 0}));
}

// One refusal per kind of guard: null input or outputs, short length, inverted range, invalid mode or parameter.
TEST(KtArray, InvalidArgumentsAreRefused)
{
    const double x[] = {1, 2, 3};
    const int32_t idx[] = {0, 1, 2};
    double d = 0, buf[8] = {};
    float f[] = {1, 2}, times[4] = {};
    int32_t i = 0, ib[8] = {};
    const Ints rcs = {
        findMaxDouble(nullptr, 3, &d, &i), findMaxDouble(x, 3, nullptr, nullptr), findMaxMinDouble(x, 3, &d, nullptr),
        findMaxDouble(x, 0, &d, &i), calcMedianDouble(buf, -1, &d), flipArrayDouble(buf, 1),
        convertToComplexDouble(x, 3, 0, buf), matrixCrossProductDouble(x, 1, 1, x, 1, 0, buf),
        calcElementsInRangeDouble(x, 3, 2.0, 1.0, buf, &i), findPeakPointsDouble(x, 3, 3, buf, ib, &i),
        findHighPeakPointsDouble(x, 3, 0.0, buf, ib, &i), delNearPeaksDouble(x, idx, 3, 1, ib, &i, -0.1),
        samplePointsToTime(idx, 3, 0.0f, times), maxPosDouble(nullptr, 2), minPosForInt(idx, 0),
        arrayNumAbsDouble(x, 2, nullptr), flipArrayForFloat(f, 0, f), normalizationDouble(buf, 2, 2, 0.0),
        normalizationDouble(buf, 2, 3, 1.0), reduceMean(idx, 2, nullptr), int(arrayMedianForDouble(x, 0)),
    };
    EXPECT_EQ(rcs, Ints(rcs.size(), -1));
}

}  // namespace

// kt_array: hand-worked cases of every family, every saturation code and
// every refusal. The statistics over random data are cross-checked against
// numpy in test_kt_array_reference.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tessivar/kt_array.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(KtArray, VersionText)
{
    EXPECT_STREQ(getKtMathLibVersion(), "kt_array version 1.0.0.3 2025-07-15 11:29:18");
}

TEST(KtArray, ExtremesTakeTheFirstOfEqualValues)
{
    const double x[] = {1, 3, 3};
    double v = 0;
    int32_t i = -1;
    ASSERT_EQ(findMaxDouble(x, 3, &v, &i), 0);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(i, 1);
    const int32_t y[] = {4, -2, 7, -2};
    int32_t iv = 0;
    ASSERT_EQ(findMinInt(y, 4, &iv, &i), 0);
    EXPECT_EQ(iv, -2);
    EXPECT_EQ(i, 1);
    int32_t hi = 0, lo = 0;
    ASSERT_EQ(findMaxMinInt(y, 4, &hi, &lo), 0);
    EXPECT_EQ(hi, 7);
    EXPECT_EQ(lo, -2);

    const float f[] = {-0.5f, 2.0f, -3.0f, 3.0f, 0.25f};
    float fv = 0;
    ASSERT_EQ(findMaxAbsFloat(f, 5, &fv, &i), 0);
    EXPECT_EQ(fv, 3.0f);
    EXPECT_EQ(i, 2);  // |-3| comes before |3|
    ASSERT_EQ(findMinAbsFloat(f, 5, &fv, &i), 0);
    EXPECT_EQ(fv, 0.25f);
    EXPECT_EQ(i, 4);
    float fhi = 0, flo = 0;
    ASSERT_EQ(findMaxMinAbsFloat(f, 5, &fhi, &flo), 0);
    EXPECT_EQ(fhi, 3.0f);
    EXPECT_EQ(flo, 0.25f);
}

TEST(KtArray, AbsoluteValuesThatDoNotFitSaturate)
{
    // |-32768| ranks highest but is reported as 32767 with -6; the index is exact.
    const int16_t s[] = {32767, -32768};
    int16_t sv = 0;
    int32_t i = -1;
    EXPECT_EQ(findMaxAbsShort(s, 2, &sv, &i), -6);
    EXPECT_EQ(sv, 32767);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(findMinAbsShort(s + 1, 1, &sv, &i), -6);
    EXPECT_EQ(sv, 32767);
    int16_t shi = 0, slo = 0;
    EXPECT_EQ(findMaxMinAbsShort(s, 2, &shi, &slo), -6);
    EXPECT_EQ(shi, 32767);
    EXPECT_EQ(slo, 32767);
    const int32_t w[] = {5, INT32_MIN};
    int32_t wv = 0;
    EXPECT_EQ(findMaxAbsInt(w, 2, &wv, &i), -7);
    EXPECT_EQ(wv, INT32_MAX);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(findMinAbsInt(w, 2, &wv, &i), 0);
    EXPECT_EQ(wv, 5);
}

TEST(KtArray, LevelSearches)
{
    const int16_t x[] = {1, 5, 3, 7, 2};
    int16_t v = 0;
    int32_t i = -1;
    ASSERT_EQ(findGreaterShort(x, 5, 4, &v, &i), 0);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(v, 5);
    ASSERT_EQ(lFindGreaterShort(x, 5, 4, &v, &i), 0);
    EXPECT_EQ(i, 3);
    ASSERT_EQ(lFindLessShort(x, 5, 3, &v, &i), 0);
    EXPECT_EQ(i, 4);
    EXPECT_EQ(v, 2);
    // Strictly above / below: the level itself does not count.
    EXPECT_EQ(findGreaterShort(x, 5, 7, &v, &i), -3);
    EXPECT_EQ(lFindLessShort(x, 5, 1, nullptr, &i), -3);

    const double d[] = {2, 0.5, 2, 9};
    ASSERT_EQ(findEqualDouble(d, 4, 2.0, &i), 0);
    EXPECT_EQ(i, 0);
    ASSERT_EQ(lFindEqualDouble(d, 4, 2.0, &i), 0);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(findEqualDouble(d, 4, 3.0, &i), -3);
    const double withNan[] = {kNan};
    EXPECT_EQ(findEqualDouble(withNan, 1, kNan, &i), -3);  // NaN equals nothing
}

TEST(KtArray, FindCross)
{
    double v = 0;
    int32_t i = -1;
    // Tie between 1 and -1: the element beyond the crossing.
    const double tie[] = {2, 1, -1};
    ASSERT_EQ(findCrossDouble(tie, 3, 0.0, &v, &i), 0);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(v, -1);
    // The predecessor is nearer to the level.
    const double falling[] = {5, 0.5, -4};
    ASSERT_EQ(findCrossDouble(falling, 3, 0.0, &v, &i), 0);
    EXPECT_EQ(i, 1);
    const double rising[] = {0, -2, -1, 3};
    ASSERT_EQ(findCrossDouble(rising, 4, 0.0, &v, &i), 0);
    EXPECT_EQ(i, 2);
    // Rising from the level and never coming back below it; all on the level.
    const double fromLevel[] = {0, 0, 1, 3};
    EXPECT_EQ(findCrossDouble(fromLevel, 4, 0.0, &v, &i), -3);
    const double flat[] = {2, 2, 2};
    EXPECT_EQ(findCrossDouble(flat, 3, 2.0, &v, &i), -3);
    // int32 distances do not overflow: |INT32_MIN - 0| vs |INT32_MAX - 0|.
    const int32_t wide[] = {INT32_MAX, INT32_MIN};
    int32_t iv = 0;
    ASSERT_EQ(findCrossInt(wide, 2, 0, &iv, &i), 0);
    EXPECT_EQ(i, 0);
}

TEST(KtArray, LFindCross)
{
    double v = 0;
    int32_t i = -1;
    const double tie[] = {-1, 1, 2};
    ASSERT_EQ(lFindCrossDouble(tie, 3, 0.0, &v, &i), 0);
    EXPECT_EQ(i, 0);  // tie: the element itself, not its successor
    const double nearer[] = {-3, 1, 2};
    ASSERT_EQ(lFindCrossDouble(nearer, 3, 0.0, &v, &i), 0);
    EXPECT_EQ(i, 1);
    // The last element on the level ends the search at once, even though
    // the signal crosses earlier.
    const double endsOnLevel[] = {1, -1, 0};
    EXPECT_EQ(lFindCrossDouble(endsOnLevel, 3, 0.0, &v, &i), -3);
    const double neverCrosses[] = {4, 0, 3};
    EXPECT_EQ(lFindCrossDouble(neverCrosses, 3, 0.0, &v, &i), -3);
}

TEST(KtArray, InsertionIndexes)
{
    const int32_t up[] = {1, 3, 3, 5};
    int32_t i = -1;
    const int32_t upCases[][2] = {{3, 1}, {0, 0}, {6, 4}};
    for (const auto &c : upCases) {
        ASSERT_EQ(findAscendingInsertInt(up, 4, c[0], &i), 0);
        EXPECT_EQ(i, c[1]) << "value " << c[0];
    }
    const float down[] = {5, 3, 3, 1};
    const float downCases[][2] = {{3, 1}, {0, 4}};
    for (const auto &c : downCases) {
        ASSERT_EQ(findDescendingInsertFloat(down, 4, c[0], &i), 0);
        EXPECT_EQ(i, c[1]) << "value " << c[0];
    }
    ASSERT_EQ(findAscendingInsertInt(up, 0, 7, &i), 0);
    EXPECT_EQ(i, 0);
}

TEST(KtArray, Counts)
{
    const uint8_t bytes[] = {200, 7, 200, 0};
    int32_t c = -1;
    ASSERT_EQ(calcFrequencyChar(bytes, 4, 200, &c), 0);
    EXPECT_EQ(c, 2);
    const float f[] = {1, NAN, 2, NAN, 2};
    ASSERT_EQ(calcFrequencyFloat(f, 5, 2.0f, &c), 0);
    EXPECT_EQ(c, 2);
    ASSERT_EQ(findNanFrequencyFloat(f, 5, &c), 0);
    EXPECT_EQ(c, 2);
    const int16_t s[] = {-5, 3, 10, 4, 11};
    int16_t out[5] = {};
    ASSERT_EQ(calcElementsInRangeShort(s, 5, 3, 10, out, &c), 0);  // bounds included
    ASSERT_EQ(c, 3);
    EXPECT_EQ(std::vector<int16_t>(out, out + 3), (std::vector<int16_t>{3, 10, 4}));
    ASSERT_EQ(calcElementsInRangeShort(s, 5, 20, 30, nullptr, &c), 0);
    EXPECT_EQ(c, 0);
}

TEST(KtArray, Means)
{
    // Running-form mean of 1..4 = 2.5; integer means are exact even where
    // an int32 sum would wrap: (2147483647 + 2147483647) / 2.
    const double d[] = {1, 2, 3, 4};
    double m = 0;
    ASSERT_EQ(calcMeanDouble(d, 4, &m), 0);
    EXPECT_DOUBLE_EQ(m, 2.5);
    const int32_t big[] = {INT32_MAX, INT32_MAX};
    ASSERT_EQ(calcMeanInt(big, 2, &m), 0);
    EXPECT_EQ(m, 2147483647.0);
    // Running form never forms the (overflowing) sum 2 * 1.5e308.
    const double huge[] = {1.5e308, 1.5e308};
    ASSERT_EQ(calcMeanDouble(huge, 2, &m), 0);
    EXPECT_DOUBLE_EQ(m, 1.5e308);

    const double mixed[] = {kNan, 1, kInf, 3};
    int32_t count = 0;
    ASSERT_EQ(calcMeanDoubleWithNan(mixed, 4, &m, &count), 0);
    EXPECT_EQ(m, 2.0);
    EXPECT_EQ(count, 2);
    const double onlyNan[] = {kNan};
    EXPECT_EQ(calcMeanDoubleWithNan(onlyNan, 1, &m, &count), -2);
    const float floats[] = {NAN, -INFINITY, 0.5f, 1.5f};
    ASSERT_EQ(calcMeanFloatWithNan(floats, 4, &m, nullptr), 0);
    EXPECT_EQ(m, 1.0);
}

TEST(KtArray, VarianceAndDeviation)
{
    // [1,2,3,4]: mean 2.5, squared deviations 2.25 + 0.25 + 0.25 + 2.25 = 5, / 4.
    const int32_t x[] = {1, 2, 3, 4};
    double v = 0;
    ASSERT_EQ(calcVarianceInt(x, 4, &v), 0);
    EXPECT_DOUBLE_EQ(v, 1.25);
    ASSERT_EQ(calcStdDeviationInt(x, 4, &v), 0);
    EXPECT_DOUBLE_EQ(v, std::sqrt(1.25));
    // (1e308 - 0)^2 cannot be summed: -9 and nothing written.
    const double huge[] = {-1e308, 1e308};
    v = 42;
    EXPECT_EQ(calcVarianceDouble(huge, 2, &v), -9);
    EXPECT_EQ(calcStdDeviationDouble(huge, 2, &v), -9);
    EXPECT_EQ(v, 42);

    // NaN-skipping mean (2), then deviations over all elements: NaN.
    const float f[] = {1, NAN, 3};
    ASSERT_EQ(calcVarianceFloatWithNan(f, 3, &v), 0);
    EXPECT_TRUE(std::isnan(v));
    const float finite[] = {1, 3, 3, 1};
    ASSERT_EQ(calcVarianceFloatWithNan(finite, 4, &v), 0);
    EXPECT_DOUBLE_EQ(v, 1.0);
    const double onlyNan[] = {kNan, kNan};
    EXPECT_EQ(calcVarianceDoubleWithNan(onlyNan, 2, &v), -2);
}

TEST(KtArray, SumsStopBeforeOverflow)
{
    // 65536 x -32768 = -2^31 exactly fits int32; one more element does not.
    std::vector<int16_t> s(65537, INT16_MIN);
    int32_t sum = 0;
    ASSERT_EQ(calcSumShort(s.data(), 65536, &sum), 0);
    EXPECT_EQ(sum, INT32_MIN);
    sum = 7;
    EXPECT_EQ(calcSumShort(s.data(), 65537, &sum), -10);
    EXPECT_EQ(sum, 7);
    const int32_t w[] = {INT32_MAX, 1};
    int64_t wide = 0;
    ASSERT_EQ(calcSumInt(w, 2, &wide), 0);
    EXPECT_EQ(wide, 2147483648LL);
    // -11 guards the int64 accumulator; it cannot be reached by an int32
    // count of int32 elements (at most 2^62 in magnitude).
    const double d[] = {1.7e308, 1.7e308};
    double ds = 0;
    EXPECT_EQ(calcSumDouble(d, 2, &ds), -9);
    const float f[] = {1.5f, FLT_MAX, FLT_MAX};
    ASSERT_EQ(calcSumFloat(f, 3, &ds), 0);  // float sums run in double
    EXPECT_DOUBLE_EQ(ds, 1.5 + 2.0 * FLT_MAX);
    const float inf[] = {1, INFINITY};
    EXPECT_EQ(calcSumFloat(inf, 2, &ds), -9);
}

TEST(KtArray, MedianAndSorting)
{
    double x[] = {3, 1, 2, 4};
    double m = 0;
    ASSERT_EQ(calcMedianDouble(x, 4, &m), 0);
    EXPECT_EQ(m, 2.5);
    EXPECT_EQ(std::vector<double>(x, x + 4), (std::vector<double>{1, 2, 3, 4}));
    double huge[] = {1.5e308, 1.7e308};
    ASSERT_EQ(calcMedianDouble(huge, 2, &m), 0);
    EXPECT_DOUBLE_EQ(m, 1.6e308);

    // Many equal elements: the comparators never report equality.
    std::vector<int32_t> v;
    for (int k = 0; k < 300; ++k) v.push_back(k % 3);
    ASSERT_EQ(sortAscendingInt(v.data(), 300), 0);
    EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
    ASSERT_EQ(sortDescendingInt(v.data(), 300), 0);
    EXPECT_TRUE(std::is_sorted(v.rbegin(), v.rend()));

    const float f[] = {3, 9, 1, 7};
    int32_t order[4] = {};
    ASSERT_EQ(_sortDescendingForIndexFloat(f, 4, order), 0);
    EXPECT_EQ(std::vector<int32_t>(order, order + 4), (std::vector<int32_t>{1, 3, 0, 2}));
}

TEST(KtArray, DelNanCompactsInPlace)
{
    double d[] = {kNan, 1, kNan, 2, kInf};
    ASSERT_EQ(delNanDouble(d, 5), 3);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[1], 2);
    EXPECT_EQ(d[2], kInf);
    float f[] = {NAN, NAN};
    EXPECT_EQ(delNanFloat(f, 2), 0);
}

TEST(KtArray, DifferenceSaturatesPerType)
{
    const int16_t s[] = {-32768, 32767};
    int16_t so[2] = {};
    EXPECT_EQ(arrayDifferenceShort(s, 2, so), -6);
    EXPECT_EQ(so[0], -32768);
    EXPECT_EQ(so[1], 32767);  // 65535 saturated
    const int32_t w[] = {INT32_MAX, INT32_MIN, 5};
    int32_t wo[3] = {};
    EXPECT_EQ(arrayDifferenceInt(w, 3, wo), -7);
    EXPECT_EQ(wo[1], INT32_MIN);
    EXPECT_EQ(wo[2], INT32_MAX);  // 5 - INT32_MIN = 2147483653
    const float f[] = {-3e38f, 3e38f};
    float fo[2] = {};
    EXPECT_EQ(arrayDifferenceFloat(f, 2, fo), -8);
    EXPECT_EQ(fo[1], FLT_MAX);
    double d[] = {1.7e308, -1.7e308, 1};
    EXPECT_EQ(arrayDifferenceDouble(d, 3, d), -9);  // in place
    EXPECT_EQ(d[0], 1.7e308);
    EXPECT_EQ(d[1], -DBL_MAX);
    EXPECT_EQ(d[2], 1.7e308);  // 1 - (-1.7e308): the input, not the overwritten output
}

TEST(KtArray, ReduceMeanRoundsTheMean)
{
    const int16_t s[] = {1, 2};  // round(1.5) = 2
    int16_t so[2] = {};
    ASSERT_EQ(reduceMeanShort(s, 2, so), 0);
    EXPECT_EQ(so[0], -1);
    EXPECT_EQ(so[1], 0);
    const float f[] = {0.25f, 0.5f, 3.0f};  // mean 1.25 -> 1
    float fo[3] = {};
    ASSERT_EQ(reduceMeanFloat(f, 3, fo), 0);
    EXPECT_EQ(std::vector<float>(fo, fo + 3), (std::vector<float>{-0.75f, -0.5f, 2.0f}));
    // Saturation: mean of {-32768, 32767, 32767} = 32766 / 3 = 10922,
    // -32768 - 10922 = -43690 leaves int16.
    const int16_t sx[] = {-32768, 32767, 32767};
    int16_t sxo[3] = {};
    EXPECT_EQ(reduceMeanShort(sx, 3, sxo), -6);
    EXPECT_EQ(sxo[0], INT16_MIN);
    EXPECT_EQ(sxo[1], 21845);
    const int32_t ix[] = {INT32_MIN, INT32_MAX, INT32_MAX};
    int32_t ixo[3] = {};
    EXPECT_EQ(reduceMeanInt(ix, 3, ixo), -7);
    EXPECT_EQ(ixo[0], INT32_MIN);
    const float fx[] = {-3e38f, 3e38f, 3e38f};  // mean 1e38
    float fxo[3] = {};
    EXPECT_EQ(reduceMeanFloat(fx, 3, fxo), -8);
    EXPECT_EQ(fxo[0], -FLT_MAX);
    const double dx[] = {-1.5e308, 1.5e308, 1.5e308};  // mean 0.5e308
    double dxo[3] = {};
    EXPECT_EQ(reduceMeanDouble(dx, 3, dxo), -8);  // the double member reports -8 too
    EXPECT_EQ(dxo[0], -DBL_MAX);
}

TEST(KtArray, ElementWiseTransforms)
{
    int16_t s[] = {1, 2, 3};
    ASSERT_EQ(flipArrayShort(s, 3), 0);
    EXPECT_EQ(std::vector<int16_t>(s, s + 3), (std::vector<int16_t>{3, 2, 1}));

    const double x[] = {1, 2};
    double c[8];
    std::fill(c, c + 8, 99.0);
    ASSERT_EQ(convertToComplexDouble(x, 2, 3, c), 0);
    EXPECT_EQ(std::vector<double>(c, c + 8), (std::vector<double>{1, 0, 2, 0, 0, 0, 99, 99}));
    ASSERT_EQ(convertToComplexDouble(x, 2, 1, c), 0);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 2);  // untouched beyond m values

    const float f[] = {1, 2, 2, 1};
    int16_t t[3] = {};
    ASSERT_EQ(calcTrendFloat(f, 4, t), 0);
    EXPECT_EQ(std::vector<int16_t>(t, t + 3), (std::vector<int16_t>{1, 0, -1}));

    const int32_t r[] = {1, 1, 2, 2, 2, 1};
    int32_t values[6] = {}, firsts[6] = {}, count = 0;
    ASSERT_EQ(delAdjacentRepeatingInt(r, 6, values, firsts, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::vector<int32_t>(values, values + 3), (std::vector<int32_t>{1, 2, 1}));
    EXPECT_EQ(std::vector<int32_t>(firsts, firsts + 3), (std::vector<int32_t>{0, 2, 5}));

    // fs 250 Hz: 0.25 samples per millisecond.
    const int32_t idx[] = {0, 3, -1, 250};
    float ms[4] = {};
    ASSERT_EQ(samplePointsToTime(idx, 4, 250.0f, ms), 0);
    EXPECT_EQ(std::vector<float>(ms, ms + 4), (std::vector<float>{0, 12, -4, 1000}));
}

TEST(KtArray, Normalisations)
{
    const int16_t s[] = {-32768, 16384, 0};
    double out[3] = {};
    ASSERT_EQ(maxAbsNormalizeShort(s, 3, out), 0);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{-1, 0.5, 0}));
    ASSERT_EQ(minMaxNormalizeShort(s, 3, out), 0);  // range 49152
    EXPECT_DOUBLE_EQ(out[1], 1.0);
    EXPECT_DOUBLE_EQ(out[2], 32768.0 / 49152.0);
    const float f[] = {1, 3};  // mean 2, deviation 1
    ASSERT_EQ(zScoreNormalizeFloat(f, 2, out), 0);
    EXPECT_EQ(out[0], -1);
    EXPECT_EQ(out[1], 1);
    // Degenerate inputs give zeros, not NaN.
    const double zeros[] = {0, 0};
    const double flat[] = {5, 5};
    for (auto fn : {maxAbsNormalizeDouble, minMaxNormalizeDouble, zScoreNormalizeDouble}) {
        out[0] = out[1] = 7;
        ASSERT_EQ(fn(fn == maxAbsNormalizeDouble ? zeros : flat, 2, out), 0);
        EXPECT_EQ(out[0], 0);
        EXPECT_EQ(out[1], 0);
    }
    const double huge[] = {-1e308, 1e308};
    EXPECT_EQ(zScoreNormalizeDouble(huge, 2, out), -9);
}

TEST(KtArray, DelNearPeaks)
{
    // By height: 9@12 accepted, removes 5@10 (2 away) but not 4@20 (8 > 5);
    // 8@23 accepted, removes 4@20; 7@40 accepted.
    const double values[] = {5, 9, 4, 8, 7};
    const int32_t idx[] = {10, 12, 20, 23, 40};
    int32_t out[5] = {}, count = -1;
    ASSERT_EQ(delNearPeaksDouble(values, idx, 5, 5, out, &count, 1.0), 0);
    EXPECT_EQ(std::vector<int32_t>(out, out + count), (std::vector<int32_t>{12, 23, 40}));
    // Only the highest round(5 x 0.4) = 2 candidates are considered.
    ASSERT_EQ(delNearPeaksDouble(values, idx, 5, 5, out, &count, 0.4), 0);
    EXPECT_EQ(std::vector<int32_t>(out, out + count), (std::vector<int32_t>{12, 23}));
    ASSERT_EQ(delNearPeaksDouble(values, idx, 5, 5, out, &count, 0.0), 0);
    EXPECT_EQ(count, 0);

    // minDist 2 removes at most one neighbour per side: 9@3 removes 2@2 and
    // 3@4; 1@1 stays although only 2 samples from 9@3.
    const int16_t s[] = {1, 2, 9, 3, 4};
    const int32_t sIdx[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(delNearPeaksShort(s, sIdx, 5, 2, out, &count, 1.0), 0);
    EXPECT_EQ(std::vector<int32_t>(out, out + count), (std::vector<int32_t>{1, 3, 5}));
    // A neighbour exactly minDist away is removed.
    const int32_t pair[] = {2, 1};
    const int32_t pairIdx[] = {0, 5};
    ASSERT_EQ(delNearPeaksInt(pair, pairIdx, 2, 5, out, &count, 1.0), 0);
    EXPECT_EQ(std::vector<int32_t>(out, out + count), (std::vector<int32_t>{0}));
}

TEST(KtArray, PeakPoints)
{
    // Collapsed: 0 2 1 3 0 at first indexes 0 1 3 5 6.
    const float x[] = {0, 2, 2, 1, 1, 3, 0};
    float v[7] = {};
    int32_t idx[7] = {}, count = -1;
    ASSERT_EQ(findPeakPointsFloat(x, 7, 0, v, idx, &count), 0);
    EXPECT_EQ(std::vector<int32_t>(idx, idx + count), (std::vector<int32_t>{1, 5}));
    EXPECT_EQ(std::vector<float>(v, v + count), (std::vector<float>{2, 3}));
    ASSERT_EQ(findPeakPointsFloat(x, 7, 1, nullptr, idx, &count), 0);
    EXPECT_EQ(std::vector<int32_t>(idx, idx + count), (std::vector<int32_t>{3}));
    ASSERT_EQ(findPeakPointsFloat(x, 7, 2, v, nullptr, &count), 0);
    EXPECT_EQ(std::vector<float>(v, v + count), (std::vector<float>{2, 1, 3}));
    // The first and last runs are never turning points.
    const int16_t edge[] = {5, 5, 1, 1};
    int16_t sv[4];
    ASSERT_EQ(findPeakPointsShort(edge, 4, 2, sv, idx, &count), 0);
    EXPECT_EQ(count, 0);

    const double d[] = {0, 2, -1.5, -3, 1, 0};  // turning points 2@1, -3@3, 1@4
    double dv[6] = {};
    ASSERT_EQ(findHighPeakPointsDouble(d, 6, 1.5, dv, idx, &count), 0);
    EXPECT_EQ(std::vector<int32_t>(idx, idx + count), (std::vector<int32_t>{1, 3}));
    // |-32768| counts as 32768 above the level 32767.
    const int16_t s[] = {0, -32768, 0, 100, 0};
    ASSERT_EQ(findHighPeakPointsShort(s, 5, 32767, sv, idx, &count), 0);
    EXPECT_EQ(std::vector<int32_t>(idx, idx + count), (std::vector<int32_t>{1}));
}

TEST(KtArray, Matrices)
{
    const int32_t a[] = {1, 2, 3, 4, 5, 6};  // 2 x 3
    int32_t t[6] = {};
    ASSERT_EQ(matrixTransposeInt(a, 2, 3, t), 0);
    EXPECT_EQ(std::vector<int32_t>(t, t + 6), (std::vector<int32_t>{1, 4, 2, 5, 3, 6}));

    // [1 2; 3 4] . [5 6; 7 8] = [19 22; 43 50]
    const double p[] = {1, 2, 3, 4}, q[] = {5, 6, 7, 8};
    double pq[4] = {};
    ASSERT_EQ(matrixCrossProductDouble(p, 2, 2, q, 2, 2, pq), 0);
    EXPECT_EQ(std::vector<double>(pq, pq + 4), (std::vector<double>{19, 22, 43, 50}));
    // (2 x 3) . (2 x 3): inner dimensions differ.
    int32_t out[9] = {};
    EXPECT_EQ(matrixCrossProductInt(a, 2, 3, a, 2, 3, out), -5);
    // (2 x 3) . (3 x 1) = [14; 32]
    const int32_t col[] = {1, 2, 3};
    ASSERT_EQ(matrixCrossProductInt(a, 2, 3, col, 3, 1, out), 0);
    EXPECT_EQ(out[0], 14);
    EXPECT_EQ(out[1], 32);
    const int32_t big[] = {65536};
    EXPECT_EQ(matrixCrossProductInt(big, 1, 1, big, 1, 1, out), -7);
    EXPECT_EQ(out[0], INT32_MAX);

    double dot[4] = {};
    ASSERT_EQ(matrixDotProductDouble(p, q, 2, 2, dot), 0);
    EXPECT_EQ(std::vector<double>(dot, dot + 4), (std::vector<double>{5, 12, 21, 32}));
    const int16_t s[] = {300, -300};
    int16_t so[2] = {};
    EXPECT_EQ(matrixDotProductShort(s, s + 1, 1, 1, so), -6);  // -90000
    EXPECT_EQ(so[0], INT16_MIN);
    const float f[] = {1e30f};
    float fo = 0;
    EXPECT_EQ(matrixDotProductFloat(f, f, 1, 1, &fo), -8);
    EXPECT_EQ(fo, FLT_MAX);
    const double d[] = {1e200};
    double dov = 0;
    EXPECT_EQ(matrixDotProductDouble(d, d, 1, 1, &dov), -9);
    EXPECT_EQ(dov, DBL_MAX);
    // int32 products are not checked: 65536^2 = 2^32 wraps to 0.
    int32_t io = 1;
    EXPECT_EQ(matrixDotProductInt(big, big, 1, 1, &io), 0);
    EXPECT_EQ(io, 0);
}

TEST(KtArray, PowersOfTwo)
{
    for (int32_t v : {1, 1 << 30}) EXPECT_EQ(isPowerOfTwoInt(v), 1) << v;
    for (int32_t v : {0, -2, 6, INT32_MIN}) EXPECT_EQ(isPowerOfTwoInt(v), 0) << v;
    EXPECT_EQ(isPowerOfTwoShort(-32768), 0);
}

// One refusal per kind of guard: null input, null output(s), length below
// the minimum, and each invalid mode or parameter.
TEST(KtArray, InvalidArgumentsAreRefused)
{
    const double x[] = {1, 2, 3};
    const int32_t idx[] = {0, 1, 2};
    double d = 0, buf[8] = {};
    float times[8] = {};
    int32_t i = 0, ibuf[8] = {};
    EXPECT_EQ(findMaxDouble(nullptr, 3, &d, &i), -1);
    EXPECT_EQ(findMaxDouble(x, 3, nullptr, nullptr), -1);
    EXPECT_EQ(findMaxMinDouble(x, 3, &d, nullptr), -1);
    EXPECT_EQ(delAdjacentRepeatingDouble(x, 3, nullptr, nullptr, &i), -1);
    EXPECT_EQ(delNearPeaksDouble(x, nullptr, 3, 1, ibuf, &i, 1.0), -1);
    EXPECT_EQ(findMaxDouble(x, 0, &d, &i), -1);
    EXPECT_EQ(calcMedianDouble(buf, -1, &d), -1);
    EXPECT_EQ(flipArrayDouble(buf, 1), -1);
    EXPECT_EQ(convertToComplexDouble(x, 3, 0, buf), -1);
    EXPECT_EQ(matrixCrossProductDouble(x, 1, 1, x, 1, 0, buf), -1);
    EXPECT_EQ(calcElementsInRangeDouble(x, 3, 2.0, 1.0, buf, &i), -1);
    EXPECT_EQ(findPeakPointsDouble(x, 3, 3, buf, ibuf, &i), -1);
    EXPECT_EQ(findHighPeakPointsDouble(x, 3, 0.0, buf, ibuf, &i), -1);
    EXPECT_EQ(delNearPeaksDouble(x, idx, 3, 1, ibuf, &i, -0.1), -1);
    EXPECT_EQ(delNearPeaksDouble(x, idx, 3, -1, ibuf, &i, 1.0), -1);
    EXPECT_EQ(samplePointsToTime(idx, 3, 0.0f, times), -1);
}

}  // namespace

// maxMinMeanMedianAbsOfArray: positions, absolute values, means, median,
// flips, mean removal and normalisation, with their refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tessivar/maxMinMeanMedianAbsOfArray.h"

namespace {

TEST(MaxMinPositions, FirstOfEqualExtremes)
{
    const double d[] = {1, 3, 3, -2, -2};
    EXPECT_EQ(maxPosDouble(d, 5), 1);
    EXPECT_EQ(minPosDouble(d, 5), 3);
    const float f[] = {0.5f, -1.0f, 2.0f};
    EXPECT_EQ(maxPosForFloat(f, 3), 2);
    EXPECT_EQ(minPosForFloat(f, 3), 1);
    const int32_t i[] = {INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(maxPosForInt(i, 3), 1);
    EXPECT_EQ(minPosForInt(i, 3), 0);
}

TEST(MaxMinPositions, LargestAbsoluteValue)
{
    const double d[] = {1, -5, 5};
    EXPECT_EQ(maxAbsPosDouble(d, 3), 1);
    // In 16-bit absolute values |-32768| stays -32768 and ranks lowest.
    const int16_t s[] = {-32768, 100, -200};
    EXPECT_EQ(maxAbsPosShort(s, 3), 2);
    const int16_t only[] = {-32768, -32768};
    EXPECT_EQ(maxAbsPosShort(only, 2), 0);
}

TEST(MaxMinAbs, AbsoluteValuesIntoOutput)
{
    const int16_t s[] = {-32768, -3, 4};
    int16_t so[3] = {};
    ASSERT_EQ(arrayNumAbsShort(s, 3, so), 1);
    EXPECT_EQ(std::vector<int16_t>(so, so + 3), (std::vector<int16_t>{32767, 3, 4}));  // saturated
    double d[] = {-1.5, 2, -0.0};
    ASSERT_EQ(arrayNumAbsDouble(d, 3, d), 1);  // in place
    EXPECT_EQ(std::vector<double>(d, d + 3), (std::vector<double>{1.5, 2, 0}));
    EXPECT_FALSE(std::signbit(d[2]));
}

TEST(MaxMinMean, PlainMeansAndSums)
{
    const int16_t s[] = {1, 2, 3, 4};
    EXPECT_EQ(arrayMeanForShort(s, 4), 2.5);
    const int32_t i[] = {-7, 2};
    EXPECT_EQ(arrayMeanForInt(i, 2), -2.5);
    const float f[] = {0.5f, 0.25f};
    EXPECT_EQ(arrayMeanForFloat(f, 2), 0.375);
    const double d[] = {1e308, 1e308, -1e308};  // the double sum overflows
    EXPECT_TRUE(std::isinf(arrayMeanForDouble(d, 3)));
    // Integer sums wrap in the element type: 30000 + 30000 = 60000 - 65536.
    const int16_t wrapS[] = {30000, 30000};
    EXPECT_EQ(arrayMeanForShort(wrapS, 2), -5536 / 2.0);
    const int32_t wrapI[] = {INT32_MAX, 1};
    EXPECT_EQ(arraySumForInt(wrapI, 2), INT32_MIN);
    EXPECT_EQ(arrayMeanForInt(wrapI, 2), INT32_MIN / 2.0);
    EXPECT_EQ(arraySumForInt(i, 2), -5);
}

TEST(MaxMinMedian, SortedCopy)
{
    const double x[] = {3, 1, 2, 4};
    EXPECT_EQ(arrayMedianForDouble(x, 4), 2.5);
    EXPECT_EQ(std::vector<double>(x, x + 4), (std::vector<double>{3, 1, 2, 4}));  // input untouched
    const double odd[] = {5, -1, 9, 0, 2};
    EXPECT_EQ(arrayMedianForDouble(odd, 5), 2);
}

TEST(MaxMinFlip, ReturnsTheLength)
{
    const double x[] = {1, 2, 3};
    double out[3] = {};
    ASSERT_EQ(flipArrayForDouble(x, 3, out), 3);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{3, 2, 1}));
    float f[] = {1, 2, 3, 4};
    ASSERT_EQ(flipArrayForFloat(f, 4, f), 4);  // in place
    EXPECT_EQ(std::vector<float>(f, f + 4), (std::vector<float>{4, 3, 2, 1}));
}

TEST(MaxMinReduceMean, SubtractsTheUnroundedMean)
{
    const int32_t x[] = {1, 2, 6};  // mean 3
    double out[3] = {};
    ASSERT_EQ(reduceMean(x, 3, out), 1);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{-2, -1, 3}));
    const int32_t y[] = {1, 2};  // mean 1.5, not rounded here
    ASSERT_EQ(reduceMean(y, 2, out), 1);
    EXPECT_EQ(out[0], -0.5);
}

TEST(MaxMinNormalization, ScalesByThePeakOfTheFirstElements)
{
    // Peak of the first 3 is |-4|; factor 1 / (2 x 4); the 4th element is
    // scaled as well although it is larger.
    double d[] = {2, -4, 1, 8};
    ASSERT_EQ(normalizationDouble(d, 4, 3, 2.0), 1);
    EXPECT_EQ(std::vector<double>(d, d + 4), (std::vector<double>{0.25, -0.5, 0.125, 1.0}));
    // A peak at index 0 is scaled like any other.
    float f[] = {-4, 2};
    ASSERT_EQ(normalizationFloat(f, 2, 2, 1.0f), 1);
    EXPECT_EQ(std::vector<float>(f, f + 2), (std::vector<float>{-1, 0.5f}));
    // A zero peak cannot be scaled by: -2, array untouched.
    double z[] = {0, 0, 5};
    EXPECT_EQ(normalizationDouble(z, 3, 2, 1.0), -2);
    EXPECT_EQ(z[2], 5);
}

TEST(MaxMinRefusals, NullAndShortInputs)
{
    double d[] = {1, 2};
    float f[] = {1, 2};
    int16_t s[] = {1, 2};
    int32_t i[] = {1, 2};
    EXPECT_EQ(maxPosDouble(nullptr, 2), -1);
    EXPECT_EQ(minPosForInt(i, 0), -1);
    EXPECT_EQ(maxAbsPosFloat(f, 0), -1);
    EXPECT_EQ(arrayNumAbsDouble(d, 2, nullptr), -1);
    EXPECT_EQ(arrayMedianForDouble(d, 0), -1.0);
    EXPECT_EQ(flipArrayForFloat(f, 0, f), -1);
    EXPECT_EQ(reduceMean(i, 2, nullptr), -1);
    EXPECT_EQ(normalizationDouble(d, 2, 2, 0.0), -1);  // scale 0
    EXPECT_EQ(normalizationDouble(d, 2, 3, 1.0), -1);  // m > n
    EXPECT_EQ(normalizationFloat(f, 2, 0, 1.0f), -1);
    // The value routines have no error code: guarded, they give 0.
    EXPECT_EQ(arrayMeanForShort(s, 0), 0.0);
    EXPECT_EQ(arraySumForInt(nullptr, 2), 0);
}

}  // namespace

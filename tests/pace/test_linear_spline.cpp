#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/named_block.hpp"
#include "support/log_capture.hpp"
#include "tessivar/linear_spline.h"

namespace {

struct SplineFixture : ::testing::Test {
    LinearSplineConf conf{"bridge", nullptr};
    LinearSpline *spline = newLinearSpline(&conf);
    ~SplineFixture() override { delLinearSpline(&spline); }
};

TEST_F(SplineFixture, InterpolatesAndExtrapolatesInEitherOrder)
{
    // Line through (10, 5) and (0, 15): y = 5 - (x - 10).
    const LinearSplinePoint points[2] = {{10, 5.0f}, {0, 15.0f}};
    ASSERT_EQ(setLinearSplinePoints(spline, points), 0);
    EXPECT_EQ(spline->xStart, 10);
    EXPECT_EQ(spline->xEnd, 0);
    EXPECT_DOUBLE_EQ(spline->slope, -1.0);
    EXPECT_DOUBLE_EQ(spline->intercept, 5.0);
    EXPECT_FLOAT_EQ(getLinearSplineYValue(spline, 5), 10.0f);
    EXPECT_FLOAT_EQ(getLinearSplineYValue(spline, 10), 5.0f);
    EXPECT_FLOAT_EQ(getLinearSplineYValue(spline, 12), 3.0f);
    EXPECT_FLOAT_EQ(getLinearSplineYValue(spline, -5), 20.0f);
}

TEST_F(SplineFixture, InitClearsTheLine)
{
    const LinearSplinePoint points[2] = {{0, 3.0f}, {4, 11.0f}};
    setLinearSplinePoints(spline, points);
    ASSERT_EQ(initLinearSpline(spline), 0);
    for (int x : {-100, 0, 2, 4, 1000}) EXPECT_EQ(getLinearSplineYValue(spline, x), 0.0f);
}

TEST_F(SplineFixture, EqualAbscissasGiveNoNumber)
{
    const LinearSplinePoint points[2] = {{3, 1.0f}, {3, 1.0f}};
    EXPECT_EQ(setLinearSplinePoints(spline, points), 0);
    EXPECT_TRUE(std::isnan(spline->slope));
}

TEST(LinearSpline, RefusesBadArguments)
{
    tessivar::test::LogCapture log;
    LinearSplineConf noName{nullptr, nullptr};
    EXPECT_EQ(newLinearSpline(nullptr), nullptr);
    EXPECT_EQ(newLinearSpline(&noName), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);

    LinearSpline *none = nullptr;
    EXPECT_EQ(delLinearSpline(nullptr), -1);
    EXPECT_EQ(delLinearSpline(&none), -1);
    EXPECT_EQ(initLinearSpline(nullptr), -1);
    const LinearSplinePoint points[2] = {{0, 0.0f}, {1, 1.0f}};
    EXPECT_EQ(setLinearSplinePoints(nullptr, points), -1);
    EXPECT_EQ(getLinearSplineYValue(nullptr, 3), 0.0f);

    LinearSplineConf conf{"x", nullptr};
    LinearSpline *spline = newLinearSpline(&conf);
    EXPECT_EQ(setLinearSplinePoints(spline, nullptr), -1);
    EXPECT_EQ(delLinearSpline(&spline), 0);
    EXPECT_EQ(spline, nullptr);
    EXPECT_EQ(delLinearSpline(&spline), -1);
}

TEST(LinearSpline, KeepsCappedCopiesOfNameAndPath)
{
    const std::string longName(300, 'n');
    const std::string folder = ::testing::TempDir();
    LinearSplineConf conf{longName.c_str(), folder.c_str()};
    LinearSpline *spline = newLinearSpline(&conf);
    ASSERT_NE(spline, nullptr);
    EXPECT_EQ(std::string(spline->name), longName.substr(0, 255));
    EXPECT_NE(spline->name, conf.name);
    EXPECT_EQ(std::string(spline->dataPath), folder.substr(0, 255));
    EXPECT_NE(spline->inFile, nullptr);
    EXPECT_NE(spline->outFile, nullptr);
    delLinearSpline(&spline);

    LinearSplineConf noPath{"quiet", nullptr};
    spline = newLinearSpline(&noPath);
    EXPECT_EQ(spline->dataPath, nullptr);
    EXPECT_EQ(spline->inFile, nullptr);
    delLinearSpline(&spline);
}

TEST(NamedBlock, EmptyPathStandsForCurrentFolder)
{
    char tail[16];
    char *name = nullptr, *path = nullptr;
    ASSERT_EQ(tessivar::namedBlockTailSize("ab", ""), 3u + 2u);
    tessivar::placeNamedBlockTail(tail, "ab", "", &name, &path);
    EXPECT_STREQ(name, "ab");
    EXPECT_STREQ(path, ".");
    char buffer[32];
    EXPECT_STREQ(tessivar::debugFilePath(buffer, sizeof buffer, "", "in.csv"), "./in.csv");
}

}  // namespace

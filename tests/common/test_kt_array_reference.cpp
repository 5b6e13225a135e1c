// Randomized cross-check of the kt_array statistics and transforms against
// the vectors of tools/gen_kt_array_reference.py (numpy, extended precision),
// for seeded random arrays of each element type.
//
// Tolerances: integer results, sorts, peak indexes and saturated differences
// are exact. The library accumulates in double where numpy worked in long
// double, so means, medians, sums and normalisations agree to 1e-12 of the
// data's magnitude, variances to 1e-11 relative, float differences to a few
// float ulps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tessivar/kt_array.h"

namespace {

struct RefCase {
    std::string type;
    std::string name;
    std::map<std::string, std::vector<std::string>> fields;

    bool has(const std::string &key) const { return fields.count(key) != 0; }

    template <typename V>
    std::vector<V> get(const std::string &key) const
    {
        std::vector<V> out;
        auto it = fields.find(key);
        if (it == fields.end()) return out;
        for (const std::string &s : it->second) {
            if constexpr (std::is_integral_v<V>) {
                out.push_back(static_cast<V>(std::stoll(s)));
            } else {
                out.push_back(static_cast<V>(std::stod(s)));
            }
        }
        return out;
    }

    int32_t code(const std::string &key) const { return get<int32_t>(key + "_rc").at(0); }
};

std::vector<RefCase> loadCases()
{
    std::vector<RefCase> cases;
    std::ifstream in(std::string(TESSIVAR_TEST_DATA) + "/kt_array/reference.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "case") {
            cases.emplace_back();
            words >> cases.back().type >> cases.back().name;
        } else if (key != "end" && !cases.empty()) {
            std::vector<std::string> &values = cases.back().fields[key];
            std::string v;
            while (words >> v) values.push_back(v);
        }
    }
    return cases;
}

template <typename T>
struct Api;

#define KT_REFERENCE_API(T, S, SumType)                                   \
    template <>                                                           \
    struct Api<T> {                                                       \
        using Sum = SumType;                                              \
        static constexpr auto calcMean = calcMean##S;                     \
        static constexpr auto calcVariance = calcVariance##S;             \
        static constexpr auto calcStdDeviation = calcStdDeviation##S;     \
        static constexpr auto calcMedian = calcMedian##S;                 \
        static constexpr auto calcSum = calcSum##S;                       \
        static constexpr auto maxAbsNormalize = maxAbsNormalize##S;       \
        static constexpr auto minMaxNormalize = minMaxNormalize##S;       \
        static constexpr auto zScoreNormalize = zScoreNormalize##S;       \
        static constexpr auto sortAscending = sortAscending##S;           \
        static constexpr auto sortDescending = sortDescending##S;         \
        static constexpr auto arrayDifference = arrayDifference##S;       \
        static constexpr auto findPeakPoints = findPeakPoints##S;         \
        static constexpr auto delNearPeaks = delNearPeaks##S;             \
    };
KT_REFERENCE_API(int16_t, Short, int32_t)
KT_REFERENCE_API(int32_t, Int, int64_t)
KT_REFERENCE_API(float, Float, double)
KT_REFERENCE_API(double, Double, double)
#undef KT_REFERENCE_API

// |got - want| within rel times the larger of |want| and the data scale.
void expectClose(double got, double want, double scale, double rel, const std::string &what)
{
    const double tol = rel * std::max({std::fabs(want), scale, 1e-300});
    EXPECT_NEAR(got, want, tol) << what;
}

void expectAllClose(const std::vector<double> &got, const std::vector<double> &want, double scale, double rel,
                    const std::string &what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t k = 0; k < got.size(); ++k) expectClose(got[k], want[k], scale, rel, what + " [" + std::to_string(k) + "]");
}

template <typename T>
void checkCase(const RefCase &c)
{
    using A = Api<T>;
    const std::string tag = c.type + " " + c.name;
    const std::vector<T> x = c.get<T>("x");
    ASSERT_FALSE(x.empty()) << tag;
    const int32_t n = static_cast<int32_t>(x.size());
    double peak = 0.0;
    for (T v : x) peak = std::max(peak, std::fabs(static_cast<double>(v)));
    std::vector<double> out(x.size());

    double mean = 0.0;
    ASSERT_EQ(A::calcMean(x.data(), n, &mean), 0) << tag;
    expectClose(mean, c.get<double>("mean").at(0), peak, 1e-12, tag + " mean");

    double variance = 0.0;
    ASSERT_EQ(A::calcVariance(x.data(), n, &variance), c.code("variance")) << tag;
    if (c.has("variance")) expectClose(variance, c.get<double>("variance").at(0), 0.0, 1e-11, tag + " variance");
    double deviation = 0.0;
    ASSERT_EQ(A::calcStdDeviation(x.data(), n, &deviation), c.code("std")) << tag;
    if (c.has("std")) expectClose(deviation, c.get<double>("std").at(0), 0.0, 1e-12, tag + " std");

    ASSERT_EQ(A::zScoreNormalize(x.data(), n, out.data()), c.code("zscore")) << tag;
    if (c.has("zscore")) expectAllClose(out, c.get<double>("zscore"), 1.0, 1e-10, tag + " zscore");
    ASSERT_EQ(A::maxAbsNormalize(x.data(), n, out.data()), 0) << tag;
    expectAllClose(out, c.get<double>("maxabs"), 1.0, 1e-12, tag + " maxabs");
    ASSERT_EQ(A::minMaxNormalize(x.data(), n, out.data()), 0) << tag;
    expectAllClose(out, c.get<double>("minmax"), 1.0, 1e-12, tag + " minmax");

    typename A::Sum sum = 0;
    ASSERT_EQ(A::calcSum(x.data(), n, &sum), c.code("sum")) << tag;
    if (c.has("sum")) {
        if constexpr (std::is_integral_v<T>) {
            EXPECT_EQ(sum, c.get<typename A::Sum>("sum").at(0)) << tag;
        } else {
            expectClose(sum, c.get<double>("sum").at(0), peak * n, 1e-12, tag + " sum");
        }
    }

    std::vector<T> diff(x.size());
    EXPECT_EQ(A::arrayDifference(x.data(), n, diff.data()), c.code("difference")) << tag;
    const std::vector<T> wantDiff = c.get<T>("difference");
    for (size_t k = 0; k < diff.size(); ++k) {
        if constexpr (std::is_same_v<T, float>) {
            EXPECT_FLOAT_EQ(diff[k], wantDiff[k]) << tag << " difference " << k;
        } else {
            EXPECT_EQ(diff[k], wantDiff[k]) << tag << " difference " << k;
        }
    }

    std::vector<int32_t> index(x.size());
    int32_t count = -1;
    const char *peakKeys[] = {"peaks_max", "peaks_min", "peaks_both"};
    for (int32_t mode = 0; mode < 3; ++mode) {
        ASSERT_EQ(A::findPeakPoints(x.data(), n, mode, nullptr, index.data(), &count), 0) << tag;
        index.resize(static_cast<size_t>(count));
        EXPECT_EQ(index, c.get<int32_t>(peakKeys[mode])) << tag << " mode " << mode;
        index.resize(x.size());
    }

    if (c.has("near_peaks")) {
        const std::vector<int32_t> maxima = c.get<int32_t>("peaks_max");
        std::vector<T> heights;
        for (int32_t k : maxima) heights.push_back(x[static_cast<size_t>(k)]);
        std::vector<int32_t> picked(maxima.size());
        int32_t picks = -1;
        ASSERT_EQ(A::delNearPeaks(heights.data(), maxima.data(), static_cast<int32_t>(maxima.size()), 4, picked.data(),
                                  &picks, 0.75),
                  0)
            << tag;
        picked.resize(static_cast<size_t>(picks));
        EXPECT_EQ(picked, c.get<int32_t>("near_peaks")) << tag;
    }

    // Sorting and the median last: the median sorts its input in place.
    std::vector<T> sorted = x;
    ASSERT_EQ(A::sortAscending(sorted.data(), n), 0);
    EXPECT_EQ(sorted, c.get<T>("ascending")) << tag;
    ASSERT_EQ(A::sortDescending(sorted.data(), n), 0);
    EXPECT_EQ(sorted, c.get<T>("descending")) << tag;
    std::vector<T> work = x;
    double median = 0.0;
    ASSERT_EQ(A::calcMedian(work.data(), n, &median), 0) << tag;
    expectClose(median, c.get<double>("median").at(0), 0.0, 1e-15, tag + " median");
    EXPECT_EQ(work, c.get<T>("ascending")) << tag << " median leaves the array sorted";
}

TEST(KtArrayReference, AllTypesMatchNumpy)
{
    const std::vector<RefCase> cases = loadCases();
    ASSERT_EQ(cases.size(), 24u) << "reference file missing or incomplete";
    std::map<std::string, int> perType;
    for (const RefCase &c : cases) {
        SCOPED_TRACE(c.type + " " + c.name);
        ++perType[c.type];
        if (c.type == "short") {
            checkCase<int16_t>(c);
        } else if (c.type == "int") {
            checkCase<int32_t>(c);
        } else if (c.type == "float") {
            checkCase<float>(c);
        } else if (c.type == "double") {
            checkCase<double>(c);
        } else {
            ADD_FAILURE() << "unknown type " << c.type;
        }
    }
    EXPECT_EQ(perType["short"], 6);
    EXPECT_EQ(perType["int"], 6);
    EXPECT_EQ(perType["float"], 6);
    EXPECT_EQ(perType["double"], 6);
}

}  // namespace

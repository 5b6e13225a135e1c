// kt_array statistics and transforms on seeded random arrays of each element type
// against tests/data/kt_array/reference.txt (tools/gen_kt_array_reference.py,
// numpy in extended precision). Integer results, sorts, differences and peak
// indexes are exact; double accumulation allows 1e-12 of the data's magnitude
// (1e-11 relative for variances, 1e-10 for z-scores, 1e-6 for float differences).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "tessivar/kt_array.h"

namespace {

using Vec = std::vector<double>;
using Fields = std::map<std::string, Vec>;

std::vector<std::pair<std::string, Fields>> loadCases()
{
    std::vector<std::pair<std::string, Fields>> cases;
    std::ifstream in(std::string(TESSIVAR_TEST_DATA) + "/kt_array/reference.txt");
    for (std::string line, key, name; std::getline(in, line);) {
        std::istringstream words(line);
        if (line.empty() || line[0] == '#' || !(words >> key) || key == "end") continue;
        if (key == "case" && words >> key >> name) cases.emplace_back(key + " " + name, Fields{});
        else if (!cases.empty())  // an empty line still names the key; int64 sums here stay below 2^53
            for (Vec &vals = cases.back().second[key]; words >> name;) vals.push_back(std::stod(name));
    }
    return cases;
}

template <typename T>
Vec vec(const std::vector<T> &x, size_t n = SIZE_MAX) { return Vec(x.begin(), x.begin() + long(std::min(n, x.size()))); }

#define KT_CHECK(T, S, SumT)                                                                                  \
    void check##S(const Fields &f)                                                                            \
    {                                                                                                         \
        const std::vector<T> x(f.at("x").begin(), f.at("x").end());                                           \
        std::vector<T> d = x, s = x;                                                                          \
        const int32_t n = int32_t(x.size());                                                                  \
        Vec z(x.size()), ma(x.size()), mm(x.size());                                                          \
        double mean = 0, var = 0, sd = 0, med = 0, peak = 0;                                                  \
        SumT sum = 0;                                                                                         \
        std::vector<int32_t> idx(x.size()), near(x.size()), at, count(4);                                     \
        const std::map<std::string, int> rc = {                                                               \
            {"mean", calcMean##S(x.data(), n, &mean)}, {"variance", calcVariance##S(x.data(), n, &var)},      \
            {"std", calcStdDeviation##S(x.data(), n, &sd)}, {"zscore", zScoreNormalize##S(x.data(), n, z.data())}, \
            {"maxabs", maxAbsNormalize##S(x.data(), n, ma.data())},                                           \
            {"minmax", minMaxNormalize##S(x.data(), n, mm.data())}, {"sum", calcSum##S(x.data(), n, &sum)},   \
            {"difference", arrayDifference##S(x.data(), n, d.data())}};                                       \
        for (const auto &[key, code] : rc)                                                                    \
            EXPECT_EQ(code, f.count(key + "_rc") ? int(f.at(key + "_rc")[0]) : 0) << key;                     \
        for (T e : x) peak = std::max(peak, std::fabs(double(e)));                                            \
        const std::vector<std::tuple<const char *, Vec, double, double>> got = {                              \
            {"mean", {mean}, peak, 1e-12}, {"variance", {var}, 0, 1e-11}, {"std", {sd}, 0, 1e-12},            \
            {"zscore", z, 1, 1e-10}, {"maxabs", ma, 1, 1e-12}, {"minmax", mm, 1, 1e-12},                      \
            {"sum", {double(sum)}, peak * n, std::is_integral_v<T> ? 0 : 1e-12},                              \
            {"difference", vec(d), 0, std::is_same_v<T, float> ? 1e-6 : 0}};                                  \
        for (const auto &[key, values, scale, rel] : got) {                                                   \
            if (!f.count(key)) continue; /* an overflow code stands instead of the value */                   \
            ASSERT_EQ(values.size(), f.at(key).size()) << key;                                                \
            for (size_t k = 0; k < values.size(); ++k)                                                        \
                EXPECT_NEAR(values[k], f.at(key)[k], rel * std::max({std::fabs(f.at(key)[k]), scale, 1e-300})) << key << k; \
        }                                                                                                     \
        const char *peakKeys[] = {"peaks_max", "peaks_min", "peaks_both"};                                    \
        for (int32_t mode = 0; mode < 3; ++mode) {                                                            \
            ASSERT_EQ(findPeakPoints##S(x.data(), n, mode, nullptr, idx.data(), &count[mode]), 0);            \
            EXPECT_EQ(vec(idx, size_t(count[mode])), f.at(peakKeys[mode])) << peakKeys[mode];                 \
        }                                                                                                     \
        if (f.count("near_peaks")) { /* minDist 4, ratio 0.75 over the maxima */                              \
            std::vector<T> h;                                                                                 \
            for (double k : f.at("peaks_max")) at.push_back(int32_t(k)), h.push_back(x[size_t(k)]);           \
            ASSERT_EQ(delNearPeaks##S(h.data(), at.data(), int32_t(at.size()), 4, near.data(), &count[3], 0.75), 0); \
            EXPECT_EQ(vec(near, size_t(count[3])), f.at("near_peaks"));                                       \
        }                                                                                                     \
        ASSERT_EQ(sortDescending##S(s.data(), n), 0);                                                         \
        EXPECT_EQ(vec(s), f.at("descending"));                                                                \
        ASSERT_EQ(sortAscending##S(s.data(), n), 0);                                                          \
        EXPECT_EQ(vec(s), f.at("ascending"));                                                                 \
        s = x;                                                                                                \
        ASSERT_EQ(calcMedian##S(s.data(), n, &med), 0);                                                       \
        EXPECT_NEAR(med, f.at("median")[0], 1e-15 * std::fabs(f.at("median")[0]));                            \
        EXPECT_EQ(vec(s), f.at("ascending")) << "the median sorts in place";                                  \
    }
KT_CHECK(int16_t, Short, int32_t)
KT_CHECK(int32_t, Int, int64_t)
KT_CHECK(float, Float, double)
KT_CHECK(double, Double, double)

TEST(KtArrayReference, AllTypesMatchNumpy)
{
    const auto cases = loadCases();
    ASSERT_EQ(cases.size(), 24u) << "reference file missing or incomplete";
    for (const auto &[name, f] : cases) {
        SCOPED_TRACE(name);
        const std::string type = name.substr(0, name.find(' '));
        if (type == "short") checkShort(f);
        else if (type == "int") checkInt(f);
        else if (type == "float") checkFloat(f);
        else if (type == "double") checkDouble(f);
        else ADD_FAILURE() << "unknown type";
    }
}

}  // namespace

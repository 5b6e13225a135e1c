// Statistics and transforms of kt_array on seeded random arrays of each element
// type against tests/data/kt_array/reference.txt (tools/gen_kt_array_reference.py,
// numpy in extended precision). Integer results, sorts, differences and peak
// indexes are exact; double accumulation against numpy's long double allows
// 1e-12 of the data's magnitude (1e-11 relative for variances).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tessivar/kt_array.h"

namespace {

using Fields = std::map<std::string, std::vector<double>>;
struct RefCase { std::string type, name; Fields f; };

std::vector<RefCase> loadCases()
{
    std::vector<RefCase> cases;
    std::ifstream in(std::string(TESSIVAR_TEST_DATA) + "/kt_array/reference.txt");
    for (std::string line, key; std::getline(in, line);) {
        std::istringstream words(line);
        if (line.empty() || line[0] == '#' || !(words >> key) || key == "end") continue;
        if (key == "case") {
            cases.emplace_back();
            words >> cases.back().type >> cases.back().name;
        } else if (!cases.empty()) {
            auto &vals = cases.back().f[key];
            for (double x; words >> x;) vals.push_back(x);  // int64 sums here stay below 2^53
        }
    }
    return cases;
}

#define KT_API(T, S, SumT)                                                                             \
    template <> struct Api<T> {                                                                        \
        using Sum = SumT;                                                                              \
        static constexpr auto mean = calcMean##S, var = calcVariance##S, sd = calcStdDeviation##S;     \
        static constexpr auto median = calcMedian##S;                                                  \
        static constexpr auto maxAbs = maxAbsNormalize##S, minMax = minMaxNormalize##S, z = zScoreNormalize##S; \
        static constexpr auto sum = calcSum##S;                                                        \
        static constexpr auto up = sortAscending##S, down = sortDescending##S;                         \
        static constexpr auto diff = arrayDifference##S;                                               \
        static constexpr auto peaks = findPeakPoints##S;                                               \
        static constexpr auto near = delNearPeaks##S;                                                  \
    };
template <typename T> struct Api;
KT_API(int16_t, Short, int32_t)
KT_API(int32_t, Int, int64_t)
KT_API(float, Float, double)
KT_API(double, Double, double)
#undef KT_API

void expectClose(const std::vector<double> &got, const std::vector<double> &want, double scale, double rel,
                 const char *what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t k = 0; k < got.size(); ++k)
        EXPECT_NEAR(got[k], want[k], rel * std::max({std::fabs(want[k]), scale, 1e-300})) << what << " [" << k << "]";
}

template <typename T>
void checkCase(const Fields &f)
{
    using A = Api<T>;
    auto rc = [&](const char *key) { return int(f.at(std::string(key) + "_rc").at(0)); };
    std::vector<T> x;
    for (double d : f.at("x")) x.push_back(T(d));
    const int32_t n = int32_t(x.size());
    double peak = 0, r = 0;
    for (T e : x) peak = std::max(peak, std::fabs(double(e)));
    std::vector<double> out(x.size());

    ASSERT_EQ(A::mean(x.data(), n, &r), 0);
    expectClose({r}, f.at("mean"), peak, 1e-12, "mean");
    ASSERT_EQ(A::var(x.data(), n, &r), rc("variance"));
    if (f.count("variance")) { expectClose({r}, f.at("variance"), 0, 1e-11, "variance"); }
    ASSERT_EQ(A::sd(x.data(), n, &r), rc("std"));
    if (f.count("std")) { expectClose({r}, f.at("std"), 0, 1e-12, "std"); }
    ASSERT_EQ(A::z(x.data(), n, out.data()), rc("zscore"));
    if (f.count("zscore")) { expectClose(out, f.at("zscore"), 1, 1e-10, "zscore"); }
    ASSERT_EQ(A::maxAbs(x.data(), n, out.data()), 0);
    expectClose(out, f.at("maxabs"), 1, 1e-12, "maxabs");
    ASSERT_EQ(A::minMax(x.data(), n, out.data()), 0);
    expectClose(out, f.at("minmax"), 1, 1e-12, "minmax");
    typename A::Sum sum = 0;
    ASSERT_EQ(A::sum(x.data(), n, &sum), rc("sum"));
    if (f.count("sum")) { expectClose({double(sum)}, f.at("sum"), peak * n, std::is_integral_v<T> ? 0 : 1e-12, "sum"); }

    std::vector<T> d(x.size());
    EXPECT_EQ(A::diff(x.data(), n, d.data()), rc("difference"));
    expectClose(std::vector<double>(d.begin(), d.end()), f.at("difference"), 0, std::is_same_v<T, float> ? 1e-6 : 0,
                "difference");

    std::vector<int32_t> idx(x.size());
    int32_t count = -1;
    const char *keys[] = {"peaks_max", "peaks_min", "peaks_both"};
    for (int32_t mode = 0; mode < 3; ++mode) {
        ASSERT_EQ(A::peaks(x.data(), n, mode, nullptr, idx.data(), &count), 0);
        expectClose(std::vector<double>(idx.begin(), idx.begin() + count), f.at(keys[mode]), 0, 0, keys[mode]);
    }
    if (f.count("near_peaks")) {  // minDist 4, ratio 0.75 over the maxima
        std::vector<int32_t> at;
        std::vector<T> h;
        for (double k : f.at("peaks_max")) at.push_back(int32_t(k)), h.push_back(x[size_t(k)]);
        ASSERT_EQ(A::near(h.data(), at.data(), int32_t(at.size()), 4, idx.data(), &count, 0.75), 0);
        expectClose(std::vector<double>(idx.begin(), idx.begin() + count), f.at("near_peaks"), 0, 0, "near");
    }
    std::vector<T> s = x;
    ASSERT_EQ(A::down(s.data(), n), 0);
    expectClose(std::vector<double>(s.begin(), s.end()), f.at("descending"), 0, 0, "descending");
    ASSERT_EQ(A::up(s.data(), n), 0);
    expectClose(std::vector<double>(s.begin(), s.end()), f.at("ascending"), 0, 0, "ascending");
    s = x;
    ASSERT_EQ(A::median(s.data(), n, &r), 0);
    expectClose({r}, f.at("median"), 0, 1e-15, "median");
    expectClose(std::vector<double>(s.begin(), s.end()), f.at("ascending"), 0, 0, "median sorts in place");
}

TEST(KtArrayReference, AllTypesMatchNumpy)
{
    const std::vector<RefCase> cases = loadCases();
    ASSERT_EQ(cases.size(), 24u) << "reference file missing or incomplete";
    for (const RefCase &c : cases) {
        SCOPED_TRACE(c.type + " " + c.name);
        if (c.type == "short") checkCase<int16_t>(c.f);
        else if (c.type == "int") checkCase<int32_t>(c.f);
        else if (c.type == "float") checkCase<float>(c.f);
        else if (c.type == "double") checkCase<double>(c.f);
        else ADD_FAILURE() << "unknown type " << c.type;
    }
}

}  // namespace

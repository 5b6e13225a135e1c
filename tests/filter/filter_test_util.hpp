// Helpers of the filter tests: owning handles, record builders and the
// reader of the reference files made by tools/gen_filter_reference.py.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tessivar/tessivar.h"

namespace tessivar::test {

// Deletes the filter at scope exit.
struct FilterDeleter {
    void operator()(SignalFilter *f) const { delSignalFilter(&f); }
};
using FilterPtr = std::unique_ptr<SignalFilter, FilterDeleter>;

inline FilterPtr makeFilter(const void *record)
{
    return FilterPtr(newSignalFilter(static_cast<const SignalFilterConf *>(record)));
}

inline FirFilterConf firConf(const std::vector<double> &b, double gain = 1.0, const char *name = "fir")
{
    FirFilterConf c{};
    c.type = SIGNAL_FILTER_FIR;
    c.name = name;
    c.gain = gain;
    c.numData = b.data();
    c.num_num = static_cast<int32_t>(b.size());
    return c;
}

inline IirCombFilterConf iirConf(const std::vector<double> &b, const std::vector<double> &a, double gain = 1.0,
                                 int32_t delay = 0, const char *name = "iir")
{
    IirCombFilterConf c{};
    c.type = SIGNAL_FILTER_IIR_COMB;
    c.name = name;
    c.gain = gain;
    c.numData = b.data();
    c.num_num = static_cast<int32_t>(b.size());
    c.denData = a.data();
    c.den_num = static_cast<int32_t>(a.size());
    c.delay = delay;
    return c;
}

inline IntegerFilterConf integerConf(const std::vector<IntegerFilterTap> &num, int32_t numLen,
                                     const std::vector<IntegerFilterTap> &den, int32_t denLen, double gain = 1.0,
                                     const char *name = "integer")
{
    IntegerFilterConf c{};
    c.type = SIGNAL_FILTER_INTEGER;
    c.name = name;
    c.gain = gain;
    c.numData = num.data();
    c.num_num = numLen;
    c.num_num_valid = static_cast<int32_t>(num.size());
    c.denData = den.data();
    c.den_num = denLen;
    c.den_num_valid = static_cast<int32_t>(den.size());
    return c;
}

inline AvgFilterConf avgConf(int32_t type, int32_t window, const char *name = "avg")
{
    AvgFilterConf c{};
    c.type = type;
    c.name = name;
    c.avg_num = window;
    return c;
}

inline NonlinearNotchFilterConf notchConf(double phi = 1.902113032590308, double step = 0.02,
                                          const char *name = "trap 50")
{
    NonlinearNotchFilterConf c{};
    c.type = SIGNAL_FILTER_NONLINEAR_NOTCH;
    c.name = name;
    c.phi = phi;
    c.adj_the = step;
    return c;
}

// The "hpass 0.3" baseline record of the front end: the input delayed by
// 1919 samples minus its twice-applied 1920-sample moving average.
inline const std::vector<IntegerFilterTap> kHpass03Num = {
    {1, -1}, {1920, 3686400}, {1921, -7372798}, {1922, 3686400}, {3841, -1}};
inline const std::vector<IntegerFilterTap> kHpass03Den = {{1, 3686400}, {2, -7372800}, {3, 3686400}};

inline std::vector<double> feed(SignalFilter *f, const std::vector<double> &x)
{
    std::vector<double> y;
    y.reserve(x.size());
    for (double v : x) y.push_back(doSignalFilter(f, v));
    return y;
}

// A varied test signal: slow wave, a tone, a step.
inline std::vector<double> testSignal(int n)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = 20.0 + 100.0 * std::sin(0.05 * i) + 15.0 * std::sin(0.9 * i + 1.0) +
                                         (i >= n / 2 ? 60.0 : 0.0);
    return x;
}

// One reference case: record and the expected outputs.
struct ReferenceCase {
    std::string kind;
    double gain = 1.0;
    int32_t delay = 0;
    int32_t numLen = 0;
    int32_t denLen = 0;
    std::vector<double> num, den;
    std::vector<IntegerFilterTap> numTaps, denTaps;
    std::vector<double> input, perSample, wholeArray;
};

inline ReferenceCase readReference(const std::string &name)
{
    ReferenceCase c;
    std::ifstream file(std::string(TESSIVAR_TEST_DATA) + "/filter/" + name + ".txt");
    EXPECT_TRUE(file.good()) << "missing reference " << name;
    std::string line;
    std::getline(file, line);  // "generated" header
    std::string key;
    while (file >> key) {
        if (key == "kind") {
            file >> c.kind;
        } else if (key == "gain") {
            file >> c.gain;
        } else if (key == "delay") {
            file >> c.delay;
        } else if (key == "lengths") {
            file >> c.numLen >> c.denLen;
        } else if (key == "num_taps" || key == "den_taps") {
            std::size_t n = 0;
            file >> n;
            auto &taps = key == "num_taps" ? c.numTaps : c.denTaps;
            taps.resize(n);
            for (auto &t : taps) file >> t.seq >> t.data;
        } else {
            std::size_t n = 0;
            file >> n;
            std::vector<double> *to = key == "num"           ? &c.num
                                      : key == "den"         ? &c.den
                                      : key == "input"       ? &c.input
                                      : key == "per_sample"  ? &c.perSample
                                      : key == "whole_array" ? &c.wholeArray
                                                             : nullptr;
            EXPECT_NE(to, nullptr) << "unknown key " << key;
            if (to == nullptr) break;
            to->resize(n);
            for (double &v : *to) file >> v;
        }
    }
    return c;
}

// |got - want| <= tol * max(|want|, 1): relative, with an absolute floor
// for the zero crossings of signals of amplitude ~100.
inline ::testing::AssertionResult nearRelative(const std::vector<double> &got, const std::vector<double> &want,
                                               double tol)
{
    if (got.size() != want.size()) return ::testing::AssertionFailure() << "sizes " << got.size() << " vs " << want.size();
    for (std::size_t i = 0; i < got.size(); ++i) {
        const double limit = tol * std::max(std::fabs(want[i]), 1.0);
        if (!(std::fabs(got[i] - want[i]) <= limit))
            return ::testing::AssertionFailure() << "at " << i << ": " << got[i] << " vs " << want[i];
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tessivar::test

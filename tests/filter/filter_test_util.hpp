// Helpers of the filter tests: owning handles, record builders, feeding.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "support/log_capture.hpp"
#include "tessivar/tessivar.h"

namespace tessivar::test {

using FilterPtr = std::unique_ptr<SignalFilter, void (*)(SignalFilter *)>;
using Vec = std::vector<double>;
using Ints = std::vector<int>;
using Taps = std::vector<IntegerFilterTap>;

inline FilterPtr makeFilter(const void *record)
{
    return FilterPtr(newSignalFilter((const SignalFilterConf *)record), [](SignalFilter *f) { delSignalFilter(&f); });
}

inline FirFilterConf firConf(const Vec &b, double gain = 1.0, const char *name = "fir")
{
    return {SIGNAL_FILTER_FIR, name, nullptr, gain, b.data(), int32_t(b.size())};
}

inline IirCombFilterConf iirConf(const Vec &b, const Vec &a, double gain = 1.0, int32_t delay = 0,
                                 const char *name = "iir")
{
    return {SIGNAL_FILTER_IIR_COMB, name, nullptr, gain, b.data(), int(b.size()), a.data(), int(a.size()), delay};
}

inline IntegerFilterConf integerConf(const Taps &num, int32_t numLen, const Taps &den, int32_t denLen,
                                     double gain = 1.0, const char *name = "integer")
{
    return {SIGNAL_FILTER_INTEGER, name,       nullptr, gain, num.data(), numLen, int32_t(num.size()),
            den.data(),            denLen, int32_t(den.size())};
}

inline AvgFilterConf avgConf(int32_t type, int32_t window, const char *name = "avg")
{
    return {type, name, nullptr, window};
}

// The mains canceller of the display chain: phi = 2*cos(2*pi*50/1000).
inline NonlinearNotchFilterConf notchConf(double step = 0.02)
{
    return {SIGNAL_FILTER_NONLINEAR_NOTCH, "trap 50", nullptr, 1.902113032590308, step};
}

// The "hpass 0.3" baseline record: the input delayed by 1919 samples minus
// its twice-applied 1920-sample moving average.
inline const Taps kHpass03Num = {{1, -1}, {1920, 3686400}, {1921, -7372798}, {1922, 3686400}, {3841, -1}};
inline const Taps kHpass03Den = {{1, 3686400}, {2, -7372800}, {3, 3686400}};

inline Vec feed(SignalFilter *f, Vec x)
{
    for (double &v : x) v = doSignalFilter(f, v);
    return x;
}

// A varied signal: slow wave, a tone and a step half way.
inline Vec testSignal(int n)
{
    Vec x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[std::size_t(i)] = 20.0 + 100.0 * std::sin(0.05 * i) + 15.0 * std::sin(0.9 * i + 1.0) + (i >= n / 2 ? 60 : 0);
    return x;
}

// Whole-array output equals the per-sample response of a fresh filter made
// from the record, fed in[] then d copies of in[n-1], moved d samples earlier.
inline void expectShiftedResponse(const void *record, const Vec &in, const Vec &out, int32_t d, double tol)
{
    FilterPtr fresh = makeFilter(record);
    Vec fed = in;
    fed.insert(fed.end(), std::size_t(d), in.back());
    const Vec stream = feed(fresh.get(), fed);
    for (std::size_t t = 0; t < in.size(); ++t) EXPECT_NEAR(out[t], stream[t + std::size_t(d)], tol) << "t=" << t;
}

}  // namespace tessivar::test

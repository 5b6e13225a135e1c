// Synthetic ECG for the detector tests: beats at exactly known samples,
// each a narrow Gaussian R wave (sigma 8 ms) with an optional Gaussian
// T wave, on a zero baseline, in microvolts.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tessivar::test {

struct Wave {
    double offsetS;     // from the beat's R peak, seconds
    double amplitude;   // microvolts
    double sigmaS;      // width, seconds
};

// Adds one wave centred at t0 (samples) to x.
inline void addWave(std::vector<double> &x, int fs, double t0, const Wave &w)
{
    const double c = t0 + w.offsetS * fs, s = w.sigmaS * fs;
    const int from = std::max(0, int(c - 6 * s)), to = std::min(int(x.size()), int(c + 6 * s) + 1);
    for (int n = from; n < to; ++n) x[size_t(n)] += w.amplitude * std::exp(-0.5 * ((n - c) / s) * ((n - c) / s));
}

// Beats with R peaks at the samples of rPeaks; every beat gets the waves.
inline std::vector<double> beatsAt(int fs, size_t length, const std::vector<int64_t> &rPeaks,
                                   const std::vector<Wave> &waves)
{
    std::vector<double> x(length, 0.0);
    for (int64_t r : rPeaks)
        for (const Wave &w : waves) addWave(x, fs, double(r), w);
    return x;
}

// R peaks every `period` samples from `first` while below length.
inline std::vector<int64_t> regularPeaks(int64_t first, int64_t period, size_t length)
{
    std::vector<int64_t> p;
    for (int64_t r = first; r < int64_t(length); r += period) p.push_back(r);
    return p;
}

// A plain beat: R wave of amp microvolts, 8 ms sigma; T wave of a quarter
// of it 250 ms later.
inline std::vector<Wave> normalBeat(double amp = 1000.0)
{
    return {{0.0, amp, 0.008}, {0.25, amp / 4, 0.04}};
}

inline std::vector<int16_t> toInt16(const std::vector<double> &x)
{
    std::vector<int16_t> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) y[i] = int16_t(std::lround(std::fmax(-32768.0, std::fmin(32767.0, x[i]))));
    return y;
}

}  // namespace tessivar::test

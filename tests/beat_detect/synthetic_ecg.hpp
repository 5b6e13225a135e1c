// Synthetic ECG for the detector tests: Gaussian waves at known samples on a zero baseline, in microvolts.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tessivar::test {

struct Wave {
    double offsetS, amplitude, sigmaS;  // from the R peak (s), microvolts, width (s)
};

// R wave of amp (sigma 8 ms) and a T wave of a quarter of it 250 ms later.
inline std::vector<Wave> normalBeat(double amp = 1000.0) { return {{0.0, amp, 0.008}, {0.25, amp / 4, 0.04}}; }

inline void addWave(std::vector<double> &x, int fs, double t0, const Wave &w)
{
    const double c = t0 + w.offsetS * fs, s = w.sigmaS * fs;
    for (int n = std::max(0, int(c - 6 * s)); n < std::min(int(x.size()), int(c + 6 * s) + 1); ++n)
        x[size_t(n)] += w.amplitude * std::exp(-0.5 * ((n - c) / s) * ((n - c) / s));
}

inline std::vector<int64_t> regularPeaks(int64_t first, int64_t period, size_t length)
{
    std::vector<int64_t> p;
    for (int64_t r = first; r < int64_t(length); r += period) p.push_back(r);
    return p;
}

inline std::vector<double> beatsAt(int fs, size_t length, const std::vector<int64_t> &rPeaks, const std::vector<Wave> &waves)
{
    std::vector<double> x(length, 0.0);
    for (int64_t r : rPeaks)
        for (const Wave &w : waves) addWave(x, fs, double(r), w);
    return x;
}

// Normal beats every `period` samples from `first`, the amplitude of each given by amp(R position).
template <class Amp>
std::vector<double> rhythmOf(int fs, size_t n, int64_t first, int64_t period, Amp amp)
{
    std::vector<double> x(n, 0.0);
    for (int64_t r : regularPeaks(first, period, n))
        for (const Wave &w : normalBeat(amp(r))) addWave(x, fs, double(r), w);
    return x;
}

inline std::vector<int16_t> toInt16(const std::vector<double> &x)
{
    std::vector<int16_t> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) y[i] = int16_t(std::lround(std::clamp(x[i], -32768.0, 32767.0)));
    return y;
}

}  // namespace tessivar::test

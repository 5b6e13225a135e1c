// Spectral toolkit: the 1024-point transform against hand-known spectra and
// numpy (tests/data/resp/fft_reference.txt, tools/gen_fft_reference.py), its
// inverse and tables, refusals, the sliding update and the zoom-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tessivar/kt_dsp.h"

namespace {

using Vec = std::vector<double>;

TEST(Fft, MatchesHandAndNumpySpectra)
{
    Vec ref(N_FFT), refSpec(2 * N_FFT), ones(N_FFT, 1.0), tone(N_FFT), onesSpec(2 * N_FFT), toneSpec(2 * N_FFT);
    std::ifstream file(TESSIVAR_TEST_DATA "/resp/fft_reference.txt");
    file.ignore(1 << 20, '\n');
    for (size_t n = 0; n < size_t(N_FFT); ++n) ASSERT_TRUE(file >> ref[n] >> refSpec[2 * n] >> refSpec[2 * n + 1]) << n;
    onesSpec[0] = 1024.0;  // hand: sum of 1024 ones
    for (int n = 0; n < N_FFT; ++n) tone[size_t(n)] = std::cos(2 * M_PI * 37 * n / N_FFT);
    toneSpec[2 * 37] = toneSpec[2 * (N_FFT - 37)] = 512.0;  // hand: N / 2 in bins +-37
    const struct {
        const char *name;
        const Vec &in, &expected;
        double tolerance;
    } cases[] = {{"ones", ones, onesSpec, 1e-9}, {"tone", tone, toneSpec, 1e-9}, {"numpy", ref, refSpec, 1e-9 * 514}};
    for (const auto &c : cases) {
        Vec out(2 * N_FFT, -1.0);
        ASSERT_EQ(dsp_fft(c.in.data(), N_FFT, N_FFT, out.data(), N_FFT), 0);
        for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(out[i], c.expected[i], c.tolerance) << c.name << " " << i;
    }
    // The inverse is unscaled: N times the input.
    for (int n = 0; n < N_FFT; ++n) Refresh_Data(n, std::sin(0.01 * n * n));
    FFT();
    IFFT();
    for (int n = 0; n < N_FFT; ++n) ASSERT_NEAR(data_of_N_FFT[n].re / N_FFT, std::sin(0.01 * n * n), 1e-12) << n;
    EXPECT_EQ(Cos_find(0.5), 0.0);  // -table[0]
    EXPECT_EQ(Sin_find(0.5), 1.0);  // table[256]
    EXPECT_DOUBLE_EQ(Cos_find(0.75), -std::sqrt(0.5));
}

TEST(Dsp, BadArgumentsPrintTheErrorLine)
{
    Vec in(N_FFT, 1.0), out(2 * N_FFT);
    DspComplex a{1, 2};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(dsp_fft(in.data(), 1000, 1000, out.data(), 1000), DSP_ERROR);  // not a power of two
    EXPECT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, out.data(), 512), DSP_ERROR);
    EXPECT_EQ(dsp_fft(in.data(), 512, 512, out.data(), 512), DSP_ERROR);
    EXPECT_EQ(dsp_fft(nullptr, N_FFT, N_FFT, out.data(), N_FFT), DSP_ERROR);
    EXPECT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, nullptr, N_FFT), DSP_ERROR);
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.rfind("\nERROR happened in resp/src/kt_dsp dsp_fft ", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10) << text;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(dsp_complex_add(a, a, nullptr), DSP_ERROR);
    EXPECT_EQ(dsp_complex_multiply(a, a, nullptr), DSP_ERROR);
    EXPECT_EQ(dsp_sft(nullptr, 4, a, a), DSP_ERROR);
    EXPECT_EQ(dsp_sft(&a, 0, a, a), DSP_ERROR);
    ::testing::internal::GetCapturedStdout();
}

TEST(Dsp, SlidingUpdateTracksTheWindowedTransform)
{
    // Window x[t..t+7], oldest first: after x[t+8] enters and x[t] leaves,
    // X_k = (X_k + x_new - x_old) e^(j 2 pi k / 8) is the DFT of the moved window.
    Vec x(9);
    for (size_t i = 0; i < 9; ++i) x[i] = std::sin(0.7 * double(i)) + 0.1 * double(i);
    auto dft = [&x](int start, int k) {
        DspComplex s{0, 0};
        for (int m = 0; m < 8; ++m) {
            s.re += x[size_t(start + m)] * std::cos(2 * M_PI * k * m / 8);
            s.im -= x[size_t(start + m)] * std::sin(2 * M_PI * k * m / 8);
        }
        return s;
    };
    std::vector<DspComplex> X(8);
    for (int k = 0; k < 8; ++k) X[size_t(k)] = dft(0, k);
    ASSERT_EQ(dsp_sft(X.data(), 8, DspComplex{x[8], 0}, DspComplex{x[0], 0}), 0);
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(X[size_t(k)].re, dft(1, k).re, 1e-12) << k;
        EXPECT_NEAR(X[size_t(k)].im, dft(1, k).im, 1e-12) << k;
    }
}

TEST(Dsp, ZoomInFillsAMinuteThenSlides)
{
    // rate 4, factor 2: 120 decimated values a minute in a history of 1024.
    // The delay counter counts the calls returning 16: the transform comes on call 241.
    dsp_init();
    Vec hist(N_FFT, 0.0), spectrum(2 * N_FFT, 0.0), fresh(2 * N_FFT);
    auto step = [&](int sample, int rate, int factor, int reset, int histLen = N_FFT) {
        return dsp_integer_spectrum_zoom_in(sample, rate, factor, reset, hist.data(), histLen, spectrum.data(), N_FFT);
    };
    for (int i = 1; i <= 240; ++i) ASSERT_EQ(step(i % 2 ? 3 : 5, 4, 2, 0), 16) << i;
    ASSERT_EQ(step(3, 4, 2, 0), 0);
    // hand: each pair (3, 5) decimates to 4: 120 values of 4, DC 480.
    EXPECT_EQ(hist[119], 4.0);
    EXPECT_EQ(hist[120], 0.0);
    EXPECT_NEAR(spectrum[0], 480.0, 1e-9);
    // After 880 slides the spectrum is still the transform of the history as it stands.
    for (int i = 242; i <= 2000; ++i) ASSERT_EQ(step(int(1000 * std::sin(0.37 * i)) + i % 7, 4, 2, 0), 0);
    ASSERT_EQ(dsp_fft(hist.data(), N_FFT, N_FFT, fresh.data(), N_FFT), 0);
    double peak = 0, error = 0;
    for (size_t k = 0; k < fresh.size(); ++k) {
        peak = std::max(peak, std::fabs(fresh[k]));
        error = std::max(error, std::fabs(fresh[k] - spectrum[k]));
    }
    EXPECT_GT(peak, 1e4);
    EXPECT_LT(error, 1e-9 * peak);
    EXPECT_EQ(step(1, 4, 2, 1), 16);  // a reset restarts the minute
    EXPECT_EQ(step(1, 4, 2, 0), 16);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(step(1, 4, 3, 0), DSP_ERROR);        // 4 not divisible by 3
    EXPECT_EQ(step(1, 4, 2, 0, 1000), DSP_ERROR);  // not a power of two
    EXPECT_EQ(step(1, 40, 2, 0, 512), DSP_ERROR);  // 40 * 60 / 2 = 1200 > 512
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 2, 0, hist.data(), N_FFT, nullptr, N_FFT), DSP_ERROR);
    ::testing::internal::GetCapturedStdout();
}

}  // namespace

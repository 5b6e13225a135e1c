#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tessivar/kt_dsp.h"

namespace {


double maxAbs(const std::vector<double> &v)
{
    double m = 0;
    for (double x : v) m = std::max(m, std::fabs(x));
    return m;
}

TEST(Fft, OnesGiveOnlyDc)
{
    std::vector<double> in(N_FFT, 1.0), out(2 * N_FFT, -1.0);
    ASSERT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, out.data(), N_FFT), 0);
    EXPECT_NEAR(out[0], 1024.0, 1e-9);
    EXPECT_NEAR(out[1], 0.0, 1e-9);
    for (int k = 1; k < N_FFT; ++k) {
        ASSERT_NEAR(out[2 * k], 0.0, 1e-9) << k;
        ASSERT_NEAR(out[2 * k + 1], 0.0, 1e-9) << k;
    }
}

TEST(Fft, ToneLandsInItsBin)
{
    // cos(2 pi 37 n / 1024) has 512 in bins 37 and 1024 - 37, 0 elsewhere.
    std::vector<double> in(N_FFT), out(2 * N_FFT);
    for (int n = 0; n < N_FFT; ++n) in[n] = std::cos(2 * M_PI * 37 * n / N_FFT);
    ASSERT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, out.data(), N_FFT), 0);
    for (int k = 0; k < N_FFT; ++k) {
        const double expected = (k == 37 || k == N_FFT - 37) ? 512.0 : 0.0;
        ASSERT_NEAR(out[2 * k], expected, 1e-9) << k;
        ASSERT_NEAR(out[2 * k + 1], 0.0, 1e-9) << k;
    }
}

TEST(Fft, MatchesNumpyReference)
{
    std::ifstream file(TESSIVAR_TEST_DATA "/resp/fft_reference.txt");
    ASSERT_TRUE(file) << "reference vectors missing";
    std::string line;
    std::getline(file, line);
    std::vector<double> in, expected;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        double x, re, im;
        fields >> x >> re >> im;
        in.push_back(x);
        expected.push_back(re);
        expected.push_back(im);
    }
    ASSERT_EQ(in.size(), size_t(N_FFT));
    std::vector<double> out(2 * N_FFT);
    ASSERT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, out.data(), N_FFT), 0);
    const double scale = maxAbs(expected);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(out[i], expected[i], 1e-9 * scale) << i;
}

TEST(Fft, InverseUndoesForwardUpToScale)
{
    Init_FFT();
    for (int n = 0; n < N_FFT; ++n) Refresh_Data(n, std::sin(0.01 * n * n));
    FFT();
    IFFT();
    for (int n = 0; n < N_FFT; ++n) {
        ASSERT_NEAR(data_of_N_FFT[n].re / N_FFT, std::sin(0.01 * n * n), 1e-12) << n;
        ASSERT_NEAR(data_of_N_FFT[n].im, 0.0, 1e-9) << n;
    }
}

TEST(Fft, TableLookups)
{
    Init_FFT();
    EXPECT_EQ(Cos_find(0.5), 0.0);  // -table[0]
    EXPECT_EQ(Sin_find(0.5), 1.0);
    EXPECT_DOUBLE_EQ(Sin_find(0.25), std::sqrt(0.5));
    EXPECT_DOUBLE_EQ(Cos_find(0.75), -std::sqrt(0.5));
    EXPECT_NEAR(Sin_find(1.5), -1.0, 1e-15);  // outside the table's range
}

TEST(Fft, ChangeSeatReversesBits)
{
    std::vector<DspComplex> a(N_FFT);
    for (int i = 0; i < N_FFT; ++i) a[i] = DspComplex{double(i), 0.0};
    ChangeSeat(a.data());
    for (int i = 0; i < N_FFT; ++i) {
        int r = 0;
        for (int b = 0; b < 10; ++b) r |= ((i >> b) & 1) << (9 - b);
        ASSERT_EQ(a[i].re, r) << i;
    }
}

TEST(Fft, BadSizesAreRefusedWithTheErrorLine)
{
    std::vector<double> in(N_FFT, 1.0), out(2 * N_FFT);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(dsp_fft(in.data(), 1000, 1000, out.data(), 1000), DSP_ERROR);
    EXPECT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, out.data(), 512), DSP_ERROR);
    EXPECT_EQ(dsp_fft(in.data(), 512, 512, out.data(), 512), DSP_ERROR);
    EXPECT_EQ(dsp_fft(nullptr, N_FFT, N_FFT, out.data(), N_FFT), DSP_ERROR);
    EXPECT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, nullptr, N_FFT), DSP_ERROR);
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.rfind("\nERROR happened in resp/src/kt_dsp dsp_fft ", 0), 0u) << text;
    size_t lines = 0;
    for (size_t at = text.find("ERROR happened"); at != std::string::npos; at = text.find("ERROR happened", at + 1))
        ++lines;
    EXPECT_EQ(lines, 5u);
}

TEST(DspComplex, ArithmeticAndMissingOutputs)
{
    const DspComplex a{1, 2}, b{3, -4};
    DspComplex out;
    ASSERT_EQ(dsp_complex_multiply(a, b, &out), 0);  // (1+2j)(3-4j) = 11 + 2j
    EXPECT_EQ(out.re, 11);
    EXPECT_EQ(out.im, 2);
    dsp_complex_add(a, b, &out);
    EXPECT_EQ(out.re, 4);
    EXPECT_EQ(out.im, -2);
    dsp_complex_subtract(a, b, &out);
    EXPECT_EQ(out.re, -2);
    EXPECT_EQ(out.im, 6);
    DspComplex z{std::log(2.0), M_PI / 2};  // 2 e^(j pi/2) = 2j
    dsp_complex_exp(&z);
    EXPECT_NEAR(z.re, 0.0, 1e-15);
    EXPECT_NEAR(z.im, 2.0, 1e-15);
    dsp_imagine_exp(M_PI, &out);
    EXPECT_NEAR(out.re, -1.0, 1e-15);

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(dsp_complex_add(a, b, nullptr), DSP_ERROR);
    EXPECT_EQ(dsp_complex_multiply(a, b, nullptr), DSP_ERROR);
    EXPECT_EQ(dsp_complex_subtract(a, b, nullptr), DSP_ERROR);
    EXPECT_EQ(dsp_complex_exp(nullptr), DSP_ERROR);
    EXPECT_EQ(dsp_imagine_exp(1.0, nullptr), DSP_ERROR);
    EXPECT_EQ(dsp_sft(nullptr, 4, a, b), DSP_ERROR);
    EXPECT_EQ(dsp_sft(&out, 0, a, b), DSP_ERROR);
    ::testing::internal::GetCapturedStdout();
}

TEST(DspSft, SlidingUpdateTracksTheWindowedTransform)
{
    // Window w = x[t..t+7] (oldest first); after x[t+8] enters and x[t]
    // leaves, X_k = (X_k + x_new - x_old) e^(j 2 pi k / 8) is the DFT of the
    // window moved by one.
    const int n = 8;
    std::vector<double> x(n + 1);
    for (int i = 0; i <= n; ++i) x[i] = std::sin(0.7 * i) + 0.1 * i;
    auto dft = [&](int start, int k) {
        DspComplex s{0, 0};
        for (int m = 0; m < n; ++m) {
            s.re += x[start + m] * std::cos(2 * M_PI * k * m / n);
            s.im -= x[start + m] * std::sin(2 * M_PI * k * m / n);
        }
        return s;
    };
    std::vector<DspComplex> spectrum(n);
    for (int k = 0; k < n; ++k) spectrum[k] = dft(0, k);
    ASSERT_EQ(dsp_sft(spectrum.data(), n, DspComplex{x[n], 0}, DspComplex{x[0], 0}), 0);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(spectrum[k].re, dft(1, k).re, 1e-12) << k;
        EXPECT_NEAR(spectrum[k].im, dft(1, k).im, 1e-12) << k;
    }
}

TEST(DspZoomIn, FillsAMinuteThenTransforms)
{
    // rate 4, factor 2: two decimated values per second, 120 a minute, in a
    // history of 1024 (a power of two, as the transform needs). The delay
    // counter starts at 0 and counts the calls that return 16, so the
    // transform comes on call 4 * 60 + 1.
    dsp_init();
    std::vector<double> hist(N_FFT, 0.0), spectrum(2 * N_FFT, 0.0);
    int transformed = -1;
    for (int i = 1; i <= 241; ++i) {
        const int rc = dsp_integer_spectrum_zoom_in(i % 2 ? 3 : 5, 4, 2, 0, hist.data(), N_FFT, spectrum.data(), N_FFT);
        if (i < 241) {
            ASSERT_EQ(rc, 16) << i;
        } else {
            ASSERT_EQ(rc, 0);
            transformed = i;
        }
    }
    EXPECT_EQ(transformed, 241);
    // Every pair (3, 5) decimates to 4: 120 values of 4, the rest 0 (the
    // 241st sample waits in an incomplete block).
    EXPECT_EQ(hist[0], 4.0);
    EXPECT_EQ(hist[119], 4.0);
    EXPECT_EQ(hist[120], 0.0);
    EXPECT_NEAR(spectrum[0], 480.0, 1e-9);
    // Every new decimated value slides the kept spectrum; the history is
    // newest first, and after many slides the spectrum is still that of the
    // history as it stands (a fresh transform), to rounding.
    for (int i = 242; i <= 2000; ++i) {
        const int sample = int(1000 * std::sin(0.37 * i) + 300 * std::cos(1.3 * i)) + i % 7;
        ASSERT_EQ(dsp_integer_spectrum_zoom_in(sample, 4, 2, 0, hist.data(), N_FFT, spectrum.data(), N_FFT), 0);
    }
    std::vector<double> fresh(2 * N_FFT);
    ASSERT_EQ(dsp_fft(hist.data(), N_FFT, N_FFT, fresh.data(), N_FFT), 0);
    double peak = 0, error = 0;
    for (int k = 0; k < 2 * N_FFT; ++k) {
        peak = std::max(peak, std::fabs(fresh[size_t(k)]));
        error = std::max(error, std::fabs(fresh[size_t(k)] - spectrum[size_t(k)]));
    }
    EXPECT_GT(peak, 1e4);
    EXPECT_LT(error, 1e-9 * peak);

    // A reset restarts the minute.
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 2, 1, hist.data(), N_FFT, spectrum.data(), N_FFT), 16);

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 3, 0, hist.data(), N_FFT, spectrum.data(), N_FFT), DSP_ERROR);
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 1, 0, hist.data(), N_FFT, spectrum.data(), N_FFT), DSP_ERROR);
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 2, 0, hist.data(), 1000, spectrum.data(), N_FFT), DSP_ERROR);
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 40, 2, 0, hist.data(), 512, spectrum.data(), N_FFT), DSP_ERROR);
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 2, 0, hist.data(), N_FFT, nullptr, N_FFT), DSP_ERROR);
    ::testing::internal::GetCapturedStdout();
}

TEST(DspZoomIn, MinuteMarkCountsAsDoneWhenTheTransformRefusesTheSize)
{
    // A 2048-value history passes the zoom-in's own checks but not the
    // 1024-point transform: the error line is printed, the call gives 0.
    dsp_init();
    std::vector<double> hist(2 * N_FFT, 0.0), spectrum(4 * N_FFT, 0.0);
    for (int i = 1; i <= 240; ++i)
        ASSERT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 2, 0, hist.data(), 2 * N_FFT, spectrum.data(), 2 * N_FFT), 16);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(dsp_integer_spectrum_zoom_in(1, 4, 2, 0, hist.data(), 2 * N_FFT, spectrum.data(), 2 * N_FFT), 0);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("ERROR happened in"), std::string::npos);
}

TEST(Fft, TransformArrayIsTheHostsToo)
{
    // A host fills the shared array directly, transforms it and reads the
    // bins there: a unit impulse at 0 has a flat spectrum of ones.
    for (auto &x : data_of_N_FFT) x = DspComplex{0.0, 0.0};
    data_of_N_FFT[0].re = 1.0;
    Init_FFT();
    EXPECT_DOUBLE_EQ(SIN_TABLE_of_N_FFT[N_FFT / 4], 1.0);
    FFT();
    for (int k = 0; k < N_FFT; k += 97) {
        EXPECT_NEAR(data_of_N_FFT[k].re, 1.0, 1e-12) << k;
        EXPECT_NEAR(data_of_N_FFT[k].im, 0.0, 1e-12) << k;
    }
}

}  // namespace

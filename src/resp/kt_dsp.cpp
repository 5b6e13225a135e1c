// Spectral helpers over the 1024-point transform: the real-input spectrum
// wrapper, complex arithmetic, the sliding update and the decimating
// minute-spectrum routine.
#include "tessivar/kt_dsp.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tessivar {
namespace {

// State of dsp_integer_spectrum_zoom_in.
struct ZoomInState {
    int count = 0;       // samples in the current decimation block
    int sum = 0;         // their sum
    double average = 0;  // kept for the record, cleared with the block
    int iniDelay = 0;    // samples seen since the last reset
};
ZoomInState s_zoomIn;

// The error line names this file by its place in the respiration sources.
int dspError(const char *function, int line)
{
    std::printf("\nERROR happened in %s %s %d.\n", "resp/src/kt_dsp", function, line);
    return DSP_ERROR;
}
#define DSP_FAIL() dspError(__func__, __LINE__)

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Keeps the spectrum (n (re, im) pairs) of a history held newest first in
// step with one shift: every value moves one place older, so bin k turns by
// e^(-j 2 pi k / n), and the entering value minus the leaving one lands at
// place 0. (dsp_sft slides a window held oldest first.)
void slideNewestFirst(double *spectrum, int n, double delta)
{
    for (int k = 0; k < n; ++k) {
        DspComplex w, turned;
        dsp_imagine_exp(-2.0 * M_PI * k / n, &w);
        dsp_complex_multiply(DspComplex{spectrum[2 * k], spectrum[2 * k + 1]}, w, &turned);
        spectrum[2 * k] = turned.re + delta;
        spectrum[2 * k + 1] = turned.im;
    }
}

}  // namespace
}  // namespace tessivar

using namespace tessivar;

extern "C" int dsp_fft(const double *in, int n, int N, double *out, int outN)
{
    if (in == nullptr || out == nullptr || N != n || outN != n || !isPowerOfTwo(n) || n != N_FFT)
        return DSP_FAIL();
    for (int i = 0; i < N_FFT; ++i) Refresh_Data(i, in[i]);
    Init_FFT();
    FFT();
    for (int k = 0; k < N_FFT; ++k) {
        out[2 * k] = data_of_N_FFT[k].re;
        out[2 * k + 1] = data_of_N_FFT[k].im;
    }
    return 0;
}

extern "C" int dsp_complex_multiply(DspComplex a, DspComplex b, DspComplex *out)
{
    if (out == nullptr) return DSP_FAIL();
    *out = DspComplex{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    return 0;
}

extern "C" int dsp_complex_add(DspComplex a, DspComplex b, DspComplex *out)
{
    if (out == nullptr) return DSP_FAIL();
    *out = DspComplex{a.re + b.re, a.im + b.im};
    return 0;
}

extern "C" int dsp_complex_subtract(DspComplex a, DspComplex b, DspComplex *out)
{
    if (out == nullptr) return DSP_FAIL();
    *out = DspComplex{a.re - b.re, a.im - b.im};
    return 0;
}

extern "C" int dsp_complex_exp(DspComplex *z)
{
    if (z == nullptr) return DSP_FAIL();
    const double r = std::exp(z->re);
    *z = DspComplex{r * std::cos(z->im), r * std::sin(z->im)};
    return 0;
}

extern "C" int dsp_imagine_exp(double theta, DspComplex *out)
{
    if (out == nullptr) return DSP_FAIL();
    *out = DspComplex{std::cos(theta), std::sin(theta)};
    return 0;
}

// The sliding transform adds the entering value and subtracts the leaving
// one (the usual sliding DFT), rather than adding both. Twiddles are computed
// per bin, so no temporary array is needed.
extern "C" int dsp_sft(DspComplex *X, int N, DspComplex a, DspComplex b)
{
    if (X == nullptr || N <= 0) return DSP_FAIL();
    DspComplex delta;
    dsp_complex_subtract(a, b, &delta);
    for (int k = 0; k < N; ++k) {
        DspComplex w, sum;
        dsp_imagine_exp(2.0 * M_PI * k / N, &w);
        dsp_complex_add(X[k], delta, &sum);
        dsp_complex_multiply(sum, w, &X[k]);
    }
    return 0;
}

extern "C" int dsp_init(void)
{
    s_zoomIn = ZoomInState{};
    return 0;
}

extern "C" int dsp_integer_spectrum_zoom_in(int sample, int rate, int factor, int reset, double *hist, int histLen,
                                            double *spectrum, int spectrumLen)
{
    if (rate < 1 || factor < 2 || spectrum == nullptr || hist == nullptr || rate % factor != 0 ||
        !isPowerOfTwo(histLen) || rate * 60LL / factor > histLen)
        return DSP_FAIL();
    ZoomInState &z = s_zoomIn;
    const double oldest = hist[histLen - 1];
    bool newValue = false;
    z.sum += sample;
    if (++z.count >= factor) {
        std::memmove(hist + 1, hist, sizeof(double) * size_t(histLen - 1));
        hist[0] = z.sum / factor;
        z.sum = 0;
        z.average = 0.0;
        z.count = 0;
        newValue = true;
    }
    if (reset == 1) {
        z.iniDelay = 1;
        z.count = 1;
        return 16;
    }
    const long long minute = rate * 60LL;
    if (minute > z.iniDelay) {
        ++z.iniDelay;
        return 16;
    }
    if (minute == z.iniDelay) {
        ++z.iniDelay;
        // A size the transform cannot do has printed its error line; the
        // minute mark itself still counts as done.
        dsp_fft(hist, histLen, histLen, spectrum, spectrumLen);
        return 0;
    }
    if (newValue) slideNewestFirst(spectrum, spectrumLen, hist[0] - oldest);
    return 0;
}

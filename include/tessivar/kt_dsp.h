/* Spectral toolkit of the respiration estimator: a fixed 1024-point radix-2
 * FFT on one module-level complex array with a quarter-wave sine table, its
 * inverse, complex helpers, a sliding spectral update and a decimating
 * minute-spectrum routine.
 *
 * The dsp_ functions return 0 on success and DSP_ERROR (65536) on a bad
 * argument, after printing "\nERROR happened in <file> <function> <line>.\n"
 * to standard output. Not thread-safe: the transform array, the table and
 * the zoom-in state are shared by all callers. */
#ifndef TESSIVAR_KT_DSP_H
#define TESSIVAR_KT_DSP_H

#include "tessivar_export.h"

TESSIVAR_BEGIN_C

#define DSP_ERROR 65536
#define N_FFT 1024

typedef struct DspComplex {
    double re;
    double im;
} DspComplex;

/* The transform's working array (shared by every caller) and its quarter-wave
 * sine table. */
TESSIVAR_API extern DspComplex data_of_N_FFT[N_FFT];
TESSIVAR_API extern double SIN_TABLE_of_N_FFT[N_FFT / 4 + 1];

/* Fills the quarter-wave table: entry i = sin(2 pi i / 1024), i = 0 .. 256. */
TESSIVAR_API void Init_FFT(void);

/* Transform array entry i (0 .. 1023) = (x, 0); other i are ignored. */
TESSIVAR_API void Refresh_Data(int i, double x);

/* sin(pi x) and cos(pi x) from the table, x in [0, 1). */
TESSIVAR_API double Sin_find(double x);
TESSIVAR_API double Cos_find(double x);

/* Bit-reversal permutation of 1024 complex values. */
TESSIVAR_API void ChangeSeat(DspComplex *array);

/* In-place forward / inverse transform of the transform array, unscaled. */
TESSIVAR_API void FFT(void);
TESSIVAR_API void IFFT(void);

/* Spectrum of the real array in[0..n-1]: out[2k] = re, out[2k+1] = im of bin
 * k (out holds 2n doubles). Requires N = n, outN = n and n = 1024. */
TESSIVAR_API int dsp_fft(const double *in, int n, int N, double *out, int outN);

/* out = a * b, a + b, a - b. */
TESSIVAR_API int dsp_complex_multiply(DspComplex a, DspComplex b, DspComplex *out);
TESSIVAR_API int dsp_complex_add(DspComplex a, DspComplex b, DspComplex *out);
TESSIVAR_API int dsp_complex_subtract(DspComplex a, DspComplex b, DspComplex *out);

/* z = e^(z.re) (cos z.im + j sin z.im), in place. */
TESSIVAR_API int dsp_complex_exp(DspComplex *z);

/* out = cos theta + j sin theta. */
TESSIVAR_API int dsp_imagine_exp(double theta, DspComplex *out);

/* Sliding update of the N-bin spectrum X by one sample: X[k] = (X[k] + a - b)
 * e^(j 2 pi k / N), a the value entering the window, b the one leaving it. */
TESSIVAR_API int dsp_sft(DspComplex *X, int N, DspComplex a, DspComplex b);

/* Clears the zoom-in state. */
TESSIVAR_API int dsp_init(void);

/* Decimates sample (rate per second) by factor into the history hist
 * (histLen values, hist[0] the newest, a minute of decimated values must
 * fit), and keeps spectrum (spectrumLen bins, 2 * spectrumLen doubles) its spectrum: 16
 * while the first minute fills (and after a reset), then 0, with the full
 * transform once and sliding updates after. */
TESSIVAR_API int dsp_integer_spectrum_zoom_in(int sample, int rate, int factor, int reset, double *hist,
                                              int histLen, double *spectrum, int spectrumLen);

TESSIVAR_END_C

#endif /* TESSIVAR_KT_DSP_H */

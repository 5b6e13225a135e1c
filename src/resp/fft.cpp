// Fixed 1024-point radix-2 decimation-in-time FFT. Twiddles are read from a
// quarter-wave sine table (257 entries) instead of being computed.
#include <cmath>
#include <utility>

#include "tessivar/kt_dsp.h"

// The transform's working array and its table are the module's state and part
// of its interface: a host fills the array (Refresh_Data or directly), runs
// FFT or IFFT and reads the result from it.
extern "C" {
DspComplex data_of_N_FFT[N_FFT];
double SIN_TABLE_of_N_FFT[N_FFT / 4 + 1];
}

extern "C" void Init_FFT(void)
{
    for (int i = 0; i <= N_FFT / 4; ++i) SIN_TABLE_of_N_FFT[i] = std::sin(2.0 * M_PI * i / N_FFT);
}

extern "C" void Refresh_Data(int i, double x)
{
    if (i < 0 || i >= N_FFT) return;
    data_of_N_FFT[i] = DspComplex{x, 0.0};
}

// Arguments outside [0, 1) (and NaN) fall back to the library sine, so a
// caller can never read past the table.
extern "C" double Sin_find(double x)
{
    if (!(x >= 0.0 && x < 1.0)) return std::sin(M_PI * x);
    int i = static_cast<int>(x * N_FFT) >> 1;
    return i <= N_FFT / 4 ? SIN_TABLE_of_N_FFT[i] : SIN_TABLE_of_N_FFT[N_FFT / 2 - i];
}

extern "C" double Cos_find(double x)
{
    if (!(x >= 0.0 && x < 1.0)) return std::cos(M_PI * x);
    int i = static_cast<int>(x * N_FFT) >> 1;
    return i < N_FFT / 4 ? SIN_TABLE_of_N_FFT[N_FFT / 4 - i] : -SIN_TABLE_of_N_FFT[i - N_FFT / 4];
}

extern "C" void ChangeSeat(DspComplex *array)
{
    if (array == nullptr) return;
    int j = 0;
    for (int i = 0; i < N_FFT - 1; ++i) {
        if (i < j) std::swap(array[i], array[j]);
        int k = N_FFT / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

namespace tessivar {
namespace {
// sign -1: forward (W = cos - j sin), +1: inverse.
void transform(double sign)
{
    DspComplex *d = data_of_N_FFT;
    ChangeSeat(d);
    for (int h = 1; h < N_FFT; h *= 2) {
        for (int k = 0; k < h; ++k) {
            const double x = double(k) / h;
            const double wr = Cos_find(x), wi = sign * Sin_find(x);
            for (int i = k; i < N_FFT; i += 2 * h) {
                DspComplex &lo = d[i];
                DspComplex &hi = d[i + h];
                const double tr = hi.re * wr - hi.im * wi;
                const double ti = hi.re * wi + hi.im * wr;
                hi = DspComplex{lo.re - tr, lo.im - ti};
                lo = DspComplex{lo.re + tr, lo.im + ti};
            }
        }
    }
}
}  // namespace
}  // namespace tessivar

extern "C" void FFT(void) { tessivar::transform(-1.0); }

extern "C" void IFFT(void) { tessivar::transform(+1.0); }

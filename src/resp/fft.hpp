#pragma once

#include "tessivar/kt_dsp.h"

namespace tessivar {

// The transform's working array and its quarter-wave sine table, shared by
// every caller of the toolkit.
struct FftState {
    DspComplex data[N_FFT];
    double sinTable[N_FFT / 4 + 1];
};
extern FftState s_fft;

}  // namespace tessivar

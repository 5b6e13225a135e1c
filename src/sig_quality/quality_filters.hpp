// The quality instances' filter pairs: a 1 Hz low-pass ("sigq_l_pass_1")
// whose rectified output measures baseline wander and a 25 Hz high-pass
// ("sigq_h_pass_25") for muscle noise, as IIR coefficient sets per rate.
#pragma once

#include <cstdint>

namespace tessivar {

struct QualityCoefficients {
    const double *num;
    int32_t numLen;
    const double *den;
    int32_t denLen;
};

struct QualityFilterSet {
    int32_t fs;                // the rate the set was designed for
    QualityCoefficients base;  // low-pass
    QualityCoefficients emg;   // high-pass
    int32_t baseDelay;         // samples
    int32_t emgDelay;          // samples
};

// Full mode: the 125 Hz set at 125 Hz, the sixth-order 1000 Hz set at every
// other rate.
const QualityFilterSet &fullQualityFilters(int32_t fs);

// Economical mode: second-order sets for 125, 128, 250, 256, 500, 512 and
// 1024 Hz, the 1000 Hz one at every other rate.
const QualityFilterSet &economicalQualityFilters(int32_t fs);

}  // namespace tessivar

// The detectors behind the facade, by method: the limited-resource detector
// (0, tessivar/eplimited.h), the Corvane detector (1) and the kt detector
// (any other method) (tessivar/corvane.h), the Orin detector (2,
// tessivar/orin.h); and the offline R-peak finder of method 1.
#pragma once

#include <cstdint>

#include "tessivar/beat_detect.h"
#include "tessivar/corvane.h"
#include "tessivar/eplimited.h"
#include "tessivar/orin.h"

namespace tessivar {

// Offline R peaks of method 1: a count of positions, -1 or -2 (full).
int32_t inerFindRWithNonRealFloat(const int16_t *samples, int32_t length, BeatDetect *detector,
                                  int32_t *positions, int32_t capacity);
int32_t inerFindRWithNonRealDouble(const int16_t *samples, int32_t length, BeatDetect *detector,
                                   int32_t *positions, int32_t capacity);

}  // namespace tessivar

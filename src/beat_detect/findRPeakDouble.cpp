// Offline R-peak finder of method 1, double precision. Placeholder: finds
// no peaks.
#include "beat_detect/detector_methods.hpp"

namespace tessivar {

int32_t inerFindRWithNonRealDouble(const int16_t *, int32_t, BeatDetect *, int32_t *, int32_t) { return 0; }

}  // namespace tessivar

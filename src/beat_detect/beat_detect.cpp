// Beat detector facade. The detectors arrive later; the version text is
// already part of every module list the library logs.
#include "tessivar/beat_detect.h"

extern "C" const char *beatDetectVersion(void) { return "beat_detect version 0.0.3.0 2025-10-11 15:14:21"; }

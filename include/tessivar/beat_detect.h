/* Beat detection: a facade over the library's QRS detectors. */
#ifndef TESSIVAR_BEAT_DETECT_H
#define TESSIVAR_BEAT_DETECT_H

#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* "beat_detect version 0.0.3.0 2025-10-11 15:14:21" */
TESSIVAR_API const char *beatDetectVersion(void);

TESSIVAR_END_C

#endif /* TESSIVAR_BEAT_DETECT_H */

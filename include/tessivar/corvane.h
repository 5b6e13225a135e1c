/* Corvane adaptive-threshold R-wave detector (beat-detection method 1) and
 * the kt detector (every method other than 0, 1 and 2), the same detector
 * with a single high-pass stage and an averaging integrator.
 *
 * Fed one sample at a time, a detector reports each R wave about one beat
 * late, as the delay in samples back to its R peak (this call counting as
 * 0), and -1 when no beat is reported. Every function refuses (-1, logged
 * "Input parameter exception.") a null handle or a handle created for
 * another method. */
#ifndef TESSIVAR_CORVANE_H
#define TESSIVAR_CORVANE_H

#include <stdint.h>
#include "beat_detect.h"
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* A new detector for the record (fs from 50 to 3999 Hz), or null. */
TESSIVAR_API BeatDetect *newCorvaneBeatDetect(const BeatDetectConf *conf);
/* Deletes the detector and nulls *detector. 0, or -1. */
TESSIVAR_API int delCorvaneBeatDetect(BeatDetect **detector);
/* Restarts detection from a clean state. 0, or -1. */
TESSIVAR_API int initCorvaneBeatDetect(BeatDetect *detector);
/* Stores the patient class in the head; detection does not use it. */
TESSIVAR_API int setCorvaneBeatDetectMode(BeatDetect *detector, int32_t mode);
/* Feeds one sample: a delay > 0 for a reported beat, else -1. */
TESSIVAR_API int32_t detectCorvaneBeat(BeatDetect *detector, int32_t sample);

/* The same for the kt detector. */
TESSIVAR_API BeatDetect *newKTBeatDetect(const BeatDetectConf *conf);
TESSIVAR_API int delKTBeatDetect(BeatDetect **detector);
TESSIVAR_API int initKTBeatDetect(BeatDetect *detector);
TESSIVAR_API int setKTBeatDetectMode(BeatDetect *detector, int32_t mode);
TESSIVAR_API int32_t detectKTBeat(BeatDetect *detector, int32_t sample);

TESSIVAR_END_C

#endif /* TESSIVAR_CORVANE_H */

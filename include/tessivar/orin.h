/* Orin QRS detector (beat-detection method 2).
 *
 * A small fixed-point detector designed for 200 samples per second: all of
 * its lengths are sample counts of that design (a 40-sample hold, learning
 * in 8 steps of 200 samples, a 16-sample integrator) and do not follow the
 * configured fs. Samples are expected within -5000 ... 5000; one outside
 * restarts learning, as do 2400 samples without a reported beat.
 *
 * At 1000 Hz (the front end's analysis rate) the same counts mean: learning
 * over 1.6 s, a restart after 2.4 s without a beat (also right after start
 * when the first beat after learning comes late, so the first beat is
 * reported after 2.4 + 1.6 s), a 16 ms integrator and a 40 ms hold, which
 * on wide QRS complexes can let a second peak of the same complex through.
 * The result 77 stands for a lag of 77 samples whatever the true one (on a
 * narrow QRS it is about 93 samples at 1000 Hz and 101 at 200 Hz).
 *
 * The detector state is one per process: every method-2 handle feeds and
 * restarts the same state (the handle holds only the BeatDetect head), so
 * run one method-2 detector at a time. */
#ifndef TESSIVAR_ORIN_H
#define TESSIVAR_ORIN_H

#include <stdint.h>
#include "beat_detect.h"
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* A new handle (the shared detector is restarted), or null for a null
 * record or name or no memory. */
TESSIVAR_API BeatDetect *newOrinBeatDetect(const BeatDetectConf *conf);

/* Closes the debug streams, frees *detector and nulls it. 0, or -1. */
TESSIVAR_API int delOrinBeatDetect(BeatDetect **detector);

/* Restarts detection (learning again). 0, or -1 for a null handle. */
TESSIVAR_API int initOrinBeatDetect(BeatDetect *detector);

/* Stores the patient class in the head; detection does not use it. 0, or
 * -1 for a null handle. */
TESSIVAR_API int setOrinBeatDetectMode(BeatDetect *detector, int32_t mode);

/* Feeds one sample: 77 for a confirmed beat, else 0 (-1 for a null
 * handle). */
TESSIVAR_API int32_t detectOrinBeat(BeatDetect *detector, int32_t sample);

TESSIVAR_END_C

#endif /* TESSIVAR_ORIN_H */

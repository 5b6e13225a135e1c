/* Limited-resource QRS detector (beat-detection method 0).
 *
 * An integer real-time detector fed one ECG sample at a time. A band-pass
 * (low-pass, high-pass), derivative and 80 ms moving-window integration
 * turn the ECG into an energy signal; its peaks are QRS or noise against an
 * adaptive threshold (means of the last eight QRS and noise peaks), with
 * T-wave and baseline-shift rejection, a 160 ms hold for a larger peak,
 * search-back for missed beats and a threshold reset after eight seconds
 * without a beat. The first eight seconds after init only learn. Every
 * detected beat is then measured (QRS width and amplitude) on a
 * down-sampled copy of the raw signal and rejected as noise when
 * implausible; the result is delivered once the beat is 600 ms old (adult)
 * or 200 ms old (child or newborn), the returned delay being that age in
 * samples.
 *
 * All lengths are derived from fs at creation. Every filter ring holds 500
 * entries, which bounds fs to about 1150 Hz; a configuration whose lengths
 * do not fit is refused. Samples are int16-range values; the integrator
 * saturates at 32000.
 *
 * The handle is a BeatDetect head followed by the detector's state; with a
 * data path the detector writes "r_detect.csv" (one line of its internals
 * per sample), "peak_ind.csv" (the verdict on each measured beat) and empty
 * "qrs_onset.csv", "qrs_offset.csv", "valley_ind.csv". */
#ifndef TESSIVAR_EPLIMITED_H
#define TESSIVAR_EPLIMITED_H

#include <stdint.h>
#include "beat_detect.h"
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* A new detector (not yet initialised), or null for a null record or name,
 * lengths beyond the detector's storage, or no memory. */
TESSIVAR_API BeatDetect *newEplimitedBeatDetect(const BeatDetectConf *conf);

/* Closes the debug streams, frees *detector and nulls it. 0, or -1. */
TESSIVAR_API int delEplimitedBeatDetect(BeatDetect **detector);

/* Restarts detection (learning again) in the configured patient class. 0,
 * or -1 for a null handle. */
TESSIVAR_API int initEplimitedBeatDetect(BeatDetect *detector);

/* Patient class until the next init: 0 adult, 1 or 2 child or newborn.
 * 0, or -1 for a null handle or name. */
TESSIVAR_API int setEplimitedBeatDetectMode(BeatDetect *detector, int32_t mode);

/* Feeds one sample; a delay in samples for a confirmed beat, else 0. No
 * argument checks (the facade checks the handle). */
TESSIVAR_API int32_t detectEplimitedBeat(BeatDetect *detector, int32_t sample);

/* Smallest QRS amplitude (sample units) and duration (samples) of a
 * plausible beat, kept across mode changes; 0 and 0 restore the defaults
 * of the patient class (adult 160 and 20 ms, child 50 and 10 ms). 0, or -1
 * for a null handle or name. */
TESSIVAR_API int EP_setMinAdultQRSThr(BeatDetect *detector, int32_t qrsAmplitude, int32_t qrsDuration);

TESSIVAR_END_C

#endif /* TESSIVAR_EPLIMITED_H */

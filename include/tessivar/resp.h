/* Respiration channel.
 *
 * Takes the thoracic impedance, one integer sample at a time at 1000 samples
 * per second, and returns a smoothed display sample for each (delay
 * 3333 + 150 + N/2 samples, N the display window of 1000, 500 or 300 chosen
 * by the rate). Behind it the channel keeps a 10-per-second copy of the breathing
 * band, estimates the respiration rate once a second from 15 s after a
 * reset, declares suffocation when the spread of the last six seconds falls
 * below a threshold, and flags cardiac artefact in the band. Results go to
 * the callbacks of the creation record. One instance per process; the host
 * (normally the ECG front end) serialises all calls.
 *
 * The amplitude limits (suffocation threshold, breath size, artefact jumps)
 * are in the units of the samples given. */
#ifndef TESSIVAR_RESP_H
#define TESSIVAR_RESP_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

typedef struct RespConf {
    const char *name;                    /* required, copied */
    const char *dataPath;                /* debug folder, or null */
    int32_t fs;                          /* sampling rate; the channel works at 1000 */
    int (*onRespRateChanged)(int rate);  /* new displayed rate, 0 on suffocation */
    int (*onRespBeat)(void);             /* kept for the owner; not called by the channel */
    int (*onBeatNoise)(int flag);        /* 1: cardiac artefact dominates, 0: cleared */
} RespConf;

/* "resp version 1.0.0.31 2025-09-04 09:20:05" */
TESSIVAR_API const char *respVersion(void);

/* Creates the channel (a second call replaces the first instance). With a
 * data path it writes "s_resp.conf" there and records the raw input in
 * "realtimeDemoLibScan_in.csv". 0, or -1 for a null record or name. */
TESSIVAR_API int newResp(const RespConf *conf);

/* Frees the channel; processResp then passes samples through. Returns 0. */
TESSIVAR_API int delResp(void);

/* Restarts filters and rate estimation, forgets the heart rate, sets the
 * patient type to adult and calls onBeatNoise(0). Returns 0. */
TESSIVAR_API int initResp(void);

/* One impedance sample; returns its display sample. Before newResp (or
 * after delResp) the sample is returned unchanged. */
TESSIVAR_API int processResp(int32_t sample);

/* The current heart rate (beats per minute, 0 for none); a respiration rate
 * within 2 of it is taken for cardiac artefact. Returns 0. */
TESSIVAR_API int onHrChangedResp(int32_t hr);

/* Patient type 0 adult, 1 or 2 paediatric (first rates near 19, 21, 25 per
 * minute). 0, or -1 for another value (the type is kept). */
TESSIVAR_API int onPatientType(int32_t type);

/* Suffocation threshold: standard deviation of the low-passed input below
 * which rate 0 is reported (default 18; 0 disables the check). Kept across
 * newResp. Returns 0. */
TESSIVAR_API int onRespSuffocationThr(int32_t threshold);

/* Clears the cardiac-artefact flag and calls onBeatNoise(0). Returns 0. */
TESSIVAR_API int initBeatNoise(void);

TESSIVAR_END_C

#endif /* TESSIVAR_RESP_H */

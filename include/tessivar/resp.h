/* Respiration channel.
 *
 * Takes the thoracic impedance, one sample at a time at 1000 samples per
 * second, returns a smoothed display sample for each, estimates the
 * respiration rate once a second and watches for suffocation and cardiac
 * artefact. Results go to the callbacks of the creation record. One instance
 * per process. */
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

/* Creates the channel. 0, or -1 for a null record or name. */
TESSIVAR_API int newResp(const RespConf *conf);

/* Frees the channel. Returns 0. */
TESSIVAR_API int delResp(void);

/* Restarts filters and rate estimation. Returns 0. */
TESSIVAR_API int initResp(void);

/* One impedance sample; returns its display sample. */
TESSIVAR_API int processResp(int32_t sample);

/* The current heart rate (beats per minute, 0 for none). Returns 0. */
TESSIVAR_API int onHrChangedResp(int32_t hr);

/* Patient type 0 adult, 1 or 2 paediatric. 0, or -1 for another value. */
TESSIVAR_API int onPatientType(int32_t type);

/* Suffocation threshold (standard deviation of the input). Returns 0. */
TESSIVAR_API int onRespSuffocationThr(int32_t threshold);

/* Clears the cardiac-artefact flag. Returns 0. */
TESSIVAR_API int initBeatNoise(void);

TESSIVAR_END_C

#endif /* TESSIVAR_RESP_H */

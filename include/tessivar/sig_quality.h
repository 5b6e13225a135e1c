/* Multi-lead signal quality monitor.
 *
 * Judges the quality of every lead of the output frames (1000 frames per
 * second), keeps the mask of noisy leads that the heart-rate lead choice
 * avoids, and hands a JSON quality report to the owner's callback whenever a
 * lead's quality changed. The module has one instance per process; its owner
 * registers where reports go at sqInit and passes the frame layout with every
 * frame. */
#ifndef TESSIVAR_SIG_QUALITY_H
#define TESSIVAR_SIG_QUALITY_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Where the monitor's results go. user is handed back unchanged. */
typedef struct SignalQualityCallbacks {
    void *user;
    /* A new quality report (JSON text, valid during the call only). */
    int (*onQuality)(void *user, const char *text);
} SignalQualityCallbacks;

/* "signal_quality version 0.0.0.13 2025-04-11 15:40:23" */
TESSIVAR_API const char *singalQualityVersion(void);

/* Starts (or restarts) the monitor; callbacks may be null (no reports).
 * Noise threshold 60. Returns 0. */
TESSIVAR_API int sqInit(const SignalQualityCallbacks *callbacks);

/* Stops the monitor. Returns 0. */
TESSIVAR_API int sqDeinit(void);

/* One frame: word 0 the status word, word 1 + l the sample of lead l for the
 * leadCount leads (at most 18); wireType is the input channel count (1, 2,
 * 3, 8, 11 or 14), which decides the leads named in reports. Returns the
 * noisy-lead mask (bit l: lead l's baseline quality is at or above the noise
 * threshold). */
TESSIVAR_API uint32_t sqProcess(const int32_t *frame, int32_t leadCount, int32_t wireType);

/* Noise threshold, 0 ... 100. Returns 0. */
TESSIVAR_API int sqSetNoiseThreshold(uint8_t threshold);

/* 1 when the status word has none of lead's electrode-off bits, else 0 (also
 * for a lead id outside 0 ... 17). Masks: I 0x10001, II and III 0x10002, aVR,
 * aVL, aVF 0x30003, V1 0x4 doubling up to V5R 0x2000. */
TESSIVAR_API int isLeadValid(int32_t status, int32_t lead);

TESSIVAR_END_C

#endif /* TESSIVAR_SIG_QUALITY_H */

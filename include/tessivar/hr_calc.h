/* Heart-rate calculator.
 *
 * Turns the multi-lead analysis stream (1000 frames per second) into beats
 * and a heart rate on the chosen heart-rate lead, chooses that lead itself
 * when asked to ("auto", lead 18), and reports learning. The module has one
 * instance per process; its owner registers where results go at hrCalcInit
 * and passes what the module reads (lead count, noisy-lead mask) with every
 * frame.
 *
 * Lead indexes: 0 I, 1 II, 2 III, 3 aVR, 4 aVL, 5 aVF, 6 V1 ... 14 V9,
 * 15 V3R, 16 V4R, 17 V5R; 18 means automatic choice. */
#ifndef TESSIVAR_HR_CALC_H
#define TESSIVAR_HR_CALC_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Where the calculator's results go. Every member may be null; user is handed
 * back unchanged. */
typedef struct HrCalcCallbacks {
    void *user;
    /* A beat, position samples before the newest frame; flag 0 for now. */
    int (*onHeartBeat)(void *user, int32_t position, int32_t flag);
    /* Beats per minute; 0 after a pause or a flat line, -1 for no lead. */
    int (*onHeartRate)(void *user, int32_t rate);
    /* The heart-rate lead is now lead (0 ... 17). */
    int (*onHrLead)(void *user, int32_t lead);
    /* Learning state: 1 while re-learning. */
    int (*onLearningState)(void *user, int32_t state);
    /* A new plausible rate (30 ... 300) for the respiration estimator. */
    int (*onHrChanged)(void *user, int32_t rate);
} HrCalcCallbacks;

/* Starts the calculator on lead with the patient class qrsMode (0 adult, 1
 * child) and the beat detector qrsMethod (fixed until the next start).
 * callbacks may be null (no reports). Returns 0. */
TESSIVAR_API int hrCalcInit(int32_t lead, int32_t qrsMode, int32_t qrsMethod, const HrCalcCallbacks *callbacks);

/* Stops the calculator. Returns 0. */
TESSIVAR_API int hrCalcDeinit(void);

/* One frame: word 0 the status word, word 1 + l the sample of lead l for
 * leadCount leads (at most 18); noisyLeads is the quality monitor's mask of
 * noisy leads (bit l for lead l). Returns 0. */
TESSIVAR_API int hrCalc(const int32_t *frame, int32_t leadCount, uint32_t noisyLeads);

/* Heart-rate lead 0 ... 18 (18: automatic). Returns 0. */
TESSIVAR_API int hrCalcSetLead(int32_t lead);

/* Patient class: 0 adult, 1 child or newborn. Returns 0. */
TESSIVAR_API int hrCalcSetQrsMode(int32_t mode);

/* Restarts learning. Returns 0. */
TESSIVAR_API int hrEnterLearning(void);

/* Smallest adult QRS amplitude and duration of the beat detector. */
TESSIVAR_API int HR_setMinAdultQRSThr(int32_t amplitude, int32_t duration);

TESSIVAR_END_C

#endif /* TESSIVAR_HR_CALC_H */

/* Heart-rate calculator.
 *
 * Turns the multi-lead analysis stream (1000 frames per second) into beats
 * and a heart rate on the chosen heart-rate lead, chooses that lead itself
 * when asked to ("auto", lead 18), and reports learning. The module has one
 * instance per process; its owner registers where results go at hrCalcInit
 * and passes what the module reads (lead count, noisy-lead mask) with every
 * frame.
 *
 * The last 10000 samples of every lead are kept; one beat detector (the
 * method given at hrCalcInit, at 1000 Hz) runs on the heart-rate lead 300
 * samples behind the newest frame. The rate comes from the last twelve RR
 * intervals: a mean without the longest and shortest, or the plain mean of
 * all twelve when they repeat with a period of 2 to 5 beats (bigeminy,
 * trigeminy ...), or four beats for a slow rhythm (three intervals above
 * 1.2 s). After every start, re-learning or lead change the detector is
 * first carried through its learning phase with a built-in normal beat, and
 * the first detected beat only anchors the RR measurement. Samples around a
 * lead-off or a noisy heart-rate lead (600 per event) are skipped and break
 * the RR chain; more than 1000 skipped in a row restart learning.
 *
 * Rate reports: beats per minute when it changes; 0 after six seconds
 * without a beat (repeated every six seconds) and every second while I, II
 * and III are flat; -1 when the heart-rate lead goes off and at a lead
 * change. A lead change re-runs detection over the buffered history at
 * once.
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
    /* A beat: it lies position samples before the sample the detector has
     * just processed, itself 300 frames behind the newest frame (more while
     * a lead change replays the history). flag 0 for now. */
    int (*onHeartBeat)(void *user, int32_t position, int32_t flag);
    /* Beats per minute; 0 after a pause or a flat line, -1 for no lead or a
     * lead change. */
    int (*onHeartRate)(void *user, int32_t rate);
    /* The heart-rate lead is now lead (0 ... 17). */
    int (*onHrLead)(void *user, int32_t lead);
    /* Learning state: 1 while re-learning. */
    int (*onLearningState)(void *user, int32_t state);
    /* A new plausible rate (30 ... 300) for the respiration estimator. */
    int (*onHrChanged)(void *user, int32_t rate);
    /* The beat just reported through onHeartBeat, with its place: sample is
     * the index of the sample holding its fiducial point, counted over all
     * hrCalc frames since hrCalcInit (a replay after a lead change reports
     * the replayed samples' indexes); lead is the lead it was detected on. */
    int (*onBeatSample)(void *user, int64_t sample, int32_t lead);
} HrCalcCallbacks;

/* Starts the calculator on lead with the patient class qrsMode (0 adult, 1
 * child) and the beat detector qrsMethod (fixed until the next start).
 * callbacks may be null (no reports). Returns 0. */
TESSIVAR_API int hrCalcInit(int32_t lead, int32_t qrsMode, int32_t qrsMethod, const HrCalcCallbacks *callbacks);

/* Stops the calculator. Returns 0. */
TESSIVAR_API int hrCalcDeinit(void);

/* One frame: word 0 the status word, word 1 + l the sample of lead l for
 * leadCount leads (at most 18); noisyLeads is the quality monitor's mask of
 * noisy leads (bit l for lead l). Returns 0, or -1 for a null frame or a
 * call outside hrCalcInit ... hrCalcDeinit. */
TESSIVAR_API int hrCalc(const int32_t *frame, int32_t leadCount, uint32_t noisyLeads);

/* Heart-rate lead 0 ... 18 (18: automatic, starting from II); reports the
 * lead and changes to it. Returns 0, or -1 for a lead out of range. */
TESSIVAR_API int hrCalcSetLead(int32_t lead);

/* Changes the heart-rate lead to lead (0 ... 17) at once: reports -1, then
 * re-runs detection over the buffered history of the new lead (the
 * detector is not restarted). Returns 0, or -1 for a lead out of range. */
TESSIVAR_API int hrCalcChangeLead(int32_t lead);

/* Marks the leads of mask (bit l for lead l) as invalid for their next 600
 * processed samples, like a lead-off. Returns 0. */
TESSIVAR_API int flushStatuCount(uint32_t leadMask);

/* Patient class: 0 adult, 1 child or newborn. Returns 0. */
TESSIVAR_API int hrCalcSetQrsMode(int32_t mode);

/* Restarts learning: clears the history, restarts the detector and reports
 * learning state 1. Returns 0. */
TESSIVAR_API int hrEnterLearning(void);

/* Smallest adult QRS amplitude (microvolts) and duration (samples) of the
 * limited-resource detector; 0 and 0 restore its defaults. Returns 0. */
TESSIVAR_API int HR_setMinAdultQRSThr(int32_t amplitude, int32_t duration);

TESSIVAR_END_C

#endif /* TESSIVAR_HR_CALC_H */

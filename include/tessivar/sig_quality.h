/* Multi-lead signal quality monitor.
 *
 * Runs one single-lead quality instance (sig_quality_c.h) on every one of
 * the 18 leads of the output frames, which must arrive at 1000 frames per
 * second (the instances use 2000-sample windows and the 1000 Hz filters).
 * From the instances' score reports it keeps a quality word per lead, the
 * mask of noisy leads that the heart-rate lead choice avoids, and, on every
 * frame in which some lead's quality changed, composes a JSON report:
 *
 *   {"level":"medium","leadStatus":[{"R":"emg"},{"III":"emg"}]}
 *
 * (printed formatted, with newlines and tabs). "level" is "high" when no
 * listed lead is flagged, else "medium"; "leadStatus" names every flagged
 * lead that the wiring has, with "base", "line", "emg" or their
 * combinations joined by '&'. A score at or above the noise threshold (60
 * after sqInit) flags a lead.
 *
 * The monitor has one instance per process. Its owner registers where
 * reports go at sqInit and passes the frame layout with every frame. */
#ifndef TESSIVAR_SIG_QUALITY_H
#define TESSIVAR_SIG_QUALITY_H

#include <stdint.h>
#include "sig_quality_c.h"
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Where the monitor's results go. user is handed back unchanged. */
typedef struct SignalQualityCallbacks {
    void *user;
    /* A new quality report (JSON text, valid during the call only). */
    int (*onQuality)(void *user, const char *text);
} SignalQualityCallbacks;

/* Starts the monitor: creates the 18 lead instances that do not exist yet
 * and clears them all; noise threshold 60. A second sqInit keeps the last
 * scores, quality words and noisy-lead mask (only changes are reported).
 * callbacks may be null (no reports). Returns 0. */
TESSIVAR_API int sqInit(const SignalQualityCallbacks *callbacks);

/* Deletes the instances and forgets every result. Returns 0. */
TESSIVAR_API int sqDeinit(void);

/* One frame: word 0 the status word, word 1 + l the sample of lead l for the
 * leadCount leads (at most 18; samples are clamped to the int16 range).
 * wireType is the input channel count (1, 2, 3, 8, 11 or 14), which decides
 * the leads named in reports. Returns the noisy-lead mask (bit l: lead l's
 * last base score is at or above the noise threshold); a null frame is
 * refused with an error line and changes nothing. */
TESSIVAR_API uint32_t sqProcess(const int32_t *frame, int32_t leadCount, int32_t wireType);

/* Noise threshold. Scores are compared with it as signed bytes, so values
 * above 127 count every score as noisy. Returns 0. */
TESSIVAR_API int sqSetNoiseThreshold(uint8_t threshold);

/* 1 when the status word has none of lead's electrode-off bits, else 0 (also
 * for a lead id outside 0 ... 17). Masks: I 0x10001, II and III 0x10002, aVR,
 * aVL, aVF 0x30003, V1 0x4 doubling up to V5R 0x2000. */
TESSIVAR_API int isLeadValid(int32_t status, int32_t lead);

/* The lead instances' score callbacks, one per lead. Each updates the lead's
 * quality word (status 0 base, 1 emg, 2 line; other statuses leave it as it
 * is) and, for status 0, the noisy-lead mask, and marks the lead as changed
 * so that the current sqProcess sends a report. */
TESSIVAR_API void onSignalQualityChangedI(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedII(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedIII(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedavR(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedavL(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedavF(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV1(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV2(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV3(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV4(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV5(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV6(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV7(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV8(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV9(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV3r(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV4r(const SignalQualityDesc desc);
TESSIVAR_API void onSignalQualityChangedV5r(const SignalQualityDesc desc);

TESSIVAR_END_C

#endif /* TESSIVAR_SIG_QUALITY_H */

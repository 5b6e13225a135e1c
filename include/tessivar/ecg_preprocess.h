/* ECG front end: the interface the monitor host calls.
 *
 * The host configures the library once with a PreprocessConf record, then
 * hands it blocks of raw acquisition frames and gets one output frame back
 * for every input frame at once:
 *
 *   ecgPreprocessInit(&conf);
 *   ecgPreprocessSetFilter("0.67", "50", "35");
 *   in  = getCurInFrame() words per input frame,
 *   out = getCurOutFrame() words per output frame;
 *   for every block: ecgPreprocessDoPreprocess(frames, in, out);
 *   ecgPreprocessDenit();
 *
 * Input frame: the 32-bit status word (lead-off bits under 0x33fff, pace bit
 * 0x4000), one raw sample (ADC counts) per input channel, then the raw
 * respiration sample when the data format carries one. Output frame: the
 * status word, one display sample in microvolts per output lead (word 1 + lead
 * id: I, II, III, aVR, aVL, aVF, then the chest leads of the input), then the
 * respiration display value when the format carries respiration.
 *
 * Vocabulary values cross the interface as texts, compared exactly (case
 * matters). Results reach the host through the callbacks of PreprocessConf
 * and the get functions. Everything, callbacks included, runs on the thread
 * that calls the library; the host serialises its calls.
 *
 * Threads: the front end has one state: every function of this header must
 * be called from one thread at a time (any thread, but never two at once),
 * and the callbacks run on that thread inside the call. Module objects used
 * on their own (a SignalFilter, a SignalQuality, a detector, a pace remover)
 * belong to whoever created them: two objects may run on two threads at the
 * same time, one object on one thread at a time. The singleton modules
 * (respiration, the quality monitor, the heart-rate calculator) are the
 * front end's and follow its rule. The log takes its own lock (anal_log.h).
 *
 * Functions return 0
 * on success and -1 for a refused argument or a call before
 * ecgPreprocessInit. */
#ifndef TESSIVAR_ECG_PREPROCESS_H
#define TESSIVAR_ECG_PREPROCESS_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Host callbacks. Every one may be null (then it is skipped). Texts passed to
 * them belong to the library: constant vocabulary texts, except the quality
 * text, which stays valid until the next quality report or Denit. */
typedef void (*PreprocessPrintFunc)(const char *line);
typedef void (*PreprocessFilterFunc)(const char *base, const char *line, const char *emg);
typedef void (*PreprocessHrLeadFunc)(const char *lead);
typedef void (*PreprocessBeatFunc)(void);
typedef void (*PreprocessRateFunc)(int rate);
typedef void (*PreprocessQualityFunc)(const char *quality);
typedef void (*PreprocessStatusFunc)(const char *key, const char *value);

/* The host's configuration. The texts are read during the call only
 * (debugCfgFile is copied by the log). */
typedef struct PreprocessConf {
    int32_t fs;           /* input rate, Hz: 1000 or 2000 */
    int32_t lsbMv;        /* ADC counts per millivolt (microvolts = counts * 1000 / lsbMv) */
    int32_t paceFilter;   /* 1: cut pace pulses before filtering and add their markers back */
    int32_t paceInhib;    /* handed to the pace remover: non-zero normalises marker amplitudes */
    int32_t paceRemoveMs; /* cut after a pace mark, ms (below 1 means 3) */
    const char *wireType; /* electrodes: "1", "3", "5", "12", "15", "18" */
    const char *dataType; /* frame format: "SLR", "SL", "SLT", "SLRT" */
    const char *hrLead;   /* heart-rate lead: "I" ... "V5R" or "auto" */
    const char *respLead; /* respiration lead: "I" or "II" */
    const char *debugCfgFile;             /* log configuration file, or null */
    PreprocessPrintFunc printFunc;        /* log lines; null prints to standard output */
    PreprocessFilterFunc onFilterSetting; /* the installed display filters changed */
    PreprocessHrLeadFunc onHrLead;        /* the heart-rate lead changed */
    PreprocessBeatFunc onHeartBeat;       /* one call per detected beat */
    PreprocessRateFunc onHeartRate;       /* beats per minute, -1 when none */
    PreprocessRateFunc onRespRate;        /* breaths per minute, -1 when none */
    PreprocessQualityFunc onQuality;      /* signal quality report (JSON text) */
    PreprocessStatusFunc onStatus;        /* ("hrlearning" | "beatNoise", "true" | "false") */
    int32_t qrsMethod;                    /* beat detector; 2 also feeds heart rate the display signal */
} PreprocessConf;

/* "tessivar version 1.1.0.0 2025-10-11 15:34:28" */
TESSIVAR_API const char *ecgPreprocessVersion(void);

/* Starts the log, the lead buffers and the analysis modules. 0, or -1 for a
 * null record, an fs other than 1000 or 2000 or an lsbMv below 1 (logged at
 * error level; a running monitor then keeps running unchanged). A second
 * Init restarts everything. */
TESSIVAR_API int ecgPreprocessInit(const PreprocessConf *conf);

/* Frees everything and stops the log; afterwards only Init may be called. */
TESSIVAR_API int ecgPreprocessDenit(void);

/* Applies format, wiring, leads, pace settings and callbacks (qrsMethod,
 * debugCfgFile and printFunc are taken by Init only). A change of format or
 * wiring rebuilds the lead buffers at once. -1, and nothing changes, for an
 * fs other than 1000 or 2000 or an lsbMv below 1. */
TESSIVAR_API int ecgPreprocessSetConf(const PreprocessConf *conf);

/* Frame format, rate and resolution; -1 for an unknown format, an fs other
 * than 1000 or 2000 or an lsbMv below 1 (no change). A new format rebuilds
 * the lead buffers at once: getCurInFrame and getCurOutFrame give the new
 * sizes right after the call. */
TESSIVAR_API int ecgPreprocessSetDataType(const char *dataType, int fs, int lsbMv);

/* Number of electrodes; -1 for an unknown name (no change). A new wiring,
 * here and in SetWireTypeNew, rebuilds the lead buffers at once. */
TESSIVAR_API int ecgPreprocessSetWireType(const char *wireType);

/* Describes the input channels by lead names instead: "I", "II", optionally
 * "III", then "V1" and the following chest leads without gaps. -1 for a null
 * array, leadNum below 1 or an invalid sequence. */
TESSIVAR_API int ecgPreprocessSetWireTypeNew(const char **leads, int leadNum);

/* "normal" or "cry"; -1 for anything else. */
TESSIVAR_API int ecgPreprocessSetFilterMode(const char *mode);

/* Patient class for beat detection: "adult", "child", "newborn". */
TESSIVAR_API int ecgPreprocessSetQrsMode(const char *mode);

/* Heart-rate lead "I" ... "V5R" or "auto"; an unknown name selects "II" and
 * returns -1. */
TESSIVAR_API int ecgPreprocessSetHrLead(const char *lead);

/* Restarts heart-rate learning. */
TESSIVAR_API int ecgPreprocessResetHr(void);

/* Respiration lead "I" or "II"; an unknown name selects "II" and returns -1. */
TESSIVAR_API int ecgPreprocessSetRespLead(const char *lead);

TESSIVAR_API int ecgPreprocessSetPaceFilter(int on);

/* Switches the noise suppression of the display signal (adds fs * 0.04
 * samples of delay). */
TESSIVAR_API int ecgPreprocessSetFuzzFilter(int on);

TESSIVAR_API int ecgPreprocessSetPaceInhib(int value);

/* Pace cut after a mark in ms (below 1 means 3); the OR of the removers'
 * results (-1 when a remover refused it, for example above 99). */
TESSIVAR_API int ecgPreprocessSetPaceRemoveMs(int ms);

/* Display filters by name: base (high-pass), line (mains), emg (low-pass). A
 * name missing from its table keeps that slot's filter. */
TESSIVAR_API int ecgPreprocessSetFilter(const char *base, const char *line, const char *emg);

/* Quality noise threshold, clamped to 0 ... 100. */
TESSIVAR_API int ecgPreprocessSetNoiseThreshold(signed char threshold);

/* Respiration suffocation threshold (standard deviation of the impedance). */
TESSIVAR_API int ecgPreprocessSetRespSuffocationThr(int threshold);

/* Processes frames input frames of getCurInFrame() words from in into as many
 * output frames of getCurOutFrame() words in out. Returns frames, or -1 when
 * the library is not started or its lead buffers could not be built (out is
 * then left as it was). */
TESSIVAR_API int ecgPreprocessDoPreprocess(int frames, const int *in, int *out);

/* Copies the names of the installed base, line and emg choices ("null" when
 * none) into three buffers of at least 7 bytes. -1 for a null buffer. */
TESSIVAR_API int getCurFilterSetting(char *base, char *line, char *emg);

/* Name of the current heart-rate lead ("null" when unknown). */
TESSIVAR_API const char *getCurHrLead(void);

/* Last heart rate, beats per minute; -1 when none. */
TESSIVAR_API int getCurHeartRate(void);

/* Last respiration rate, breaths per minute; -1 when none. */
TESSIVAR_API int getCurRespRate(void);

/* Last quality report (owned by the library), or null before the first. */
TESSIVAR_API const char *getCurQuality(void);

/* "true" / "false" for the key "hrlearning"; "unknown" for any other key. */
TESSIVAR_API const char *getCurStatu(const char *key);

/* Words per input and per output frame; -1 before Init. */
TESSIVAR_API int getCurInFrame(void);
TESSIVAR_API int getCurOutFrame(void);

/* Delay of the display samples behind the input, in samples. */
TESSIVAR_API int getCurTotalDelay(void);

/* Output dead band in microvolts (default 3): |values| up to uv become 0, larger
 * ones move uv toward 0. Returns uv, or -1 for a negative uv (no change). */
TESSIVAR_API int setSubUv(int uv);

/* Smallest adult QRS amplitude and duration for beat detection. */
TESSIVAR_API int setMinAdultQRSThr(int amplitude, int duration);

/* Beat events: every beat that onHeartBeat announces, with its place.
 *
 * Frames are numbered from 0 at ecgPreprocessInit over all frames that
 * ecgPreprocessDoPreprocess has processed (a refused call numbers none).
 * frame is the input frame in which the beat's fiducial point (the mark the
 * detector sets on the QRS complex) entered the library: the delays of the
 * analysis path (pace removal, mains filter, the display filters for method
 * 2) and of detection are taken off, so frame is comparable with the input
 * whatever the method, the rate or the path. Beats found by search-back and
 * beats found again while the history is re-run after a change of the
 * heart-rate lead carry the frames of their own samples. reportFrame is the
 * frame being processed when the beat was reported (for a report outside
 * ecgPreprocessDoPreprocess, such as a lead change, the next frame), so
 * reportFrame - frame is the report latency. Each event comes right after
 * the onHeartBeat call of the same beat, on the same thread. */
typedef struct EcgBeatEvent {
    int64_t frame;       /* input frame of the beat's fiducial point */
    int64_t reportFrame; /* input frame at which the beat was reported */
    int32_t lead;        /* lead id it was detected on: 0 I ... 17 V5R */
    int32_t method;      /* beat-detection method (qrsMethod) */
} EcgBeatEvent;

/* Receives one beat event; user is the pointer given at registration. The
 * event is valid during the call only. */
typedef void (*EcgBeatEventFunc)(const EcgBeatEvent *event, void *user);

/* Results of the beat-event registration. */
#define ECG_BEAT_EVENT_OK 0
#define ECG_BEAT_EVENT_NULL_FUNC (-1)       /* fn is null */
#define ECG_BEAT_EVENT_REGISTERED (-2)      /* a function is registered already */
#define ECG_BEAT_EVENT_NOT_STARTED (-3)     /* before ecgPreprocessInit or after ecgPreprocessDenit */

/* Registers fn for the beat events from now on. One function at a time:
 * clear the registration before registering another. A registration lasts
 * until ecgPreprocessClearBeatEventCallback, the next ecgPreprocessInit or
 * ecgPreprocessDenit; nothing is reported after those. */
TESSIVAR_API int ecgPreprocessSetBeatEventCallback(EcgBeatEventFunc fn, void *user);

/* Removes the registration (also when there is none). 0, or
 * ECG_BEAT_EVENT_NOT_STARTED outside Init ... Denit. */
TESSIVAR_API int ecgPreprocessClearBeatEventCallback(void);

/* Safety profile. Off (0, the default) the front end behaves as
 * documented above; on (1) it corrects the places listed in docs/safety.md:
 * the 60 Hz combs at 1000 samples per second run at the rate they were laid
 * out for and report their real delay; cry mode and rate changes rebuild
 * the filters for the current rate; a heart rate without a valid beat for
 * 10 s becomes -1 and learning starts again; respiration reports -1 when
 * nothing was measured and reports changes only; the short low-passes run
 * without an offset after priming. May be called at any time, also before
 * ecgPreprocessInit (the choice survives Init and Denit); it takes effect
 * from the next frame. The key safe_mode (ON or OFF) of the log
 * configuration file asks for the same when its value changes. 0, or -1 for
 * a value other than 0 or 1. */
TESSIVAR_API int ecgPreprocessSetSafeMode(int on);

/* 1 while the safety profile is in effect, else 0. */
TESSIVAR_API int ecgPreprocessGetSafeMode(void);

TESSIVAR_END_C

#endif /* TESSIVAR_ECG_PREPROCESS_H */

/* Single-lead signal quality.
 *
 * A quality instance judges one ECG lead sample by sample. The lead runs
 * through two fixed IIR filters: a 1 Hz low-pass whose rectified output
 * measures baseline wander ("base") and a 25 Hz high-pass whose output
 * measures muscle noise ("emg"). Over windows of samples the instance counts
 * how often these outputs exceed a ladder of ten amplitude levels, turns the
 * counts into a score from 0 (clean) to 100 (worst) in steps of 10 and calls
 * its owner back whenever a score changes:
 *
 *   SignalQualityConf conf = {"V1", NULL, 1000, onChanged};   (rest 0: defaults)
 *   SignalQuality *q = newSignalQuality(&conf);
 *   for (...) detectSignalQuality(q, sample);
 *   delSignalQuality(&q);
 *
 * Three processing modes, chosen at creation:
 *   same-step (window = step): counts per level over consecutive windows;
 *     base needs two samples above a level, emg a quarter of the window;
 *   different-step (window != step): a sliding window of stored filter
 *     outputs, evaluated every step once the window is full;
 *   economical (isSaveCpu): second-order filters and only the top level of
 *     each ladder, scores 0 or 100.
 * Amplitudes are in the units of the samples (microvolts for the monitor).
 *
 * The offline helpers grade recorded int16 segments and split a recording
 * into usable stretches; they do not touch the real-time state. */
#ifndef TESSIVAR_SIG_QUALITY_C_H
#define TESSIVAR_SIG_QUALITY_C_H

#include <stdint.h>
#include <stdio.h>
#include "signal_filter.h"
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Number of levels of each ladder. */
#define SIGNAL_QUALITY_LEVELS 10

/* Longest accepted detectWindowLen, ms. */
#define SIGNAL_QUALITY_MAX_WINDOW_MS 100000

/* What a score measures (SignalQualityDesc.status). */
enum {
    SIGNAL_QUALITY_BASE = 0, /* baseline wander */
    SIGNAL_QUALITY_EMG = 1,  /* muscle noise */
    SIGNAL_QUALITY_LINE = 2  /* mains interference (never scored by an instance) */
};

/* One score change. */
typedef struct SignalQualityDesc {
    uint32_t delay; /* samples between the end of the judged stretch and the newest sample */
    int32_t status; /* SIGNAL_QUALITY_BASE, _EMG or _LINE */
    int8_t score;   /* 0 (clean) ... 100, in steps of 10 */
} SignalQualityDesc;

/* Called on every score change, from inside detectSignalQuality. */
typedef void (*SignalQualityFunc)(const SignalQualityDesc desc);

typedef struct SignalQualityConf {
    const char *name;            /* required */
    const char *dataPath;        /* debug folder, or null; "" means the current folder */
    int32_t fs;                  /* sampling rate, Hz; selects the filter set */
    SignalQualityFunc callback;  /* may be null: then nothing is reported and the scores stay -1 */
    int32_t detectWindowLen;     /* window, ms; 0 or less: 2000 samples; above 100000 refused */
    int32_t detectStepLen;       /* step between evaluations, ms; 0 or less: the window */
    int32_t baseIntolerableThre; /* top of the base ladder; 0 or less: 1825 */
    int32_t basePerfectThre;     /* bottom of the base ladder; 0 or less: 65 */
    int32_t emgIntolerableThre;  /* top of the emg ladder; 0 or less: 77 */
    int32_t emgPerfectThre;      /* bottom of the emg ladder; 0 or less: 32 */
    int32_t isSaveCpu;           /* non-zero: economical mode */
} SignalQualityConf;

typedef struct SignalQuality SignalQuality;

/* A mode's per-sample work. */
typedef void (*SignalQualityProcessFunc)(SignalQuality *quality, int16_t x);

/* Instance. The scores are floats that start at -1 and survive
 * initSignalQuality, so after a restart only changed scores are reported. */
struct SignalQuality {
    char *name;                /* own copy, at most 255 characters */
    char *dataPath;            /* own copy, "." for empty, null for none */
    SignalFilter *baseFilter;  /* "sigq_l_pass_1" */
    SignalFilter *emgFilter;   /* "sigq_h_pass_25" */
    int32_t fs;                /* the record's rate */
    FILE *inFile;              /* debug stream "in.csv": one sample per line */
    FILE *outFile;             /* debug stream "out.csv": base,emg,line scores per sample */
    int32_t windowLen;         /* samples */
    int32_t stepLen;           /* samples */
    int32_t baseIntolerableThre;
    int32_t basePerfectThre;
    int32_t emgIntolerableThre;
    int32_t emgPerfectThre;
    int32_t isSaveCpu;
    uint32_t sampleCount;      /* samples since the last clear */
    int32_t levelCount;        /* SIGNAL_QUALITY_LEVELS */
    int32_t baseCounts[SIGNAL_QUALITY_LEVELS];
    int32_t emgCounts[SIGNAL_QUALITY_LEVELS];
    int32_t baseDelay;         /* lag of the base filter, samples */
    int32_t emgDelay;          /* lag of the emg filter, samples */
    float baseLevels[SIGNAL_QUALITY_LEVELS]; /* ascending from the perfect to the intolerable threshold */
    float emgLevels[SIGNAL_QUALITY_LEVELS];
    float *baseWindow;         /* windowLen rectified base outputs (different-step mode only) */
    float *emgWindow;          /* windowLen emg outputs (different-step mode only) */
    float baseScore;           /* last reported scores, -1 before the first */
    float emgScore;
    float lineScore;
    SignalQualityFunc callback;
    SignalQualityProcessFunc process;
};

/* "signal_quality version 0.0.0.13 2025-04-11 15:40:23" */
TESSIVAR_API const char *singalQualityVersion(void);

/* A new, cleared instance, or null for a null record, a null name, a window
 * above 100000 ms, a window or step that comes to less than one sample (or
 * more than INT32_MAX) at the record's rate, or no memory. */
TESSIVAR_API SignalQuality *newSignalQuality(const SignalQualityConf *conf);

/* Deletes the filters, closes the debug streams, frees the instance and
 * nulls *quality. 0, or -1 when quality or *quality is null. */
TESSIVAR_API int delSignalQuality(SignalQuality **quality);

/* Clears counts, windows and filters (the scores stay). 0 or -1. */
TESSIVAR_API int initSignalQuality(SignalQuality *quality);

/* Judges one sample; score changes reach the callback. 0 or -1. */
TESSIVAR_API int detectSignalQuality(SignalQuality *quality, int16_t x);

/* Grades a recorded segment: 0 good, 1 doubtful, 2 bad (flat, too large or
 * dominated by fast swings); -1 for a null array, n < 1, fs < 10 or
 * scale < 1. scale is the number of sample units per millivolt. */
TESSIVAR_API int getSegmentQuality(const int16_t *samples, int32_t n, int32_t fs, int32_t scale);

/* 3 flat (peak-to-peak below 0.02 mV), 2 above 10 mV, else 0; 99 for a null
 * array, n < 1 or scale < 1 (fs is not used). */
TESSIVAR_API int getSegmentQualitySimple(const int16_t *samples, int32_t n, int32_t fs, int32_t scale);

/* Splits samples into usable stretches: segments holds maxSegments (start,
 * end) pairs, -1 when unused (the array is set to -1 first unless its first
 * start already is -1). The recording is graded in n / segLen segments of
 * segLen samples (segLen also serves as the rate, at least 10); bad segments
 * cut the stretches. 1 when doubtful segments are at least as many as good
 * ones, else 0; -1 for bad arguments. */
TESSIVAR_API int _getValidSignal(const int16_t *samples, int32_t n, int32_t *segments, int32_t maxSegments,
                                 int32_t segLen, int32_t scale);

/* The same with windows of 2 * fs samples advanced by fs / 2 and graded by
 * getSegmentQualitySimple: a stretch is a run of consecutive good windows
 * (from the first one's start to the last one's end; the last stretch runs
 * to n - 1). segments is set to -1 first. 0; -1 for bad arguments (fs < 2). */
TESSIVAR_API int _getValidSignalSimple(const int16_t *samples, int32_t n, int32_t *segments,
                                       int32_t maxSegments, int32_t fs, int32_t scale);

/* _getValidSignalSimple at the instance's rate with the given scale, with
 * debug dumps when the instance has a data path. -1 for a null instance. */
TESSIVAR_API int getValidSignal(SignalQuality *quality, const int16_t *samples, int32_t n, int32_t *segments,
                                int32_t maxSegments, int32_t scale);

/* 1 when the peak-to-peak of the samples exceeds 50, else 0; -1 for a null
 * instance or array or n < 1. */
TESSIVAR_API int isLeadInvalid(SignalQuality *quality, const int16_t *samples, int32_t n);

TESSIVAR_END_C

#endif /* TESSIVAR_SIG_QUALITY_C_H */

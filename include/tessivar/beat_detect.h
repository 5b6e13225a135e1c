/* Beat detection: one facade over the library's QRS detectors.
 *
 * A detector is created from a BeatDetectConf record, started with
 * initBeatDetect and fed one sample at a time:
 *
 *   BeatDetect *d = newBeatDetect(&conf);
 *   initBeatDetect(d);
 *   for (...) if ((delay = realtimeDetectBeat(d, x, &noise)) > 0) ...;
 *   delBeatDetect(&d);
 *
 * A positive result d confirms a beat whose fiducial point is the sample fed
 * d calls earlier; anything else (0 or -1, by method) means no beat. The
 * method is fixed at creation:
 *   0      limited-resource detector (eplimited.h)
 *   1      Corvane adaptive-threshold detector
 *   2      Orin detector
 *   other  kt detector
 * Method 2 confirms no beats in this version.
 *
 * With a data path the facade writes the configuration ("beat_detect.conf")
 * and two streams: "in.csv" (every fed sample) and "out.csv" (every result
 * above 0). */
#ifndef TESSIVAR_BEAT_DETECT_H
#define TESSIVAR_BEAT_DETECT_H

#include <stdint.h>
#include <stdio.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Configuration of every detector. */
typedef struct BeatDetectConf {
    const char *name;     /* required; at most 255 characters are kept */
    const char *dataPath; /* debug folder, or null; "" means the current folder */
    int32_t fs;           /* sampling rate of the fed samples, Hz */
    int32_t mode;         /* patient class: 0 adult, 1 child or newborn (2 acts as 1) */
    int32_t method;       /* detector, see above */
    int32_t maxHR;        /* highest rate to detect, beats per minute; below 1 means 300 */
    int32_t minHR;        /* lowest rate to detect, beats per minute; below 1 means 30 */
} BeatDetectConf;

/* The head of every detector instance, whatever its method; the detector's
 * own state follows it in the same allocation, the name and data-path copies
 * at the very end. */
typedef struct BeatDetect {
    char *name;       /* own copy of the name */
    char *dataPath;   /* own copy of the data path, "." for an empty one, null for none */
    int32_t fs;       /* sampling rate, Hz */
    int32_t mode;     /* patient class of the configuration */
    int32_t method;   /* detector */
    int32_t maxHR;    /* beats per minute (300 for a configured value below 1) */
    int32_t minHR;    /* beats per minute (30 for a configured value below 1) */
    int32_t maxRRLen; /* longest RR interval, samples: round(fs * 60 / minHR) */
    int32_t minRRLen; /* shortest RR interval, samples: round(fs * 60 / maxHR) */
    FILE *inFile;     /* "in.csv" debug stream, or null */
    FILE *outFile;    /* "out.csv" debug stream, or null */
    int32_t detectorWord; /* belongs to the detector (the Corvane detector's window length) */
} BeatDetect;

/* "beat_detect version 0.0.3.0 2025-10-11 15:14:21" */
TESSIVAR_API const char *beatDetectVersion(void);

/* A new detector of conf->method, or null for a null record or name, a
 * configuration the detector cannot hold, or no memory. */
TESSIVAR_API BeatDetect *newBeatDetect(const BeatDetectConf *conf);

/* Frees *detector and nulls it. 0, or -1 for a null address or handle. */
TESSIVAR_API int delBeatDetect(BeatDetect **detector);

/* Restarts detection from a clean state (and truncates the debug streams).
 * The detector's result, or -1 for a null handle. */
TESSIVAR_API int initBeatDetect(BeatDetect *detector);

/* Patient class 0 adult, 1 child or newborn, until the next init. The
 * detector's result, or -1 for a null handle. */
TESSIVAR_API int setBeatDetectMode(BeatDetect *detector, int32_t mode);

/* Feeds one sample. A delay above 0 for a confirmed beat, else 0 or -1 (by
 * method); -1 for a null handle. *noiseFlag (if not null) receives 0. */
TESSIVAR_API int32_t realtimeDetectBeat(BeatDetect *detector, int16_t sample, uint8_t *noiseFlag);

/* Offline detection over samples[0 .. length-1] (the detector is
 * initialised first; methods 0 and 2 are fed the last sample 3 * fs more
 * times so that late beats are confirmed). Stores beat positions (sample
 * indexes) into positions and returns their number; -1 for a null handle,
 * array, length or capacity below 1; -2 when positions filled up (the
 * capacity entries stored stay valid). */
TESSIVAR_API int32_t findRPeak(BeatDetect *detector, const int16_t *samples, int32_t length, int32_t *positions,
                               int32_t capacity);

/* Smallest adult QRS amplitude (sample units) and duration (samples) of a
 * method-0 detector; 0 and 0 restore the patient-class defaults. Always 0. */
TESSIVAR_API int BT_setMinAdultQRSThr(BeatDetect *detector, int32_t qrsAmplitude, int32_t qrsDuration);

/* Kept for older hosts; they have no effect. */
TESSIVAR_API void set_real_time_count(int32_t value);
TESSIVAR_API void set_save_flag(int32_t value);

TESSIVAR_END_C

#endif /* TESSIVAR_BEAT_DETECT_H */

/* Pace pulse removal and re-insertion.
 *
 * A marked pacemaker spike is cut out of a lead and bridged with a straight
 * line between the samples just before and just after it; the spike's
 * amplitude is measured so that a clean marker of it can be added back later.
 * Per sample the remover is a fixed 100-sample delay (getPaceRemoveDelay);
 * whole int16 arrays are processed with a status array whose bit 0x4000
 * marks pace pulses. */
#ifndef TESSIVAR_PACE_REMOVE_H
#define TESSIVAR_PACE_REMOVE_H

#include <stdint.h>
#include <stdio.h>
#include "linear_spline.h"
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Status bit of a sample that carries a pace pulse. */
#define PACE_STATUS_BIT 0x4000

/* Delay of the per-sample removal, in samples. */
#define PACE_REMOVE_DELAY 100

typedef struct PaceRemoveConf {
    const char *name;       /* required */
    const char *dataPath;   /* debug folder, or null */
    int32_t fs;             /* sampling rate, Hz */
    int32_t paceRemoveMs;   /* cut after the last mark, ms (at most 99; below 1 means 3) */
    int32_t paceRemoveBfMs; /* cut before the first mark, ms (at most 99; below 1 means 2) */
} PaceRemoveConf;

/* One pulse found by removePaceWave. */
typedef struct PacePulse {
    int32_t start;     /* last sample kept before the bridged segment */
    int32_t end;       /* first sample kept after it */
    int32_t addStart;  /* first sample of the re-inserted marker */
    int32_t addEnd;    /* last sample of the marker */
    int32_t amplitude; /* marker amplitude */
} PacePulse;

typedef struct PaceRemove {
    char *name;                          /* own copy, at most 255 characters */
    char *dataPath;                      /* own copy, "." for empty, null for none */
    int32_t fs;                          /* sampling rate, Hz */
    int32_t samples60ms;                 /* fs * 60 / 1000 */
    FILE *addFile;                       /* "add_input.csv" debug stream */
    FILE *removeFile;                    /* "remove_input.csv" debug stream */
    int32_t delayLine[PACE_REMOVE_DELAY]; /* last inputs, index 0 the newest */
    int32_t amplitude;                   /* amplitude of the last removed pulse */
    int32_t lastAmplitude;               /* copy of it; 200 after a reset */
    LinearSpline *spline;                /* the bridging line */
    int32_t before;                      /* samples cut before the first mark */
    int32_t after;                       /* samples cut after the last mark */
    int32_t inPace;                      /* 1 while a pulse window is open */
    int32_t startIdx;                    /* delay-line position of the window's first sample */
    int32_t endIdx;                      /* delay-line position of its last sample */
    int32_t addCountA;                   /* counters placing the marker on the output */
    int32_t addCountB;
    PacePulse *paceList; /* pulses of the last whole-array removal */
    int32_t paceCount;   /* number of them */
} PaceRemove;

TESSIVAR_API const char *paceRemoveVersion(void);

/* A new remover (reset with 0), or null for a null record or name. */
TESSIVAR_API PaceRemove *newPaceRemove(const PaceRemoveConf *conf);

/* Frees the remover and nulls *remover. 0, or -1 for a null argument. */
TESSIVAR_API int delPaceRemove(PaceRemove **remover);

/* Resets: delay line 0, no window open, no marker pending. 0 or -1. */
TESSIVAR_API int initPaceRemove(PaceRemove *remover);

/* Resets with every delay-line entry x0. 0 or -1. */
TESSIVAR_API int initPaceRemoveCustom(PaceRemove *remover, int32_t x0);

/* Cut after the last mark in ms (0..99, below 1 means 3); also raises the cut
 * before the first mark to at least max(2, ms / 3) ms. 0, or -1 for a null
 * remover or ms > 99 (nothing changes). */
TESSIVAR_API int setPaceRemoveMs(PaceRemove *remover, int32_t ms);

/* Cut before the first mark in ms (0..99, below 1 means 2). 0 or -1. */
TESSIVAR_API int setPaceRemoveBfMs(PaceRemove *remover, int32_t ms);

/* 100: the per-sample delay. */
TESSIVAR_API int getPaceRemoveDelay(void);

/* Smallest pulse amplitude that counts as a pulse when normalising (default
 * 50), shared by all removers. Returns the threshold. */
TESSIVAR_API int setPaceInhabitThre(int threshold);

/* Takes x (marked with a non-zero paceFlag) and returns the sample given 100
 * calls ago, bridged where a pulse was cut. normalise non-zero scales the
 * measured amplitude to 0, +-300..+-1000. -1 for a null remover. */
TESSIVAR_API int32_t removePaceSignalInt(PaceRemove *remover, int32_t x, int paceFlag, int normalise);
/* The same, saturated to the int16 range. */
TESSIVAR_API int16_t removePaceSignal(PaceRemove *remover, int16_t x, int paceFlag, int normalise);

/* x plus the amplitude of the last removed pulse while its marker is due,
 * else x. Called once per sample after removePaceSignal. -1 for a null
 * remover. */
TESSIVAR_API int32_t addPaceSignalInt(PaceRemove *remover, int32_t x);
/* The same, saturated to the int16 range. */
TESSIVAR_API int16_t addPaceSignal(PaceRemove *remover, int16_t x);

/* Whole-array removal of the pulses marked in status (bit 0x4000) from
 * in[0..n-1] into out (may be in). Keeps the pulse list for addPaceWave.
 * Returns n, or -1. */
TESSIVAR_API int removePaceWave(PaceRemove *remover, const int16_t *in, int32_t n, const int32_t *status,
                                int16_t *out);

/* Adds the markers of the pulses found by the last removePaceWave to
 * in[0..n-1] into out (may be in; sums saturate to int16). Returns n, or -1. */
TESSIVAR_API int addPaceWave(PaceRemove *remover, const int16_t *in, int32_t n, int16_t *out);

TESSIVAR_END_C

#endif /* TESSIVAR_PACE_REMOVE_H */

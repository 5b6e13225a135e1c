/* Signal filter object.
 *
 * Every signal of the library (ECG leads, respiration, detector signals,
 * quality bands) is filtered through one generic object, SignalFilter,
 * created from a configuration record and fed one double sample at a time:
 *
 *   SignalFilter *f = newSignalFilter((const SignalFilterConf *)&firConf);
 *   for (...) y = doSignalFilter(f, x);
 *   delSignalFilter(&f);
 *
 * The first sample after creation or initSignalFilter primes the filter's
 * histories as if the input had always had that value, so a constant input
 * passes without a start-up transient (a high-pass outputs 0 at once).
 * The object reports its lag in samples (getSignalFilterDelay);
 * doSignalFilterNotRealTime filters a whole array with that lag removed.
 *
 * Kinds and their records:
 *   SIGNAL_FILTER_AVG              AvgFilterConf             moving-average high-pass
 *   SIGNAL_FILTER_FIR              FirFilterConf             FIR
 *   SIGNAL_FILTER_IIR_COMB         IirCombFilterConf         IIR, direct form I
 *   SIGNAL_FILTER_INTEGER          IntegerFilterConf         sparse-tap IIR
 *   SIGNAL_FILTER_NONLINEAR_NOTCH  NonlinearNotchFilterConf  adaptive mains canceller
 *   SIGNAL_FILTER_AVG_LP           AvgLpFilterConf           moving-average low-pass
 * Every record begins with the same three fields (type, name, dataPath), so a
 * table of records of mixed kinds is read through SignalFilterConf. The
 * kind objects and their own entry points are declared in avg_filter.h,
 * fir_filter.h, iir_comb_filter.h, integer_filter.h, avg_lp_filter.h and
 * nonlinear_notch_filter.h. */
#ifndef TESSIVAR_SIGNAL_FILTER_H
#define TESSIVAR_SIGNAL_FILTER_H

#include <stdint.h>
#include <stdio.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Kind codes: the type field of every record and filter object. */
enum {
    SIGNAL_FILTER_AVG = 1,
    SIGNAL_FILTER_FIR = 2,
    SIGNAL_FILTER_IIR_COMB = 4,
    SIGNAL_FILTER_INTEGER = 9,
    SIGNAL_FILTER_NONLINEAR_NOTCH = 10,
    SIGNAL_FILTER_AVG_LP = 11
};

/* Generic record: the common head and the gain. */
typedef struct SignalFilterConf {
    int32_t type;         /* kind code */
    const char *name;     /* required */
    const char *dataPath; /* debug folder, or null; "" means the current folder */
    double gain;          /* output gain */
} SignalFilterConf;

/* FIR: y[n] = gain * sum_k numData[k] * x[n-k]. */
typedef struct FirFilterConf {
    int32_t type;
    const char *name;
    const char *dataPath;
    double gain;
    const double *numData; /* b[0..num_num-1], b[0] meets the newest sample */
    int32_t num_num;       /* number of coefficients, at least 1 */
} FirFilterConf;

/* IIR: a[0]*y[n] = sum_k b[k]*x[n-k] - sum_{k>=1} a[k]*y[n-k], output gain*y. */
typedef struct IirCombFilterConf {
    int32_t type;
    const char *name;
    const char *dataPath;
    double gain;
    const double *numData; /* b[0..num_num-1] */
    int32_t num_num;
    const double *denData; /* a[0..den_num-1], a[0] the normalising coefficient */
    int32_t den_num;
    int32_t delay; /* lag the filter reports, in samples (clear the record: 0 unless set) */
} IirCombFilterConf;

/* One stored coefficient of a sparse polynomial. */
typedef struct IntegerFilterTap {
    int32_t seq; /* 1-based position: 1 meets the newest sample, k the sample k-1 steps old */
    double data; /* coefficient */
} IntegerFilterTap;

/* Sparse-tap IIR: the IIR recursion with only the non-zero coefficients
 * stored, in ascending seq; the first denominator tap (seq 1) normalises. */
typedef struct IntegerFilterConf {
    int32_t type;
    const char *name;
    const char *dataPath;
    double gain;
    const IntegerFilterTap *numData; /* num_num_valid taps */
    int32_t num_num;                 /* numerator length (largest position) */
    int32_t num_num_valid;           /* number of numerator taps */
    const IntegerFilterTap *denData; /* den_num_valid taps */
    int32_t den_num;                 /* denominator length */
    int32_t den_num_valid;           /* number of denominator taps */
} IntegerFilterConf;

/* Moving-average high-pass (AvgFilterConf) and low-pass (AvgLpFilterConf).
 * These kinds always run with gain 1. */
typedef struct AvgFilterConf {
    int32_t type;
    const char *name;
    const char *dataPath;
    int32_t avg_num; /* window length in samples, at least 1 */
} AvgFilterConf;
typedef AvgFilterConf AvgLpFilterConf;

/* Nonlinear notch: tracks and subtracts a sinusoid of frequency f0. */
typedef struct NonlinearNotchFilterConf {
    int32_t type;
    const char *name;
    const char *dataPath;
    double phi;     /* 2*cos(2*pi*f0/fs) */
    double adj_the; /* fixed correction step of the interference estimate */
} NonlinearNotchFilterConf;

typedef struct SignalFilter SignalFilter;

/* A kind's per-sample operation. */
typedef double (*SignalFilterFunc)(SignalFilter *filter, double x);

/* Common header of every filter object. A filter may also be defined
 * statically by its owner (header, kind state and history buffers filled in,
 * doFilter left null) and brought to life with initSignalFilter; such a
 * filter is never deleted. */
struct SignalFilter {
    int32_t type;             /* kind code */
    const char *name;         /* own copy of the record's name (at most 255 characters) */
    const char *dataPath;     /* own copy of the data path, "." for an empty one, null for none */
    int32_t delay;            /* lag in samples, as reported to callers */
    double gain;              /* output gain (1.0; the coefficient kinds fold the record's gain in) */
    FILE *inFile;             /* debug stream "in.csv", or null */
    FILE *outFile;            /* debug stream "out.csv", or null */
    SignalFilterFunc doFilter; /* null until the filter is initialised */
    double gainDC;            /* gain at zero frequency */
    int32_t clearPending;     /* 1: the next sample primes the histories */
};

/* "filter version 1.0.1.3 2025-07-15 10:59:40" */
TESSIVAR_API const char *signalFilterVersion(void);

/* Creates a filter of the record's kind (cast a kind record to
 * SignalFilterConf). Null for a null record, a record without a name, an
 * unknown kind or a refused record. */
TESSIVAR_API SignalFilter *newSignalFilter(const SignalFilterConf *conf);

/* Deletes the filter and nulls *filter. 0; -1 when filter or *filter is null.
 * A filter of unknown kind is left alone (0). */
TESSIVAR_API int delSignalFilter(SignalFilter **filter);

/* Restarts the filter: the next sample primes the histories. 0, or -1 for a
 * null filter or one whose kind has no per-sample operation. */
TESSIVAR_API int initSignalFilter(SignalFilter *filter);

/* Primes the histories at once as if the input had been x0 forever (y0 is
 * not used). 0, or -1 for a null filter. */
TESSIVAR_API int initSignalFilterCustom(SignalFilter *filter, double x0, double y0);

/* Filters one sample. An absent or uninitialised filter returns x. */
TESSIVAR_API double doSignalFilter(SignalFilter *filter, double x);

/* Filters in[0..n-1] into out[0..n-1] with the lag removed. out may be in
 * for every kind except the two moving averages. -1 on failure, otherwise 0,
 * or 1 when the FIR, IIR or integer kind worked in place. */
TESSIVAR_API int doSignalFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n);

/* The filter's lag in samples; 0 for a null filter. */
TESSIVAR_API int32_t getSignalFilterDelay(const SignalFilter *filter);

/* Stores a lag of delay >= 0 samples and returns it; 0 and no change for a
 * null filter or a negative delay. */
TESSIVAR_API int32_t setSignalFilterDelay(SignalFilter *filter, int32_t delay);

TESSIVAR_END_C

#endif /* TESSIVAR_SIGNAL_FILTER_H */

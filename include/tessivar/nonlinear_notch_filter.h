/* Nonlinear notch (kind SIGNAL_FILTER_NONLINEAR_NOTCH): an adaptive mains
 * interference canceller.
 *
 * An oscillator e[n] = phi*e[n-1] - e[n-2] predicts the interference; the
 * prediction is then nudged by +adj_the or -adj_the, whichever way the
 * cleaned signal x - e moved since the previous sample (a change of 0 counts
 * as upward), and the output is x - e[n]. phi = 2*cos(2*pi*f0/fs), e.g.
 * 1.902113032590308 for 50 Hz at 1000 samples/s. No delay, no gain. */
#ifndef TESSIVAR_NONLINEAR_NOTCH_FILTER_H
#define TESSIVAR_NONLINEAR_NOTCH_FILTER_H

#include "signal_filter.h"

TESSIVAR_BEGIN_C

typedef struct NonlinearNotchFilter {
    SignalFilter head;
    double phi;     /* 2*cos(2*pi*f0/fs) */
    double adj_the; /* correction step */
    double xPrev;   /* previous input sample */
    double e2;      /* interference estimate two samples back */
    double e1;      /* one sample back */
    double e0;      /* current estimate */
} NonlinearNotchFilter;

/* Null for a null record or name. */
TESSIVAR_API SignalFilter *newNonlinearNotchFilter(const NonlinearNotchFilterConf *conf);
TESSIVAR_API int delNonlinearNotchFilter(SignalFilter **filter);
TESSIVAR_API int initNonlinearNotchFilter(SignalFilter *filter);
TESSIVAR_API int initNonlinearNotchFilterCustom(SignalFilter *filter, double x0, double y0);
TESSIVAR_API double doNonlinearNotchFilter(SignalFilter *filter, double x);

TESSIVAR_END_C

#endif /* TESSIVAR_NONLINEAR_NOTCH_FILTER_H */

/* Moving-average low-pass filter (kind SIGNAL_FILTER_AVG_LP).
 *
 * y[n] = (x[n] + ... + x[n-N+1]) / N with a running sum; the delay is N/2
 * (reset at every init). A constant input passes unchanged from the first
 * sample. The object layout is that of AvgFilter (avg_filter.h). */
#ifndef TESSIVAR_AVG_LP_FILTER_H
#define TESSIVAR_AVG_LP_FILTER_H

#include "avg_filter.h"

TESSIVAR_BEGIN_C

typedef AvgFilter AvgLpFilter;

/* Null for a null record or name or avg_num < 1. */
TESSIVAR_API SignalFilter *newAvgLpFilter(const AvgLpFilterConf *conf);
TESSIVAR_API int delAvgLpFilter(SignalFilter **filter);
TESSIVAR_API int initAvgLpFilter(SignalFilter *filter);
TESSIVAR_API int initAvgLpFilterCustom(SignalFilter *filter, double x0, double y0);
TESSIVAR_API double doAvgLpFilter(SignalFilter *filter, double x);
/* out must differ from in. For n <= N every output is the overall mean. 0 or -1. */
TESSIVAR_API int doAvgLpFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n);

TESSIVAR_END_C

#endif /* TESSIVAR_AVG_LP_FILTER_H */

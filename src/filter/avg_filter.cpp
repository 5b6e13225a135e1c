// Moving-average high-pass: y[n] = x[n - delay] - mean(x[n-N+1 .. n]).
// The delay is N/2 from creation on; init leaves it as it is, so an owner
// (or setSignalFilterDelay) may impose another lag within 0 .. N.
#include "tessivar/avg_filter.h"

#include "filter/moving_average.hpp"

using HighPass = tessivar::filter::MovingAverage<true>;

extern "C" SignalFilter *newAvgFilter(const AvgFilterConf *conf) { return HighPass::create(conf, doAvgFilter); }

extern "C" int delAvgFilter(SignalFilter **filter)
{
    return tessivar::filter::releaseFilter(filter, HighPass::kTag);
}

extern "C" int initAvgFilter(SignalFilter *filter) { return HighPass::init(filter, doAvgFilter); }

extern "C" int initAvgFilterCustom(SignalFilter *filter, double x0, double y0)
{
    (void)y0;
    return HighPass::initCustom(filter, x0, doAvgFilter);
}

extern "C" double doAvgFilter(SignalFilter *filter, double x) { return HighPass::step(filter, x); }

extern "C" int doAvgFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n)
{
    return HighPass::runOverArray(filter, in, out, n);
}
